#include "cli/CliCommands.h"
#include "cli/CliInterrupt.h"
#include "platform/KelvarnError.h"
#include "platform/PlatformFiles.h"
#include "cli/ProgressBar.h"
#include "cli/SecretPrompt.h"
#include "locker/uLocker.h"
#include "crypto/uSecurityUtils.h"

int RunVerify(const TCliArguments& Args) {
    const QString Locker = CleanCliPath(Args.Operands.at(0));
    if (!Fs::FileExists(Locker))
        return ReportFailure(QStringLiteral("Locker file does not exist."));
    TSecretText Password;
    try {
        Password.Value = AskSecret(Args.PasswordStdin, QStringLiteral("Password: "), false);
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    }
    // The engine's check takes no cancel query, and there is nothing to clean up after it.
    InstallExitOnInterrupt();
    if (InterruptRequested())
        return ReportFailure(QStringLiteral("Operation cancelled by user."));
    TProgressBar Bar(QString{});
    Bar.Status(QStringLiteral("Checking the locker..."));
    QString Message;
    const bool Sound = VerifyLocker(Locker, Password.Value, Message);
    Bar.Finish();
    if (!Sound)
        return ReportFailure(Message);
    PrintErr(QStringLiteral("Locker verified: the password opens it and its contents are authentic."));
    return ExitSuccess;
}
