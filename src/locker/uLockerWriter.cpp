#include "locker/uLocker.h"
#include "locker/uLockerFollower.h"
#include "locker/uLockerPipelines.h"
#include "locker/uLockerPrefetch.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "translation/translation.h"
#include "crypto/uSecurityUtils.h"
#include "platform/PlatformThreads.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

[[noreturn]] void RaiseNotPackable(const QString& Path, mode_t Mode) {
    if (S_ISLNK(Mode))
        throw EKelvarnError(WithItem(Translate("A symbolic link cannot be put in a locker."), Path));
    throw EKelvarnError(WithItem(Translate("A socket, pipe or device cannot be put in a locker."), Path));
}

[[noreturn]] void RaiseUnstorableName(const QString& Path) {
    throw EKelvarnError(WithItem(
        Translate("This name cannot be stored in a locker: it holds a backslash or begins with a drive letter."),
        Path));
}

[[noreturn]] void RaiseChanged(const QString& Path) {
    throw EKelvarnError(WithItem(Translate("A file changed while it was being put in the locker."), Path));
}

[[noreturn]] void RaiseTooDeep(const QString& Path) {
    throw EKelvarnError(
        WithItem(Translate("This path is too long or too deeply nested to be stored in a locker."), Path));
}

struct TStatStamp {
    int64_t Size = 0;
    int64_t MtimeNs = 0;
    int64_t CtimeNs = 0;
    bool operator==(const TStatStamp&) const = default;
};

TStatStamp StampOf(const struct stat& St) {
    return {static_cast<int64_t>(St.st_size),
            static_cast<int64_t>(St.st_mtim.tv_sec) * 1000000000 + static_cast<int64_t>(St.st_mtim.tv_nsec),
            static_cast<int64_t>(St.st_ctim.tv_sec) * 1000000000 + static_cast<int64_t>(St.st_ctim.tv_nsec)};
}

TStatStamp StampOf(int Fd, const QString& Path) {
    struct stat St;
    if (::fstat(Fd, &St) != 0)
        throw EKelvarnError(
            QStringLiteral("Cannot read the attributes of \"%1\". %2").arg(Path, SystemErrorText(errno)));
    return StampOf(St);
}

// Everything one CreateLocker call holds; the destructor wipes the secrets.
struct TWriteState {
    TSecretBytes MasterKey, EncKey, MacKey;
};

// How far the packing has got, in payload bytes, and the caller's wish to stop.
struct TPackProgress {
    TProgressThrottle Throttle;
    const TLockerCancelFunc& Cancel;
    int64_t Done = 0;
    int64_t Total = 0;

    void Report(const QString& Item, int64_t Extra = 0) { Throttle.Report(Item, Done + Extra, Total); }
};

// The file's size is taken once it is open and exactly that many bytes are copied, so the record's
// size always equals the data that follows it; a file that ends early, grows or is rewritten in the
// meantime fails the operation rather than yield a locker that differs from the source.
void CopyFileEntry(TEntryInfo& Entry, const QString& Item, const TDirHandle& Parent, const QString& Name,
                   TPayloadWriter& Writer, TPackProgress& Pack) {
    // The file the walk listed, and no other: one swapped for a link or another file since then is
    // refused rather than followed to wherever it leads.
    struct stat Opened;
    std::unique_ptr<TFileStream> Stream;
    try {
        Stream = Parent.OpenFileForReading(Name, &Entry.Identity, &Opened);
    } catch (const EKelvarnError&) {
        struct stat Now;
        if (!Parent.StatChild(Name, Now) || !S_ISREG(Now.st_mode) || IdentityOf(Now) != Entry.Identity)
            RaiseChanged(Item);
        throw;
    }
    TFileStream& In = *Stream;
    const TStatStamp Before = StampOf(Opened);
    // The walk left this to the open file.
    if (In.HasSystemAttribute())
        Entry.Attr |= static_cast<int32_t>(Attr::System);
    Pack.Total += Before.Size - Entry.Size;
    Entry.Size = Before.Size;
    Entry.MtimeNs = Before.MtimeNs;
    Entry.CtimeNs = Before.CtimeNs;

    TEntryRecord::Of(Entry).Put(Writer);
    Pack.Done += EntryRecordSize(Entry);

    int64_t Copied = 0;
    while (Copied < Entry.Size) {
        CheckCancelled(Pack.Cancel);
        int Available = 0;
        char* Target = Writer.Space(Available);
        const int64_t Got = In.Read(Target, std::min<int64_t>(Available, Entry.Size - Copied));
        if (Got <= 0)
            RaiseChanged(Item);
        Writer.Commit(static_cast<int>(Got));
        Copied += Got;
        Pack.Report(Item, Copied);
    }
    if (StampOf(In.Handle(), Item) != Before)
        RaiseChanged(Item);
    In.Close();
    Pack.Done += Entry.Size;
    Pack.Report(Item);
}

} // namespace

QString EntrySourcePath(const QString& Root, const TEntryInfo& Entry) {
    if (!Entry.SourceFullPath.isEmpty() || Entry.RelativePath.isEmpty())
        return Entry.SourceFullPath.isEmpty() ? Root : Entry.SourceFullPath;
    return Root + QLatin1Char('/') + StoredPathToLocal(Entry.RelativePath);
}

int32_t FileAttributesOrZero(const QString& Path) {
    const uint32_t Attributes = Fs::GetFileAttributes(Path);
    return Attributes == Attr::Invalid ? 0 : static_cast<int32_t>(Attributes);
}

namespace {

// Appends the entries below Folder, which is held open: each subfolder is entered through its
// descriptor and must be the folder the listing saw.
void CollectEntriesAt(const TDirHandle& Folder, const QString& FullPrefix, const QString& RelPrefix,
                      const QString& RootName, QList<TEntryInfo>& List, bool KeepSourcePaths) {
    const bool TopLevel = RelPrefix.isEmpty();
    // In name order, whatever order the file system lists: the same tree gives the same payload.
    QList<TDirEntry> Listed = Folder.ListLeavingFilesSystem();
    std::sort(Listed.begin(), Listed.end(), [](const TDirEntry& A, const TDirEntry& B) { return A.Name < B.Name; });
    for (const TDirEntry& Item : Listed) {
        const QString Full = FullPrefix + Item.Name;
        if (Item.Kind == TEntryKind::SymLink)
            RaiseNotPackable(Full, S_IFLNK);
        if (Item.Kind == TEntryKind::Other)
            RaiseNotPackable(Full, 0);
        // Linux allows "\" and "C:x" in names; stored, they would read back as other paths.
        if (Item.Name.contains(LockerFormat::StoredSeparator) || (TopLevel && HasDrivePrefix(Item.Name)))
            RaiseUnstorableName(Full);
        TEntryInfo Entry;
        if (KeepSourcePaths)
            Entry.SourceFullPath = Full;
        Entry.RelativePath =
            CleanRelativePath(TopLevel ? Item.Name : RelPrefix + LockerFormat::StoredSeparator + Item.Name);
        // A tree of a million items is held whole: no spare capacity per path.
        Entry.RelativePath.squeeze();
        if (!IsSafeRelativePath(Entry.RelativePath))
            RaiseUnstorableName(Full);
        // What the reader would refuse is never written.
        if (!IsWithinPathBounds(RootName, Entry.RelativePath))
            RaiseTooDeep(Full);
        Entry.IsDir = Item.Kind == TEntryKind::Directory;
        Entry.Attr = StoredAttributes(Item.Attributes, Entry.IsDir);
        Entry.Size = Entry.IsDir ? 0 : Item.Size;
        Entry.Identity = Item.Identity;
        const QString Rel = Entry.RelativePath;
        List.append(std::move(Entry));
        if (Item.Kind == TEntryKind::Directory) {
            RunFileStepHook("CollectEntries:descend", Full);
            struct stat Now;
            if (!Folder.StatChild(Item.Name, Now) || !S_ISDIR(Now.st_mode) || IdentityOf(Now) != Item.Identity)
                RaiseChanged(Full);
            const TDirHandle Sub = Folder.OpenFolder(Item.Name, &Item.Identity);
            CollectEntriesAt(Sub, Full + QLatin1Char('/'), Rel, RootName, List, KeepSourcePaths);
        }
    }
}

// The item being packed, held open from the start: the folder that holds it and, for a folder, the
// folder itself. A link is never followed below the path the caller named.
struct TSource {
    QString Root; // full path, for messages
    QString RootName;
    bool RootIsFolder = false;
    TDirHandle Parent;
    TDirHandle RootDir;
    TFileIdentity Identity;
    int64_t Size = 0;
    QList<TEntryInfo> Entries;
};

// Root: full path without a trailing separator, for messages; RootName, inside Parent, is already
// known to be storable.
void OpenSourceIn(TSource& Src, TDirHandle Parent, const QString& Root, const QString& RootName) {
    Src.Root = Root;
    Src.RootName = RootName;
    Src.Parent = std::move(Parent);
    struct stat St;
    if (!Src.Parent.StatChild(RootName, St))
        throw EKelvarnError(
            QStringLiteral("Cannot read the attributes of \"%1\". %2").arg(Root, SystemErrorText(errno)));
    if (!S_ISDIR(St.st_mode) && !S_ISREG(St.st_mode))
        RaiseNotPackable(Root, St.st_mode);
    Src.RootIsFolder = S_ISDIR(St.st_mode);
    Src.Identity = IdentityOf(St);
    Src.Size = static_cast<int64_t>(St.st_size);
    const TStatStamp RootStamp = StampOf(St);
    const uint32_t Listed = Src.Parent.ChildAttributes(RootName);
    const uint32_t RootAttributes = Listed == Attr::Invalid ? 0 : Listed;

    TEntryInfo Entry;
    Entry.SourceFullPath = Root;
    Entry.IsDir = Src.RootIsFolder;
    Entry.Attr = StoredAttributes(RootAttributes, Src.RootIsFolder);
    Entry.Identity = Src.Identity;
    Entry.MtimeNs = RootStamp.MtimeNs;
    Entry.CtimeNs = RootStamp.CtimeNs;
    if (Src.RootIsFolder) {
        Src.RootDir = Src.Parent.OpenFolder(RootName, &Src.Identity);
        // The root folder's own entry (an empty path) carries its attributes, so that a private
        // folder comes back private.
        Src.Entries.append(Entry);
        // The items below keep their stored path only; their full path is made when it is needed.
        CollectEntriesAt(Src.RootDir, Root + QLatin1Char('/'), QString(), RootName, Src.Entries, false);
    } else {
        Entry.RelativePath = RootName;
        Entry.Size = Src.Size;
        Src.Entries.append(Entry);
    }
}

void OpenSource(TSource& Src, const QString& Root, const QString& RootName) {
    const qsizetype Slash = Root.lastIndexOf(QLatin1Char('/'));
    OpenSourceIn(Src, TDirHandle::Open(Slash <= 0 ? QStringLiteral("/") : Root.left(Slash), true), Root, RootName);
}

// Writes the whole locker into Stream, which is new and empty, from the opened source; Follower,
// when given, hears how far the writing has got.
QString WriteLocker(TSource& Src, TFileStream& Stream, const QString& Password, const QString& Source,
                    const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel,
                    TLockerFollower* Follower = nullptr) {
    QList<TEntryInfo>& Entries = Src.Entries;
    TPackProgress Pack{TProgressThrottle(Progress), Cancel, 0, PayloadSize(Src.RootName, Entries)};

    TWriteState Keys;
    Keys.MasterKey.Value = RandomBytes(LockerFormat::KeySize);
    const QByteArray PasswordSalt = RandomBytes(LockerFormat::SaltSize);
    const QByteArray RecoverySalt = RandomBytes(LockerFormat::SaltSize);
    const QByteArray Nonce = RandomBytes(LockerFormat::NonceSize);
    const QString RecoveryCode = GenerateRecoveryCode();
    TLockerSlot PasswordSlot;
    TLockerSlot RecoverySlot;
    // The two derivations are the bulk of a small locker's time and share nothing.
    RunSideBySide(
        [&] { PasswordSlot = WrapMasterKey(Keys.MasterKey.Value, Password, PasswordSalt, LockerFormat::Iterations); },
        [&] {
            RecoverySlot = WrapMasterKey(Keys.MasterKey.Value, RecoveryCode, RecoverySalt, LockerFormat::Iterations);
        });
    Keys.EncKey.Value = DeriveEncryptionKey(Keys.MasterKey.Value);
    Keys.MacKey.Value = DeriveMacKey(Keys.MasterKey.Value);

    WriteLockerHeader(Stream, PasswordSlot, RecoverySlot, Nonce);
    const int64_t PayloadStart = Stream.Position();
    if (Follower)
        Follower->HeaderWritten();

    THmacSha256 Mac(Keys.MacKey.Value);
    TAesCtrTransform Transform(Keys.EncKey.Value, Nonce);
    Mac.UpdateBytes(Nonce);
    QByteArray Buffer(LockerFormat::CopyBufferSize, Qt::Uninitialized);
    // More than one piece: the cipher, the MAC and the writing run on a thread of their own while
    // this one reads the source.
    TPayloadWriter::TWrittenProc Written;
    if (Follower)
        Written = [Follower](int64_t End) { Follower->WrittenUpTo(End); };
    TPayloadWriter Writer(Stream, Mac, Transform, Buffer.data(), static_cast<int>(Buffer.size()), Pack.Total > Buffer.size(),
                          Written);

    TPayloadPrelude{Src.RootName, Src.RootIsFolder, static_cast<int32_t>(Entries.size())}.Put(Writer);
    Pack.Done = Writer.Total();
    Pack.Report(Source);

    // The folders along the current entry's path, open; the walk lists a folder before its content,
    // so an entry's parent is always among them.
    std::vector<std::pair<QString, TDirHandle>> Open;
    std::optional<TPackPrefetch> Prefetch;
    if (Src.RootIsFolder)
        Prefetch.emplace(Src.RootDir.Fd(), Entries);
    for (qsizetype Index = 0; Index < Entries.size(); ++Index) {
        TEntryInfo& Entry = Entries[Index];
        CheckCancelled(Cancel);
        if (Prefetch)
            Prefetch->Reached(Index);
        if (!Src.RootIsFolder) {
            CopyFileEntry(Entry, Src.Root, Src.Parent, Src.RootName, Writer, Pack);
            continue;
        }
        if (Entry.RelativePath.isEmpty()) {
            TEntryRecord::Of(Entry).Put(Writer);
            Pack.Done += EntryRecordSize(Entry);
            continue;
        }
        const QStringList Parts = Entry.RelativePath.split(LockerFormat::StoredSeparator);
        const qsizetype ParentDepth = Parts.size() - 1;
        qsizetype Common = 0;
        while (Common < static_cast<qsizetype>(Open.size()) && Common < ParentDepth &&
               Open[Common].first == Parts[Common])
            ++Common;
        const QString Item = EntrySourcePath(Src.Root, Entry);
        if (Common != ParentDepth)
            RaiseChanged(Item);
        Open.resize(Common);
        const TDirHandle& Parent = Open.empty() ? Src.RootDir : Open.back().second;
        if (Entry.IsDir) {
            TEntryRecord::Of(Entry).Put(Writer);
            Pack.Done += EntryRecordSize(Entry);
            Pack.Report(Item);
            struct stat Now;
            if (!Parent.StatChild(Parts.last(), Now) || !S_ISDIR(Now.st_mode) || IdentityOf(Now) != Entry.Identity)
                RaiseChanged(Item);
            Open.emplace_back(Parts.last(), Parent.OpenFolder(Parts.last(), &Entry.Identity));
        } else {
            CopyFileEntry(Entry, Item, Parent, Parts.last(), Writer, Pack);
        }
    }
    Writer.Flush();

    CompleteLockerHeader(Stream, Mac.FinalBytes(), Stream.Position() - PayloadStart);
    return RecoveryCode;
}

// The checks that come before anything is opened; an empty text when they pass. Root and RootName
// are set on the way.
QString CheckSource(const QString& Source, const QString& Password, QString& Root, QString& RootName) {
    if (!Fs::PathExists(Source))
        return Translate("Source path does not exist.");
    if (Password.isEmpty())
        return Translate("Locker password cannot be empty.");
    Root = Fs::FullPath(Source);
    RootName = Root.mid(Root.lastIndexOf(QLatin1Char('/')) + 1);
    if (RootName.isEmpty())
        return Translate("Invalid source path.");
    struct stat RootStat;
    if (::lstat(QFile::encodeName(Root).constData(), &RootStat) != 0)
        return Translate("Source path does not exist.");
    if (!S_ISDIR(RootStat.st_mode) && !S_ISREG(RootStat.st_mode))
        RaiseNotPackable(Root, RootStat.st_mode);
    if (!IsSafeRootName(RootName))
        RaiseUnstorableName(Root);
    return QString();
}

void SetFailure(TLockerResult& Result, const QString& Message) {
    Result.Success = false;
    Result.MessageText = Message;
    Result.RecoveryCode.clear();
}

} // namespace

void CollectEntries(const QString& Root, const QString& Folder, QList<TEntryInfo>& List, bool KeepSourcePaths) {
    const QString Prefix = Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/');
    QString RootPath = Root;
    while (RootPath.size() > 1 && RootPath.endsWith(QLatin1Char('/')))
        RootPath.chop(1);
    const QString RootName = RootPath.mid(RootPath.lastIndexOf(QLatin1Char('/')) + 1);
    const TDirHandle Dir = TDirHandle::Open(Folder, true);
    CollectEntriesAt(Dir, Prefix, CleanRelativePath(Folder.mid(Root.size())), RootName, List, KeepSourcePaths);
}

namespace {

// Packs the opened source into Locker; Packed, when given, receives its entries as they were packed.
TLockerResult CreateLockerFrom(const std::function<void(TSource&)>& Open, const QString& Source, TFileStream& Locker,
                               const QString& Password, const TLockerProgressProc& Progress,
                               const TLockerCancelFunc& Cancel, bool Verify, QList<TEntryInfo>* Packed) {
    TLockerResult Result;
    try {
        TSource Src;
        Open(Src);
        // The walk would have listed the locker if it lay inside the source.
        struct stat Out;
        if (::fstat(Locker.Handle(), &Out) != 0)
            throw EKelvarnError(QStringLiteral("Cannot read the attributes of \"%1\". %2")
                                    .arg(Locker.FileName(), SystemErrorText(errno)));
        for (const TEntryInfo& Entry : Src.Entries)
            if (Entry.Identity == IdentityOf(Out))
                throw EKelvarnError(WithItem(
                    Translate("The locker file cannot be the item being packed or lie inside it."), Locker.FileName()));
        std::optional<TLockerFollower> Follower;
        if (Verify)
            Follower.emplace(Locker, Password);
        const bool Behind = Follower && Follower->Started();
        const QString RecoveryCode =
            WriteLocker(Src, Locker, Password, Source, Progress, Cancel, Behind ? &*Follower : nullptr);
        if (Verify) {
            QString Message;
            const bool Sound = Behind ? Follower->Finish(Message) : VerifyLocker(Locker, Password, Message);
            if (!Sound) {
                SetFailure(Result, Translate("Locker verification failed: ") + Message);
                return Result;
            }
        }
        Result.Success = true;
        Result.MessageText = Translate("Locker created successfully.");
        Result.RecoveryCode = RecoveryCode;
        if (Packed)
            *Packed = std::move(Src.Entries);
    } catch (const std::exception& Error) {
        SetFailure(Result, ErrorTextOf(Error));
    }
    return Result;
}

TLockerResult CreateLockerIn(const QString& Source, TFileStream& Locker, const QString& Password,
                             const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel, bool Verify) {
    TLockerResult Result;
    QString Root, RootName;
    try {
        Result.MessageText = CheckSource(Source, Password, Root, RootName);
    } catch (const std::exception& Error) {
        SetFailure(Result, ErrorTextOf(Error));
        return Result;
    }
    if (!Result.MessageText.isEmpty())
        return Result;
    return CreateLockerFrom([&](TSource& Src) { OpenSource(Src, Root, RootName); }, Source, Locker, Password, Progress,
                            Cancel, Verify, nullptr);
}

} // namespace

TLockerResult CreateLocker(const QString& Source, TFileStream& Locker, const QString& Password,
                           const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel) {
    return CreateLockerIn(Source, Locker, Password, Progress, Cancel, false);
}

TLockerResult CreateVerifiedLocker(const QString& Source, TFileStream& Locker, const QString& Password,
                                   const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel) {
    return CreateLockerIn(Source, Locker, Password, Progress, Cancel, true);
}

TLockerResult CreateVerifiedLocker(const TDirHandle& Parent, const QString& Name, TFileStream& Locker,
                                   const QString& Password, const TLockerProgressProc& Progress,
                                   const TLockerCancelFunc& Cancel, QList<TEntryInfo>* Packed) {
    const QString Root = Parent.ChildPath(Name);
    if (Password.isEmpty()) {
        TLockerResult Result;
        Result.MessageText = Translate("Locker password cannot be empty.");
        return Result;
    }
    return CreateLockerFrom(
        [&](TSource& Src) {
            struct stat St;
            if (!Parent.StatChild(Name, St))
                throw EKelvarnError(Translate("Source path does not exist."));
            if (!S_ISDIR(St.st_mode) && !S_ISREG(St.st_mode))
                RaiseNotPackable(Root, St.st_mode);
            if (!IsSafeRootName(Name))
                RaiseUnstorableName(Root);
            OpenSourceIn(Src, Parent.Duplicate(), Root, Name);
        },
        Root, Locker, Password, Progress, Cancel, true, Packed);
}
