#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// The file system as the program sees it: Windows-style attribute bits mapped onto POSIX, folder
// listing, rename without overwrite and locked file streams. Errors are raised as EKelvarnError
// with the system's message where an operation says "raises"; predicates never raise.

namespace Attr {
constexpr uint32_t ReadOnly = 0x1;
constexpr uint32_t Hidden = 0x2;
constexpr uint32_t System = 0x4;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t Normal = 0x80;
constexpr uint32_t Invalid = 0xFFFFFFFFu;
// POSIX permission bits travel in the high 16 bits (the ZIP external-attribute convention).
constexpr int PermShift = 16;
} // namespace Attr

// The file-system helpers that carry Windows names live in Fs, so that a call such as
// Fs::DeleteFile is never mistaken for a system call.
namespace Fs {
// lstat-based: a symbolic link is neither a file nor a folder here.
bool FileExists(const QString& Path);      // regular file
bool DirectoryExists(const QString& Path); // folder
bool PathExists(const QString& Path);      // anything, links included, dangling links too

// Low 16 bits: read-only, hidden, system, directory (Attr::*); high 16 bits: st_mode & 07777.
// Attr::Invalid when the path cannot be queried.
uint32_t GetFileAttributes(const QString& Path);
// Applies read-only, hidden and system from the low bits; when the high 16 bits are non-zero, also
// the permission bits masked to 0777 (never set-id or sticky). Returns false on failure.
// Read-only wins over the permission bits: set removes every write bit, clear adds the owner's.
// A name with a leading "." stays hidden when hidden is cleared (the name itself hides it); a link
// keeps only the hidden bit (it has no permissions or user attributes of its own); system is not
// kept where the file system has no extended attributes. Nothing is written when nothing changes.
// Raises, changing nothing, when the folder's ".hidden" list needs editing but is a link, not a
// regular file, or another user's: it is left as it is; raises too when the new list cannot be
// written.
bool SetFileAttributes(const QString& Path, uint32_t Attributes);
} // namespace Fs

enum class TEntryKind { File, Directory, SymLink, Other };

// Which file an item is (device and inode): what a listing saw and what is opened afterwards must be
// the same file, or the item was swapped in between.
struct TFileIdentity {
    uint64_t Dev = 0;
    uint64_t Ino = 0;
    bool operator==(const TFileIdentity&) const = default;
};

struct TDirEntry {
    QString Name;        // no "." or ".."
    TEntryKind Kind;     // from lstat: links are reported as links, never followed
    uint32_t Attributes; // as GetFileAttributes
    int64_t Size;        // regular files; 0 otherwise
    TFileIdentity Identity = {};
};

namespace Fs {
// Hidden entries included, in the order the file system returns them. Raises when the folder
// cannot be opened or read, and when an entry's name is not valid UTF-8 (it could not be named
// again through a QString).
QList<TDirEntry> ListFolder(const QString& Folder);

// Absolute, lexically normalised (no ".", "..", doubled or trailing "/"); links are not resolved.
// An empty path gives an empty text.
QString FullPath(const QString& Path);
// Whether Path is Folder or lies below it, by the text of both (full paths; links not resolved).
bool IsSameOrInside(const QString& Path, const QString& Folder);
// Creates Path and its missing parents; true when the folder exists afterwards (errno kept
// otherwise). As with mkdir -p, a link to a folder counts as the folder.
bool ForceDirectories(const QString& Path);
// Removes a file or link (never a folder). Returns false with errno kept on failure.
bool DeleteFile(const QString& Path);
// Removes an empty folder. Returns false with errno kept on failure.
bool RemoveDir(const QString& Path);
// Never replaces Target: renameat2(RENAME_NOREPLACE), else link + unlink. Raises with the system's
// message (an existing target gives EEXIST's text).
void RenameNoReplace(const QString& Source, const QString& Target);
// Waits until the range of the open file Fd is on disk, then drops it from the page cache, so that
// what was written and will not be read again leaves the memory to others. A hint: failures are
// ignored, and pages the range only partly covers stay.
void DropWrittenRange(int Fd, int64_t Offset, int64_t Count);
} // namespace Fs

// Test seam: true makes RenameNoReplace take the link + unlink path, and an exchange fail, as if
// renameat2 were missing.
void SetRenameNoReplaceFallbackForTest(bool Force);
// Last system error as text, for messages.
QString SystemErrorText(int Errno);

// A file stream on a raw descriptor with an advisory lock: readers share, a writer is alone.
// Only regular files open; CreateExclusive refuses a symbolic link at the path and truncates only
// once it holds the lock. Close raises "Stream write error" when a writable file fails to close.
class TFileStream {
public:
    enum class TMode {
        OpenReadShared,         // read; others may read (shared lock), a writer holding it makes the open fail
        OpenReadSharedNoFollow, // the same, but a symbolic link at the path makes the open fail (ELOOP)
        CreateExclusive,        // create or truncate, write (and read); exclusive lock; mode 0600 when created
        CreateNew,              // like CreateExclusive but fails if anything exists at the path (O_EXCL)
        OpenReadWrite           // existing file, read and write, exclusive lock
    };
    // Raises "Cannot open file \"<path>\". <system message>" on failure.
    TFileStream(const QString& Path, TMode Mode, int Permissions = 0600);
    // Takes over Fd, which the caller opened (O_NONBLOCK included) as Mode would, and checks and
    // locks it as that constructor does; Path names it in messages. Fd is closed if that fails.
    // Opened: the descriptor's attributes when the caller has just read them.
    TFileStream(int Fd, const QString& Path, TMode Mode, const struct stat* Opened = nullptr);
    // Takes over Fd, a regular file this process has just made with O_CREAT | O_EXCL, without
    // O_NONBLOCK: empty, and nothing to check, so only the lock is taken. Fd is closed if that fails.
    struct TJustCreated {};
    TFileStream(int Fd, const QString& Path, TJustCreated);
    // A second reader of the file Of holds open, with a position of its own: it reads with pread
    // through Of's descriptor, which it neither moves, locks nor closes, so another thread may go
    // on writing through Of. Of must outlive it.
    struct TReadView {};
    TFileStream(const TFileStream& Of, TReadView);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Reads exactly Count bytes or raises "Stream read error".
    void ReadBuffer(void* Buffer, int64_t Count);
    // Reads up to Count bytes; returns the number read (0 at end of file). A large file that was
    // not in the page cache when it was opened leaves it again a few MiB behind the reader.
    int64_t Read(void* Buffer, int64_t Count);
    // Writes all Count bytes or raises "Stream write error" with the system's message.
    void WriteBuffer(const void* Buffer, int64_t Count);
    void Seek(int64_t Position);
    int64_t Position() const { return FPosition; }
    int64_t Size() const;
    // fsync; raises on failure.
    void Flush();
    // Asks the kernel to begin writing the given range to disk now, without waiting, so that the
    // data is mostly on disk by the time Flush is called. A hint: failures are ignored, and errors
    // of the write-back itself are reported by Flush.
    void StartWriteBack(int64_t Offset, int64_t Count);
    void Close();
    int Handle() const { return FHandle; }
    // Whether the file carries the system attribute (the extended attribute Fs::SetFileAttributes
    // sets), read through the descriptor.
    bool HasSystemAttribute() const;
    const QString& FileName() const { return FPath; }

private:
    void Adopt(int Fd, TMode Mode, const struct stat* Opened = nullptr);
    void Lock();
    void DropBehind();

    QString FPath;
    int FHandle = -1;
    int64_t FPosition = 0;
    bool FWritable = false;
    bool FView = false;
    int64_t FDropFrom = -1; // where read data still in the cache begins; -1: the cache is left alone
};
