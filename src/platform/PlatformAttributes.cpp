#include "platform/PlatformFiles.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformFilesInternal.h"

#include <QFile>
#include <QList>

#include <cerrno>
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

// Writes Content as Folder's list under a private name beside it, then renames it over whatever
// entry bears the list's name then (never following it), so that readers see the old list or the
// new one, never a part. Mode and group of the old list are kept; a new list gets what the umask
// leaves of 0666, as any file the user creates.
void ReplaceList(const TDirHandle& Folder, const QByteArray& Content, const struct stat* Old) {
    TPendingFile List(Folder, 0666);
    if (Old) {
        const int Fd = List.Stream().Handle();
        ::fchmod(Fd, Old->st_mode & 07777);
        if (Old->st_gid != ::getegid())
            (void)::fchown(Fd, static_cast<uid_t>(-1), Old->st_gid); // only root or a member can
    }
    List.Stream().WriteBuffer(Content.constData(), Content.size());
    List.Commit(QLatin1String(HiddenListName), true);
}

// Adds Name to, or removes it from, Folder's ".hidden" list. Other lines stay as they are, in their
// order. A list left without any name is removed. False with errno set when the folder or the old
// list cannot be read; raises when the list is not a regular file of the user's (see
// Fs::SetFileAttributes) or the new one cannot be written.
bool EditHiddenList(const QByteArray& Folder, const QByteArray& Name, bool Add) {
    // Every step below works in this one folder, whatever its path leads to meanwhile. O_PATH: the
    // list can be edited in a folder the user may write to but not list.
    const int DirFd = ::open(Folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (DirFd < 0)
        return false;
    const TDirHandle Dir = TDirHandle::Adopt(DirFd, QFile::decodeName(Folder));
    // Opened first and examined through the descriptor: a neighbour's link is never followed, their
    // FIFO never waited on, and what is checked is what is read.
    struct stat Old;
    bool Exists = false;
    QList<QByteArray> Lines;
    {
        const TFd File(::openat(Dir.Fd(), HiddenListName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
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
    // A writer killed before its rename left its temporary list here; the journal knows it.
    try {
        RemoveLeftovers(Dir);
    } catch (const EKelvarnError&) {
        // Litter only: the next edit or operation in this folder tries again.
    }
    if (Add) {
        Kept.append(Name);
        AnyName = true;
    }
    if (!AnyName)
        return ::unlinkat(Dir.Fd(), HiddenListName, 0) == 0 || errno == ENOENT;
    QByteArray Content = Kept.join('\n');
    Content += '\n';
    RunFileStepHook("EditHiddenList:replace", QFile::decodeName(HiddenListPath(Folder)));
    ReplaceList(Dir, Content, Exists ? &Old : nullptr);
    return true;
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
