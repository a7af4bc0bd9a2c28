#pragma once

#include "crypto/uCryptoProvider.h"
#include "locker/uLockerFormat.h"
#include "locker/uLockerModes.h"
#include "locker/uLockerNames.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TDirHandle;

// The locker engine's public face: one file or folder tree <-> one encrypted, authenticated locker.

struct TLockerResult {
    bool Success = false;
    QString MessageText;
    QString RecoveryCode;
    // No slot opened with the secret given (as against a damaged or unreadable locker).
    bool WrongSecret = false;
};

// (Path, Done, Total): Done and Total count payload bytes.
using TLockerProgressProc = std::function<void(const QString& Path, int64_t Done, int64_t Total)>;
// Answers true to stop.
using TLockerCancelFunc = std::function<bool()>;

TLockerResult ExtractLocker(const QString& LockerFile, const QString& DestFolder, const QString& Secret,
                            const TLockerProgressProc& Progress = nullptr, const TLockerCancelFunc& Cancel = nullptr);
bool VerifyLocker(const QString& LockerFile, const QString& Password, QString& Message);
// The same on a locker the caller holds open (for example one it has just written and has not yet
// given its final name).
bool VerifyLocker(TFileStream& Locker, const QString& Password, QString& Message);
// Writes the locker into Locker, a new, empty file the caller created and holds open; the caller
// gives it its name and removes it when the result is a failure.
TLockerResult CreateLocker(const QString& Source, TFileStream& Locker, const QString& Password,
                           const TLockerProgressProc& Progress = nullptr, const TLockerCancelFunc& Cancel = nullptr);
// The same, and the new locker is checked as VerifyLocker(Locker, Password, ...) checks it, by a
// second thread that reads it back from the file behind the writer rather than after it. Success
// only when the check passes too; a failed check's message begins "Locker verification failed: ".
TLockerResult CreateVerifiedLocker(const QString& Source, TFileStream& Locker, const QString& Password,
                                   const TLockerProgressProc& Progress = nullptr,
                                   const TLockerCancelFunc& Cancel = nullptr);
// The same for the item Name inside Parent, a folder the caller holds open: nothing is resolved by
// path again. Packed, when given, receives every entry as it was packed (identity, size, times), in
// walk order with the root first, so that the caller can tell afterwards whether anything changed.
TLockerResult CreateVerifiedLocker(const TDirHandle& Parent, const QString& Name, TFileStream& Locker,
                                   const QString& Password, const TLockerProgressProc& Progress,
                                   const TLockerCancelFunc& Cancel, QList<TEntryInfo>* Packed);

// A locker extracted into a private staging folder (PlatformDirHandle.h), where it waits, unseen,
// to be moved into place. The payload is decrypted and authenticated in the same single pass, so the
// bytes that are written are the bytes that were authenticated; a locker that does not authenticate
// leaves nothing behind. Whatever is still staged, and any folder Extract had to create for it, is
// removed when the object goes.
class TLockerStaging {
public:
    TLockerStaging();
    ~TLockerStaging();
    TLockerStaging(const TLockerStaging&) = delete;
    TLockerStaging& operator=(const TLockerStaging&) = delete;

    // Extracts into a new staging folder inside Folder (created, with missing parents, when it does
    // not exist). Nothing outside the staging folder is written. The result is that of
    // ExtractLocker; an error opening LockerFile reaches the caller as an error.
    TLockerResult Extract(const QString& LockerFile, const QString& Folder, const QString& Secret,
                          const TLockerProgressProc& Progress = nullptr, const TLockerCancelFunc& Cancel = nullptr);
    // The same from Locker, a locker the caller holds open, into a new staging folder inside Folder,
    // which the caller holds open too: nothing is resolved by path.
    TLockerResult Extract(const TDirHandle& Folder, TFileStream& Locker, const QString& Secret,
                          const TLockerProgressProc& Progress = nullptr, const TLockerCancelFunc& Cancel = nullptr);
    bool IsExtracted() const;
    // The locker file that was opened and decrypted.
    const TFileIdentity& LockerIdentity() const;
    // The item's tree as extracted (local relative paths, "" for the root; sizes of files), for a
    // caller that compares it with what is already there.
    QList<TEntryInfo> StagedEntries() const;
    // The stored name of the item and its kind, once extracted.
    const QString& RootName() const;
    bool RootIsFolder() const;
    // Moves the item into Folder as Name (its stored name when empty), never replacing anything
    // there, then gives its folders their stored permissions, deepest first. Raises.
    void MoveIntoPlace(const QString& Name = QString());
    // Puts the item in place of Name in one step when Name is there and is Expected, so that the
    // user's item is never gone before the new one is in place. What was there is then staged
    // and goes with Discard. Raises, and swaps back, when what came out is not Expected.
    void ExchangeIntoPlace(const QString& Name, const TFileIdentity& Expected);
    // Moves the tree into Folder over what is there: files replace files (never the locker itself),
    // folders already there are reused when they belong to the user and others cannot write to them,
    // and then every folder gets its stored permissions. Raises; what was moved stays moved.
    void MergeIntoPlace();
    // Removes the staging folder and what it still holds.
    void Discard();

    struct TState;

private:
    TLockerResult ExtractFrom(TFileStream& Stream, const QString& LockerFile, const QString& Secret,
                              const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel,
                              const std::function<void()>& OpenDestination);
    std::unique_ptr<TState> F;
};
bool IsLockerFileName(const QString& Path);

// Progress and cancel helpers shared by the writer and the reader.
// The one throttle of progress reports: at most about every 120 ms, or sooner after 8 MiB of
// progress; the first report and those at the ends (Done <= 0, Done >= Total) always go through.
// The caller's window then handles events no more often than that.
class TProgressThrottle {
public:
    explicit TProgressThrottle(const TLockerProgressProc& Progress) : FProgress(Progress) {}
    void Report(const QString& Path, int64_t Done, int64_t Total);
    // The same with the tick count given (milliseconds).
    void ReportAt(const QString& Path, int64_t Done, int64_t Total, uint64_t Now);

private:
    const TLockerProgressProc& FProgress;
    uint64_t FLastTick = 0;
    int64_t FLastDone = -1;
};
// Monotonic milliseconds.
uint64_t LockerTickCount();
// Raises "Operation cancelled by user." (translated) when Cancel answers true.
void CheckCancelled(const TLockerCancelFunc& Cancel);

// Appends the entries below Folder in walk order (a folder before its contents), relative to Root.
// Raises, naming the item, on a symbolic link, socket, FIFO or device, on a name the format cannot
// carry, and on a folder that cannot be listed: nothing may be silently left out of a locker.
// Without KeepSourcePaths, SourceFullPath stays empty, as in the list CreateLocker holds: a full path
// per item would cost a large tree more than the rest of its entry; EntrySourcePath makes it again.
// A file's system attribute is not among its attributes here: the writer reads it from the open file.
void CollectEntries(const QString& Root, const QString& Folder, QList<TEntryInfo>& List, bool KeepSourcePaths = true);
// The item's full path: SourceFullPath when the entry carries it, else Root (the packed folder,
// without a trailing separator) joined with the stored path.
QString EntrySourcePath(const QString& Root, const TEntryInfo& Entry);
// The attribute bits of Path (low 16 bits: read-only, hidden, system, folder; high 16 bits: the
// permission bits), or 0 when they cannot be read.
int32_t FileAttributesOrZero(const QString& Path);
