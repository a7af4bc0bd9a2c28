#include "LockerHeaderInfo.h"

#include "KelvarnError.h"
#include "PlatformFiles.h"

#include <QFile>
#include <QtEndian>

namespace {

// Offsets of the clear header; they hold because the magic is always written with length 5.
constexpr qint64 MagicLengthOffset = 0;
constexpr qint64 VersionOffset = 9;
constexpr qint64 PasswordIterationsOffset = 13;
constexpr qint64 RecoveryIterationsOffset = 65;
constexpr qint64 PayloadLengthOffset = 165;
constexpr qint64 HeaderSize = 173;
constexpr char Magic[] = "KVLK4";
constexpr int32_t SupportedVersion = 4;

template <typename T> T LittleEndianAt(const QByteArray& Header, qint64 Offset) {
    return qFromLittleEndian<T>(Header.constData() + Offset);
}

} // namespace

TLockerHeaderInfo ReadLockerHeaderInfo(const QString& LockerFile) {
    if (!FileExists(LockerFile))
        throw EKelvarnError(QStringLiteral("Locker file does not exist."));
    QFile File(LockerFile);
    if (!File.open(QIODevice::ReadOnly))
        throw EKelvarnError(QStringLiteral("Cannot open file \"%1\". %2").arg(LockerFile, File.errorString()));
    const QByteArray Header = File.read(HeaderSize);
    TLockerHeaderInfo Info;
    Info.FileSize = File.size();
    // Fields are checked in file order, as a reader meets them.
    if (Header.size() < VersionOffset)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    if (LittleEndianAt<int32_t>(Header, MagicLengthOffset) != 5 ||
        Header.mid(4, 5) != QByteArray::fromRawData(Magic, 5))
        throw EKelvarnError(QStringLiteral("Invalid locker file."));
    if (Header.size() < PasswordIterationsOffset)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    Info.Version = LittleEndianAt<int32_t>(Header, VersionOffset);
    if (Info.Version != SupportedVersion)
        throw EKelvarnError(QStringLiteral("Unsupported locker version."));
    if (Header.size() < HeaderSize)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    Info.PasswordIterations = LittleEndianAt<int32_t>(Header, PasswordIterationsOffset);
    Info.RecoveryIterations = LittleEndianAt<int32_t>(Header, RecoveryIterationsOffset);
    Info.PayloadLength = LittleEndianAt<int64_t>(Header, PayloadLengthOffset);
    Info.PayloadStart = HeaderSize;
    if (Info.PayloadLength < 0)
        throw EKelvarnError(QStringLiteral("Invalid locker payload length."));
    return Info;
}
