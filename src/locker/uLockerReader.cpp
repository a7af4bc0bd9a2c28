#include "uLocker.h"
#include "uLockerFollower.h"

#include "KelvarnError.h"
#include "PlatformDirHandle.h"
#include "translation.h"
#include "uSecurityUtils.h"
#include "uSideBySide.h"
#include "uTextField.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <grp.h>
#include <new>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr QChar Cr = QLatin1Char('\r');
constexpr int64_t WriteBackMinimum = 128 * 1024;
constexpr QChar Lf = QLatin1Char('\n');

// The clear header, with a payload that fits in the file: a longer one fails now rather than after
// a key derivation.
TLockerHeader ReadHeader(TFileStream& Stream) {
    TLockerHeader Header = ReadLockerHeader(Stream);
    if (Header.Length > Stream.Size() - Header.PayloadStart)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    return Header;
}

// The master key a slot yields for Secret; whether it is the right one only the payload MAC tells.
QByteArray UnwrapSlot(const TLockerSlot& Slot, const QString& Secret) {
    if (Slot.Iterations > LockerFormat::MaxIterations)
        throw EKelvarnError(Translate("Unsupported key derivation cost."));
    TSecretBytes SlotKey(Pbkdf2Sha256(Secret, Slot.Salt, Slot.Iterations, LockerFormat::KeySize));
    return XorBytes(Slot.Wrapped, SlotKey.Value);
}

QString BadRootNameMessage(const QString& Name) {
    return WithItem(Translate("The locker holds an invalid name for the item it contains."), PrintableName(Name));
}

QString TooLongMessage() {
    return Translate("The locker holds a name or path that is too long or too deeply nested.");
}

QString SingleFileMessage() {
    return Translate("A locker of a single file must hold exactly that file, under its own name.");
}

// One pass over the payload: every stored byte goes into the MAC as it is read and is then decrypted
// and used. Afterwards the MAC decides: a mismatch means a wrong key or a changed locker, whatever
// the decrypted bytes seemed to say. With Other, the MAC under a second master key is computed over
// the same bytes in the same read.
class TAuthenticatedPass {
public:
    TAuthenticatedPass(TFileStream& Stream, const TLockerHeader& Header, const QByteArray& Master, int Capacity,
                       const QByteArray* Other = nullptr, bool ReadAhead = false)
        : FHeader(Header), FEncKey(DeriveEncryptionKey(Master)), FMacKey(DeriveMacKey(Master)), FMac(FMacKey.Value),
          FTransform(FEncKey.Value, Header.Nonce), FBuffer(std::max(1, Capacity), Qt::Uninitialized) {
        FMac.UpdateBytes(Header.Nonce);
        if (Other) {
            const TSecretBytes OtherKey(DeriveMacKey(*Other));
            FOtherMac.emplace(OtherKey.Value);
            FOtherMac->UpdateBytes(Header.Nonce);
        }
        Stream.Seek(Header.PayloadStart);
        FReader.emplace(Stream, FTransform, Header.Length, FBuffer.data(), static_cast<int>(FBuffer.size()), &FMac,
                        FOtherMac ? &*FOtherMac : nullptr, ReadAhead);
    }

    TPayloadReader& Reader() { return *FReader; }

    // Reads what is left into the MAC; true when the locker is authentic under this key.
    bool Finish() {
        FReader->DrainIntoMac();
        if (FOtherMac)
            FOtherAuthentic = ConstantTimeEquals(FOtherMac->FinalBytes(), FHeader.StoredMac);
        return ConstantTimeEquals(FMac.FinalBytes(), FHeader.StoredMac);
    }
    // After Finish: whether the second key authenticated the locker.
    bool OtherAuthentic() const { return FOtherAuthentic; }

private:
    const TLockerHeader& FHeader;
    TSecretBytes FEncKey;
    TSecretBytes FMacKey;
    THmacSha256 FMac;
    std::optional<THmacSha256> FOtherMac;
    TAesCtrTransform FTransform;
    QByteArray FBuffer;
    std::optional<TPayloadReader> FReader;
    bool FOtherAuthentic = false;
};

// Whether the first payload fields, decrypted under Master, read as the writer writes them: a root
// name the reader accepts, a flag, a sound entry count. Under a wrong key they are random, and pass
// about once in 2^24 tries. Only a hint for which slot to decrypt with; the MAC alone decides.
bool PreludeLooksSound(TFileStream& Stream, const TLockerHeader& Header, const QByteArray& Master) {
    const int64_t Wanted = std::min<int64_t>(Header.Length, 4 + LockerFormat::MaxNameBytes + 1 + 4);
    if (Wanted < 9)
        return false;
    QByteArray Bytes(static_cast<qsizetype>(Wanted), Qt::Uninitialized);
    Stream.Seek(Header.PayloadStart);
    Stream.ReadBuffer(Bytes.data(), Wanted);
    const TSecretBytes EncKey(DeriveEncryptionKey(Master));
    TAesCtrTransform Transform(EncKey.Value, Header.Nonce);
    Transform.Transform(Bytes.data(), static_cast<int>(Wanted));
    auto Int32At = [&Bytes](qsizetype At) {
        uint32_t Value = 0;
        for (int I = 0; I < 4; ++I)
            Value |= static_cast<uint32_t>(static_cast<uint8_t>(Bytes[At + I])) << (8 * I);
        return static_cast<int32_t>(Value);
    };
    const int32_t NameBytes = Int32At(0);
    if (NameBytes <= 0 || NameBytes > LockerFormat::MaxNameBytes || 4 + NameBytes + 5 > Wanted)
        return false;
    const QString Name = TextField::Decode(Bytes.constData() + 4, NameBytes);
    const bool IsFolder = Bytes[4 + NameBytes] != 0;
    const int32_t Count = Int32At(4 + NameBytes + 1);
    WipeBytes(Bytes);
    return IsSafeRootName(Name) && Count >= 0 && (IsFolder || Count == 1);
}

// What VerifyLocker finds wrong in the first fields of a payload, read from its start; empty when
// they are sound. A single file's locker is checked to its end: one entry, the file, under its name.
QString StructureProblem(TPayloadReader& Reader) {
    try {
        const QString RootName = Reader.ReadString(LockerFormat::MaxNameBytes, TooLongMessage());
        const bool RootIsFolder = Reader.ReadByte() != 0;
        const int32_t Count = Reader.ReadInt32();
        if (RootName.isEmpty())
            return Translate("Locker verification failed (empty root name).");
        if (Count < 0)
            return Translate("Locker verification failed (invalid entry count).");
        if (!IsSafeRootName(RootName))
            return BadRootNameMessage(RootName);
        if (!RootIsFolder) {
            bool Sound = Count == 1;
            if (Sound) {
                const QString Stored = Reader.ReadString(LockerFormat::MaxPathBytes, TooLongMessage());
                const bool IsDir = Reader.ReadByte() != 0;
                (void)Reader.ReadInt32();
                const int64_t Size = Reader.ReadInt64();
                Sound = !IsDir && CleanRelativePath(Stored) == RootName && Size == Reader.Remaining();
            }
            if (!Sound)
                return WithItem(SingleFileMessage(), PrintableName(RootName));
        }
    } catch (const EKelvarnError& Error) {
        return Error.Message();
    }
    return QString();
}

int PassCapacity(int64_t Length) {
    return static_cast<int>(std::min<int64_t>(LockerFormat::CopyBufferSize, std::max<int64_t>(Length, 1)));
}

bool LockerFileExists(const QString& Path) {
    // A link to a locker may be read through: reading never writes where it leads.
    return !Path.isEmpty() && QFileInfo(Path).isFile();
}

QStringList ComponentsOf(const QString& Cleaned) {
    return Cleaned.isEmpty() ? QStringList() : Cleaned.split(LockerFormat::StoredSeparator);
}

QString JoinLocal(const QStringList& Parts) {
    return Parts.join(QLatin1Char('/'));
}

} // namespace

struct TLockerStaging::TState {
    QString FolderPath; // as the caller named it, for messages
    TDirHandle Dest;
    std::unique_ptr<TStagingFolder> Stage;
    QString CreatedTop; // the topmost folder Extract created, removed again if nothing comes of it
    bool Extracted = false;
    QString RootName;
    bool RootIsFolder = false;
    // Stored folder modes by local relative path below the root ("" for the root itself).
    QHash<QString, uint32_t> FolderModes;
    TFileIdentity Locker;

    void RemoveCreatedFolders() {
        if (CreatedTop.isEmpty())
            return;
        QString Current = FolderPath;
        for (;;) {
            if (!Fs::RemoveDir(Current))
                break;
            if (Current == CreatedTop)
                break;
            Current = QFileInfo(Current).absolutePath();
        }
        CreatedTop.clear();
    }
};

namespace {

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

// Rebuilds the entries of the payload inside the staging folder. Everything it creates is private
// (folders 0700, files 0600 until their data is in) and reached through held descriptors only.
class TStagedWriter {
public:
    TStagedWriter(TLockerStaging::TState& State, TPayloadReader& Reader, const QString& LockerFile,
                  const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel, int64_t Length)
        : FState(State), FReader(Reader), FLockerFile(LockerFile), FProgress(Progress), FCancel(Cancel),
          FLength(Length) {}

    bool Cancelled() const { return FCancelled; }

    void Run() {
        try {
            RunEntries();
            FSmall.Finish();
            FFlush.Finish();
        } catch (...) {
            FSmall.Abandon();
            throw;
        }
        NotifyProgress(FProgress, FLockerFile, FLength, FLength);
    }

private:
    void RunEntries() {
        const QString RootName = FReader.ReadString(LockerFormat::MaxNameBytes, TooLongMessage());
        const bool RootIsFolder = FReader.ReadByte() != 0;
        const int32_t Count = FReader.ReadInt32();
        if (Count < 0)
            throw EKelvarnError(Translate("Invalid locker entry count."));
        if (!IsSafeRootName(RootName))
            throw EKelvarnError(BadRootNameMessage(RootName));
        if (!RootIsFolder && Count != 1)
            throw EKelvarnError(WithItem(SingleFileMessage(), PrintableName(RootName)));
        FState.RootName = RootName;
        FState.RootIsFolder = RootIsFolder;
        FState.FolderModes.clear();
        const QString Shown = FState.Dest.ChildPath(RootName);
        if (RootIsFolder) {
            FRoot = FState.Stage->Folder().CreateFolder(RootName, 0700);
            FState.FolderModes.insert(QString(), 0700); // until the locker says otherwise
        }
        NotifyProgress(FProgress, FLockerFile, FReader.Consumed(), FLength);

        for (int32_t Index = 0; Index < Count; ++Index) {
            CheckCancel();
            const QString Stored = FReader.ReadString(LockerFormat::MaxPathBytes, TooLongMessage());
            const bool IsDir = FReader.ReadByte() != 0;
            const int32_t Attributes = FReader.ReadInt32();
            const int64_t Size = FReader.ReadInt64();
            if (Size < 0 || Size > FReader.Remaining())
                throw EKelvarnError(Translate("Invalid entry size in locker."));
            const QString Rel = CleanRelativePath(Stored);
            if (!IsSafeRelativePath(Rel))
                throw EKelvarnError(
                    WithItem(Translate("The locker holds a path that would lead outside the destination folder."),
                             PrintableName(Stored)));
            if (!IsWithinPathBounds(RootName, Rel))
                throw EKelvarnError(WithItem(TooLongMessage(), PrintableName(Stored)));
            if (!RootIsFolder && (IsDir || Rel != RootName))
                throw EKelvarnError(WithItem(SingleFileMessage(), PrintableName(Stored)));

            const QStringList Parts = RootIsFolder ? ComponentsOf(Rel) : QStringList{RootName};
            const QString Target =
                RootIsFolder ? (Parts.isEmpty() ? Shown : Shown + QLatin1Char('/') + JoinLocal(Parts)) : Shown;
            NotifyProgressThrottled(FProgress, Target, FReader.Consumed(), FLength, FLastTick, FLastDone);
            if (IsDir) {
                if (!Parts.isEmpty())
                    FolderAt(Parts, Parts.size(), Target);
                FState.FolderModes.insert(JoinLocal(Parts), RestoredMode(Attributes, true));
            } else {
                if (Parts.isEmpty())
                    throw EKelvarnError(
                        WithItem(Translate("An existing folder is in the way of a file from the locker."), Target));
                const TDirHandle& Parent =
                    RootIsFolder ? FolderAt(Parts, Parts.size() - 1, Target) : FState.Stage->Folder();
                WriteFile(Parent, Parts.last(), Target, Attributes, Size);
            }
        }
        if (!RootIsFolder && FReader.Remaining() != 0)
            throw EKelvarnError(WithItem(SingleFileMessage(), PrintableName(RootName)));
    }

    void CheckCancel() {
        if (FCancel && FCancel()) {
            FCancelled = true;
            CheckCancelled([] { return true; });
        }
    }

    // The folder of the first Depth components below the root, created (0700) where missing, one
    // component at a time from the deepest folder already open: the open folders along the current
    // path are kept, so that a run of entries in one folder opens nothing again.
    const TDirHandle& FolderAt(const QStringList& Parts, qsizetype Depth, const QString& Target) {
        if (Depth == 0)
            return FRoot;
        qsizetype Common = 0;
        while (Common < static_cast<qsizetype>(FOpen.size()) && Common < Depth && FOpen[Common].first == Parts[Common])
            ++Common;
        FOpen.resize(Common);
        for (qsizetype I = Common; I < Depth; ++I) {
            const TDirHandle& Parent = I == 0 ? FRoot : FOpen.back().second;
            struct stat St;
            TDirHandle Child;
            if (!Parent.StatChild(Parts[I], St))
                Child = Parent.CreateFolder(Parts[I], 0700);
            else if (S_ISDIR(St.st_mode))
                Child = Parent.OpenFolder(Parts[I]);
            else
                throw EKelvarnError(WithItem(
                    Translate("An existing item that is not a folder is in the way of a folder from the locker."),
                    Target));
            FOpen.emplace_back(Parts[I], std::move(Child));
        }
        return FOpen.back().second;
    }

    // A later entry of the same name replaces an earlier one, as a file already there would be.
    void WriteFile(const TDirHandle& Parent, const QString& Name, const QString& Target, int32_t Attributes,
                   int64_t Size) {
        std::unique_ptr<TFileStream> Out = Parent.CreateFileIfAbsent(Name, 0600);
        if (!Out) {
            struct stat St;
            if (Parent.StatChild(Name, St) && S_ISDIR(St.st_mode))
                throw EKelvarnError(
                    WithItem(Translate("An existing folder is in the way of a file from the locker."), Target));
            Parent.Unlink(Name);
            Out = Parent.CreateFile(Name, 0600);
        }
        const auto Mode = static_cast<mode_t>(RestoredMode(Attributes, false));
        if (Size < WriteBackMinimum) {
            // For a small file a write-back request of its own costs more than it saves: the
            // background flush and the final one take many of them in one go.
            QByteArray Data(static_cast<qsizetype>(Size), Qt::Uninitialized);
            for (int64_t Done = 0; Done < Size;) {
                CheckCancel();
                int Got = 0;
                const char* Piece = FReader.Next(Size - Done, Got);
                std::memcpy(Data.data() + Done, Piece, static_cast<size_t>(Got));
                Done += Got;
                NotifyProgressThrottled(FProgress, Target, FReader.Consumed(), FLength, FLastTick, FLastDone);
            }
            FFlush.Written(Size);
            FSmall.Hand(std::move(Out), std::move(Data), Mode);
            return;
        }
        int64_t Remaining = Size;
        while (Remaining > 0) {
            CheckCancel();
            int Got = 0;
            const char* Data = FReader.Next(Remaining, Got);
            const int64_t Offset = Out->Position();
            Out->WriteBuffer(Data, Got);
            // Everything is flushed before the tree is moved into place; starting now keeps that short.
            Out->StartWriteBack(Offset, Got);
            FFlush.WrittenBack(*Out, Offset, Got);
            Remaining -= Got;
            NotifyProgressThrottled(FProgress, Target, FReader.Consumed(), FLength, FLastTick, FLastDone);
        }
        // The file is new, so it carries no system attribute and is hidden only by its name or by a
        // ".hidden" list among the restored data: only the permissions are left to set.
        (void)::fchmod(Out->Handle(), Mode);
        Out->Close();
    }

    TLockerStaging::TState& FState;
    TPayloadReader& FReader;
    QString FLockerFile;
    const TLockerProgressProc& FProgress;
    const TLockerCancelFunc& FCancel;
    int64_t FLength;
    TDirHandle FRoot;
    std::vector<std::pair<QString, TDirHandle>> FOpen;
    TBackgroundFlush FFlush{FState.Stage->Folder().Fd()};
    TSmallFileWriter FSmall;
    bool FCancelled = false;
    uint64_t FLastTick = 0;
    int64_t FLastDone = -1;
};

// Gives the folders of a placed tree their stored modes, deepest first, so that a folder that denies
// writing is closed only once everything below it is in place. Each folder is reached from the root
// one component at a time, never through a link.
void ApplyFolderModes(const TDirHandle& Root, const QHash<QString, uint32_t>& Modes) {
    QList<QString> Paths = Modes.keys();
    std::sort(Paths.begin(), Paths.end(), [](const QString& A, const QString& B) {
        const qsizetype DepthA = A.isEmpty() ? 0 : A.count(QLatin1Char('/')) + 1;
        const qsizetype DepthB = B.isEmpty() ? 0 : B.count(QLatin1Char('/')) + 1;
        return DepthA != DepthB ? DepthA > DepthB : A < B;
    });
    for (const QString& Path : Paths) {
        if (Path.isEmpty()) {
            Root.SetMode(static_cast<mode_t>(Modes.value(Path)));
            continue;
        }
        TDirHandle Folder = Root.Duplicate();
        for (const QString& Part : Path.split(QLatin1Char('/')))
            Folder = Folder.OpenFolder(Part);
        Folder.SetMode(static_cast<mode_t>(Modes.value(Path)));
    }
}

// Everything in the caller's folder that a merge reuses must be the user's own and closed to others:
// a folder someone else made, or may write to, could be swapped or read while the tree goes in.
// A group the user shares with no one (the user-private group that many systems give each user,
// with a umask that lets it write): its write bit lets no one else in.
bool IsPrivateGroup(gid_t Gid) {
    if (Gid != ::getegid())
        return false;
    const group* Group = ::getgrgid(Gid);
    const passwd* User = ::getpwuid(::geteuid());
    if (!Group || !User || QByteArray(Group->gr_name) != QByteArray(User->pw_name))
        return false;
    for (char* const* Member = Group->gr_mem; *Member; ++Member)
        if (QByteArray(*Member) != QByteArray(User->pw_name))
            return false;
    return true;
}

void CheckReusable(const TDirHandle& Folder) {
    const struct stat St = Folder.Stat();
    const bool GroupMayWrite = (St.st_mode & S_IWGRP) != 0 && !IsPrivateGroup(St.st_gid);
    if (St.st_uid != ::geteuid() || (St.st_mode & S_IWOTH) != 0 || GroupMayWrite)
        throw EKelvarnError(
            WithItem(Translate("An existing folder belongs to another user or others may write to it; it is not "
                               "used for the extracted items."),
                     Folder.Path()));
}

void MergeFile(const TDirHandle& From, const QString& Name, const TDirHandle& To, const TFileIdentity& Locker) {
    struct stat St;
    if (To.StatChild(Name, St)) {
        if (S_ISDIR(St.st_mode))
            throw EKelvarnError(
                WithItem(Translate("An existing folder is in the way of a file from the locker."), To.ChildPath(Name)));
        if (IdentityOf(St) == Locker)
            throw EKelvarnError(WithItem(Translate("The locker cannot be extracted over itself."), To.ChildPath(Name)));
    }
    From.RenameReplace(Name, To, Name);
}

// Moves From/Name into To/Name; returns the folder that now holds the merged tree.
TDirHandle MergeFolder(const TDirHandle& From, const QString& Name, const TDirHandle& To, const TFileIdentity& Locker) {
    TDirHandle Source = From.OpenFolder(Name);
    struct stat St;
    if (!To.StatChild(Name, St)) {
        try {
            From.RenameNoReplace(Name, To, Name);
            return Source;
        } catch (const EKelvarnError&) {
            if (!To.StatChild(Name, St))
                throw;
        }
    }
    if (!S_ISDIR(St.st_mode))
        throw EKelvarnError(
            WithItem(Translate("An existing item that is not a folder is in the way of a folder from the locker."),
                     To.ChildPath(Name)));
    const TFileIdentity Seen = IdentityOf(St);
    RunFileStepHook("Merge:reuse", To.ChildPath(Name));
    TDirHandle Target = To.OpenFolder(Name, &Seen);
    CheckReusable(Target);
    for (const TDirEntry& Entry : Source.List()) {
        if (Entry.Kind == TEntryKind::Directory)
            MergeFolder(Source, Entry.Name, Target, Locker);
        else
            MergeFile(Source, Entry.Name, Target, Locker);
    }
    return Target;
}

} // namespace

TLockerStaging::TLockerStaging() : F(std::make_unique<TState>()) {}

TLockerStaging::~TLockerStaging() {
    try {
        Discard();
    } catch (...) {
        // A staging folder that could not go is a leftover for RemoveStagingLeftovers.
    }
}

bool TLockerStaging::IsExtracted() const {
    return F->Extracted;
}

const QString& TLockerStaging::RootName() const {
    return F->RootName;
}

bool TLockerStaging::RootIsFolder() const {
    return F->RootIsFolder;
}

void TLockerStaging::Discard() {
    F->Extracted = false;
    if (F->Stage) {
        F->Stage->Remove();
        F->Stage.reset();
    }
    F->RemoveCreatedFolders();
}

TLockerResult TLockerStaging::Extract(const QString& LockerFile, const QString& Folder, const QString& Secret,
                                      const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel) {
    TLockerResult Result;
    Discard();
    if (!LockerFileExists(LockerFile)) {
        Result.MessageText = Translate("Locker file does not exist.");
        return Result;
    }
    if (Folder.isEmpty()) {
        Result.MessageText = Translate("The destination folder cannot be empty.");
        return Result;
    }
    // An error opening the locker reaches the caller as an error.
    TFileStream Stream(LockerFile, TFileStream::TMode::OpenReadShared);
    return ExtractFrom(Stream, LockerFile, Secret, Progress, Cancel, [&] {
        QString Dest = Fs::FullPath(Folder);
        F->FolderPath = Dest;
        for (QString Probe = Dest; !Fs::PathExists(Probe);) {
            F->CreatedTop = Probe;
            const QString Parent = QFileInfo(Probe).absolutePath();
            if (Parent == Probe)
                break;
            Probe = Parent;
        }
        if (!Fs::ForceDirectories(Dest)) {
            const QString Reason = SystemErrorText(errno);
            throw EKelvarnError(
                WithItem(Translate("The destination folder could not be created."), Dest + Cr + Lf + Reason));
        }
        // The caller named this folder; a link to it is followed once, here, and never again.
        F->Dest = TDirHandle::Open(Dest, true);
    });
}

TLockerResult TLockerStaging::Extract(const TDirHandle& Folder, TFileStream& Locker, const QString& Secret,
                                      const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel) {
    Discard();
    return ExtractFrom(Locker, Locker.FileName(), Secret, Progress, Cancel, [&] {
        F->FolderPath = Folder.Path();
        F->Dest = Folder.Duplicate();
    });
}

TLockerResult TLockerStaging::ExtractFrom(TFileStream& Stream, const QString& LockerFile, const QString& Secret,
                                          const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel,
                                          const std::function<void()>& OpenDestination) {
    TLockerResult Result;
    try {
        struct stat LockerSt;
        if (::fstat(Stream.Handle(), &LockerSt) == 0)
            F->Locker = IdentityOf(LockerSt);
        const TLockerHeader Header = ReadHeader(Stream);
        OpenDestination();
        F->Stage = std::make_unique<TStagingFolder>(F->Dest);

        // Both slots are opened at once, their derivations side by side, and then the payload is
        // read once: decrypted under the slot whose first fields make sense and authenticated under
        // every slot that might open it. A wrong secret or the recovery code costs one read, as the
        // password does. A slot whose parameters are damaged is skipped: the other slot may still open
        // the locker, which is what the recovery slot is for. Only when none opens does the password
        // slot's reason count.
        const TLockerSlot* Slots[2] = {&Header.Password, &Header.Recovery};
        TSecretBytes Masters[2];
        std::optional<QString> SlotError[2];
        for (int I = 0; I < 2; ++I)
            if (Slots[I]->Iterations > LockerFormat::MaxIterations)
                SlotError[I] = Translate("Unsupported key derivation cost.");
        // A code is typed in whatever case and grouping; the recovery slot was derived from its
        // canonical form. The password slot gets the secret as typed: a password may look like a code.
        const TSecretText RecoveryCode(CanonicalRecoveryCode(Secret).value_or(Secret));
        const QString* SlotSecrets[2] = {&Secret, &RecoveryCode.Value};
        auto Unwrap = [&](int I) {
            if (SlotError[I])
                return;
            try {
                Masters[I].Value = UnwrapSlot(*Slots[I], *SlotSecrets[I]);
            } catch (const EKelvarnError& Error) {
                SlotError[I] = Error.Message();
            }
        };
        RunSideBySide([&] { Unwrap(0); }, [&] { Unwrap(1); });

        // Candidates in the order they are tried: those whose first fields make sense first.
        std::vector<int> Pending;
        bool Sound[2] = {false, false};
        for (int I = 0; I < 2; ++I)
            if (!SlotError[I] && (Sound[I] = PreludeLooksSound(Stream, Header, Masters[I].Value)))
                Pending.push_back(I);
        for (int I = 0; I < 2; ++I)
            if (!SlotError[I] && !Sound[I])
                Pending.push_back(I);

        bool Authentic = false;
        while (!Authentic && !Pending.empty()) {
            const int Lead = Pending.front();
            // A second candidate is checked in the same read when it is as likely as the first; an
            // unlikely one only when the first is unlikely too (a wrong secret), where nothing is
            // decoded.
            const int Other = Pending.size() > 1 && Sound[Pending[1]] == Sound[Lead] ? Pending[1] : -1;
            // Reading and MACing run ahead on a thread of their own while the files are written.
            TAuthenticatedPass Pass(Stream, Header, Masters[Lead].Value, PassCapacity(Header.Length),
                                    Other >= 0 ? &Masters[Other].Value : nullptr, true);
            TStagedWriter Writer(*F, Pass.Reader(), LockerFile, Progress, Cancel, Header.Length);
            std::optional<QString> ContentError;
            try {
                Writer.Run();
            } catch (const EKelvarnError& Error) {
                if (Writer.Cancelled())
                    throw;
                ContentError = Error.Message();
            } catch (const std::bad_alloc&) {
                ContentError = QStringLiteral("Out of memory");
            }
            if (Pass.Finish()) {
                if (ContentError)
                    throw EKelvarnError(*ContentError);
                Authentic = true;
                if (Slots[Lead] == &Header.Recovery)
                    Result.RecoveryCode = RecoveryCode.Value;
                break;
            }
            // Another key, or a changed locker: what this pass wrote means nothing.
            F->Stage->Folder().RemoveContents();
            Pending.erase(Pending.begin());
            if (Other >= 0 && !Pass.OtherAuthentic())
                Pending.erase(std::find(Pending.begin(), Pending.end(), Other));
        }
        if (!Authentic) {
            Discard();
            Result.MessageText = SlotError[0] ? *SlotError[0] : Translate("Invalid password or recovery code.");
            Result.WrongSecret = !SlotError[0];
            return Result;
        }
        // Everything written reaches the disk before anyone is told it is there.
        RunFileStepHook("Extract:flush", LockerFile);
        if (::syncfs(F->Stage->Folder().Fd()) != 0)
            throw EKelvarnError(QStringLiteral("Stream write error. %1").arg(SystemErrorText(errno)));
        RunFileStepHook("Extract:flushed", LockerFile);
        F->Extracted = true;
        Result.Success = true;
        Result.MessageText = Translate("Locker extracted successfully.");
        return Result;
    } catch (const std::exception& Error) {
        Result.MessageText = ErrorTextOf(Error);
    }
    try {
        Discard();
    } catch (const EKelvarnError& Error) {
        Result.MessageText += QStringLiteral("\r\n") + Error.Message();
    }
    return Result;
}

void TLockerStaging::MoveIntoPlace(const QString& Name) {
    if (!F->Extracted)
        throw EKelvarnError(QStringLiteral("Nothing has been extracted."));
    const QString Target = Name.isEmpty() ? F->RootName : Name;
    if (F->RootIsFolder) {
        // The descriptor follows the folder through the rename.
        const TDirHandle Root = F->Stage->Folder().OpenFolder(F->RootName);
        F->Stage->MoveOut(F->RootName, Target);
        F->Extracted = false;
        ApplyFolderModes(Root, F->FolderModes);
    } else {
        F->Stage->MoveOut(F->RootName, Target);
        F->Extracted = false;
    }
    F->Dest.Sync();
    F->CreatedTop.clear();
    Discard();
}

void TLockerStaging::ExchangeIntoPlace(const QString& Name, const TFileIdentity& Expected) {
    if (!F->Extracted)
        throw EKelvarnError(QStringLiteral("Nothing has been extracted."));
    const TDirHandle& Stage = F->Stage->Folder();
    const QString Shown = F->Dest.ChildPath(Name);
    std::optional<TDirHandle> Root;
    if (F->RootIsFolder)
        Root = Stage.OpenFolder(F->RootName);
    auto IsExpected = [&](const QString& StagedName) {
        struct stat Old;
        return Stage.StatChild(StagedName, Old) && IdentityOf(Old) == Expected;
    };
    const QString Replaced = F->RootName == QLatin1String("old") ? QStringLiteral("old-item") : QStringLiteral("old");
    if (F->Stage->ExchangeOut(F->RootName, Name)) {
        if (!IsExpected(F->RootName)) {
            // Someone put another item under that name since it was looked at: not ours to replace.
            F->Stage->ExchangeOut(F->RootName, Name);
            throw EKelvarnError(QStringLiteral("\"%1\" was replaced by another item while it was in use.").arg(Shown));
        }
    } else if (errno == EINVAL || errno == ENOSYS) {
        // No exchange on this file system: the old item steps into the staging folder first, and
        // comes back if the new one cannot take its place.
        F->Dest.RenameNoReplace(Name, Stage, Replaced);
        if (!IsExpected(Replaced)) {
            Stage.RenameNoReplace(Replaced, F->Dest, Name);
            throw EKelvarnError(QStringLiteral("\"%1\" was replaced by another item while it was in use.").arg(Shown));
        }
        try {
            F->Stage->MoveOut(F->RootName, Name);
        } catch (const EKelvarnError&) {
            Stage.RenameNoReplace(Replaced, F->Dest, Name);
            throw;
        }
    } else {
        throw EKelvarnError(QStringLiteral("Cannot rename \"%1\". %2").arg(Shown, SystemErrorText(errno)));
    }
    F->Extracted = false;
    if (Root)
        ApplyFolderModes(*Root, F->FolderModes);
    F->Dest.Sync();
    F->CreatedTop.clear();
}

const TFileIdentity& TLockerStaging::LockerIdentity() const {
    return F->Locker;
}

QList<TEntryInfo> TLockerStaging::StagedEntries() const {
    QList<TEntryInfo> Entries;
    if (!F->Extracted)
        return Entries;
    const TDirHandle& Stage = F->Stage->Folder();
    struct stat St;
    if (!Stage.StatChild(F->RootName, St))
        return Entries;
    TEntryInfo Root;
    Root.IsDir = S_ISDIR(St.st_mode);
    Root.Size = Root.IsDir ? 0 : static_cast<int64_t>(St.st_size);
    Entries.append(Root);
    if (!Root.IsDir)
        return Entries;
    // Breadth by folder; each is reached through its parent's descriptor.
    std::vector<std::pair<QString, TDirHandle>> Pending;
    Pending.emplace_back(QString(), Stage.OpenFolder(F->RootName));
    while (!Pending.empty()) {
        auto [Prefix, Folder] = std::move(Pending.back());
        Pending.pop_back();
        for (const TDirEntry& Item : Folder.ListKinds()) {
            TEntryInfo Entry;
            Entry.RelativePath = Prefix.isEmpty() ? Item.Name : Prefix + QLatin1Char('/') + Item.Name;
            Entry.IsDir = Item.Kind == TEntryKind::Directory;
            Entry.Size = Item.Size;
            Entries.append(Entry);
            if (Entry.IsDir)
                Pending.emplace_back(Entry.RelativePath, Folder.OpenFolder(Item.Name, &Item.Identity));
        }
    }
    return Entries;
}

void TLockerStaging::MergeIntoPlace() {
    if (!F->Extracted)
        throw EKelvarnError(QStringLiteral("Nothing has been extracted."));
    F->Extracted = false;
    F->CreatedTop.clear();
    const TDirHandle& Stage = F->Stage->Folder();
    if (F->RootIsFolder) {
        const TDirHandle Root = MergeFolder(Stage, F->RootName, F->Dest, F->Locker);
        ApplyFolderModes(Root, F->FolderModes);
    } else {
        MergeFile(Stage, F->RootName, F->Dest, F->Locker);
    }
    F->Dest.Sync();
    Discard();
}

TLockerResult ExtractLocker(const QString& LockerFile, const QString& DestFolder, const QString& Secret,
                            const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel) {
    TLockerStaging Staging;
    TLockerResult Result = Staging.Extract(LockerFile, DestFolder, Secret, Progress, Cancel);
    if (!Result.Success)
        return Result;
    try {
        Staging.MergeIntoPlace();
        return Result;
    } catch (const std::exception& Error) {
        Result.MessageText = ErrorTextOf(Error);
    }
    Result.Success = false;
    return Result;
}

bool VerifyLocker(TFileStream& Stream, const QString& Password, QString& Message) {
    Message.clear();
    try {
        const TLockerHeader Header = ReadHeader(Stream);
        TSecretBytes Master(UnwrapSlot(Header.Password, Password));
        TAuthenticatedPass Pass(Stream, Header, Master.Value, PassCapacity(Header.Length));
        const QString Problem = StructureProblem(Pass.Reader());
        if (!Pass.Finish()) {
            Message = Translate("Locker verification failed (MAC mismatch).");
            return false;
        }
        Message = Problem;
        return Problem.isEmpty();
    } catch (const std::exception& Error) {
        Message = ErrorTextOf(Error);
    } catch (...) {
        Message = QStringLiteral("Unknown error");
    }
    return false;
}

bool VerifyLocker(const QString& LockerFile, const QString& Password, QString& Message) {
    Message.clear();
    try {
        if (!LockerFileExists(LockerFile)) {
            Message = Translate("Locker file does not exist.");
            return false;
        }
        TFileStream Stream(LockerFile, TFileStream::TMode::OpenReadShared);
        return VerifyLocker(Stream, Password, Message);
    } catch (const std::exception& Error) {
        Message = ErrorTextOf(Error);
    }
    return false;
}

bool IsLockerFileName(const QString& Path) {
    static const QLatin1String Extension(".kvlocker");
    const QString Name = Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype Dot = Name.lastIndexOf(QLatin1Char('.'));
    if (Dot < 0 || Name.size() - Dot != Extension.size())
        return false;
    for (qsizetype I = 0; I < Extension.size(); ++I) {
        char16_t C = Name[Dot + I].unicode();
        if (C >= u'A' && C <= u'Z')
            C = static_cast<char16_t>(C + (u'a' - u'A'));
        if (C != static_cast<char16_t>(Extension[I].unicode()))
            return false;
    }
    return true;
}

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

// Abandons the check when Finish was not called.
TLockerFollower::~TLockerFollower() = default;

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
