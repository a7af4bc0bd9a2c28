#pragma once

#include "locker/uLockerFormat.h"
#include "locker/uLockerPayload.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// Builds the encrypted payload in pieces: fields and file data are staged in plaintext, and each
// full piece is encrypted, written and MACed in one go. With Worker, that happens on a thread of its
// own while the caller stages the next piece in a second buffer, so that reading the source overlaps
// the cipher, the MAC and the write; the stream and Mac then belong to that thread until Flush
// returns. Written, when given, hears the stream offset up to which the payload has been written,
// on the thread that wrote it.
class TPayloadWriter final : public TFieldSink {
public:
    using TWrittenProc = std::function<void(int64_t End)>;
    TPayloadWriter(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, char* Buffer, int Capacity,
                   bool Worker = false, TWrittenProc Written = nullptr);
    // Stops the worker; a piece it has not written yet is dropped.
    ~TPayloadWriter();
    TPayloadWriter(const TPayloadWriter&) = delete;
    TPayloadWriter& operator=(const TPayloadWriter&) = delete;

    void PutByte(uint8_t Value) override;
    void PutInt32(int32_t Value) override;
    void PutInt64(int64_t Value) override;
    void PutBytes(const void* Data, int64_t Count) override;
    void PutString(const QString& Text) override;
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
class TPayloadReader final : public TFieldSource {
public:
    // With Mac, every stored byte is added to it as it is read, before it is decrypted: the bytes
    // that are authenticated are exactly the bytes that are used. OtherMac, when given, gets the same
    // bytes (a second key checked in the same read).
    TPayloadReader(TFileStream& Stream, TAesCtrTransform& Transform, int64_t PayloadLength, char* Buffer, int Capacity,
                   THmacSha256* Mac = nullptr, THmacSha256* OtherMac = nullptr, bool ReadAhead = false);
    ~TPayloadReader();
    TPayloadReader(const TPayloadReader&) = delete;
    TPayloadReader& operator=(const TPayloadReader&) = delete;

    uint8_t ReadByte() override;
    int32_t ReadInt32() override;
    int64_t ReadInt64() override;
    // Raises "Invalid encrypted string length." for a negative count or one beyond the payload.
    QString ReadString();
    // The same, but a count above MaxBytes (and within the payload) raises Refusal; the text is
    // not read.
    QString ReadString(int32_t MaxBytes, const QString& Refusal) override;
    // Reads the rest of the payload into the MAC without decrypting it.
    void DrainIntoMac();
    // Up to Wanted decrypted bytes that are ready, at least one; raises "Stream read error" at the
    // end of the payload. The bytes stay valid until the next call.
    const char* Next(int64_t Wanted, int& Got);
    // Payload bytes consumed so far.
    int64_t Consumed() const { return FConsumed; }
    int64_t Remaining() const override { return FLength - FConsumed; }

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
