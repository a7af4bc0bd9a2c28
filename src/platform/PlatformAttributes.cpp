#include "PlatformFiles.h"

#include "PlatformDirHandle.h"
#include "PlatformFilesInternal.h"

#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace PlatformFilesInternal;

namespace {

constexpr char SystemXattr[] = "user.kelvarn.system";
// A ".hidden" file is a short list of names; anything larger is not one we should rewrite.
constexpr qsizetype MaxHiddenListSize = 16 * 1024 * 1024;

// User extended attributes exist only on regular files and folders.
bool CanHoldXattr(mode_t Mode) {
    return S_ISREG(Mode) || S_ISDIR(Mode);
}

bool HasSystemXattr(const QByteArray& Path) {
    return ::lgetxattr(Path.constData(), SystemXattr, nullptr, 0) >= 0;
}

// The same through a descriptor's /proc entry, which must be followed to reach the item.
bool HasSystemXattrThrough(const QByteArray& ProcPath) {
    return ::getxattr(ProcPath.constData(), SystemXattr, nullptr, 0) >= 0;
}

bool XattrUnsupported(int Errno) {
    return Errno == ENOTSUP || Errno == EOPNOTSUPP;
}

class TFd {
public:
    explicit TFd(int Fd) : FFd(Fd) {}
    ~TFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    int Release() {
        const int Fd = FFd;
        FFd = -1;
        return Fd;
    }

private:
    int FFd;
};

// Whole content of an open regular file, or false with errno set.
bool ReadAll(int Fd, QByteArray& Out) {
    struct stat St;
    if (::fstat(Fd, &St) != 0)
        return false;
    if (!S_ISREG(St.st_mode)) {
        errno = EINVAL;
        return false;
    }
    Out.clear();
    char Buffer[8192];
    for (;;) {
        const ssize_t N = ::read(Fd, Buffer, sizeof(Buffer));
        if (N < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (N == 0)
            return true;
        if (Out.size() + N > MaxHiddenListSize) {
            errno = EFBIG;
            return false;
        }
        Out.append(Buffer, N);
    }
}

bool WriteAll(int Fd, const QByteArray& Data) {
    qsizetype Done = 0;
    while (Done < Data.size()) {
        const ssize_t N = ::write(Fd, Data.constData() + Done, static_cast<size_t>(Data.size() - Done));
        if (N < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        Done += N;
    }
    return true;
}

QByteArray LineName(QByteArray Line) {
    if (Line.endsWith('\r'))
        Line.chop(1);
    return Line;
}

// Lines of a ".hidden" file, without the empty piece after a final newline.
QList<QByteArray> SplitLines(const QByteArray& Content) {
    QList<QByteArray> Lines = Content.split('\n');
    if (!Lines.isEmpty() && Lines.last().isEmpty())
        Lines.removeLast();
    return Lines;
}

QByteArray HiddenListPath(const QByteArray& Folder) {
    return Folder.endsWith('/') ? Folder + HiddenListName : Folder + '/' + HiddenListName;
}

// Writes Content to Path through a temporary file in the same folder, so that readers see either
// the old list or the new one, never a part. Mode and owner of the old list are kept.
bool ReplaceAtomically(const QByteArray& Folder, const QByteArray& Path, const QByteArray& Content,
                       const struct stat* Old) {
    QByteArray TempPath;
    int Fd = -1;
    for (int Attempt = 0; Attempt < 100 && Fd < 0; ++Attempt) {
        TempPath = Path + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        // 0666 lets the umask decide for a new list, as for any file the user creates.
        Fd = ::open(TempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (Fd < 0 && errno != EEXIST)
            return false;
    }
    if (Fd < 0)
        return false;
    TFd File(Fd);
    if (Old) {
        ::fchmod(Fd, Old->st_mode & 07777);
        if (Old->st_uid != ::geteuid() || Old->st_gid != ::getegid())
            (void)::fchown(Fd, Old->st_uid, Old->st_gid); // only root can; others keep their own
    }
    bool Ok = WriteAll(Fd, Content) && ::fsync(Fd) == 0;
    if (Ok)
        Ok = ::close(File.Release()) == 0;
    if (Ok)
        Ok = ::rename(TempPath.constData(), Path.constData()) == 0;
    if (!Ok) {
        const int Saved = errno;
        ::unlink(TempPath.constData());
        errno = Saved;
        return false;
    }
    TFd Dir(::open(Folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Dir.Get() >= 0)
        ::fsync(Dir.Get()); // the rename itself reaches the disk; failure here loses nothing
    return true;
}

// Temporary lists that a process killed while writing left behind: ours by their name, and old
// enough that no living writer is still at work on them.
void RemoveStaleTemporaries(const QByteArray& Folder) {
    DIR* Dir = ::opendir(Folder.constData());
    if (!Dir)
        return;
    const QByteArray Prefix = QByteArray(HiddenListName) + '.';
    const time_t Stale = ::time(nullptr) - 60;
    while (const dirent* Entry = ::readdir(Dir)) {
        const QByteArray Name(Entry->d_name);
        if (!Name.startsWith(Prefix) || !Name.endsWith(".tmp"))
            continue;
        struct stat St;
        if (::fstatat(::dirfd(Dir), Entry->d_name, &St, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(St.st_mode) &&
            St.st_uid == ::geteuid() && St.st_mtime < Stale)
            ::unlinkat(::dirfd(Dir), Entry->d_name, 0);
    }
    ::closedir(Dir);
}

// Adds Name to, or removes it from, Folder's ".hidden" list. Other lines stay as they are, in their
// order. A list left without any name is removed.
bool EditHiddenList(const QByteArray& Folder, const QByteArray& Name, bool Add) {
    const QByteArray Path = HiddenListPath(Folder);
    struct stat Old;
    const bool Exists = ::lstat(Path.constData(), &Old) == 0;
    if (!Exists && errno != ENOENT)
        return false;
    if (Exists && !S_ISREG(Old.st_mode)) {
        errno = EINVAL; // a link or anything else here is not ours to replace
        return false;
    }
    QList<QByteArray> Lines;
    if (Exists) {
        TFd File(::open(Path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        QByteArray Content;
        if (File.Get() < 0 || !ReadAll(File.Get(), Content))
            return false;
        Lines = SplitLines(Content);
    }
    QList<QByteArray> Kept;
    bool Listed = false;
    bool AnyName = false;
    for (const QByteArray& Line : Lines) {
        if (LineName(Line) == Name) {
            Listed = true;
            if (!Add)
                continue;
        }
        AnyName = AnyName || !LineName(Line).isEmpty();
        Kept.append(Line);
    }
    if (Listed == Add)
        return true;
    RemoveStaleTemporaries(Folder);
    if (Add) {
        Kept.append(Name);
        AnyName = true;
    }
    if (!AnyName)
        return ::unlink(Path.constData()) == 0 || errno == ENOENT;
    QByteArray Content = Kept.join('\n');
    Content += '\n';
    return ReplaceAtomically(Folder, Path, Content, Exists ? &Old : nullptr);
}

bool SetSystemXattrThrough(const QByteArray& ProcPath, bool Set) {
    const int Result = Set ? ::setxattr(ProcPath.constData(), SystemXattr, "1", 1, 0)
                           : ::removexattr(ProcPath.constData(), SystemXattr);
    if (Result == 0)
        return true;
    return XattrUnsupported(errno) || (!Set && errno == ENODATA);
}

} // namespace

namespace PlatformFilesInternal {

QSet<QByteArray> ReadHiddenNames(const QByteArray& Folder) {
    return ReadHiddenNamesAt(AT_FDCWD, HiddenListPath(Folder));
}

QSet<QByteArray> ReadHiddenNamesAt(int DirFd, const QByteArray& ListPath) {
    QSet<QByteArray> Names;
    // O_NONBLOCK: a FIFO planted under that name must not hang the listing. O_NOFOLLOW: a link
    // planted there would make us read, and later rewrite, a file elsewhere.
    TFd File(::openat(DirFd, ListPath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    QByteArray Content;
    if (File.Get() < 0 || !ReadAll(File.Get(), Content))
        return Names;
    for (const QByteArray& Line : SplitLines(Content)) {
        const QByteArray Name = LineName(Line);
        if (!Name.isEmpty())
            Names.insert(Name);
    }
    return Names;
}

uint32_t AttributesFromStat(const struct stat& St, const QByteArray& EncodedPath, bool Hidden, bool ReadSystem) {
    uint32_t Attributes = 0;
    if (S_ISDIR(St.st_mode))
        Attributes |= Attr::Directory;
    // A link has no permissions of its own (lstat shows 0777), so it is never read-only.
    if (!S_ISLNK(St.st_mode) && (St.st_mode & S_IWUSR) == 0)
        Attributes |= Attr::ReadOnly;
    if (Hidden)
        Attributes |= Attr::Hidden;
    if (ReadSystem && CanHoldXattr(St.st_mode) && HasSystemXattr(EncodedPath))
        Attributes |= Attr::System;
    Attributes |= static_cast<uint32_t>(St.st_mode & 07777) << Attr::PermShift;
    return Attributes;
}

} // namespace PlatformFilesInternal

uint32_t Fs::GetFileAttributes(const QString& Path) {
    QByteArray Encoded;
    struct stat St;
    if (!EncodePath(Path, Encoded) || ::lstat(Encoded.constData(), &St) != 0)
        return Attr::Invalid;
    QByteArray Full, Folder, Name;
    if (!EncodePath(Fs::FullPath(Path), Full))
        return Attr::Invalid;
    SplitFullPath(Full, Folder, Name);
    const bool Hidden = Name.startsWith('.') || (!Name.isEmpty() && ReadHiddenNames(Folder).contains(Name));
    return AttributesFromStat(St, Encoded, Hidden);
}

bool Fs::SetFileAttributes(const QString& Path, uint32_t Attributes) {
    QByteArray Encoded;
    struct stat St;
    if (!EncodePath(Path, Encoded) || ::lstat(Encoded.constData(), &St) != 0)
        return false;

    // Hidden: a leading dot hides by itself; other names go through the folder's list.
    QByteArray Full, Folder, Name;
    if (!EncodePath(Fs::FullPath(Path), Full))
        return false;
    SplitFullPath(Full, Folder, Name);
    const bool WantHidden = (Attributes & Attr::Hidden) != 0;
    if (Name.isEmpty()) {
        if (WantHidden) {
            errno = EINVAL; // the root folder has no name to list
            return false;
        }
    } else if (!Name.startsWith('.') || !WantHidden) {
        const bool Listed = ReadHiddenNames(Folder).contains(Name);
        if (Listed != WantHidden) {
            // A line break in the name would list other names, and hide them, instead of this one.
            if (WantHidden && (Name.contains('\n') || Name.contains('\r'))) {
                errno = EINVAL;
                return false;
            }
            if (!EditHiddenList(Folder, Name, WantHidden))
                return false;
        }
    }

    if (S_ISLNK(St.st_mode))
        return true; // a link has no permissions or user attributes of its own

    // From here on the item is reached through a descriptor opened without following a link, and
    // only while it is the item examined above: a link swapped in meanwhile is never followed to
    // whatever it leads to. The descriptor's /proc entry names that very inode.
    RunFileStepHook("SetFileAttributes:apply", Path);
    const TFd Item(::open(Encoded.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat Now;
    if (Item.Get() < 0 || ::fstat(Item.Get(), &Now) != 0)
        return false;
    if (Now.st_dev != St.st_dev || Now.st_ino != St.st_ino || (Now.st_mode & S_IFMT) != (St.st_mode & S_IFMT)) {
        errno = ESTALE;
        return false;
    }
    Encoded = "/proc/self/fd/" + QByteArray::number(Item.Get());

    mode_t Current = St.st_mode & 07777;
    mode_t Wanted = (Attributes >> Attr::PermShift) != 0 ? ((Attributes >> Attr::PermShift) & 0777) : Current;
    if (Attributes & Attr::ReadOnly)
        Wanted &= ~static_cast<mode_t>(0222);
    else
        Wanted |= S_IWUSR;

    if (CanHoldXattr(St.st_mode)) {
        const bool WantSystem = (Attributes & Attr::System) != 0;
        if (HasSystemXattrThrough(Encoded) != WantSystem) {
            // Changing a user attribute needs write permission on the file itself.
            if ((Current & S_IWUSR) == 0 && ::chmod(Encoded.constData(), Current | S_IWUSR) == 0)
                Current |= S_IWUSR;
            if (!SetSystemXattrThrough(Encoded, WantSystem)) {
                const int Saved = errno;
                if (Current != (St.st_mode & 07777))
                    ::chmod(Encoded.constData(), St.st_mode & 07777);
                errno = Saved;
                return false;
            }
        }
    }
    if (Wanted != Current && ::chmod(Encoded.constData(), Wanted) != 0)
        return false;
    return true;
}

bool TFileStream::HasSystemAttribute() const {
    return FHandle >= 0 && ::fgetxattr(FHandle, SystemXattr, nullptr, 0) >= 0;
}
