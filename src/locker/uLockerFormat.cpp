#include "locker/uLockerFormat.h"
#include "locker/uLockerPayload.h"

#include "platform/KelvarnError.h"
#include "translation/translation.h"
#include "crypto/uSecurityUtils.h"
#include "crypto/uTextField.h"

#include <QtEndian>

#include <algorithm>

namespace {

TLockerSlot ReadSlot(TBufferSource& Source) {
    TLockerSlot Slot;
    Slot.Iterations = Source.ReadInt32();
    Slot.Salt = Source.Take(LockerFormat::SaltSize).toByteArray();
    Slot.Wrapped = Source.Take(LockerFormat::KeySize).toByteArray();
    return Slot;
}

void PutSlot(TBufferSink& Sink, const TLockerSlot& Slot) {
    Sink.PutInt32(Slot.Iterations);
    Sink.PutBytes(Slot.Salt.constData(), Slot.Salt.size());
    Sink.PutBytes(Slot.Wrapped.constData(), Slot.Wrapped.size());
}

} // namespace

TLockerHeader ParseLockerHeader(QByteArrayView Bytes) {
    TBufferSource Source(Bytes);
    TLockerHeader Header;
    // The length comes first and must be the magic's own: taken as it stands, any file's first four
    // bytes would decide how much of it is read, up to all of it, before anything is checked.
    const QByteArrayView Magic(LockerFormat::Magic);
    if (Source.ReadInt32() != Magic.size() || Source.Take(Magic.size()) != Magic)
        throw EKelvarnError(Translate("Invalid locker file."));
    Header.Version = Source.ReadInt32();
    if (Header.Version != LockerFormat::Version)
        throw EKelvarnError(Translate("Unsupported locker version."));
    Header.Password = ReadSlot(Source);
    Header.Recovery = ReadSlot(Source);
    Header.Nonce = Source.Take(LockerFormat::NonceSize).toByteArray();
    Header.StoredMac = Source.Take(LockerFormat::MacSize).toByteArray();
    Header.Length = Source.ReadInt64();
    if (Header.Length < 0)
        throw EKelvarnError(Translate("Invalid locker payload length."));
    Header.PayloadStart = LockerFormat::PayloadStart;
    return Header;
}

QByteArray EncodeLockerHeader(const TLockerSlot& Password, const TLockerSlot& Recovery, const QByteArray& Nonce) {
    TBufferSink Sink;
    Sink.PutString(QString::fromLatin1(LockerFormat::Magic));
    Sink.PutInt32(LockerFormat::Version);
    PutSlot(Sink, Password);
    PutSlot(Sink, Recovery);
    Sink.PutBytes(Nonce.constData(), Nonce.size());
    const QByteArray Zeros(LockerFormat::MacSize, '\0');
    Sink.PutBytes(Zeros.constData(), Zeros.size());
    Sink.PutInt64(0);
    return Sink.Bytes();
}

TLockerHeader ReadLockerHeader(TFileStream& Stream) {
    // A foreign file is refused on its first four bytes, so no more than the header is ever read.
    QByteArray Bytes(LockerFormat::PayloadStart, Qt::Uninitialized);
    Stream.Seek(0);
    Bytes.truncate(static_cast<qsizetype>(Stream.Read(Bytes.data(), Bytes.size())));
    return ParseLockerHeader(Bytes);
}

void WriteLockerHeader(TFileStream& Stream, const TLockerSlot& Password, const TLockerSlot& Recovery,
                       const QByteArray& Nonce) {
    const QByteArray Bytes = EncodeLockerHeader(Password, Recovery, Nonce);
    Stream.Seek(0);
    Stream.WriteBuffer(Bytes.constData(), Bytes.size());
}

void CompleteLockerHeader(TFileStream& Stream, const QByteArray& Mac, int64_t PayloadLength) {
    TBufferSink Sink;
    Sink.PutBytes(Mac.constData(), Mac.size());
    Sink.PutInt64(PayloadLength);
    Stream.Seek(LockerFormat::MacOffset);
    Stream.WriteBuffer(Sink.Bytes().constData(), Sink.Bytes().size());
}

TLockerSlot WrapMasterKey(const QByteArray& MasterKey, const QString& Secret, const QByteArray& Salt,
                          int32_t Iterations) {
    const TSecretBytes SlotKey(Pbkdf2Sha256(Secret, Salt, Iterations, LockerFormat::KeySize));
    return {Iterations, Salt, XorBytes(MasterKey, SlotKey.Value)};
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
