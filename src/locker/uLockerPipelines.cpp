// The payload's threaded pipelines: the writer that encrypts, MACs and writes each piece on a
// thread of its own while the caller fills the next, and the reader that reads and MACs ahead.
#include "locker/uLockerPipelines.h"
#include "platform/PlatformThreads.h"

#include "platform/KelvarnError.h"
#include "crypto/uTextField.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <deque>
#include <exception>
#include <vector>

namespace {

[[noreturn]] void RaiseStreamRead() {
    throw EKelvarnError(QStringLiteral("Stream read error"));
}

QString EncStringLengthMessage() {
    return QStringLiteral("Invalid encrypted string length.");
}

[[noreturn]] void RaiseEncStringLength() {
    throw EKelvarnError(EncStringLengthMessage());
}

} // namespace

// ---- TPayloadWriter ----

// The piece handed on and not yet taken (Piece), the one being written (Busy), and the first error.
struct TPayloadWriter::TWorker {
    char* Piece = nullptr;
    int Count = 0;
    bool Busy = false;
    std::exception_ptr Error;
    std::unique_ptr<char[]> Spare;
    char* Other = nullptr; // the buffer the caller is not staging into
    TWorkerThread Thread;  // last: it goes first, while what it uses is still there
};

TPayloadWriter::TPayloadWriter(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, char* Buffer,
                               int Capacity, bool Worker, TWrittenProc Written)
    : FStream(Stream), FMac(Mac), FTransform(Transform), FBuffer(Buffer), FCapacity(Capacity),
      FWritten(std::move(Written)) {
    if (!Worker)
        return;
    auto State = std::make_unique<TWorker>();
    State->Spare.reset(new char[static_cast<size_t>(Capacity)]);
    State->Other = State->Spare.get();
    FWorker = std::move(State);
    if (!FWorker->Thread.Start([this] { RunWorker(); }))
        FWorker.reset(); // no thread to be had: the pieces are written on the caller's thread
}

TPayloadWriter::~TPayloadWriter() {
    if (FWorker)
        FWorker->Thread.StopAndJoin();
}

void TPayloadWriter::RunWorker() {
    TWorker& W = *FWorker;
    std::unique_lock<std::mutex> Guard(W.Thread.Lock);
    for (;;) {
        W.Thread.Changed.wait(Guard, [&W] { return W.Thread.Stopping() || W.Piece != nullptr; });
        if (W.Thread.Stopping())
            return;
        char* const Piece = W.Piece;
        const int Count = W.Count;
        W.Piece = nullptr;
        W.Busy = true;
        const bool Failed = W.Error != nullptr;
        Guard.unlock();
        std::exception_ptr Error;
        if (!Failed) { // after a failure nothing more is written
            try {
                WritePiece(Piece, Count);
            } catch (...) {
                Error = std::current_exception();
            }
        }
        Guard.lock();
        W.Busy = false;
        if (Error && !W.Error)
            W.Error = Error;
        W.Thread.Wake();
    }
}

void TPayloadWriter::WritePiece(char* Data, int Count) {
    FTransform.Transform(Data, Count);
    const int64_t Offset = FStream.Position();
    FStream.WriteBuffer(Data, Count);
    // The data heads for the disk while the next piece is prepared; the final flush has little left.
    FStream.StartWriteBack(Offset, Count);
    FMac.Update(Data, Count);
    if (FWritten)
        FWritten(FStream.Position());
}

// With Guard held: waits until the worker has written every piece handed to it; raises what it
// raised.
void TPayloadWriter::AwaitIdle(std::unique_lock<std::mutex>& Guard) {
    TWorker& W = *FWorker;
    W.Thread.Changed.wait(Guard, [&W] { return W.Piece == nullptr && !W.Busy; });
    if (W.Error)
        std::rethrow_exception(W.Error);
}

// Waits for the worker to finish the piece before, hands it the staged one, and stages into the
// buffer it has finished with.
void TPayloadWriter::HandOn() {
    if (FUsed <= 0)
        return;
    if (!FWorker) {
        WritePiece(FBuffer, FUsed);
        FUsed = 0;
        return;
    }
    TWorker& W = *FWorker;
    {
        std::unique_lock<std::mutex> Guard(W.Thread.Lock);
        AwaitIdle(Guard);
        W.Piece = FBuffer;
        W.Count = FUsed;
    }
    W.Thread.Wake();
    std::swap(FBuffer, W.Other);
    FUsed = 0;
}

void TPayloadWriter::PutByte(uint8_t Value) {
    char Byte = static_cast<char>(Value);
    PutBytes(&Byte, 1);
}

void TPayloadWriter::PutInt32(int32_t Value) {
    char Bytes[4];
    qToLittleEndian<qint32>(Value, Bytes);
    PutBytes(Bytes, 4);
}

void TPayloadWriter::PutInt64(int64_t Value) {
    char Bytes[8];
    qToLittleEndian<qint64>(Value, Bytes);
    PutBytes(Bytes, 8);
}

void TPayloadWriter::PutBytes(const void* Data, int64_t Count) {
    const char* Source = static_cast<const char*>(Data);
    while (Count > 0) {
        int Available = 0;
        char* Target = Space(Available);
        const int N = static_cast<int>(std::min<int64_t>(Available, Count));
        std::memcpy(Target, Source, static_cast<size_t>(N));
        Commit(N);
        Source += N;
        Count -= N;
    }
}

void TPayloadWriter::PutString(const QString& Text) {
    const QByteArray Field = TextField::Encode(Text);
    PutBytes(Field.constData(), Field.size());
}

char* TPayloadWriter::Space(int& Available) {
    if (FUsed >= FCapacity)
        HandOn();
    Available = FCapacity - FUsed;
    return FBuffer + FUsed;
}

void TPayloadWriter::Commit(int Count) {
    FUsed += Count;
    FTotal += Count;
}

void TPayloadWriter::Flush() {
    HandOn();
    if (!FWorker)
        return;
    std::unique_lock<std::mutex> Guard(FWorker->Thread.Lock);
    AwaitIdle(Guard);
}

// ---- TPayloadReader ----

// Pieces read ahead, in order (Ready), the buffers free for the next ones, and the first error.
struct TPayloadReader::TAhead {
    std::deque<std::pair<char*, int>> Ready;
    std::vector<char*> Free;
    std::vector<std::unique_ptr<char[]>> Own;
    char* Held = nullptr; // the piece the caller is reading
    bool Drain = false;   // only the MACs are wanted from now on (the caller's own flag)
    std::exception_ptr Error;
    TWorkerThread Thread; // last: it goes first, while what it uses is still there
};

TPayloadReader::TPayloadReader(TFileStream& Stream, TAesCtrTransform& Transform, int64_t PayloadLength, char* Buffer,
                               int Capacity, THmacSha256* Mac, THmacSha256* OtherMac, bool ReadAhead)
    : FStream(Stream), FTransform(Transform), FLength(PayloadLength), FBuffer(Buffer), FCapacity(Capacity), FMac(Mac),
      FOtherMac(OtherMac) {
    // A single piece gains nothing from a second thread.
    if (!ReadAhead || PayloadLength <= Capacity)
        return;
    auto Ahead = std::make_unique<TAhead>();
    Ahead->Free.push_back(Buffer);
    for (int I = 0; I < 2; ++I) {
        Ahead->Own.emplace_back(new char[static_cast<size_t>(Capacity)]);
        Ahead->Free.push_back(Ahead->Own.back().get());
    }
    FAhead = std::move(Ahead);
    if (!FAhead->Thread.Start([this] { RunAhead(); }))
        FAhead.reset(); // no thread to be had: each piece is read when it is needed
}

TPayloadReader::~TPayloadReader() {
    if (FAhead)
        FAhead->Thread.StopAndJoin();
}

void TPayloadReader::FetchPiece(char* Target, int Count, bool Decrypt) {
    FStream.ReadBuffer(Target, Count);
    if (FMac)
        FMac->Update(Target, Count);
    if (FOtherMac)
        FOtherMac->Update(Target, Count);
    if (Decrypt)
        FTransform.Transform(Target, Count);
}

void TPayloadReader::RunAhead() {
    TAhead& A = *FAhead;
    int64_t Fetched = 0;
    while (Fetched < FLength) {
        char* Piece = nullptr;
        {
            std::unique_lock<std::mutex> Guard(A.Thread.Lock);
            A.Thread.Changed.wait(Guard, [&A] { return A.Thread.Stopping() || !A.Free.empty(); });
            if (A.Thread.Stopping())
                return;
            Piece = A.Free.back();
            A.Free.pop_back();
        }
        const int N = static_cast<int>(std::min<int64_t>(FCapacity, FLength - Fetched));
        std::exception_ptr Error;
        try {
            // The MAC is the slowest step: the caller's thread decrypts, and MACs under a second
            // key, so that this one only reads and MACs under the first. A wrong secret, where
            // both keys are checked and nothing is decrypted, then costs the two MACs side by side.
            FStream.ReadBuffer(Piece, N);
            if (FMac)
                FMac->Update(Piece, N);
        } catch (...) {
            Error = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> Guard(A.Thread.Lock);
            if (Error)
                A.Error = Error;
            else
                A.Ready.emplace_back(Piece, N);
        }
        A.Thread.Wake();
        if (Error)
            return;
        Fetched += N;
    }
}

void TPayloadReader::Refill() {
    const int64_t Left = FLength - FFetched;
    if (Left <= 0)
        RaiseStreamRead();
    if (!FAhead) {
        const int N = static_cast<int>(std::min<int64_t>(FCapacity, Left));
        FetchPiece(FBuffer, N, true);
        FFetched += N;
        FPos = 0;
        FFill = N;
        return;
    }
    TAhead& A = *FAhead;
    std::unique_lock<std::mutex> Guard(A.Thread.Lock);
    if (A.Held) {
        A.Free.push_back(A.Held);
        A.Held = nullptr;
        A.Thread.Wake();
    }
    A.Thread.Changed.wait(Guard, [&A] { return !A.Ready.empty() || A.Error; });
    if (A.Ready.empty())
        std::rethrow_exception(A.Error);
    const auto [Piece, N] = A.Ready.front();
    A.Ready.pop_front();
    A.Held = Piece;
    Guard.unlock();
    if (FOtherMac)
        FOtherMac->Update(Piece, N);
    if (!A.Drain)
        FTransform.Transform(Piece, N);
    FBuffer = Piece;
    FFetched += N;
    FPos = 0;
    FFill = N;
}

const char* TPayloadReader::Next(int64_t Wanted, int& Got) {
    if (FPos >= FFill)
        Refill();
    Got = static_cast<int>(std::min<int64_t>(FFill - FPos, std::max<int64_t>(Wanted, 1)));
    const char* Data = FBuffer + FPos;
    FPos += Got;
    FConsumed += Got;
    return Data;
}

void TPayloadReader::ReadExact(void* Target, int Count) {
    char* Out = static_cast<char*>(Target);
    while (Count > 0) {
        int Got = 0;
        const char* Data = Next(Count, Got);
        std::memcpy(Out, Data, static_cast<size_t>(Got));
        Out += Got;
        Count -= Got;
    }
}

uint8_t TPayloadReader::ReadByte() {
    char Byte;
    ReadExact(&Byte, 1);
    return static_cast<uint8_t>(Byte);
}

int32_t TPayloadReader::ReadInt32() {
    char Bytes[4];
    ReadExact(Bytes, 4);
    return qFromLittleEndian<qint32>(Bytes);
}

int64_t TPayloadReader::ReadInt64() {
    char Bytes[8];
    ReadExact(Bytes, 8);
    return qFromLittleEndian<qint64>(Bytes);
}

void TPayloadReader::DrainIntoMac() {
    if (FAhead) {
        FAhead->Drain = true;
        // Every piece up to the end passes through the worker's MACs; taking the last one means they
        // are complete.
        while (FFetched < FLength)
            Refill();
    } else {
        while (FFetched < FLength) {
            const int N = static_cast<int>(std::min<int64_t>(FCapacity, FLength - FFetched));
            FetchPiece(FBuffer, N, false);
            FFetched += N;
        }
    }
    FFill = 0;
    FPos = 0;
    FConsumed = FLength;
}

QString TPayloadReader::ReadString(int32_t MaxBytes, const QString& Refusal) {
    const int32_t Count = ReadInt32();
    if (Count < 0 || Count > Remaining())
        RaiseEncStringLength(); // damage, told apart from a name that is merely too long
    if (Count > MaxBytes)
        throw EKelvarnError(Refusal);
    return ReadStringOfCount(Count);
}

QString TPayloadReader::ReadString() {
    return ReadStringOfCount(ReadInt32());
}

QString TPayloadReader::ReadStringOfCount(int32_t Count) {
    TextField::CheckCount(Count, Remaining(), EncStringLengthMessage(), EncStringLengthMessage());
    // Most names sit inside the current piece: decode them where they are.
    if (FFill - FPos >= Count) {
        const QString Text = TextField::Decode(FBuffer + FPos, Count);
        FPos += Count;
        FConsumed += Count;
        return Text;
    }
    QByteArray Bytes(Count, Qt::Uninitialized);
    ReadExact(Bytes.data(), Count);
    return TextField::Decode(Bytes.constData(), Count);
}
