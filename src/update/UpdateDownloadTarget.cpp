#include "update/UpdateDownloadTarget.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformEnvironment.h"
#include "platform/PlatformFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString CacheBase() {
    const QString Cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!Cache.isEmpty() && QDir::isAbsolutePath(Cache))
        return Cache;
    const QString Home = qEnvironmentVariable("HOME");
    if (!Home.isEmpty() && QDir::isAbsolutePath(Home))
        return Home + QStringLiteral("/.cache");
    return QString();
}

[[noreturn]] void RaiseFor(const QString& What, const QString& Path, int Errno) {
    throw EKelvarnError(QStringLiteral("Cannot %1 \"%2\". %3").arg(What, Path, SystemErrorText(Errno)));
}

void MakePrivateFolder(const QString& Folder) {
    const QString Parent = QFileInfo(Folder).path();
    if (!Fs::ForceDirectories(Parent))
        RaiseFor(QStringLiteral("create the folder"), Parent, errno);
    const QByteArray Native = QFile::encodeName(Folder);
    if (mkdir(Native.constData(), 0700) != 0 && errno != EEXIST)
        RaiseFor(QStringLiteral("create the folder"), Folder, errno);
    // An existing entry must be our own real folder; its mode is then narrowed to ours alone.
    struct stat Info {};
    if (lstat(Native.constData(), &Info) != 0)
        RaiseFor(QStringLiteral("open the folder"), Folder, errno);
    if (!S_ISDIR(Info.st_mode) || Info.st_uid != geteuid())
        RaiseFor(QStringLiteral("use the folder"), Folder, ENOTDIR);
    if ((Info.st_mode & 07777) != 0700 && chmod(Native.constData(), 0700) != 0)
        RaiseFor(QStringLiteral("protect the folder"), Folder, errno);
}

} // namespace

QString UpdateDownloadFolder() {
    const QString Base = CacheBase();
    return Base.isEmpty() ? QString() : Base + QStringLiteral("/NVL Kelvarn");
}

QString UpdateDownloadPath() {
    const QString Folder = UpdateDownloadFolder();
    return Folder.isEmpty() ? QString() : Folder + QStringLiteral("/nvl_update.deb");
}

std::unique_ptr<QFile> CreateDownloadTarget() {
    const QString Folder = UpdateDownloadFolder();
    if (Folder.isEmpty())
        throw EKelvarnError(QStringLiteral("No cache folder: neither XDG_CACHE_HOME nor HOME names one."));
    MakePrivateFolder(Folder);
    const QString Path = UpdateDownloadPath();
    const int Fd =
        open(QFile::encodeName(Path).constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (Fd < 0)
        RaiseFor(QStringLiteral("create the file"), Path, errno);
    struct stat Info {};
    const int StatError = fstat(Fd, &Info) != 0 ? errno : !S_ISREG(Info.st_mode) ? EINVAL : 0;
    if (StatError != 0) {
        close(Fd);
        RaiseFor(QStringLiteral("create the file"), Path, StatError);
    }
    // Emptied only once it is known to be a regular file (a FIFO or device is never touched); an
    // older file keeps no wider mode than a new one gets.
    if (fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) & ~O_NONBLOCK) != 0 || fchmod(Fd, 0600) != 0 || ftruncate(Fd, 0) != 0) {
        const int Error = errno;
        close(Fd);
        RaiseFor(QStringLiteral("create the file"), Path, Error);
    }
    auto File = std::make_unique<QFile>(Path);
    if (!File->open(Fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        close(Fd);
        throw EKelvarnError(File->errorString());
    }
    return File;
}
