#include "settings/uSettingsStream.h"

#include "platform/KelvarnError.h"
#include "crypto/uSecurityUtils.h"

#include <algorithm>
#include <cstring>
#include <utility>

TSettingsStream::TSettingsStream(QByteArray Bytes) : FBytes(std::move(Bytes)) {}

TSettingsStream::~TSettingsStream() {
    WipeBytes(FBytes);
}

void TSettingsStream::ReadBuffer(void* Buffer, int64_t Count) {
    if (Count < 0 || Count > Remaining())
        throw EKelvarnError(QStringLiteral("Stream read error"));
    if (Count > 0)
        std::memcpy(Buffer, FBytes.constData() + FPosition, static_cast<size_t>(Count));
    FPosition += Count;
}

void TSettingsStream::WriteBuffer(const void* Buffer, int64_t Count) {
    if (Count <= 0)
        return;
    const int64_t End = FPosition + Count;
    if (End > FBytes.size()) {
        if (End > FBytes.capacity()) {
            // Grow by hand so that the old buffer, which may hold the password, is wiped.
            QByteArray Larger;
            Larger.reserve(std::max<int64_t>(End, FBytes.capacity() * 2));
            Larger.append(FBytes);
            WipeBytes(FBytes);
            FBytes = std::move(Larger);
        }
        FBytes.resize(End);
    }
    std::memcpy(FBytes.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = End;
}

int32_t TSettingsStream::ReadInt32() {
    uint8_t Raw[4];
    ReadBuffer(Raw, 4);
    const uint32_t Value = uint32_t(Raw[0]) | uint32_t(Raw[1]) << 8 | uint32_t(Raw[2]) << 16 | uint32_t(Raw[3]) << 24;
    return static_cast<int32_t>(Value);
}

void TSettingsStream::WriteInt32(int32_t Value) {
    const uint32_t U = static_cast<uint32_t>(Value);
    const uint8_t Raw[4] = {uint8_t(U), uint8_t(U >> 8), uint8_t(U >> 16), uint8_t(U >> 24)};
    WriteBuffer(Raw, 4);
}

uint8_t TSettingsStream::ReadByte() {
    uint8_t Value = 0;
    ReadBuffer(&Value, 1);
    return Value;
}

void TSettingsStream::WriteByte(uint8_t Value) {
    WriteBuffer(&Value, 1);
}

void TSettingsStream::Seek(int64_t Position) {
    FPosition = std::clamp<int64_t>(Position, 0, FBytes.size());
}
