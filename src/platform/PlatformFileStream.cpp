#include "platform/PlatformFiles.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformFilesInternal.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace PlatformFilesInternal;

namespace {

// Linux moves at most about 2 GiB per call; smaller pieces keep every count well inside ssize_t.
constexpr int64_t MaxIoChunk = int64_t(1) << 30;

[[noreturn]] void RaiseOpen(const QString& Path, const QString& Reason) {
    throw EKelvarnError(QStringLiteral("Cannot open file \"%1\". %2").arg(Path, Reason));
}

[[noreturn]] void RaiseWrite(int Errno) {
    throw EKelvarnError(QStringLiteral("Stream write error. %1").arg(SystemErrorText(Errno)));
}

[[noreturn]] void RaiseRead(int Errno) {
    throw EKelvarnError(QStringLiteral("Stream read error. %1").arg(SystemErrorText(Errno)));
}

constexpr off_t SequentialHintSize = 256 * 1024;

// A file read once from end to end (a source being packed, a locker being opened) and not cached
// before costs as many fresh pages as it is large, unless what has been read goes again: on a
// virtual machine that hands freed memory back to its host, every fresh page is a fault on the
// host, which made a cold read of 1 GiB take four times as long. Files the user already has cached
// stay so.
constexpr off_t DropBehindSize = 32 * 1024 * 1024;
constexpr int64_t DropBehindLag = 8 * 1024 * 1024;
constexpr int64_t DropBehindStep = 2 * 1024 * 1024; // a multiple of the page size

// Whether most of the file is absent from the page cache, judged from a few windows spread over it.
// When the system cannot tell, the file counts as cached and is left alone.
bool LooksUncached(int Fd, off_t Size) {
    void* Map = ::mmap(nullptr, static_cast<size_t>(Size), PROT_READ, MAP_SHARED, Fd, 0);
    if (Map == MAP_FAILED)
        return false;
    constexpr int Samples = 16;
    constexpr int WindowPages = 64;
    const off_t Page = ::sysconf(_SC_PAGESIZE);
    const off_t Window = WindowPages * Page;
    unsigned char Resident[WindowPages];
    int Cached = 0;
    bool Known = true;
    for (int I = 0; I < Samples && Known; ++I) {
        const off_t Offset = (Size - Window) / (Samples - 1) * I / Page * Page;
        Known = ::mincore(static_cast<char*>(Map) + Offset, static_cast<size_t>(Window), Resident) == 0;
        for (int P = 0; P < WindowPages && Known; ++P)
            Cached += Resident[P] & 1;
    }
    ::munmap(Map, static_cast<size_t>(Size));
    return Known && Cached * 2 < Samples * WindowPages;
}

// File systems without flock support still work, unlocked: the lock only guards against our own
// other instances, and refusing every file there would make the program unusable on them.
bool LockUnsupported(int Errno) {
    return Errno == ENOLCK || Errno == EOPNOTSUPP || Errno == ENOSYS || Errno == EINVAL;
}

} // namespace

TFileStream::TFileStream(const QString& Path, TMode Mode, int Permissions) : FPath(Path) {
    QByteArray Encoded;
    if (!EncodePath(Path, Encoded))
        RaiseOpen(Path, SystemErrorText(errno));

    // O_NONBLOCK keeps a FIFO at the path from blocking the open; it is cleared again below.
    int Flags = O_CLOEXEC | O_NONBLOCK;
    switch (Mode) {
    case TMode::OpenReadShared:
        Flags |= O_RDONLY;
        break;
    case TMode::OpenReadSharedNoFollow:
        Flags |= O_RDONLY | O_NOFOLLOW;
        break;
    case TMode::CreateExclusive:
        // Never write through a link planted at the path: the data would land wherever it points.
        Flags |= O_RDWR | O_CREAT | O_NOFOLLOW;
        break;
    case TMode::CreateNew:
        Flags |= O_RDWR | O_CREAT | O_EXCL;
        break;
    case TMode::OpenReadWrite:
        Flags |= O_RDWR;
        break;
    }
    FWritable = Mode != TMode::OpenReadShared && Mode != TMode::OpenReadSharedNoFollow;

    const int Fd = ::open(Encoded.constData(), Flags, static_cast<mode_t>(Permissions & 0777));
    if (Fd < 0) {
        const int Saved = errno;
        struct stat Link;
        if (Saved == ELOOP && Mode == TMode::CreateExclusive && ::lstat(Encoded.constData(), &Link) == 0 &&
            S_ISLNK(Link.st_mode))
            RaiseOpen(Path, QStringLiteral("The path is a symbolic link."));
        RaiseOpen(Path, SystemErrorText(Saved));
    }
    Adopt(Fd, Mode);
}

TFileStream::TFileStream(int Fd, const QString& Path, TMode Mode, const struct stat* Opened) : FPath(Path) {
    FWritable = Mode != TMode::OpenReadShared && Mode != TMode::OpenReadSharedNoFollow;
    Adopt(Fd, Mode, Opened);
}

TFileStream::TFileStream(int Fd, const QString& Path, TJustCreated) : FPath(Path), FHandle(Fd), FWritable(true) {
    try {
        Lock();
    } catch (...) {
        ::close(Fd);
        FHandle = -1;
        throw;
    }
}

void TFileStream::Lock() {
    const int LockOp = FWritable ? LOCK_EX | LOCK_NB : LOCK_SH | LOCK_NB;
    while (::flock(FHandle, LockOp) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            RaiseOpen(FPath, QStringLiteral("The file is in use by another process."));
        if (LockUnsupported(errno))
            break;
        RaiseOpen(FPath, SystemErrorText(errno));
    }
}

void TFileStream::Adopt(int Fd, TMode Mode, const struct stat* Opened) {
    const QString& Path = FPath;
    FHandle = Fd;
    try {
        struct stat St;
        if (Opened)
            St = *Opened;
        else if (::fstat(Fd, &St) != 0)
            RaiseOpen(Path, SystemErrorText(errno));
        if (!S_ISREG(St.st_mode))
            RaiseOpen(Path, QStringLiteral("It is not a regular file."));
        // Only O_NONBLOCK among the status flags F_SETFL changes is ever set by our opens.
        const int FdFlags = ::fcntl(Fd, F_GETFL);
        if (FdFlags < 0)
            RaiseOpen(Path, SystemErrorText(errno));
        if ((FdFlags & O_NONBLOCK) != 0 && ::fcntl(Fd, F_SETFL, FdFlags & ~O_NONBLOCK) != 0)
            RaiseOpen(Path, SystemErrorText(errno));
        Lock();
        // A hint for read-ahead, which a small file is read within anyway; failure is harmless.
        if (!FWritable && St.st_size > SequentialHintSize)
            ::posix_fadvise(Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        if (!FWritable && St.st_size >= DropBehindSize && LooksUncached(Fd, St.st_size))
            FDropFrom = 0;
        // Truncate only once the lock is ours, so a file another instance is using is never cut.
        if (Mode == TMode::CreateExclusive && St.st_size != 0 && ::ftruncate(Fd, 0) != 0)
            RaiseOpen(Path, SystemErrorText(errno));
    } catch (...) {
        ::close(Fd);
        FHandle = -1;
        throw;
    }
}

TFileStream::TFileStream(const TFileStream& Of, TReadView) : FPath(Of.FPath), FHandle(Of.FHandle), FView(true) {}

TFileStream::~TFileStream() {
    if (FHandle >= 0 && !FView)
        ::close(FHandle);
}

void TFileStream::ReadBuffer(void* Buffer, int64_t Count) {
    if (Count < 0)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    if (Read(Buffer, Count) != Count)
        throw EKelvarnError(QStringLiteral("Stream read error"));
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
    if (FHandle < 0)
        RaiseRead(EBADF);
    char* Target = static_cast<char*>(Buffer);
    int64_t Done = 0;
    while (Done < Count) {
        const size_t Want = static_cast<size_t>(std::min(Count - Done, MaxIoChunk));
        const ssize_t N = FView ? ::pread(FHandle, Target + Done, Want, static_cast<off_t>(FPosition))
                                : ::read(FHandle, Target + Done, Want);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            RaiseRead(errno);
        }
        if (N == 0)
            break;
        Done += N;
        FPosition += N;
    }
    if (FDropFrom >= 0)
        DropBehind();
    return Done;
}

// A hint: failure is harmless, and only pages already on disk go.
void TFileStream::DropBehind() {
    const int64_t Until = (FPosition - DropBehindLag) / DropBehindStep * DropBehindStep;
    if (Until <= FDropFrom)
        return;
    (void)::posix_fadvise(FHandle, static_cast<off_t>(FDropFrom), static_cast<off_t>(Until - FDropFrom),
                          POSIX_FADV_DONTNEED);
    FDropFrom = Until;
}

void TFileStream::WriteBuffer(const void* Buffer, int64_t Count) {
    if (FHandle < 0 || FView)
        RaiseWrite(EBADF);
    const char* Source = static_cast<const char*>(Buffer);
    int64_t Done = 0;
    while (Done < Count) {
        const ssize_t N = ::write(FHandle, Source + Done, static_cast<size_t>(std::min(Count - Done, MaxIoChunk)));
        if (N < 0) {
            if (errno == EINTR)
                continue;
            RaiseWrite(errno);
        }
        if (N == 0)
            RaiseWrite(ENOSPC); // a regular file that takes nothing more has run out of room
        Done += N;
        FPosition += N;
    }
}

void TFileStream::Seek(int64_t Position) {
    if (FHandle < 0 || Position < 0)
        throw EKelvarnError(QStringLiteral("Stream seek error. %1").arg(SystemErrorText(FHandle < 0 ? EBADF : EINVAL)));
    if (FView) {
        FPosition = Position;
        return;
    }
    const off_t Result = ::lseek(FHandle, static_cast<off_t>(Position), SEEK_SET);
    if (Result < 0)
        throw EKelvarnError(QStringLiteral("Stream seek error. %1").arg(SystemErrorText(errno)));
    FPosition = Result;
}

int64_t TFileStream::Size() const {
    struct stat St;
    if (FHandle < 0 || ::fstat(FHandle, &St) != 0)
        throw EKelvarnError(QStringLiteral("Cannot read the size of \"%1\". %2")
                                .arg(FPath, SystemErrorText(FHandle < 0 ? EBADF : errno)));
    return St.st_size;
}

void TFileStream::Flush() {
    if (FHandle < 0)
        RaiseWrite(EBADF);
    if (::fsync(FHandle) != 0)
        RaiseWrite(errno);
}

void TFileStream::StartWriteBack(int64_t Offset, int64_t Count) {
    if (FHandle >= 0 && FWritable && Count > 0)
        (void)::sync_file_range(FHandle, static_cast<off64_t>(Offset), static_cast<off64_t>(Count),
                                SYNC_FILE_RANGE_WRITE);
}

void Fs::DropWrittenRange(int Fd, int64_t Offset, int64_t Count) {
    if (Fd < 0 || Count <= 0)
        return;
    (void)::sync_file_range(Fd, static_cast<off64_t>(Offset), static_cast<off64_t>(Count),
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    (void)::posix_fadvise(Fd, static_cast<off_t>(Offset), static_cast<off_t>(Count), POSIX_FADV_DONTNEED);
}

void TFileStream::Close() {
    if (FHandle < 0)
        return;
    if (FView) {
        FHandle = -1;
        return;
    }
    const int Fd = FHandle;
    FHandle = -1;
    // Linux frees the descriptor even when close fails; an error then means written data may be
    // lost (network file systems report write-back failures here), which a writer must hear about.
    if (::close(Fd) != 0 && errno != EINTR && FWritable)
        RaiseWrite(errno);
}
