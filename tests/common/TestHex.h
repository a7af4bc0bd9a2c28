#pragma once

#include <QByteArray>
#include <QString>

// Hex fixtures read better than escaped strings; spaces are ignored.
inline QByteArray Hex(const char* Text) {
    return QByteArray::fromHex(QByteArray(Text).replace(' ', ""));
}
inline QByteArray Repeat(char Byte, int Count) {
    return QByteArray(Count, Byte);
}
