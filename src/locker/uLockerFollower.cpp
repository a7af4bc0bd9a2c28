// The check that reads a new locker back behind its writer.
#include "locker/uLockerFollower.h"
#include "locker/uLockerReading.h"

using namespace LockerReading;

struct TLockerFollower::TState {
    const TFileStream& Locker;
    QString Password;
    bool HeaderWritten = false;
    int64_t Written = 0;
    bool WriterDone = false;
    bool Sound = false;
    QString Message;
    TWorkerThread Thread; // last: it goes first, while what it uses is still there

    TState(const TFileStream& Stream, const QString& Secret) : Locker(Stream), Password(Secret) {}

    // Waits until the writer has got past Position or is done; false when the check is abandoned.
    bool AwaitBeyond(int64_t Position, int64_t& UpTo, bool& Done) {
        std::unique_lock<std::mutex> Guard(Thread.Lock);
        Thread.Changed.wait(Guard,
                            [&] { return Thread.Stopping() || WriterDone || (HeaderWritten && Written > Position); });
        UpTo = Written;
        Done = WriterDone;
        return !Thread.Stopping();
    }

    // What has been checked, a few pieces back, once on disk leaves the page cache: a large locker
    // then recycles a few MiB of memory instead of filling the cache, which on a virtual machine
    // costs several times more than writing into memory the system has just used. A hint; the
    // writer's final flush is what counts.
    static constexpr int64_t DropLag = 2 * LockerFormat::CopyBufferSize;

    // The check itself; true when it ran to the end (sound or not), false when abandoned.
    bool Check(QString& Problem) {
        TFileStream View(Locker, TFileStream::TReadView{});
        int64_t UpTo = 0;
        bool Done = false;
        if (!AwaitBeyond(-1, UpTo, Done))
            return false;
        // The slot and nonce are written once, before the payload, and never again.
        const TLockerHeader First = ReadLockerHeader(View);
        const TSecretBytes Master(UnwrapSlot(First.Password, Password));
        const TSecretBytes MacKey(DeriveMacKey(Master.Value));
        THmacSha256 Mac(MacKey.Value);
        Mac.UpdateBytes(First.Nonce);
        QByteArray Buffer(LockerFormat::CopyBufferSize, Qt::Uninitialized);
        int64_t Position = First.PayloadStart; // where the header left the view
        int64_t Dropped = Position;
        for (;;) {
            if (!AwaitBeyond(Position, UpTo, Done))
                return false;
            while (Position < UpTo) {
                const int N = static_cast<int>(std::min<int64_t>(Buffer.size(), UpTo - Position));
                View.ReadBuffer(Buffer.data(), N);
                Mac.Update(Buffer.constData(), N);
                Position += N;
                if (Position - Dropped > DropLag) {
                    Fs::DropWrittenRange(Locker.Handle(), Dropped, Position - DropLag - Dropped);
                    Dropped = Position - DropLag;
                }
            }
            if (Done && Position >= UpTo)
                break;
        }
        // The completed header: the same slot and nonce, a length that covers exactly what was read.
        const TLockerHeader Header = ReadHeader(View);
        const bool SameHeader = Header.Password.Iterations == First.Password.Iterations &&
                                Header.Password.Salt == First.Password.Salt &&
                                Header.Password.Wrapped == First.Password.Wrapped && Header.Nonce == First.Nonce;
        if (!SameHeader || Header.PayloadStart + Header.Length != Position ||
            !ConstantTimeEquals(Mac.FinalBytes(), Header.StoredMac)) {
            Problem = Translate("Locker verification failed (MAC mismatch).");
            return true;
        }
        TAuthenticatedPass Pass(View, Header, Master.Value, PassCapacity(std::min<int64_t>(Header.Length, 65536)));
        Problem = StructureProblem(Pass.Reader());
        return true;
    }

    void Run() {
        QString Problem;
        bool Ran = false;
        try {
            Ran = Check(Problem);
        } catch (const std::exception& Error) {
            Problem = ErrorTextOf(Error);
            Ran = true;
        } catch (...) {
            Problem = QStringLiteral("Unknown error");
            Ran = true;
        }
        const std::lock_guard<std::mutex> Guard(Thread.Lock);
        Sound = Ran && Problem.isEmpty();
        Message = Ran ? Problem : Translate("Locker verification failed (MAC mismatch).");
    }
};

TLockerFollower::TLockerFollower(const TFileStream& Locker, const QString& Password)
    : F(std::make_unique<TState>(Locker, Password)) {
    F->Thread.Start([State = F.get()] { State->Run(); });
}

bool TLockerFollower::Started() const {
    return F->Thread.Started();
}

void TLockerFollower::HeaderWritten() {
    {
        const std::lock_guard<std::mutex> Guard(F->Thread.Lock);
        F->HeaderWritten = true;
    }
    F->Thread.Wake();
}

void TLockerFollower::WrittenUpTo(int64_t End) {
    {
        const std::lock_guard<std::mutex> Guard(F->Thread.Lock);
        F->Written = std::max(F->Written, End);
    }
    F->Thread.Wake();
}

bool TLockerFollower::Finish(QString& Message) {
    if (!F->Thread.Started()) {
        Message = QStringLiteral("Unknown error");
        return false;
    }
    {
        const std::lock_guard<std::mutex> Guard(F->Thread.Lock);
        F->WriterDone = true;
    }
    F->Thread.Wake();
    F->Thread.Join();
    Message = F->Message;
    return F->Sound;
}

// Abandons the check when Finish was not called.
TLockerFollower::~TLockerFollower() = default;
