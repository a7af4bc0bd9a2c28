// Extraction: the slots opened side by side, the payload decrypted and authenticated in one pass,
// its entries rebuilt in a private staging folder.
#include "locker/uLockerReading.h"
#include "platform/PlatformWriteBack.h"

#include <algorithm>
#include <fcntl.h>

using namespace LockerReading;

namespace {

constexpr off_t ReadAheadWhileDeriving = 32 << 20;

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
        FThrottle.Report(FLockerFile, FLength, FLength);
    }

private:
    void RunEntries() {
        TPayloadPrelude Prelude;
        Refuse(TPayloadPrelude::Read(FReader, Prelude));
        const QString& RootName = Prelude.RootName;
        const bool RootIsFolder = Prelude.RootIsFolder;
        FState.RootName = RootName;
        FState.RootIsFolder = RootIsFolder;
        FState.FolderModes.clear();
        const QString Shown = FState.Dest.ChildPath(RootName);
        if (RootIsFolder) {
            FRoot = FState.Stage->Folder().CreateFolder(RootName, 0700);
            FState.FolderModes.insert(QString(), 0700); // until the locker says otherwise
        }
        FThrottle.Report(FLockerFile, FReader.Consumed(), FLength);

        TEntryRecord Record;
        for (int32_t Index = 0; Index < Prelude.Count; ++Index) {
            CheckCancel();
            Refuse(TEntryRecord::Read(FReader, Prelude, Record));
            const QStringList Parts = RootIsFolder ? ComponentsOf(Record.Path) : QStringList{RootName};
            const QString Target =
                RootIsFolder ? (Parts.isEmpty() ? Shown : Shown + QLatin1Char('/') + JoinLocal(Parts)) : Shown;
            FThrottle.Report(Target, FReader.Consumed(), FLength);
            if (Record.IsDir) {
                if (!Parts.isEmpty())
                    FolderAt(Parts, Parts.size(), Target);
                FState.FolderModes.insert(JoinLocal(Parts), RestoredMode(Record.Attributes, true));
            } else {
                if (Parts.isEmpty())
                    throw EKelvarnError(
                        WithItem(Translate("An existing folder is in the way of a file from the locker."), Target));
                const TDirHandle& Parent =
                    RootIsFolder ? FolderAt(Parts, Parts.size() - 1, Target) : FState.Stage->Folder();
                WriteFile(Parent, Parts.last(), Target, Record.Attributes, Record.Size);
            }
        }
        Refuse(PayloadEndProblem(Prelude, FReader.Remaining()));
    }

    static void Refuse(const QString& Problem) {
        if (!Problem.isEmpty())
            throw EKelvarnError(Problem);
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
                FThrottle.Report(Target, FReader.Consumed(), FLength);
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
            FThrottle.Report(Target, FReader.Consumed(), FLength);
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
    TProgressThrottle FThrottle{FProgress};
};

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
        off_t LockerSize = 0;
        if (::fstat(Stream.Handle(), &LockerSt) == 0) {
            F->Locker = IdentityOf(LockerSt);
            LockerSize = LockerSt.st_size;
        }
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
        // The disk reads the locker's start while the keys are derived: a locker not read lately then
        // costs little more than one in memory. The request has a thread of its own, as it can block
        // until the device has taken all of it.
        TWorkerThread ReadAhead;
        const int LockerFd = Stream.Handle();
        const off_t Ahead = std::min(LockerSize, ReadAheadWhileDeriving);
        (void)ReadAhead.Start([LockerFd, Ahead] { ::posix_fadvise(LockerFd, 0, Ahead, POSIX_FADV_WILLNEED); });
        RunSideBySide([&] { Unwrap(0); }, [&] { Unwrap(1); });
        ReadAhead.Join();

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
