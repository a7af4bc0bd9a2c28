#include "LockerHeaderInfo.h"

#include "KelvarnError.h"
#include "PlatformFiles.h"
#include "uLockerFormat.h"

#include <QFile>
#include <QtEndian>

namespace {

// The clear header lies at fixed offsets, since the magic is always written with its length 5.
constexpr qint64 MagicLength = sizeof(LockerFormat::Magic) - 1;
constexpr qint64 VersionOffset = 4 + MagicLength;

template <typename T> T LittleEndianAt(const QByteArray& Header, qint64 Offset) {
    return qFromLittleEndian<T>(Header.constData() + Offset);
}

} // namespace

TLockerHeaderInfo ReadLockerHeaderInfo(const QString& LockerFile) {
    if (!Fs::FileExists(LockerFile))
        throw EKelvarnError(QStringLiteral("Locker file does not exist."));
    QFile File(LockerFile);
    if (!File.open(QIODevice::ReadOnly))
        throw EKelvarnError(QStringLiteral("Cannot open file \"%1\". %2").arg(LockerFile, File.errorString()));
    const QByteArray Header = File.read(LockerFormat::PayloadStart);
    TLockerHeaderInfo Info;
    Info.FileSize = File.size();
    // Fields are checked in file order, as a reader meets them.
    if (Header.size() < VersionOffset)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    if (LittleEndianAt<int32_t>(Header, 0) != MagicLength ||
        Header.mid(4, MagicLength) != QByteArray::fromRawData(LockerFormat::Magic, MagicLength))
        throw EKelvarnError(QStringLiteral("Invalid locker file."));
    if (Header.size() < LockerFormat::PasswordSlotOffset)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    Info.Version = LittleEndianAt<int32_t>(Header, VersionOffset);
    if (Info.Version != LockerFormat::Version)
        throw EKelvarnError(QStringLiteral("Unsupported locker version."));
    if (Header.size() < LockerFormat::PayloadStart)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    Info.PasswordIterations = LittleEndianAt<int32_t>(Header, LockerFormat::PasswordSlotOffset);
    Info.RecoveryIterations = LittleEndianAt<int32_t>(Header, LockerFormat::RecoverySlotOffset);
    Info.PayloadLength = LittleEndianAt<int64_t>(Header, LockerFormat::PayloadLengthOffset);
    Info.PayloadStart = LockerFormat::PayloadStart;
    if (Info.PayloadLength < 0)
        throw EKelvarnError(QStringLiteral("Invalid locker payload length."));
    return Info;
}
