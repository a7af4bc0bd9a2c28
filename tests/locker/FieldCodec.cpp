#include "FieldCodec.h"

#include "platform/KelvarnError.h"
#include "crypto/uSecurityUtils.h"
#include "crypto/uTextField.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>

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

} // namespace

std::unique_ptr<TFileStream> MemoryFile(const QByteArray& Bytes) {
    const int Fd = ::memfd_create("kelvarn-test", MFD_CLOEXEC);
    if (Fd < 0)
        throw EKelvarnError(QStringLiteral("Cannot make a memory file. %1").arg(SystemErrorText(errno)));
    auto File = std::make_unique<TFileStream>(Fd, QStringLiteral("memory"), TFileStream::TMode::OpenReadWrite);
    WriteRawBytes(*File, Bytes);
    File->Seek(0);
    return File;
}

QByteArray StreamBytes(TFileStream& Stream) {
    Stream.Seek(0);
    return ReadRawBytes(Stream, static_cast<int32_t>(Stream.Size()));
}

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

int64_t Utf8FieldSize(const QString& Text) {
    return TextField::Size(Text);
}
