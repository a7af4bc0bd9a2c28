#pragma once

#include <QByteArray>

#include <cstdint>

// A byte stream held in memory, the medium of the settings codecs. Reads past the end raise the
// stream's read error; writes go at the position and grow the stream. The bytes are wiped when the
// stream is destroyed, as they hold the password in clear.
class TSettingsStream {
public:
    TSettingsStream() = default;
    explicit TSettingsStream(QByteArray Bytes);
    ~TSettingsStream();
    TSettingsStream(const TSettingsStream&) = delete;
    TSettingsStream& operator=(const TSettingsStream&) = delete;

    // Exactly Count bytes or EKelvarnError("Stream read error"); nothing is consumed on failure.
    void ReadBuffer(void* Buffer, int64_t Count);
    void WriteBuffer(const void* Buffer, int64_t Count);

    int32_t ReadInt32(); // little-endian
    void WriteInt32(int32_t Value);
    uint8_t ReadByte();
    void WriteByte(uint8_t Value);

    int64_t Position() const { return FPosition; }
    int64_t Size() const { return FBytes.size(); }
    int64_t Remaining() const { return FBytes.size() - FPosition; }
    void Seek(int64_t Position);

    // The whole content, independent of the position.
    const QByteArray& Bytes() const { return FBytes; }
    QByteArray& Bytes() { return FBytes; }

private:
    QByteArray FBytes;
    int64_t FPosition = 0;
};
