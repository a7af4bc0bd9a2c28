#pragma once

#include "platform/PlatformFiles.h"
#include "crypto/uCryptoProvider.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// The bytes of a locker file: header layout, the clear and encrypted encodings the writer and the
// reader share, the key schedule, the payload MAC and the rules for stored names.

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
// Reads the header from the start of Stream, fields in file order. Raises "Invalid locker file.",
// "Unsupported locker version.", "Invalid locker payload length." or "Stream read error"; a payload
// longer than the file is left for the caller to judge. A file whose first four bytes are not the
// magic's length is refused without reading further.
TLockerHeader ReadLockerHeader(TFileStream& Stream);
// A slot that yields MasterKey for Secret.
TLockerSlot WrapMasterKey(const QByteArray& MasterKey, const QString& Secret, const QByteArray& Salt,
                          int32_t Iterations);
// Writes the header from the start of Stream with the MAC and payload length still zero; the
// payload follows. CompleteLockerHeader fills them in once the payload is written.
void WriteLockerHeader(TFileStream& Stream, const TLockerSlot& Password, const TLockerSlot& Recovery,
                       const QByteArray& Nonce);
void CompleteLockerHeader(TFileStream& Stream, const QByteArray& Mac, int64_t PayloadLength);

// Clear header encodings on the locker's stream.
void WriteRawBytes(TFileStream& Stream, const QByteArray& Bytes);
// Count < 0 raises "Invalid byte count."; more than the file still holds raises "Stream read error"
// before any memory is reserved.
QByteArray ReadRawBytes(TFileStream& Stream, int32_t Count);
void WritePlainString(TFileStream& Stream, const QString& Text);
// A negative count raises "Invalid string length.".
QString ReadPlainString(TFileStream& Stream);
void WriteInt32(TFileStream& Stream, int32_t Value);
void WriteInt64(TFileStream& Stream, int64_t Value);
int32_t ReadInt32(TFileStream& Stream);
int64_t ReadInt64(TFileStream& Stream);

// Encrypted encodings, one field at a time: encrypt in place, write, then MAC the ciphertext. The
// writer stages whole buffers through TPayloadWriter instead; both give the same bytes.
void EncWriteBuffer(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, void* Buffer, int Count);
void EncWriteInt32(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, int32_t Value);
void EncWriteInt64(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, int64_t Value);
void EncWriteByte(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, uint8_t Value);
void EncWriteString(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, const QString& Text);
void EncReadBuffer(TFileStream& Stream, TAesCtrTransform& Transform, void* Buffer, int Count);
int32_t EncReadInt32(TFileStream& Stream, TAesCtrTransform& Transform);
int64_t EncReadInt64(TFileStream& Stream, TAesCtrTransform& Transform);
uint8_t EncReadByte(TFileStream& Stream, TAesCtrTransform& Transform);
// A negative count raises "Invalid encrypted string length."; so does one longer than the rest of
// the file, before any memory is reserved.
QString EncReadString(TFileStream& Stream, TAesCtrTransform& Transform);

// Sizes of the plaintext payload, for progress and for the stored length.
int64_t Utf8FieldSize(const QString& Text);
int64_t EntryRecordSize(const TEntryInfo& Entry);
int64_t PayloadSize(const QString& RootName, const QList<TEntryInfo>& Entries);

// HMAC-SHA256 under MacKey over Nonce and then the PayloadLength stored bytes from PayloadStart,
// read in 4 MiB pieces.
QByteArray ComputePayloadMac(TFileStream& Stream, int64_t PayloadStart, int64_t PayloadLength, const QByteArray& MacKey,
                             const QByteArray& Nonce);

// "/" becomes "\"; leading separators go, then leading "..\" pieces; a lone ".." becomes empty.
QString CleanRelativePath(const QString& Text);

// Key schedule.
QByteArray DeriveEncryptionKey(const QByteArray& MasterKey);
QByteArray DeriveMacKey(const QByteArray& MasterKey);
// Byte-by-byte XOR of two arrays of the same length (slot wrapping).
QByteArray XorBytes(const QByteArray& A, const QByteArray& B);

// Stored names the reader refuses, and so the writer never stores. A root name must be a single
// component: not empty, ".", "..", without "\", "/" or NUL, without a leading drive prefix ("C:").
bool IsSafeRootName(const QString& Name);
// A cleaned relative path stays below its folder: empty (the folder itself) or components that are
// none of empty, ".", "..", hold no NUL, and no leading drive prefix.
bool IsSafeRelativePath(const QString& Cleaned);
// "X:" with X an ASCII letter at the start of the text.
bool HasDrivePrefix(const QString& Text);
// Stored form ("\") to the local file system's form ("/").
QString StoredPathToLocal(const QString& Stored);
// True when RootName and the cleaned relative path stay within the bounds above.
bool IsWithinPathBounds(const QString& RootName, const QString& Cleaned);

// The attributes to store for an item listed with Attributes (low bits, permissions in the high 16):
// the high 16 bits become the full st_mode, type bits included.
int32_t StoredAttributes(uint32_t Attributes, bool IsDir);
// The permissions to restore from stored attributes. The high 16 bits count as a mode only when their
// type bits name the entry's own kind (a locker from elsewhere may use those bits for other things,
// as Windows does for cloud-file states); they are then masked to 0777, never set-id or sticky.
// Otherwise the owner gets read and write, and search for a folder. For a file, read-only (bit 0x1)
// removes every write bit and its absence adds the owner's; a folder's read-only bit means nothing
// on Windows, so a folder keeps what its mode says.
uint32_t RestoredMode(int32_t Attributes, bool IsDir);

// A reason and the item it concerns, on a line of its own, as every engine message puts them.
inline QString WithItem(const QString& Reason, const QString& Item) {
    return Reason + QStringLiteral("\r\n") + Item;
}

// A name from a locker as it may be shown: control characters (and those that reorder text) escaped
// as \xNN or \u{NNNN}, and a long name cut to its first MaxShownChars characters followed by "...".
QString PrintableName(const QString& Name);
inline constexpr int MaxShownChars = 160;

// Builds the encrypted payload in pieces: fields and file data are staged in plaintext, and each
// full piece is encrypted, written and MACed in one go. With Worker, that happens on a thread of its
// own while the caller stages the next piece in a second buffer, so that reading the source overlaps
// the cipher, the MAC and the write; the stream and Mac then belong to that thread until Flush
// returns. Written, when given, hears the stream offset up to which the payload has been written,
// on the thread that wrote it.
class TPayloadWriter {
public:
    using TWrittenProc = std::function<void(int64_t End)>;
    TPayloadWriter(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, char* Buffer, int Capacity,
                   bool Worker = false, TWrittenProc Written = nullptr);
    // Stops the worker; a piece it has not written yet is dropped.
    ~TPayloadWriter();
    TPayloadWriter(const TPayloadWriter&) = delete;
    TPayloadWriter& operator=(const TPayloadWriter&) = delete;

    void PutByte(uint8_t Value);
    void PutInt32(int32_t Value);
    void PutInt64(int64_t Value);
    void PutBytes(const void* Data, int64_t Count);
    void PutString(const QString& Text);
    // Free staging space, at least one byte (a full buffer is handed on first). Fill it, then Commit.
    char* Space(int& Available);
    void Commit(int Count);
    // Encrypts, writes and MACs everything staged, and returns once it is written; raises what the
    // worker raised.
    void Flush();
    // Plaintext bytes accepted so far.
    int64_t Total() const { return FTotal; }

private:
    struct TWorker;
    void HandOn();
    void AwaitIdle(std::unique_lock<std::mutex>& Guard);
    void WritePiece(char* Data, int Count);
    void RunWorker();

    TFileStream& FStream;
    THmacSha256& FMac;
    TAesCtrTransform& FTransform;
    char* FBuffer;
    int FCapacity;
    int FUsed = 0;
    int64_t FTotal = 0;
    TWrittenProc FWritten;
    std::unique_ptr<TWorker> FWorker;
};

// Reads a decrypted payload through one buffer: each refill reads, then decrypts, a whole piece.
// Never reads past the payload's stored length: what lies beyond it is not authenticated. With
// ReadAhead, a thread of its own reads and MACs the next pieces while the caller decrypts and uses
// the current one (in buffers of its own beside Buffer); the stream and the MACs then belong to
// that thread until DrainIntoMac returns or the reader goes.
class TPayloadReader {
public:
    // With Mac, every stored byte is added to it as it is read, before it is decrypted: the bytes
    // that are authenticated are exactly the bytes that are used. OtherMac, when given, gets the same
    // bytes (a second key checked in the same read).
    TPayloadReader(TFileStream& Stream, TAesCtrTransform& Transform, int64_t PayloadLength, char* Buffer, int Capacity,
                   THmacSha256* Mac = nullptr, THmacSha256* OtherMac = nullptr, bool ReadAhead = false);
    ~TPayloadReader();
    TPayloadReader(const TPayloadReader&) = delete;
    TPayloadReader& operator=(const TPayloadReader&) = delete;

    uint8_t ReadByte();
    int32_t ReadInt32();
    int64_t ReadInt64();
    // Raises "Invalid encrypted string length." for a negative count or one beyond the payload.
    QString ReadString();
    // The same, but a count above MaxBytes (and within the payload) raises Refusal; the text is
    // not read.
    QString ReadString(int32_t MaxBytes, const QString& Refusal);
    // Reads the rest of the payload into the MAC without decrypting it.
    void DrainIntoMac();
    // Up to Wanted decrypted bytes that are ready, at least one; raises "Stream read error" at the
    // end of the payload. The bytes stay valid until the next call.
    const char* Next(int64_t Wanted, int& Got);
    // Payload bytes consumed so far.
    int64_t Consumed() const { return FConsumed; }
    int64_t Remaining() const { return FLength - FConsumed; }

private:
    struct TAhead;
    void ReadExact(void* Target, int Count);
    void Refill();
    // Reads, MACs and (unless draining) decrypts Count bytes into Target.
    void FetchPiece(char* Target, int Count, bool Decrypt);
    void RunAhead();
    QString ReadStringOfCount(int32_t Count);

    TFileStream& FStream;
    TAesCtrTransform& FTransform;
    int64_t FLength;
    char* FBuffer;
    int FCapacity;
    THmacSha256* FMac;
    THmacSha256* FOtherMac;
    int FPos = 0;
    int FFill = 0;
    int64_t FFetched = 0;
    int64_t FConsumed = 0;
    std::unique_ptr<TAhead> FAhead;
};
