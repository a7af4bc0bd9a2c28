#pragma once

#include "uLockerCrypto.h"

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
