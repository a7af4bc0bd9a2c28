#pragma once

#include "locker/uLockerFormat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

// The locker's fields written and read one at a time, straight on a file: slow and plain, the
// reference the tests hold the engine's codec and pipelines against, and the tool the damaged-locker
// corpus is built with.

// A read-write file that lives only in memory (memfd), holding Bytes, positioned at its start: the
// encodings and pipelines need a TFileStream, their tests need no disk.
std::unique_ptr<TFileStream> MemoryFile(const QByteArray& Bytes = QByteArray());
// Everything Stream holds, read from its start; the position is left at the end.
QByteArray StreamBytes(TFileStream& Stream);

// Clear encodings on the locker's stream.
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

// 4 + the UTF-8 byte count of Text.
int64_t Utf8FieldSize(const QString& Text);

// HMAC-SHA256 under MacKey over Nonce and then the PayloadLength stored bytes from PayloadStart,
// read in 4 MiB pieces.
QByteArray ComputePayloadMac(TFileStream& Stream, int64_t PayloadStart, int64_t PayloadLength, const QByteArray& MacKey,
                             const QByteArray& Nonce);

