#pragma once

// How a writer of many files gets them onto the disk without waiting for it: a background flush and
// a writer of small files, each on a thread of its own.
#include "platform/KelvarnError.h"
#include "platform/PlatformFiles.h"
#include "platform/PlatformThreads.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// Write-back on a thread of its own, so that the final flush has little left while the extraction
// goes on. Small files get no write-back request of their own: every so many bytes of them, this
// thread flushes the file system that holds them (syncfs). A large file's pieces, once on disk,
// leave the page cache: a large extraction then recycles a few MiB of memory instead of filling the
// cache with what it has written, which on a virtual machine costs several times more than
// writing into memory the system has just used. All of it only a hint: the final flush alone is
// what the caller relies on.
class TBackgroundFlush {
public:
    explicit TBackgroundFlush(int Fd) : FFd(Fd) {}
    ~TBackgroundFlush() {
        FThread.StopAndJoin();
        for (const TPiece& Piece : FPieces)
            ::close(Piece.Fd);
    }
    TBackgroundFlush(const TBackgroundFlush&) = delete;
    TBackgroundFlush& operator=(const TBackgroundFlush&) = delete;

    // Count more bytes have been written without a request of their own.
    void Written(int64_t Count) {
        FPending += Count;
        if (FPending < FlushEvery)
            return;
        FPending = 0;
        if (!FThread.StartOnce([this] { Run(); }))
            return;
        {
            const std::lock_guard<std::mutex> Guard(FThread.Lock);
            FWanted = true;
        }
        FThread.Wake();
    }

    // A piece of a large file whose write-back has been started.
    void WrittenBack(const TFileStream& Out, int64_t Offset, int64_t Count) {
        if (!FThread.StartOnce([this] { Run(); }))
            return;
        {
            const std::lock_guard<std::mutex> Guard(FThread.Lock);
            // Each piece waiting holds a descriptor; past this many, the piece simply stays cached.
            const int Fd = FPieces.size() < MaxPieces ? ::fcntl(Out.Handle(), F_DUPFD_CLOEXEC, 0) : -1;
            if (Fd < 0)
                return;
            FPieces.push_back({Fd, Offset, Count});
        }
        FThread.Wake();
    }

    // Once everything is written: waits until the pieces handed over are on disk and out of the
    // cache, which the final flush would wait for anyway.
    void Finish() {
        if (!FThread.Started())
            return;
        std::unique_lock<std::mutex> Guard(FThread.Lock);
        FThread.Changed.wait(Guard, [this] { return FPieces.empty() && !FDropping; });
    }

private:
    static constexpr int64_t FlushEvery = 4 * 1024 * 1024;
    static constexpr size_t MaxPieces = 64;

    struct TPiece {
        int Fd;
        int64_t Offset;
        int64_t Count;
    };

    void Run() {
        std::unique_lock<std::mutex> Guard(FThread.Lock);
        for (;;) {
            FThread.Changed.wait(Guard, [this] { return FThread.Stopping() || FWanted || !FPieces.empty(); });
            if (FThread.Stopping())
                return;
            if (FWanted) {
                FWanted = false;
                Guard.unlock();
                (void)::syncfs(FFd);
                Guard.lock();
                continue;
            }
            const TPiece Piece = FPieces.front();
            FPieces.pop_front();
            FDropping = true;
            Guard.unlock();
            Fs::DropWrittenRange(Piece.Fd, Piece.Offset, Piece.Count);
            ::close(Piece.Fd);
            Guard.lock();
            FDropping = false;
            FThread.Changed.notify_all();
        }
    }

    int FFd;
    int64_t FPending = 0;
    bool FWanted = false;
    std::deque<TPiece> FPieces;
    bool FDropping = false;
    TWorkerThread FThread; // last: it goes first, while what it uses is still there
};

// Small files are finished on a thread of their own: the caller's thread creates each file and
// hands over its bytes, and this thread writes them, sets the mode and closes the file. Creating
// files is most of a many-file extraction's work; the rest now runs beside it, on the other core.
// A failure here reaches the caller at its next hand-over, or at Finish.
class TSmallFileWriter {
public:
    TSmallFileWriter() = default;
    ~TSmallFileWriter() { Abandon(); }
    TSmallFileWriter(const TSmallFileWriter&) = delete;
    TSmallFileWriter& operator=(const TSmallFileWriter&) = delete;

    // Out: a file just created; Data: all it is to hold.
    void Hand(std::unique_ptr<TFileStream> Out, QByteArray Data, mode_t Mode) {
        TJob Job{std::move(Out), std::move(Data), Mode};
        if (!FThread.StartOnce([this] { Run(); })) {
            Complete(Job); // no thread to be had: the caller's thread does it all
            return;
        }
        std::unique_lock<std::mutex> Guard(FThread.Lock);
        FThread.Changed.wait(Guard, [this] { return FError || (FQueue.size() < MaxFiles && FQueuedBytes < MaxBytes); });
        RaiseFailure();
        FQueuedBytes += Job.Data.size();
        FQueue.push_back(std::move(Job));
        if (FIdle) {
            Guard.unlock();
            FThread.Wake();
        }
    }

    // Waits until every file handed over is closed; raises the first failure.
    void Finish() {
        if (!FThread.Started())
            return;
        {
            std::unique_lock<std::mutex> Guard(FThread.Lock);
            FThread.Changed.wait(Guard, [this] { return FError || (FQueue.empty() && FIdle); });
            RaiseFailure();
        }
        FThread.StopAndJoin();
    }

    // Stops at once; files not yet written are closed as they are, for the caller to discard.
    void Abandon() { FThread.StopAndJoin(); }

private:
    // Each file waiting here, or in the batch being written, holds a descriptor: few enough to stay
    // far below the limit.
    static constexpr size_t MaxFiles = 64;
    static constexpr qsizetype MaxBytes = 4 * 1024 * 1024;

    struct TJob {
        std::unique_ptr<TFileStream> Out;
        QByteArray Data;
        mode_t Mode;
    };

    static void Complete(TJob& Job) {
        Job.Out->WriteBuffer(Job.Data.constData(), Job.Data.size());
        // The file is new, so it carries no system attribute and is hidden only by its name or by
        // a ".hidden" list among the restored data: only the permissions are left to set.
        (void)::fchmod(Job.Out->Handle(), Job.Mode);
        Job.Out->Close();
    }

    void RaiseFailure() const {
        if (FError)
            throw EKelvarnError(*FError);
    }

    void Run() {
        std::deque<TJob> Batch;
        std::unique_lock<std::mutex> Guard(FThread.Lock);
        for (;;) {
            FIdle = true;
            FThread.Changed.notify_all();
            FThread.Changed.wait(Guard, [this] { return FThread.Stopping() || !FQueue.empty(); });
            if (FThread.Stopping())
                return;
            FIdle = false;
            Batch.swap(FQueue);
            FQueuedBytes = 0;
            const bool Failed = FError.has_value(); // then the rest is only closed
            FThread.Changed.notify_all();
            Guard.unlock();
            std::optional<QString> Error;
            try {
                for (TJob& Job : Batch)
                    if (!Failed && !Error)
                        Complete(Job);
            } catch (const EKelvarnError& Failure) {
                Error = Failure.Message();
            } catch (...) {
                Error = QStringLiteral("Stream write error");
            }
            Batch.clear();
            Guard.lock();
            if (Error && !FError)
                FError = std::move(Error);
        }
    }

    std::deque<TJob> FQueue;
    qsizetype FQueuedBytes = 0;
    bool FIdle = false;
    std::optional<QString> FError;
    TWorkerThread FThread; // last: it goes first, while what it uses is still there
};

