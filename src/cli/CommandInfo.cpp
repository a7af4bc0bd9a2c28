#include "cli/CliCommands.h"
#include "platform/KelvarnError.h"
#include "cli/LockerHeaderInfo.h"

int RunInfo(const TCliArguments& Args) {
    const QString Locker = CleanCliPath(Args.Operands.at(0));
    TLockerHeaderInfo Info;
    try {
        Info = ReadLockerHeaderInfo(Locker);
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    }
    PrintOut(QStringLiteral("Locker: %1").arg(TerminalName(Locker)));
    PrintOut(QStringLiteral("Format version: %1").arg(Info.Version));
    PrintOut(QStringLiteral("Password slot iterations: %1").arg(Info.PasswordIterations));
    PrintOut(QStringLiteral("Recovery slot iterations: %1").arg(Info.RecoveryIterations));
    PrintOut(QStringLiteral("Payload length: %1").arg(Info.PayloadLength));
    PrintOut(QStringLiteral("File size: %1").arg(Info.FileSize));
    const int64_t Stored = Info.FileSize - Info.PayloadStart;
    // The clear header is not authenticated: these notes describe the file, not a verdict on it.
    if (Info.PayloadLength == 0 && Stored > 0)
        PrintOut(QStringLiteral("Note: the payload length is 0; the locker may not have been written to the end."));
    else if (Stored < Info.PayloadLength)
        PrintOut(QStringLiteral("Note: the file is %1 bytes shorter than its payload length; it is incomplete.")
                     .arg(Info.PayloadLength - Stored));
    else if (Stored > Info.PayloadLength)
        PrintOut(
            QStringLiteral("Note: %1 bytes follow the payload; they are never read.").arg(Stored - Info.PayloadLength));
    return ExitSuccess;
}
