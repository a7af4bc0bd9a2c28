#include "crypto/uTextField.h"

#include "platform/KelvarnError.h"
#include "crypto/uSecurityUtils.h"

namespace TextField {

QByteArray Encode(const QString& Text) {
    QByteArray Bytes = Utf8Bytes(Text);
    const auto Count = static_cast<uint32_t>(Bytes.size());
    QByteArray Field;
    Field.reserve(4 + Bytes.size());
    for (int I = 0; I < 4; ++I)
        Field.append(static_cast<char>(Count >> (8 * I)));
    Field.append(Bytes);
    WipeBytes(Bytes);
    return Field;
}

int64_t Size(const QString& Text) {
    QByteArray Bytes = Utf8Bytes(Text);
    const int64_t Result = 4 + Bytes.size();
    WipeBytes(Bytes);
    return Result;
}

void CheckCount(int32_t Count, int64_t Available, const QString& Negative, const QString& Beyond) {
    if (Count < 0)
        throw EKelvarnError(Negative);
    if (Count > Available)
        throw EKelvarnError(Beyond);
}

QString Decode(const char* Bytes, int32_t Count) {
    return QString::fromUtf8(Bytes, Count);
}

} // namespace TextField
