#include "platform/PlatformDirHandle.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformFilesInternal.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using namespace PlatformFilesInternal;

namespace {

TFileStepHook GFileStepHook;

QByteArray EncodeName(const QString& Name) {
    if (Name.isEmpty() || Name == QLatin1String(".") || Name == QLatin1String("..") ||
        Name.contains(QLatin1Char('/')) || Name.contains(QChar(0)))
        throw EKelvarnError(QStringLiteral("Invalid name \"%1\".").arg(Name));
    return QFile::encodeName(Name);
}

QString Join(const QString& Folder, const QString& Name) {
    return Folder.endsWith(QLatin1Char('/')) ? Folder + Name : Folder + QLatin1Char('/') + Name;
}

[[noreturn]] void RaiseAt(const char* What, const QString& Path, int Errno) {
    throw EKelvarnError(QStringLiteral("%1 \"%2\". %3").arg(QLatin1String(What), Path, SystemErrorText(Errno)));
}

[[noreturn]] void RaiseChanged(const QString& Path) {
    throw EKelvarnError(QStringLiteral("\"%1\" was replaced by another item while it was in use.").arg(Path));
}

// O_NOFOLLOW on a link gives ELOOP, or ENOTDIR together with O_DIRECTORY: both mean "a link".
[[noreturn]] void RaiseOpenFolder(int ParentFd, const QByteArray& Name, const QString& Path, int Errno) {
    struct stat St;
    if ((Errno == ELOOP || Errno == ENOTDIR) && ::fstatat(ParentFd, Name.constData(), &St, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(St.st_mode))
            throw EKelvarnError(QStringLiteral("Cannot open folder \"%1\". The path is a symbolic link.").arg(Path));
        if (!S_ISDIR(St.st_mode))
            throw EKelvarnError(QStringLiteral("Cannot open folder \"%1\". It is not a folder.").arg(Path));
    }
    RaiseAt("Cannot open folder", Path, Errno);
}

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int RenameNoReplaceAt(int FromFd, const char* From, int ToFd, const char* To) {
#ifdef SYS_renameat2
    return static_cast<int>(::syscall(SYS_renameat2, FromFd, From, ToFd, To, RENAME_NOREPLACE));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// A user's own folder that denies the user reading, writing or searching cannot be emptied; it is
// opened up first (it is about to go). Never through a link.
int OpenFolderForRemoval(int ParentFd, const QByteArray& Name) {
    int Fd = ::openat(ParentFd, Name.constData(), FolderFlags);
    if (Fd < 0 && errno == EACCES) {
        const int PathFd = ::openat(ParentFd, Name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (PathFd < 0)
            return -1;
        struct stat St;
        bool Opened = false;
        if (::fstat(PathFd, &St) == 0 && St.st_uid == ::geteuid()) {
            // chmod through the descriptor's own entry reaches that very folder, never a link.
            const QByteArray Proc = "/proc/self/fd/" + QByteArray::number(PathFd);
            Opened = ::chmod(Proc.constData(), (St.st_mode & 07777) | S_IRWXU) == 0;
        }
        ::close(PathFd);
        if (!Opened) {
            errno = EACCES;
            return -1;
        }
        Fd = ::openat(ParentFd, Name.constData(), FolderFlags);
    }
    if (Fd < 0)
        return -1;
    struct stat St;
    if (::fstat(Fd, &St) == 0 && St.st_uid == ::geteuid() && (St.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(Fd, (St.st_mode & 07777) | S_IRWXU);
    return Fd;
}

// Removes Name below ParentFd and everything under it, depth first, one open folder per level.
// Every folder is entered by openat(O_NOFOLLOW), so an item swapped for a link at any moment is
// removed as the link it is and nothing behind it is touched.
void RemoveTreeAt(int ParentFd, const QByteArray& Name, const QString& Path) {
    struct stat St;
    if (::fstatat(ParentFd, Name.constData(), &St, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return;
        RaiseAt("Cannot remove", Path, errno);
    }
    auto UnlinkOne = [](int Fd, const QByteArray& Item, const QString& ItemPath) {
        if (::unlinkat(Fd, Item.constData(), 0) != 0 && errno != ENOENT)
            RaiseAt("Cannot remove", ItemPath, errno);
    };
    if (!S_ISDIR(St.st_mode)) {
        UnlinkOne(ParentFd, Name, Path);
        return;
    }

    struct TLevel {
        DIR* Dir;
        QByteArray Name; // in the level above
        QString Path;
    };
    std::vector<TLevel> Stack;
    auto CloseAll = [&Stack] {
        for (TLevel& Level : Stack)
            ::closedir(Level.Dir);
        Stack.clear();
    };
    // Opens a folder for emptying; false when it turned out not to be a folder (it was removed as
    // what it is now).
    auto Enter = [&](int Parent, const QByteArray& Item, const QString& ItemPath) -> bool {
        RunFileStepHook("RemoveTree:descend", ItemPath);
        const int Fd = OpenFolderForRemoval(Parent, Item);
        if (Fd < 0) {
            const int Saved = errno;
            if (Saved == ENOENT)
                return false;
            if (Saved == ELOOP || Saved == ENOTDIR) {
                UnlinkOne(Parent, Item, ItemPath);
                return false;
            }
            RaiseAt("Cannot remove", ItemPath, Saved);
        }
        DIR* Dir = ::fdopendir(Fd);
        if (!Dir) {
            const int Saved = errno;
            ::close(Fd);
            RaiseAt("Cannot remove", ItemPath, Saved);
        }
        Stack.push_back({Dir, Item, ItemPath});
        return true;
    };

    try {
        if (!Enter(ParentFd, Name, Path))
            return;
        while (!Stack.empty()) {
            DIR* Dir = Stack.back().Dir;
            const int Fd = ::dirfd(Dir);
            errno = 0;
            const dirent* Ent = ::readdir(Dir);
            if (Ent) {
                const QByteArray Item(Ent->d_name);
                if (Item == "." || Item == "..")
                    continue;
                const QString ItemPath = Join(Stack.back().Path, QFile::decodeName(Item));
                struct stat ItemSt;
                if (::fstatat(Fd, Item.constData(), &ItemSt, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno == ENOENT)
                        continue;
                    RaiseAt("Cannot remove", ItemPath, errno);
                }
                if (S_ISDIR(ItemSt.st_mode))
                    Enter(Fd, Item, ItemPath);
                else
                    UnlinkOne(Fd, Item, ItemPath);
                continue;
            }
            if (errno != 0)
                RaiseAt("Cannot remove", Stack.back().Path, errno);
            const TLevel Done = Stack.back();
            Stack.pop_back();
            ::closedir(Done.Dir);
            const int Parent = Stack.empty() ? ParentFd : ::dirfd(Stack.back().Dir);
            if (::unlinkat(Parent, Done.Name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
                RaiseAt("Cannot remove", Done.Path, errno);
        }
    } catch (...) {
        CloseAll();
        throw;
    }
}

} // namespace

TFileIdentity IdentityOf(const struct stat& St) {
    return {static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino)};
}

// ---- TDirHandle ----

TDirHandle::~TDirHandle() {
    if (FFd >= 0)
        ::close(FFd);
}

TDirHandle::TDirHandle(TDirHandle&& Other) noexcept : FFd(Other.FFd), FPath(std::move(Other.FPath)) {
    Other.FFd = -1;
}

TDirHandle& TDirHandle::operator=(TDirHandle&& Other) noexcept {
    if (this != &Other) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = Other.FFd;
        FPath = std::move(Other.FPath);
        Other.FFd = -1;
    }
    return *this;
}

TDirHandle TDirHandle::Open(const QString& Path, bool FollowLink) {
    QByteArray Encoded;
    if (Path.isEmpty() || !EncodePath(Path, Encoded))
        RaiseAt("Cannot open folder", Path, Path.isEmpty() ? ENOENT : errno);
    const int Fd = ::open(Encoded.constData(), FollowLink ? FolderFlags & ~O_NOFOLLOW : FolderFlags);
    if (Fd < 0)
        RaiseOpenFolder(AT_FDCWD, Encoded, Path, errno);
    return TDirHandle(Fd, Path);
}

QString TDirHandle::ChildPath(const QString& Name) const {
    return Join(FPath, Name);
}

TDirHandle TDirHandle::Duplicate() const {
    const int Fd = ::fcntl(FFd, F_DUPFD_CLOEXEC, 0);
    if (Fd < 0)
        RaiseAt("Cannot open folder", FPath, errno);
    return TDirHandle(Fd, FPath);
}

struct stat TDirHandle::Stat() const {
    struct stat St;
    if (::fstat(FFd, &St) != 0)
        RaiseAt("Cannot read the attributes of", FPath, errno);
    return St;
}

TFileIdentity TDirHandle::Identity() const {
    return IdentityOf(Stat());
}

bool TDirHandle::StatChild(const QString& Name, struct stat& St) const {
    return ::fstatat(FFd, EncodeName(Name).constData(), &St, AT_SYMLINK_NOFOLLOW) == 0;
}

TDirHandle TDirHandle::OpenFolder(const QString& Name, const TFileIdentity* Expected) const {
    const QByteArray Encoded = EncodeName(Name);
    const int Fd = ::openat(FFd, Encoded.constData(), FolderFlags);
    if (Fd < 0)
        RaiseOpenFolder(FFd, Encoded, ChildPath(Name), errno);
    TDirHandle Folder(Fd, ChildPath(Name));
    if (Expected && Folder.Identity() != *Expected)
        RaiseChanged(Folder.Path());
    return Folder;
}

TDirHandle TDirHandle::CreateFolder(const QString& Name, mode_t Mode) const {
    const QByteArray Encoded = EncodeName(Name);
    if (::mkdirat(FFd, Encoded.constData(), Mode) != 0)
        RaiseAt("Cannot create folder", ChildPath(Name), errno);
    TDirHandle Folder = OpenFolder(Name);
    // Between mkdirat and openat only someone who may write here could put another folder there;
    // it would not be ours.
    const struct stat St = Folder.Stat();
    if (St.st_uid != ::geteuid())
        RaiseChanged(Folder.Path());
    if ((St.st_mode & 07777) != Mode)
        Folder.SetMode(Mode); // the umask may have taken bits away
    return Folder;
}

std::unique_ptr<TFileStream> TDirHandle::CreateFile(const QString& Name, int Permissions) const {
    std::unique_ptr<TFileStream> Stream = CreateFileIfAbsent(Name, Permissions);
    if (!Stream)
        RaiseAt("Cannot create file", ChildPath(Name), EEXIST);
    return Stream;
}

std::unique_ptr<TFileStream> TDirHandle::CreateFileIfAbsent(const QString& Name, int Permissions) const {
    const QByteArray Encoded = EncodeName(Name);
    // O_EXCL only ever opens a regular file it has just made: no FIFO can block the open.
    const int Fd = ::openat(FFd, Encoded.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            static_cast<mode_t>(Permissions & 0777));
    if (Fd < 0) {
        if (errno == EEXIST)
            return nullptr;
        RaiseAt("Cannot create file", ChildPath(Name), errno);
    }
    return std::make_unique<TFileStream>(Fd, ChildPath(Name), TFileStream::TJustCreated{});
}

std::unique_ptr<TFileStream> TDirHandle::OpenFileForReading(const QString& Name, const TFileIdentity* Expected,
                                                            struct stat* Opened) const {
    const QByteArray Encoded = EncodeName(Name);
    const int Fd = ::openat(FFd, Encoded.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (Fd < 0) {
        const int Saved = errno;
        if (Saved == ELOOP)
            throw EKelvarnError(
                QStringLiteral("Cannot open file \"%1\". The path is a symbolic link.").arg(ChildPath(Name)));
        RaiseAt("Cannot open file", ChildPath(Name), Saved);
    }
    struct stat St;
    if (::fstat(Fd, &St) != 0) {
        const int Saved = errno;
        ::close(Fd);
        RaiseAt("Cannot open file", ChildPath(Name), Saved);
    }
    if (Expected && IdentityOf(St) != *Expected) {
        ::close(Fd);
        RaiseChanged(ChildPath(Name));
    }
    if (Opened)
        *Opened = St;
    return std::make_unique<TFileStream>(Fd, ChildPath(Name), TFileStream::TMode::OpenReadSharedNoFollow, &St);
}

QList<TDirEntry> TDirHandle::List() const {
    return ListEntries(TListing::Attributes);
}

QList<TDirEntry> TDirHandle::ListKinds() const {
    return ListEntries(TListing::Kinds);
}

QList<TDirEntry> TDirHandle::ListLeavingFilesSystem() const {
    return ListEntries(TListing::AttributesLeavingFilesSystem);
}

QList<TDirEntry> TDirHandle::ListEntries(TListing What) const {
    // A description of its own: the listing's position is not shared with other users of FFd.
    const int Fd = ::openat(FFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* Dir = Fd >= 0 ? ::fdopendir(Fd) : nullptr;
    if (!Dir) {
        const int Saved = errno;
        if (Fd >= 0)
            ::close(Fd);
        RaiseAt("Cannot open folder", FPath, Saved);
    }
    struct TDirCloser {
        DIR* D;
        ~TDirCloser() { ::closedir(D); }
    } Closer{Dir};

    if (What == TListing::Kinds)
        return ReadFolderEntries(Dir, FPath, nullptr, QByteArray());
    const QSet<QByteArray> HiddenNames = ReadHiddenNamesAt(FFd, QByteArray(HiddenListName));
    // The system attribute is read through the folder's descriptor entry: the same folder, whatever
    // its path leads to now.
    const QByteArray Prefix = "/proc/self/fd/" + QByteArray::number(FFd) + '/';
    return ReadFolderEntries(Dir, FPath, &HiddenNames, Prefix, What == TListing::Attributes);
}

uint32_t TDirHandle::ChildAttributes(const QString& Name) const {
    const QByteArray Encoded = EncodeName(Name);
    struct stat St;
    if (::fstatat(FFd, Encoded.constData(), &St, AT_SYMLINK_NOFOLLOW) != 0)
        return Attr::Invalid;
    const bool Hidden = Encoded.startsWith('.') || ReadHiddenNamesAt(FFd, QByteArray(HiddenListName)).contains(Encoded);
    return AttributesFromStat(St, "/proc/self/fd/" + QByteArray::number(FFd) + '/' + Encoded, Hidden);
}

void TDirHandle::Unlink(const QString& Name) const {
    if (::unlinkat(FFd, EncodeName(Name).constData(), 0) != 0)
        RaiseAt("Cannot remove", ChildPath(Name), errno);
}

void TDirHandle::RemoveEmptyFolder(const QString& Name) const {
    if (::unlinkat(FFd, EncodeName(Name).constData(), AT_REMOVEDIR) != 0)
        RaiseAt("Cannot remove", ChildPath(Name), errno);
}

void TDirHandle::RemoveTree(const QString& Name) const {
    RemoveTreeAt(FFd, EncodeName(Name), ChildPath(Name));
}

void TDirHandle::RemoveContents() const {
    for (const TDirEntry& Entry : List())
        RemoveTree(Entry.Name);
}

void TDirHandle::RenameNoReplace(const QString& Name, const TDirHandle& Target, const QString& TargetName) const {
    const QByteArray From = EncodeName(Name);
    const QByteArray To = EncodeName(TargetName);
    auto Raise = [&](int Errno) {
        throw EKelvarnError(QStringLiteral("Cannot rename \"%1\" to \"%2\". %3")
                                .arg(ChildPath(Name), Target.ChildPath(TargetName), SystemErrorText(Errno)));
    };
    if (!RenameFallbackForced()) {
        if (RenameNoReplaceAt(FFd, From.constData(), Target.FFd, To.constData()) == 0)
            return;
        if (errno != EINVAL && errno != ENOSYS)
            Raise(errno);
    }
    // Without RENAME_NOREPLACE: a file gets its second name by linkat, which never replaces; a
    // folder first claims the name with an empty placeholder, which rename may then replace.
    struct stat St;
    if (::fstatat(FFd, From.constData(), &St, AT_SYMLINK_NOFOLLOW) != 0)
        Raise(errno);
    if (S_ISDIR(St.st_mode)) {
        if (::mkdirat(Target.FFd, To.constData(), 0700) != 0)
            Raise(errno);
        if (::renameat(FFd, From.constData(), Target.FFd, To.constData()) != 0) {
            const int Saved = errno;
            ::unlinkat(Target.FFd, To.constData(), AT_REMOVEDIR);
            Raise(Saved);
        }
        return;
    }
    if (::linkat(FFd, From.constData(), Target.FFd, To.constData(), 0) != 0)
        Raise(errno);
    if (::unlinkat(FFd, From.constData(), 0) != 0) {
        const int Saved = errno;
        ::unlinkat(Target.FFd, To.constData(), 0);
        Raise(Saved);
    }
}

void TDirHandle::RenameReplace(const QString& Name, const TDirHandle& Target, const QString& TargetName) const {
    if (::renameat(FFd, EncodeName(Name).constData(), Target.FFd, EncodeName(TargetName).constData()) != 0)
        throw EKelvarnError(QStringLiteral("Cannot rename \"%1\" to \"%2\". %3")
                                .arg(ChildPath(Name), Target.ChildPath(TargetName), SystemErrorText(errno)));
}

bool TDirHandle::Exchange(const QString& Name, const TDirHandle& Target, const QString& TargetName) const {
#ifdef SYS_renameat2
    if (RenameFallbackForced()) {
        errno = ENOSYS;
        return false;
    }
    return ::syscall(SYS_renameat2, FFd, EncodeName(Name).constData(), Target.FFd, EncodeName(TargetName).constData(),
                     RENAME_EXCHANGE) == 0;
#else
    errno = ENOSYS;
    return false;
#endif
}

void TDirHandle::SetMode(mode_t Mode) const {
    if (::fchmod(FFd, Mode) != 0)
        RaiseAt("Cannot change the permissions of", FPath, errno);
}

void TDirHandle::Sync() const {
    int Fd = FFd;
    // A handle that only names the folder (O_PATH) cannot be synced; one that reads it can. Where the
    // user may not read the folder there is none, and the names stay as the system writes them.
    if (Fd >= 0 && (::fcntl(Fd, F_GETFL) & O_PATH) != 0) {
        Fd = ::openat(FFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (Fd < 0 && errno == EACCES)
            return;
        if (Fd < 0)
            RaiseAt("Cannot write to disk", FPath, errno);
    }
    const int Rc = ::fsync(Fd);
    const int Saved = errno;
    if (Fd != FFd)
        ::close(Fd);
    if (Rc != 0 && Saved != EINVAL)
        RaiseAt("Cannot write to disk", FPath, Saved);
}

void SetFileStepHookForTest(TFileStepHook Hook) {
    GFileStepHook = std::move(Hook);
}

void RunFileStepHook(const char* Step, const QString& Path) {
    if (GFileStepHook)
        GFileStepHook(Step, Path);
}
