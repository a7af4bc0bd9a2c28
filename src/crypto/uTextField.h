#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The length-prefixed text of the locker and the settings file alike: an Int32 little-endian count
// of UTF-8 bytes, then the bytes, with no byte-order mark and no terminator. Each file keeps its own
// stream and its own error wording; the bytes and the checks are these.
namespace TextField {

// The count and the bytes of Text, ready to be written. The caller wipes them when Text is a secret.
QByteArray Encode(const QString& Text);
// 4 + the UTF-8 byte count of Text.
int64_t Size(const QString& Text);
// A stored count, checked before anything is read or reserved for it: a negative count raises
// Negative, one beyond the Available bytes raises Beyond.
void CheckCount(int32_t Count, int64_t Available, const QString& Negative, const QString& Beyond);
QString Decode(const char* Bytes, int32_t Count);

} // namespace TextField
