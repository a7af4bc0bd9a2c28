#pragma once

#include "platform/PlatformFiles.h"
#include "crypto/uCryptoProvider.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>

// The bytes of a locker file around its payload: the layout and limits, the clear header and the key
// schedule. The payload itself is laid out in uLockerPayload.h.

namespace LockerFormat {
inline constexpr char Magic[] = "KVLK4";
inline constexpr int32_t Version = 4;
inline constexpr int32_t Iterations = 200000;
// A larger stored count is damage or hostility: deriving with it could run for hours.
inline constexpr int32_t MaxIterations = 10000000;
inline constexpr int SaltSize = 16;
inline constexpr int KeySize = 32;
inline constexpr int NonceSize = 16;
inline constexpr int MacSize = 32;
// Iterations, salt and wrapped key.
inline constexpr int SlotSize = 4 + SaltSize + KeySize;
inline constexpr int64_t PasswordSlotOffset = 13;
inline constexpr int64_t RecoverySlotOffset = 65;
inline constexpr int64_t NonceOffset = 117;
inline constexpr int64_t MacOffset = 133;
inline constexpr int64_t PayloadLengthOffset = 165;
inline constexpr int64_t PayloadStart = 173;
inline constexpr int CopyBufferSize = 4194304;
// Labels that derive the payload keys from the master key.
inline constexpr char EncLabel[] = "ENC";
inline constexpr char MacLabel[] = "MAC";
// The separator between stored path components.
inline constexpr QChar StoredSeparator = QLatin1Char('\\');
// Bounds on stored paths, in UTF-8 bytes and components. The reader refuses an entry beyond them as
// soon as it is read, and the writer never stores one: a hostile locker must not make the reader
// build paths the system cannot name, or nest folders without end.
inline constexpr int MaxPathBytes = 4096; // PATH_MAX, for the root name and the relative path together
inline constexpr int MaxNameBytes = 255;  // NAME_MAX, per component
inline constexpr int MaxPathDepth = 256;  // components below the root
// Stored attributes: the high 16 bits carry the item's full st_mode, file-type bits included.
inline constexpr uint32_t TypeMask = 0170000;
} // namespace LockerFormat

// One packed item. RelativePath is stored form ("\" between components); SourceFullPath is the
// item on disk while packing and is never stored (empty in the list the writer holds for a folder's
// items: see EntrySourcePath).
struct TEntryInfo {
    QString RelativePath;
    QString SourceFullPath;
    bool IsDir = false;
    int32_t Attr = 0;
    int64_t Size = 0;
    // The item the walk listed; what is opened for packing must be the same.
    TFileIdentity Identity;
    // A packed file's times as it was read (nanoseconds), so that it can be told apart afterwards
    // from the same file changed since.
    int64_t MtimeNs = 0;
    int64_t CtimeNs = 0;
};

struct TLockerSlot {
    int32_t Iterations = 0;
    QByteArray Salt;
    QByteArray Wrapped;
};

// The clear header: not authenticated, so every field is only a claim until the payload MAC agrees.
struct TLockerHeader {
    int32_t Version = 0;
    TLockerSlot Password;
    TLockerSlot Recovery;
    QByteArray Nonce;
    QByteArray StoredMac;
    int64_t Length = 0;
    int64_t PayloadStart = 0;
};
// Parses the clear header from its bytes: PayloadStart of them, or fewer for a file cut short.
// Raises "Invalid locker file.", "Unsupported locker version.", "Invalid locker payload length." or,
// for bytes that end first, "Stream read error"; a payload longer than the file is left for the
// caller to judge. Bytes whose first four are not the magic's length are refused before the rest.
TLockerHeader ParseLockerHeader(QByteArrayView Bytes);
// The header's bytes, with the MAC and payload length still zero: a locker cut short never
// authenticates. CompleteLockerHeader fills them in once the payload is written.
QByteArray EncodeLockerHeader(const TLockerSlot& Password, const TLockerSlot& Recovery, const QByteArray& Nonce);
// The same on the locker's stream, from its start.
TLockerHeader ReadLockerHeader(TFileStream& Stream);
void WriteLockerHeader(TFileStream& Stream, const TLockerSlot& Password, const TLockerSlot& Recovery,
                       const QByteArray& Nonce);
void CompleteLockerHeader(TFileStream& Stream, const QByteArray& Mac, int64_t PayloadLength);

// A slot that yields MasterKey for Secret.
TLockerSlot WrapMasterKey(const QByteArray& MasterKey, const QString& Secret, const QByteArray& Salt,
                          int32_t Iterations);

// Key schedule.
QByteArray DeriveEncryptionKey(const QByteArray& MasterKey);
QByteArray DeriveMacKey(const QByteArray& MasterKey);
// Byte-by-byte XOR of two arrays of the same length (slot wrapping).
QByteArray XorBytes(const QByteArray& A, const QByteArray& B);
