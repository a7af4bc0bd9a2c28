#pragma once

#include "settings/encryptor.h"
#include "crypto/uSecurityUtils.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// Byte-level builders for settings files, written independently of the code under test so that a
// test checks the layout rather than re-running the writer.

inline QByteArray Int32Le(int32_t Value) {
    const uint32_t U = static_cast<uint32_t>(Value);
    QByteArray Bytes(4, '\0');
    for (int I = 0; I < 4; ++I)
        Bytes[I] = static_cast<char>(U >> (8 * I));
    return Bytes;
}

inline QByteArray SettingsString(const QByteArray& Utf8) {
    return Int32Le(static_cast<int32_t>(Utf8.size())) + Utf8;
}

// password, flag byte, count, entries: the plaintext of both formats after the version.
inline QByteArray RecordBody(const QByteArray& Password, uint8_t Flag, int32_t Count,
                             const QList<QByteArray>& Entries) {
    QByteArray Bytes = SettingsString(Password);
    Bytes.append(static_cast<char>(Flag));
    Bytes.append(Int32Le(Count));
    for (const QByteArray& Entry : Entries)
        Bytes.append(SettingsString(Entry));
    return Bytes;
}

// The encoder the older program used: each cipher byte is the plain byte XOR the state's high byte,
// the state advanced with the plain byte; then every byte is inverted.
inline QByteArray EncodeLegacy(const QByteArray& Plain, TLegacyKey Key = LegacySettingsKey) {
    QByteArray Out(Plain.size(), '\0');
    uint16_t State = Key.InitialState;
    for (int I = 0; I < Plain.size(); ++I) {
        const uint8_t P = static_cast<uint8_t>(Plain[I]);
        Out[I] = static_cast<char>(~(P ^ (State >> 8)));
        State = static_cast<uint16_t>(((P + (State & 0xFF)) & 0xFF) * Key.Multiplier + Key.Addend);
    }
    return Out;
}

struct TTestKeys {
    QByteArray Encryption;
    QByteArray Mac;
};

inline TTestKeys TestKeys(const QString& PassPhrase, const QByteArray& Salt) {
    const QByteArray Master = Pbkdf2Sha256(PassPhrase, Salt, 200000, 32);
    return {HmacSha256(Master, QByteArray("kvs2-enc-key")), HmacSha256(Master, QByteArray("kvs2-mac-key"))};
}

// A current-format file around Record, authenticated under PassPhrase.
inline QByteArray EncodeCurrent(const QByteArray& Record, const QString& PassPhrase, int32_t Version = 2) {
    const QByteArray Salt = RandomBytes(16);
    const QByteArray Nonce = RandomBytes(16);
    const TTestKeys Keys = TestKeys(PassPhrase, Salt);
    QByteArray Cipher = Record;
    HmacCtrXor(Cipher, Keys.Encryption, Nonce);
    const QByteArray Mac = HmacSha256(Keys.Mac, Nonce + Cipher);
    return SettingsString("KVS2") + Int32Le(Version) + Salt + Nonce + Mac + Cipher;
}
