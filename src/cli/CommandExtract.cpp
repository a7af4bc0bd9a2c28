#include "CliCommands.h"
#include "CliInterrupt.h"
#include "KelvarnError.h"
#include "PlatformFiles.h"
#include "ProgressBar.h"
#include "SecretPrompt.h"
#include "uLocker.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// Folders this command had to create, so that a failed extraction leaves none of them behind.
class TCreatedFolders {
public:
    explicit TCreatedFolders(const QString& Folder) : FFolder(Folder) {
        QString Probe = Folder;
        while (!PathExists(Probe)) {
            FTopmost = Probe;
            const QString Parent = QFileInfo(Probe).absolutePath();
            if (Parent == Probe)
                break;
            Probe = Parent;
        }
    }
    // Removes, bottom up, the folders that did not exist before, as long as they are empty.
    void RemoveIfEmpty() const {
        if (FTopmost.isEmpty())
            return;
        QString Current = FFolder;
        for (;;) {
            if (!RemoveDir(Current))
                return;
            if (Current == FTopmost)
                return;
            Current = QFileInfo(Current).absolutePath();
        }
    }

private:
    QString FFolder;
    QString FTopmost;
};

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
    PrintErr(QStringLiteral("Extracted into: %1").arg(Folder));
    return ExitSuccess;
}

// Rebuilds the item in a private folder inside Folder, then moves it into place without replacing
// anything: a failed or cancelled extraction leaves nothing behind and touches nothing that exists.
int ExtractAside(const QString& Locker, const QString& Folder, const QString& Secret) {
    const TCreatedFolders Created(Folder);
    if (!ForceDirectories(Folder))
        return ReportFailure(QStringLiteral("Cannot create folder \"%1\".").arg(Folder));
    int Exit = ExitFailure;
    {
        QTemporaryDir Aside(Folder + QStringLiteral("/.kvlocker-extract-XXXXXX"));
        if (!Aside.isValid()) {
            Exit =
                ReportFailure(QStringLiteral("Cannot create a folder in \"%1\". %2").arg(Folder, Aside.errorString()));
        } else {
            TLockerResult Result;
            {
                TProgressBar Bar(QStringLiteral("Extracting"));
                try {
                    Result = Extract(Locker, Aside.path(), Secret, Bar);
                } catch (const EKelvarnError& E) {
                    Result.MessageText = E.Message(); // the locker could not even be opened
                }
            }
            if (!Result.Success) {
                Exit = ReportFailure(Result.MessageText);
            } else {
                ReportRecoveryUse(Result);
                const QStringList Items =
                    QDir(Aside.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                if (Items.isEmpty()) {
                    PrintErr(QStringLiteral("The locker holds nothing."));
                    Exit = ExitSuccess;
                } else if (Items.size() > 1) {
                    Exit = ReportFailure(QStringLiteral("The locker holds more than one item at its top; use --force "
                                                        "to extract them into \"%1\".")
                                             .arg(Folder));
                } else {
                    const QString Target = Folder + QLatin1Char('/') + Items.first();
                    if (PathExists(Target)) {
                        Exit = ReportFailure(
                            QStringLiteral("\"%1\" already exists. Use --force to extract over it.").arg(Target));
                    } else {
                        try {
                            RenameNoReplace(Aside.path() + QLatin1Char('/') + Items.first(), Target);
                            PrintErr(QStringLiteral("Extracted: %1").arg(Target));
                            Exit = ExitSuccess;
                        } catch (const EKelvarnError& E) {
                            Exit = ReportFailure(E.Message());
                        }
                    }
                }
            }
        }
    }
    if (Exit != ExitSuccess)
        Created.RemoveIfEmpty();
    return Exit;
}

} // namespace

int RunExtract(const TCliArguments& Args) {
    const QString Locker = CleanCliPath(Args.Operands.at(0));
    if (!FileExists(Locker))
        return ReportFailure(QStringLiteral("Locker file does not exist."));
    const QString Folder =
        Args.Operands.size() > 1 ? CleanCliPath(Args.Operands.at(1)) : QFileInfo(Locker).absolutePath();
    if (PathExists(Folder) && !DirectoryExists(Folder))
        return ReportFailure(QStringLiteral("\"%1\" is not a folder.").arg(Folder));

    QString Secret;
    try {
        Secret = AskSecret(Args.PasswordStdin, QStringLiteral("Password or recovery code: "), false);
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    }
    TWipeOnExit WipeSecret(Secret);
    try {
        return Args.Force ? ExtractInPlace(Locker, Folder, Secret) : ExtractAside(Locker, Folder, Secret);
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    } catch (const std::exception& E) {
        return ReportFailure(QString::fromLocal8Bit(E.what()));
    }
}
