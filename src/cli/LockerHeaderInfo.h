#pragma once

#include <QString>

#include <cstdint>

// What a locker tells without a secret: its clear header.
struct TLockerHeaderInfo {
    int32_t Version = 0;
    int32_t PasswordIterations = 0;
    int32_t RecoveryIterations = 0;
    int64_t PayloadLength = 0;
    int64_t PayloadStart = 0;
    int64_t FileSize = 0;
};

// Raises EKelvarnError with the engine's wording: "Locker file does not exist.", "Invalid locker
// file.", "Unsupported locker version.", "Invalid locker payload length.", "Stream read error".
TLockerHeaderInfo ReadLockerHeaderInfo(const QString& LockerFile);
