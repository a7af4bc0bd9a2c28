#pragma once

#include "uLockerCrypto.h"
#include "uLockerFormat.h"

#include <QString>

#include <cstdint>
#include <functional>

// The locker engine's public face: one file or folder tree <-> one encrypted, authenticated locker.

struct TLockerResult {
    bool Success = false;
    QString MessageText;
    QString RecoveryCode;
};

// (Path, Done, Total): Done and Total count payload bytes.
using TLockerProgressProc = std::function<void(const QString& Path, int64_t Done, int64_t Total)>;
// Answers true to stop.
using TLockerCancelFunc = std::function<bool()>;

TLockerResult CreateLocker(const QString& Source, const QString& LockerFile, const QString& Password,
                           const TLockerProgressProc& Progress = nullptr, const TLockerCancelFunc& Cancel = nullptr);
TLockerResult ExtractLocker(const QString& LockerFile, const QString& DestFolder, const QString& Secret,
                            const TLockerProgressProc& Progress = nullptr, const TLockerCancelFunc& Cancel = nullptr);
bool VerifyLocker(const QString& LockerFile, const QString& Password, QString& Message);
bool IsLockerFileName(const QString& Path);

// Progress and cancel helpers shared by the writer and the reader.
void NotifyProgress(const TLockerProgressProc& Progress, const QString& Path, int64_t Done, int64_t Total);
// Reports at most about every 120 ms, or sooner after 8 MiB of progress; the first report
// (LastDone < 0) and reports at the ends (Done <= 0, Done >= Total) always go through.
void NotifyProgressThrottled(const TLockerProgressProc& Progress, const QString& Path, int64_t Done, int64_t Total,
                             uint64_t& LastTick, int64_t& LastDone);
// The same with the tick count given (milliseconds), for callers that already read the clock.
void NotifyProgressThrottledAt(const TLockerProgressProc& Progress, const QString& Path, int64_t Done, int64_t Total,
                               uint64_t& LastTick, int64_t& LastDone, uint64_t Now);
// Monotonic milliseconds.
uint64_t LockerTickCount();
// Raises "Operation cancelled by user." when Cancel answers true.
void CheckCancelled(const TLockerCancelFunc& Cancel);

// Appends the entries below Folder in walk order (a folder before its contents), relative to Root.
// Raises, naming the item, on a symbolic link, socket, FIFO or device, on a name the format cannot
// carry, and on a folder that cannot be listed: nothing may be silently left out of a locker.
void CollectEntries(const QString& Root, const QString& Folder, QList<TEntryInfo>& List);
// The attribute bits of Path (low 16 bits: read-only, hidden, system, folder; high 16 bits: the
// permission bits), or 0 when they cannot be read.
int32_t FileAttributesOrZero(const QString& Path);
