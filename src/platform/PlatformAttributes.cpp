#include "platform/PlatformFiles.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformFilesInternal.h"

#include <QFile>
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

[[noreturn]] void RefuseList(const QByteArray& Folder, const QString& Reason) {
    throw EKelvarnError(
        QStringLiteral("Cannot open file \"%1\". %2").arg(QFile::decodeName(HiddenListPath(Folder)), Reason));
}

// Writes Content as the list in the folder DirFd holds, through a temporary file beside it, so that
// readers see either the old list or the new one, never a part. The rename replaces whatever entry
// then bears the list's name, and never follows it. Mode and group of the old list are kept.
bool ReplaceAtomically(int DirFd, const QByteArray& Content, const struct stat* Old) {
    QByteArray TempName;
    int Fd = -1;
    for (int Attempt = 0; Attempt < 100 && Fd < 0; ++Attempt) {
        TempName =
            QByteArray(HiddenListName) + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        // 0666 lets the umask decide for a new list, as for any file the user creates.
        Fd = ::openat(DirFd, TempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (Fd < 0 && errno != EEXIST)
            return false;
    }
    if (Fd < 0)
        return false;
    TFd File(Fd);
    if (Old) {
        ::fchmod(Fd, Old->st_mode & 07777);
        if (Old->st_gid != ::getegid())
            (void)::fchown(Fd, static_cast<uid_t>(-1), Old->st_gid); // only root or a member can
    }
    bool Ok = WriteAll(Fd, Content) && ::fsync(Fd) == 0;
    if (Ok)
        Ok = ::close(File.Release()) == 0;
    if (Ok)
        Ok = ::renameat(DirFd, TempName.constData(), DirFd, HiddenListName) == 0;
    if (!Ok) {
        const int Saved = errno;
        ::unlinkat(DirFd, TempName.constData(), 0);
        errno = Saved;
        return false;
    }
    // The rename itself reaches the disk; failure here loses nothing.
    const TFd Synced(::openat(DirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Synced.Get() >= 0)
        ::fsync(Synced.Get());
    return true;
}

// Temporary lists that a process killed while writing left behind: ours by their name, and old
// enough that no living writer is still at work on them.
void RemoveStaleTemporaries(int DirFd) {
    TFd Listing(::openat(DirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* Dir = Listing.Get() >= 0 ? ::fdopendir(Listing.Get()) : nullptr;
    if (!Dir)
        return;
    Listing.Release(); // closedir closes it
    const QByteArray Prefix = QByteArray(HiddenListName) + '.';
    const time_t Stale = ::time(nullptr) - 60;
    while (const dirent* Entry = ::readdir(Dir)) {
        const QByteArray Name(Entry->d_name);
        if (!Name.startsWith(Prefix) || !Name.endsWith(".tmp"))
            continue;
        struct stat St;
        if (::fstatat(DirFd, Entry->d_name, &St, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(St.st_mode) &&
            St.st_uid == ::geteuid() && St.st_mtime < Stale)
            ::unlinkat(DirFd, Entry->d_name, 0);
    }
    ::closedir(Dir);
}

// Adds Name to, or removes it from, Folder's ".hidden" list. Other lines stay as they are, in their
// order. A list left without any name is removed. False with errno set when the system fails; raises
// when the list is not a regular file of the user's (see Fs::SetFileAttributes).
bool EditHiddenList(const QByteArray& Folder, const QByteArray& Name, bool Add) {
    // Every step below works in this one folder, whatever its path leads to meanwhile. O_PATH: the
    // list can be edited in a folder the user may write to but not list.
    const TFd Dir(::open(Folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (Dir.Get() < 0)
        return false;
    // Opened first and examined through the descriptor: a neighbour's link is never followed, their
    // FIFO never waited on, and what is checked is what is read.
    struct stat Old;
    bool Exists = false;
    QList<QByteArray> Lines;
    {
        const TFd File(::openat(Dir.Get(), HiddenListName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (File.Get() < 0) {
            if (errno == ELOOP)
                RefuseList(Folder, QStringLiteral("The path is a symbolic link."));
            if (errno == ENXIO) // a socket
                RefuseList(Folder, QStringLiteral("It is not a regular file."));
            if (errno != ENOENT)
                return false;
        } else {
            if (::fstat(File.Get(), &Old) != 0)
                return false;
            if (!S_ISREG(Old.st_mode))
                RefuseList(Folder, QStringLiteral("It is not a regular file."));
            // Another user's list is theirs to keep, even where root could replace it.
            if (Old.st_uid != ::geteuid())
                RefuseList(Folder, QStringLiteral("It belongs to another user."));
            QByteArray Content;
            if (!ReadAll(File.Get(), Content))
                return false;
            Exists = true;
            Lines = SplitLines(Content);
        }
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
    RemoveStaleTemporaries(Dir.Get());
    if (Add) {
        Kept.append(Name);
        AnyName = true;
    }
    if (!AnyName)
        return ::unlinkat(Dir.Get(), HiddenListName, 0) == 0 || errno == ENOENT;
    QByteArray Content = Kept.join('\n');
    Content += '\n';
    RunFileStepHook("EditHiddenList:replace", QFile::decodeName(HiddenListPath(Folder)));
    return ReplaceAtomically(Dir.Get(), Content, Exists ? &Old : nullptr);
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
