#include "cli/CliCommands.h"
#include "cli/CliInterrupt.h"
#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformFiles.h"
#include "cli/ProgressBar.h"
#include "cli/SecretPrompt.h"
#include "locker/uLocker.h"
#include "crypto/uSecurityUtils.h"
#include "workflow/uWorkflow.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {} // namespace

int RunCreate(const TCliArguments& Args) {
    const QString Source = CleanCliPath(Args.Operands.at(0));
    if (!Fs::PathExists(Source))
        return ReportFailure(QStringLiteral("Source path does not exist."));
    if (Source == QLatin1String("/"))
        return ReportFailure(QStringLiteral("Invalid source path."));
    const QString Locker =
        Args.Operands.size() > 1 ? CleanCliPath(Args.Operands.at(1)) : Source + QStringLiteral(".kvlocker");
    const QString LockerFolder = QFileInfo(Locker).absolutePath();

    if (!Fs::DirectoryExists(LockerFolder))
        return ReportFailure(QStringLiteral("Folder \"%1\" does not exist.").arg(TerminalName(LockerFolder)));
    const QString SourceReal = QFileInfo(Source).canonicalFilePath();
    const QString LockerFolderReal = QFileInfo(LockerFolder).canonicalFilePath();
    // A locker inside its own source would pack itself while growing.
    if (Fs::DirectoryExists(Source) && Fs::IsSameOrInside(LockerFolderReal, SourceReal))
        return ReportFailure(QStringLiteral("The locker cannot be written inside the folder it packs."));
    if (Fs::PathExists(Locker)) {
        if (Fs::DirectoryExists(Locker))
            return ReportFailure(QStringLiteral("\"%1\" is a folder.").arg(TerminalName(Locker)));
        if (QFileInfo(Locker).canonicalFilePath() == SourceReal)
            return ReportFailure(QStringLiteral("The locker cannot replace its own source."));
        if (!Args.Force)
            return ReportFailure(
                QStringLiteral("\"%1\" already exists. Use --force to replace it.").arg(TerminalName(Locker)));
    }

    TSecretText Password;
    try {
        Password.Value = AskSecret(Args.PasswordStdin, QStringLiteral("Password for the new locker: "), true);
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    }
    if (Password.Value.isEmpty())
        return ReportFailure(QStringLiteral("Locker password cannot be empty."));

    try {
        TProgressBar Bar(QStringLiteral("Packing"));
        Bar.Status(QStringLiteral("Deriving keys..."));
        // The window's own publishing step: a private temporary name, read back behind the writer,
        // flushed, and named only then. With --force the rename replaces atomically, so the old
        // locker stays whole until the new one is complete on disk.
        QString RecoveryCode;
        const TWorkflowResult Result =
            PublishLocker(Source, Locker, Password.Value, Args.Force, RecoveryCode,
                          {[&Bar](const QString&, int64_t Done, int64_t Total) { Bar.Update(Done, Total); },
                           [] { return InterruptRequested(); }});
        Bar.Finish();
        if (!Result.Ok())
            return ReportFailure(Result.Kind == TOutcome::Cancelled ? QStringLiteral("Operation cancelled by user.")
                                                                    : Result.Text);

        PrintErr(QStringLiteral("Locker created: %1").arg(TerminalName(Locker)));
        PrintErr(QStringLiteral("Recovery code (it opens the locker without the password; keep it safe):"));
        PrintOut(RecoveryCode);
        return ExitSuccess;
    } catch (const std::exception& E) {
        return ReportFailure(ErrorTextOf(E));
    }
}
