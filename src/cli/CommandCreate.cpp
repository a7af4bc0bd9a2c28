#include "CliCommands.h"
#include "CliInterrupt.h"
#include "KelvarnError.h"
#include "PlatformFiles.h"
#include "ProgressBar.h"
#include "SecretPrompt.h"
#include "uLocker.h"
#include "uSecurityUtils.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString ErrnoText(int Errno) {
    return QString::fromLocal8Bit(strerror(Errno));
}

// The new locker is written under a name of its own beside the final one, reserved with O_EXCL so
// that nothing else is ever truncated, and removed again unless it was renamed into place.
class TReservedTempFile {
public:
    explicit TReservedTempFile(const QString& Final) {
        for (int Attempt = 0; Attempt < 16; ++Attempt) {
            const QString Candidate =
                Final + QLatin1Char('.') + BytesToHex(RandomBytes(4)).toLower() + QStringLiteral(".tmp");
            const int Fd =
                ::open(QFile::encodeName(Candidate).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
            if (Fd >= 0) {
                ::close(Fd);
                FPath = Candidate;
                return;
            }
            if (errno != EEXIST)
                throw EKelvarnError(QStringLiteral("Cannot create file \"%1\". %2").arg(Candidate, ErrnoText(errno)));
        }
        throw EKelvarnError(QStringLiteral("Cannot create a temporary file beside \"%1\".").arg(Final));
    }
    ~TReservedTempFile() {
        if (!FPath.isEmpty())
            ::unlink(QFile::encodeName(FPath).constData());
    }
    TReservedTempFile(const TReservedTempFile&) = delete;
    TReservedTempFile& operator=(const TReservedTempFile&) = delete;

    const QString& Path() const { return FPath; }
    void Release() { FPath.clear(); }

private:
    QString FPath;
};

void SyncPath(const QString& Path, int Flags) {
    const int Fd = ::open(QFile::encodeName(Path).constData(), Flags | O_CLOEXEC);
    if (Fd < 0)
        throw EKelvarnError(QStringLiteral("Cannot open \"%1\". %2").arg(Path, ErrnoText(errno)));
    const int Rc = ::fsync(Fd);
    const int Errno = errno;
    ::close(Fd);
    if (Rc != 0)
        throw EKelvarnError(QStringLiteral("Cannot write \"%1\" to disk. %2").arg(Path, ErrnoText(Errno)));
}

bool IsSameOrInside(const QString& Path, const QString& Folder) {
    return Path == Folder || Path.startsWith(Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/'));
}

} // namespace

int RunCreate(const TCliArguments& Args) {
    const QString Source = CleanCliPath(Args.Operands.at(0));
    if (!PathExists(Source))
        return ReportFailure(QStringLiteral("Source path does not exist."));
    if (Source == QLatin1String("/"))
        return ReportFailure(QStringLiteral("Invalid source path."));
    const QString Locker =
        Args.Operands.size() > 1 ? CleanCliPath(Args.Operands.at(1)) : Source + QStringLiteral(".kvlocker");
    const QString LockerFolder = QFileInfo(Locker).absolutePath();

    if (!DirectoryExists(LockerFolder))
        return ReportFailure(QStringLiteral("Folder \"%1\" does not exist.").arg(LockerFolder));
    const QString SourceReal = QFileInfo(Source).canonicalFilePath();
    const QString LockerFolderReal = QFileInfo(LockerFolder).canonicalFilePath();
    // A locker inside its own source would pack itself while growing.
    if (DirectoryExists(Source) && IsSameOrInside(LockerFolderReal, SourceReal))
        return ReportFailure(QStringLiteral("The locker cannot be written inside the folder it packs."));
    if (PathExists(Locker)) {
        if (DirectoryExists(Locker))
            return ReportFailure(QStringLiteral("\"%1\" is a folder.").arg(Locker));
        if (QFileInfo(Locker).canonicalFilePath() == SourceReal)
            return ReportFailure(QStringLiteral("The locker cannot replace its own source."));
        if (!Args.Force)
            return ReportFailure(QStringLiteral("\"%1\" already exists. Use --force to replace it.").arg(Locker));
    }

    QString Password;
    try {
        Password = AskSecret(Args.PasswordStdin, QStringLiteral("Password for the new locker: "), true);
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    }
    TWipeOnExit WipePassword(Password);
    if (Password.isEmpty())
        return ReportFailure(QStringLiteral("Locker password cannot be empty."));

    try {
        TReservedTempFile Temp(Locker);
        TProgressBar Bar(QStringLiteral("Packing"));
        Bar.Status(QStringLiteral("Deriving keys..."));
        const TLockerResult Result = CreateLocker(
            Source, Temp.Path(), Password,
            [&Bar](const QString&, int64_t Done, int64_t Total) { Bar.Update(Done, Total); },
            [] { return InterruptRequested(); });
        if (!Result.Success) {
            Bar.Finish();
            return ReportFailure(Result.MessageText);
        }
        // Read the new locker back before it takes its name, as the hide workflow does.
        Bar.Status(QStringLiteral("Checking the new locker..."));
        QString VerifyMessage;
        const bool Sound = VerifyLocker(Temp.Path(), Password, VerifyMessage);
        Bar.Finish();
        if (!Sound)
            return ReportFailure(QStringLiteral("The new locker did not pass its check: %1").arg(VerifyMessage));
        if (InterruptRequested())
            return ReportFailure(QStringLiteral("Operation cancelled by user."));

        SyncPath(Temp.Path(), O_RDONLY);
        if (Args.Force) {
            // Replacing is wanted here, and rename() does it atomically: the old locker stays whole
            // until the new one is complete on disk.
            if (::rename(QFile::encodeName(Temp.Path()).constData(), QFile::encodeName(Locker).constData()) != 0)
                throw EKelvarnError(
                    QStringLiteral("Cannot rename \"%1\" to \"%2\". %3").arg(Temp.Path(), Locker, ErrnoText(errno)));
        } else {
            RenameNoReplace(Temp.Path(), Locker);
        }
        Temp.Release();
        SyncPath(LockerFolder, O_RDONLY | O_DIRECTORY);

        PrintErr(QStringLiteral("Locker created: %1").arg(Locker));
        PrintErr(QStringLiteral("Recovery code (it opens the locker without the password; keep it safe):"));
        PrintOut(Result.RecoveryCode);
        return ExitSuccess;
    } catch (const EKelvarnError& E) {
        return ReportFailure(E.Message());
    } catch (const std::exception& E) {
        return ReportFailure(QString::fromLocal8Bit(E.what()));
    }
}
