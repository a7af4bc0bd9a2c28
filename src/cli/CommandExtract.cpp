#include "cli/CliCommands.h"
#include "cli/CliInterrupt.h"
#include "platform/KelvarnError.h"
#include "platform/PlatformFiles.h"
#include "cli/ProgressBar.h"
#include "cli/SecretPrompt.h"
#include "locker/uLocker.h"
#include "crypto/uSecurityUtils.h"

#include <QFileInfo>

namespace {

TLockerResult Extract(const QString& Locker, const QString& Dest, const QString& Secret, TProgressBar& Bar) {
    Bar.Status(QStringLiteral("Checking the locker..."));
    return ExtractLocker(
        Locker, Dest, Secret, [&Bar](const QString&, int64_t Done, int64_t Total) { Bar.Update(Done, Total); },
        [] { return InterruptRequested(); });
}

void ReportRecoveryUse(const TLockerResult& Result) {
    if (!Result.RecoveryCode.isEmpty())
        PrintErr(QStringLiteral("The locker was opened with its recovery code."));
}

// Extracts straight into Folder: the engine's own rules (files replaced, folders reused).
int ExtractInPlace(const QString& Locker, const QString& Folder, const QString& Secret) {
    TProgressBar Bar(QStringLiteral("Extracting"));
    const TLockerResult Result = Extract(Locker, Folder, Secret, Bar);
    Bar.Finish();
    if (!Result.Success)
        return ReportFailure(Result.MessageText);
    ReportRecoveryUse(Result);
    PrintErr(QStringLiteral("Extracted into: %1").arg(TerminalName(Folder)));
    return ExitSuccess;
}

// Rebuilds the item in a private staging folder inside Folder, reached only through its descriptor,
// then moves it into place without replacing anything: a failed or cancelled extraction leaves
// nothing behind and touches nothing that exists.
int ExtractAside(const QString& Locker, const QString& Folder, const QString& Secret) {
    TLockerStaging Staging;
    TLockerResult Result;
    {
        TProgressBar Bar(QStringLiteral("Extracting"));
        Bar.Status(QStringLiteral("Checking the locker..."));
        try {
            Result = Staging.Extract(
                Locker, Folder, Secret,
                [&Bar](const QString&, int64_t Done, int64_t Total) { Bar.Update(Done, Total); },
                [] { return InterruptRequested(); });
        } catch (const EKelvarnError& E) {
            Result.MessageText = E.Message(); // the locker could not even be opened
        }
    }
    if (!Result.Success)
        return ReportFailure(Result.MessageText);
    ReportRecoveryUse(Result);
    const QString Target = TerminalName(Folder) + QLatin1Char('/') + PrintableName(Staging.RootName());
    try {
        Staging.MoveIntoPlace();
    } catch (const EKelvarnError& E) {
        if (Fs::PathExists(Folder + QLatin1Char('/') + Staging.RootName()))
            return ReportFailure(QStringLiteral("\"%1\" already exists. Use --force to extract over it.").arg(Target));
        return ReportFailure(E.Message());
    }
    PrintErr(QStringLiteral("Extracted: %1").arg(Target));
    return ExitSuccess;
}

} // namespace

int RunExtract(const TCliArguments& Args) {
    const QString Locker = CleanCliPath(Args.Operands.at(0));
    if (!Fs::FileExists(Locker))
        return ReportFailure(QStringLiteral("Locker file does not exist."));
    const QString Folder =
        Args.Operands.size() > 1 ? CleanCliPath(Args.Operands.at(1)) : QFileInfo(Locker).absolutePath();
    if (Fs::PathExists(Folder) && !Fs::DirectoryExists(Folder))
        return ReportFailure(QStringLiteral("\"%1\" is not a folder.").arg(TerminalName(Folder)));

    TSecretText Secret;
    try {
        Secret.Value = AskSecret(Args.PasswordStdin, QStringLiteral("Password or recovery code: "), false);
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    }
    try {
        return Args.Force ? ExtractInPlace(Locker, Folder, Secret.Value) : ExtractAside(Locker, Folder, Secret.Value);
    } catch (const std::exception& E) {
        return ReportFailure(ErrorTextOf(E));
    }
}
