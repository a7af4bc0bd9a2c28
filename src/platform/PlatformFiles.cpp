#include "platform/PlatformFiles.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformFilesInternal.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace PlatformFilesInternal;

namespace {

bool GForceRenameFallback = false;

bool LStat(const QString& Path, struct stat& St) {
    QByteArray Encoded;
    return EncodePath(Path, Encoded) && ::lstat(Encoded.constData(), &St) == 0;
}

[[noreturn]] void RaiseRenameError(int Errno) {
    throw EKelvarnError(SystemErrorText(Errno));
}

int RenameNoReplaceSyscall(const char* Source, const char* Target) {
#ifdef SYS_renameat2
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, Source, AT_FDCWD, Target, RENAME_NOREPLACE));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// For file systems without RENAME_NOREPLACE. A file gets a second name with link(), which never
// replaces anything, and then loses the first. A folder cannot be linked: an empty placeholder folder
// claims the target name first (mkdir never replaces either), and rename() then replaces only that
// placeholder, which no one else can have filled without making the rename fail.
void RenameByLink(const char* Source, const char* Target) {
    struct stat St;
    if (::lstat(Source, &St) != 0)
        RaiseRenameError(errno);
    if (S_ISDIR(St.st_mode)) {
        if (::mkdir(Target, 0700) != 0)
            RaiseRenameError(errno);
        if (::rename(Source, Target) != 0) {
            const int Saved = errno;
            ::rmdir(Target);
            RaiseRenameError(Saved);
        }
        return;
    }
    if (::link(Source, Target) != 0)
        RaiseRenameError(errno);
    if (::unlink(Source) != 0) {
        const int Saved = errno;
        ::unlink(Target); // back to the single original name
        RaiseRenameError(Saved);
    }
}

} // namespace

namespace PlatformFilesInternal {

QList<TDirEntry> ReadFolderEntries(DIR* Dir, const QString& Folder, const QSet<QByteArray>* HiddenNames,
                                   const QByteArray& AttributePrefix, bool FilesSystem) {
    const int DirFd = ::dirfd(Dir);
    const QString Slashed = Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/');
    QList<TDirEntry> Entries;
    for (;;) {
        errno = 0;
        const dirent* Ent = ::readdir(Dir);
        if (!Ent) {
            if (errno != 0)
                throw EKelvarnError(
                    QStringLiteral("Cannot read folder \"%1\". %2").arg(Folder, SystemErrorText(errno)));
            break;
        }
        const QByteArray Raw(Ent->d_name);
        if (Raw == "." || Raw == "..")
            continue;
        const QString Name = QFile::decodeName(Raw);
        // A name that is not valid UTF-8 would come back as a different name, or even as the name of
        // another entry; packing or deleting under it could lose the real one.
        if (QFile::encodeName(Name) != Raw)
            throw EKelvarnError(QStringLiteral("Cannot use a name in folder \"%1\": it is not valid UTF-8 (\"%2\").")
                                    .arg(Folder, Name));
        struct stat St;
        if (::fstatat(DirFd, Ent->d_name, &St, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue; // removed since readdir saw it
            throw EKelvarnError(
                QStringLiteral("Cannot read the attributes of \"%1\". %2").arg(Slashed + Name, SystemErrorText(errno)));
        }
        TDirEntry Entry;
        Entry.Name = Name;
        if (S_ISREG(St.st_mode))
            Entry.Kind = TEntryKind::File;
        else if (S_ISDIR(St.st_mode))
            Entry.Kind = TEntryKind::Directory;
        else if (S_ISLNK(St.st_mode))
            Entry.Kind = TEntryKind::SymLink;
        else
            Entry.Kind = TEntryKind::Other;
        Entry.Attributes = 0;
        if (HiddenNames) {
            const bool Hidden = Raw.startsWith('.') || HiddenNames->contains(Raw);
            Entry.Attributes =
                AttributesFromStat(St, AttributePrefix + Raw, Hidden, FilesSystem || !S_ISREG(St.st_mode));
        }
        Entry.Size = S_ISREG(St.st_mode) ? static_cast<int64_t>(St.st_size) : 0;
        Entry.Identity = {static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino)};
        Entries.append(std::move(Entry));
    }
    return Entries;
}

bool EncodePath(const QString& Path, QByteArray& Out) {
    if (Path.contains(QChar(0))) {
        errno = EINVAL;
        return false;
    }
    Out = QFile::encodeName(Path);
    return true;
}

bool RenameFallbackForced() {
    return GForceRenameFallback;
}

void SplitFullPath(const QByteArray& Full, QByteArray& Folder, QByteArray& Name) {
    const qsizetype Slash = Full.lastIndexOf('/');
    if (Slash < 0) {
        Folder = QByteArray(".");
        Name = Full;
        return;
    }
    Folder = Slash == 0 ? QByteArray("/") : Full.left(Slash);
    Name = Full.mid(Slash + 1);
}

} // namespace PlatformFilesInternal

bool Fs::FileExists(const QString& Path) {
    struct stat St;
    return LStat(Path, St) && S_ISREG(St.st_mode);
}

bool Fs::DirectoryExists(const QString& Path) {
    struct stat St;
    return LStat(Path, St) && S_ISDIR(St.st_mode);
}

bool Fs::PathExists(const QString& Path) {
    struct stat St;
    return LStat(Path, St);
}

QList<TDirEntry> Fs::ListFolder(const QString& Folder) {
    QByteArray EncodedFolder;
    DIR* Dir = EncodePath(Folder, EncodedFolder) ? ::opendir(EncodedFolder.constData()) : nullptr;
    if (!Dir)
        throw EKelvarnError(QStringLiteral("Cannot open folder \"%1\". %2").arg(Folder, SystemErrorText(errno)));
    struct TDirCloser {
        DIR* D;
        ~TDirCloser() { ::closedir(D); }
    } Closer{Dir};

    const QSet<QByteArray> HiddenNames = ReadHiddenNames(EncodedFolder);
    QByteArray Prefix = EncodedFolder;
    if (!Prefix.endsWith('/'))
        Prefix += '/';

    return ReadFolderEntries(Dir, Folder, &HiddenNames, Prefix);
}

QString Fs::FullPath(const QString& Path) {
    if (Path.isEmpty())
        return QString();
    QString Absolute = Path;
    if (!Absolute.startsWith(QLatin1Char('/')))
        Absolute = QDir::currentPath() + QLatin1Char('/') + Absolute;
    QStringList Parts;
    for (const QString& Part : Absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (Part == QLatin1String("."))
            continue;
        if (Part == QLatin1String("..")) {
            if (!Parts.isEmpty())
                Parts.removeLast();
            continue;
        }
        Parts.append(Part);
    }
    return QLatin1Char('/') + Parts.join(QLatin1Char('/'));
}

bool Fs::IsSameOrInside(const QString& Path, const QString& Folder) {
    if (Path.isEmpty() || Folder.isEmpty())
        return false;
    if (Path == Folder)
        return true;
    return Path.startsWith(Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/'));
}

bool Fs::ForceDirectories(const QString& Path) {
    const QString Full = Fs::FullPath(Path);
    if (Full.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    QByteArray Encoded;
    if (!EncodePath(Full, Encoded))
        return false;
    struct stat St;
    if (::stat(Encoded.constData(), &St) == 0) {
        if (S_ISDIR(St.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    // Create each missing component from the top; EEXIST is fine as long as a folder ends up there.
    for (qsizetype Pos = 1; Pos <= Encoded.size(); ++Pos) {
        if (Pos < Encoded.size() && Encoded.at(Pos) != '/')
            continue;
        const QByteArray Prefix = Encoded.left(Pos);
        if (::mkdir(Prefix.constData(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    if (::stat(Encoded.constData(), &St) != 0)
        return false;
    if (!S_ISDIR(St.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool Fs::DeleteFile(const QString& Path) {
    QByteArray Encoded;
    return EncodePath(Path, Encoded) && ::unlink(Encoded.constData()) == 0;
}

bool Fs::RemoveDir(const QString& Path) {
    QByteArray Encoded;
    return EncodePath(Path, Encoded) && ::rmdir(Encoded.constData()) == 0;
}

void Fs::RenameNoReplace(const QString& Source, const QString& Target) {
    QByteArray S, T;
    if (!EncodePath(Source, S) || !EncodePath(Target, T))
        RaiseRenameError(errno);
    if (!GForceRenameFallback) {
        if (RenameNoReplaceSyscall(S.constData(), T.constData()) == 0)
            return;
        if (errno != EINVAL && errno != ENOSYS)
            RaiseRenameError(errno);
    }
    RenameByLink(S.constData(), T.constData());
}

void SetRenameNoReplaceFallbackForTest(bool Force) {
    GForceRenameFallback = Force;
}

QString SystemErrorText(int Errno) {
    char Buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* Text = ::strerror_r(Errno, Buffer, sizeof(Buffer));
    return QString::fromLocal8Bit(Text ? Text : Buffer);
}
