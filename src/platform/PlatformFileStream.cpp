#include "platform/PlatformFiles.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformFilesInternal.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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
    return Done;
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
