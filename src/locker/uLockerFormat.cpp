#include "locker/uLockerFormat.h"
#include "locker/uSideBySide.h"

#include "platform/KelvarnError.h"
#include "translation/translation.h"
#include "crypto/uSecurityUtils.h"
#include "crypto/uTextField.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <deque>
#include <exception>
#include <sys/stat.h>
#include <vector>

namespace {

[[noreturn]] void RaiseStreamRead() {
    throw EKelvarnError(QStringLiteral("Stream read error"));
}

QString EncStringLengthMessage() {
    return QStringLiteral("Invalid encrypted string length.");
}

int64_t StreamRemaining(const TFileStream& Stream) {
    return std::max<int64_t>(0, Stream.Size() - Stream.Position());
}

bool IsAsciiLetter(QChar C) {
    const char16_t U = C.unicode();
    return (U >= u'A' && U <= u'Z') || (U >= u'a' && U <= u'z');
}

} // namespace

void WriteRawBytes(TFileStream& Stream, const QByteArray& Bytes) {
    if (!Bytes.isEmpty())
        Stream.WriteBuffer(Bytes.constData(), Bytes.size());
}

QByteArray ReadRawBytes(TFileStream& Stream, int32_t Count) {
    if (Count < 0)
        throw EKelvarnError(QStringLiteral("Invalid byte count."));
    if (Count > StreamRemaining(Stream))
        RaiseStreamRead();
    QByteArray Bytes(Count, Qt::Uninitialized);
    Stream.ReadBuffer(Bytes.data(), Count);
    return Bytes;
}

void WritePlainString(TFileStream& Stream, const QString& Text) {
    WriteRawBytes(Stream, TextField::Encode(Text));
}

QString ReadPlainString(TFileStream& Stream) {
    const int32_t Count = ReadInt32(Stream);
    TextField::CheckCount(Count, StreamRemaining(Stream), QStringLiteral("Invalid string length."),
                          QStringLiteral("Stream read error"));
    const QByteArray Bytes = ReadRawBytes(Stream, Count);
    return TextField::Decode(Bytes.constData(), Count);
}

void WriteInt32(TFileStream& Stream, int32_t Value) {
    char Bytes[4];
    qToLittleEndian<qint32>(Value, Bytes);
    Stream.WriteBuffer(Bytes, 4);
}

void WriteInt64(TFileStream& Stream, int64_t Value) {
    char Bytes[8];
    qToLittleEndian<qint64>(Value, Bytes);
    Stream.WriteBuffer(Bytes, 8);
}

int32_t ReadInt32(TFileStream& Stream) {
    char Bytes[4];
    Stream.ReadBuffer(Bytes, 4);
    return qFromLittleEndian<qint32>(Bytes);
}

int64_t ReadInt64(TFileStream& Stream) {
    char Bytes[8];
    Stream.ReadBuffer(Bytes, 8);
    return qFromLittleEndian<qint64>(Bytes);
}

void EncWriteBuffer(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, void* Buffer, int Count) {
    if (Count <= 0)
        return;
    Transform.Transform(Buffer, Count);
    Stream.WriteBuffer(Buffer, Count);
    Mac.Update(Buffer, Count);
}

void EncWriteInt32(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, int32_t Value) {
    char Bytes[4];
    qToLittleEndian<qint32>(Value, Bytes);
    EncWriteBuffer(Stream, Mac, Transform, Bytes, 4);
}

void EncWriteInt64(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, int64_t Value) {
    char Bytes[8];
    qToLittleEndian<qint64>(Value, Bytes);
    EncWriteBuffer(Stream, Mac, Transform, Bytes, 8);
}

void EncWriteByte(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, uint8_t Value) {
    char Byte = static_cast<char>(Value);
    EncWriteBuffer(Stream, Mac, Transform, &Byte, 1);
}

void EncWriteString(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, const QString& Text) {
    QByteArray Field = TextField::Encode(Text);
    EncWriteBuffer(Stream, Mac, Transform, Field.data(), static_cast<int>(Field.size()));
}

void EncReadBuffer(TFileStream& Stream, TAesCtrTransform& Transform, void* Buffer, int Count) {
    if (Count <= 0)
        return;
    Stream.ReadBuffer(Buffer, Count);
    Transform.Transform(Buffer, Count);
}

int32_t EncReadInt32(TFileStream& Stream, TAesCtrTransform& Transform) {
    char Bytes[4];
    EncReadBuffer(Stream, Transform, Bytes, 4);
    return qFromLittleEndian<qint32>(Bytes);
}

int64_t EncReadInt64(TFileStream& Stream, TAesCtrTransform& Transform) {
    char Bytes[8];
    EncReadBuffer(Stream, Transform, Bytes, 8);
    return qFromLittleEndian<qint64>(Bytes);
}

uint8_t EncReadByte(TFileStream& Stream, TAesCtrTransform& Transform) {
    char Byte;
    EncReadBuffer(Stream, Transform, &Byte, 1);
    return static_cast<uint8_t>(Byte);
}

QString EncReadString(TFileStream& Stream, TAesCtrTransform& Transform) {
    const int32_t Count = EncReadInt32(Stream, Transform);
    TextField::CheckCount(Count, StreamRemaining(Stream), EncStringLengthMessage(), EncStringLengthMessage());
    QByteArray Bytes(Count, Qt::Uninitialized);
    EncReadBuffer(Stream, Transform, Bytes.data(), Count);
    return TextField::Decode(Bytes.constData(), Count);
}

int64_t Utf8FieldSize(const QString& Text) {
    return TextField::Size(Text);
}

int64_t EntryRecordSize(const TEntryInfo& Entry) {
    return Utf8FieldSize(Entry.RelativePath) + 13;
}

int64_t PayloadSize(const QString& RootName, const QList<TEntryInfo>& Entries) {
    int64_t Size = Utf8FieldSize(RootName) + 5;
    for (const TEntryInfo& Entry : Entries)
        Size += EntryRecordSize(Entry) + Entry.Size;
    return Size;
}

QByteArray ComputePayloadMac(TFileStream& Stream, int64_t PayloadStart, int64_t PayloadLength, const QByteArray& MacKey,
                             const QByteArray& Nonce) {
    THmacSha256 Mac(MacKey);
    Mac.UpdateBytes(Nonce);
    Stream.Seek(PayloadStart);
    const int64_t Piece = std::min<int64_t>(LockerFormat::CopyBufferSize, std::max<int64_t>(PayloadLength, 1));
    QByteArray Buffer(static_cast<qsizetype>(Piece), Qt::Uninitialized);
    int64_t Remaining = PayloadLength;
    while (Remaining > 0) {
        const int N = static_cast<int>(std::min<int64_t>(Piece, Remaining));
        Stream.ReadBuffer(Buffer.data(), N);
        Mac.Update(Buffer.constData(), N);
        Remaining -= N;
    }
    return Mac.FinalBytes();
}

QString CleanRelativePath(const QString& Text) {
    QString Result = Text;
    Result.replace(QLatin1Char('/'), QLatin1Char('\\'));
    qsizetype Start = 0;
    while (Start < Result.size() && (Result[Start] == QLatin1Char('\\') || Result[Start] == QLatin1Char('/')))
        ++Start;
    while (Result.size() - Start >= 3 && Result[Start] == QLatin1Char('.') && Result[Start + 1] == QLatin1Char('.') &&
           Result[Start + 2] == QLatin1Char('\\'))
        Start += 3;
    Result.remove(0, Start);
    if (Result == QLatin1String(".."))
        Result.clear();
    return Result;
}

QByteArray DeriveEncryptionKey(const QByteArray& MasterKey) {
    return HmacSha256(MasterKey, Utf8Bytes(QString::fromLatin1(LockerFormat::EncLabel)));
}

QByteArray DeriveMacKey(const QByteArray& MasterKey) {
    return HmacSha256(MasterKey, Utf8Bytes(QString::fromLatin1(LockerFormat::MacLabel)));
}

QByteArray XorBytes(const QByteArray& A, const QByteArray& B) {
    const qsizetype Count = std::min(A.size(), B.size());
    QByteArray Result(Count, Qt::Uninitialized);
    for (qsizetype I = 0; I < Count; ++I)
        Result[I] = static_cast<char>(A[I] ^ B[I]);
    return Result;
}

bool HasDrivePrefix(const QString& Text) {
    return Text.size() >= 2 && IsAsciiLetter(Text[0]) && Text[1] == QLatin1Char(':');
}

namespace {

bool IsSafeComponent(QStringView Component) {
    return !Component.isEmpty() && Component != u"." && Component != u".." && !Component.contains(QChar(0));
}

} // namespace

bool IsSafeRootName(const QString& Name) {
    return IsSafeComponent(Name) && !Name.contains(QLatin1Char('\\')) && !Name.contains(QLatin1Char('/')) &&
           !HasDrivePrefix(Name);
}

bool IsSafeRelativePath(const QString& Cleaned) {
    if (Cleaned.isEmpty())
        return true;
    if (HasDrivePrefix(Cleaned) || Cleaned.contains(QLatin1Char('/')))
        return false;
    for (const QStringView Component : QStringView(Cleaned).split(LockerFormat::StoredSeparator))
        if (!IsSafeComponent(Component))
            return false;
    return true;
}

bool IsWithinPathBounds(const QString& RootName, const QString& Cleaned) {
    const qsizetype RootBytes = Utf8Bytes(RootName).size();
    if (RootBytes > LockerFormat::MaxNameBytes)
        return false;
    if (Cleaned.isEmpty())
        return true;
    const QByteArray Bytes = Utf8Bytes(Cleaned);
    // Root name, "/", relative path and the terminating zero must fit PATH_MAX.
    if (RootBytes + 1 + Bytes.size() >= LockerFormat::MaxPathBytes)
        return false;
    int Depth = 0;
    for (const QByteArray& Component : Bytes.split('\\')) {
        if (++Depth > LockerFormat::MaxPathDepth || Component.size() > LockerFormat::MaxNameBytes)
            return false;
    }
    return true;
}

int32_t StoredAttributes(uint32_t Attributes, bool IsDir) {
    const uint32_t Type = IsDir ? S_IFDIR : S_IFREG;
    const uint32_t Mode = Type | ((Attributes >> Attr::PermShift) & 07777);
    return static_cast<int32_t>((Attributes & 0xFFFFu) | (Mode << Attr::PermShift));
}

uint32_t RestoredMode(int32_t Attributes, bool IsDir) {
    const uint32_t Bits = static_cast<uint32_t>(Attributes);
    const uint32_t High = Bits >> Attr::PermShift;
    const bool OwnKind = (High & LockerFormat::TypeMask) == static_cast<uint32_t>(IsDir ? S_IFDIR : S_IFREG);
    uint32_t Mode = OwnKind ? (High & 0777) : (IsDir ? 0700u : 0600u);
    if (IsDir)
        return Mode;
    if (Bits & Attr::ReadOnly)
        Mode &= ~0222u;
    else
        Mode |= S_IWUSR;
    return Mode;
}

QString PrintableName(const QString& Name) {
    QString Out;
    qsizetype Shown = 0;
    for (const QChar Char : Name) {
        if (Shown >= MaxShownChars) {
            Out += QStringLiteral("...");
            break;
        }
        const char16_t C = Char.unicode();
        // C0 and C1 controls and DEL, and the marks that reorder or hide text on a terminal.
        const bool Control = C < 0x20 || (C >= 0x7F && C <= 0x9F);
        const bool Reorders =
            (C >= 0x202A && C <= 0x202E) || (C >= 0x2066 && C <= 0x2069) || C == 0x200E || C == 0x200F || C == 0x061C;
        if (Control)
            Out += QStringLiteral("\\x%1").arg(static_cast<int>(C), 2, 16, QLatin1Char('0'));
        else if (Reorders)
            Out += QStringLiteral("\\u{%1}").arg(static_cast<int>(C), 4, 16, QLatin1Char('0'));
        else
            Out += Char;
        ++Shown;
    }
    return Out;
}

QString StoredPathToLocal(const QString& Stored) {
    QString Local = Stored;
    Local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return Local;
}

namespace {

TLockerSlot ReadSlot(TFileStream& Stream) {
    TLockerSlot Slot;
    Slot.Iterations = ReadInt32(Stream);
    Slot.Salt = ReadRawBytes(Stream, LockerFormat::SaltSize);
    Slot.Wrapped = ReadRawBytes(Stream, LockerFormat::KeySize);
    return Slot;
}

void WriteSlot(TFileStream& Stream, const TLockerSlot& Slot) {
    WriteInt32(Stream, Slot.Iterations);
    WriteRawBytes(Stream, Slot.Salt);
    WriteRawBytes(Stream, Slot.Wrapped);
}

} // namespace

TLockerSlot WrapMasterKey(const QByteArray& MasterKey, const QString& Secret, const QByteArray& Salt,
                          int32_t Iterations) {
    const TSecretBytes SlotKey(Pbkdf2Sha256(Secret, Salt, Iterations, LockerFormat::KeySize));
    return {Iterations, Salt, XorBytes(MasterKey, SlotKey.Value)};
}

void WriteLockerHeader(TFileStream& Stream, const TLockerSlot& Password, const TLockerSlot& Recovery,
                       const QByteArray& Nonce) {
    Stream.Seek(0);
    WritePlainString(Stream, QString::fromLatin1(LockerFormat::Magic));
    WriteInt32(Stream, LockerFormat::Version);
    WriteSlot(Stream, Password);
    WriteSlot(Stream, Recovery);
    WriteRawBytes(Stream, Nonce);
    // Zeros until the end: a locker cut short never authenticates.
    WriteRawBytes(Stream, QByteArray(LockerFormat::MacSize, '\0'));
    WriteInt64(Stream, 0);
}

void CompleteLockerHeader(TFileStream& Stream, const QByteArray& Mac, int64_t PayloadLength) {
    Stream.Seek(LockerFormat::MacOffset);
    WriteRawBytes(Stream, Mac);
    WriteInt64(Stream, PayloadLength);
}

TLockerHeader ReadLockerHeader(TFileStream& Stream) {
    TLockerHeader Header;
    Stream.Seek(0);
    // The length comes first and must be the magic's own: taken as it stands, any file's first four
    // bytes would decide how much of it is read, up to all of it, before anything is checked.
    const QByteArray Magic(LockerFormat::Magic);
    if (ReadInt32(Stream) != Magic.size() || ReadRawBytes(Stream, Magic.size()) != Magic)
        throw EKelvarnError(Translate("Invalid locker file."));
    Header.Version = ReadInt32(Stream);
    if (Header.Version != LockerFormat::Version)
        throw EKelvarnError(Translate("Unsupported locker version."));
    Header.Password = ReadSlot(Stream);
    Header.Recovery = ReadSlot(Stream);
    Header.Nonce = ReadRawBytes(Stream, LockerFormat::NonceSize);
    Header.StoredMac = ReadRawBytes(Stream, LockerFormat::MacSize);
    Header.Length = ReadInt64(Stream);
    if (Header.Length < 0)
        throw EKelvarnError(Translate("Invalid locker payload length."));
    Header.PayloadStart = Stream.Position();
    return Header;
}
