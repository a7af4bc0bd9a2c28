#include "uLocker.h"

#include "KelvarnError.h"
#include "translation.h"
#include "uSecurityUtils.h"

#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace {

constexpr int64_t ProgressStepBytes = 8388608;
constexpr uint64_t ProgressIntervalMs = 120;
constexpr QChar Cr = QLatin1Char('\r');
constexpr QChar Lf = QLatin1Char('\n');

QString WithItem(const QString& Reason, const QString& Item) {
    return Reason + Cr + Lf + Item;
}

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

bool IsSameOrInside(const QString& Path, const QString& Folder) {
    if (Path.isEmpty() || Folder.isEmpty())
        return false;
    if (Path == Folder)
        return true;
    return Path.startsWith(Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/'));
}

// The locker is written only after the walk; if it were the source or inside it, writing it would
// change the source.
void CheckLockerOutsideSource(const QString& LockerFile, const QString& Root) {
    const QString LockerFull = FullPath(LockerFile);
    bool Inside = IsSameOrInside(LockerFull, Root);
    if (!Inside) {
        const QFileInfo Locker(LockerFull);
        const QString FolderReal = QFileInfo(Locker.path()).canonicalFilePath();
        const QString RootReal = QFileInfo(Root).canonicalFilePath();
        if (!FolderReal.isEmpty() && !RootReal.isEmpty())
            Inside = IsSameOrInside(FolderReal + QLatin1Char('/') + Locker.fileName(), RootReal) ||
                     IsSameOrInside(FolderReal, RootReal);
    }
    if (Inside)
        throw EKelvarnError(
            WithItem(Translate("The locker file cannot be the item being packed or lie inside it."), LockerFile));
}

struct TStatStamp {
    int64_t Size = 0;
    int64_t MtimeSec = 0;
    int64_t MtimeNsec = 0;
};

TStatStamp StampOf(int Fd, const QString& Path) {
    struct stat St;
    if (::fstat(Fd, &St) != 0)
        throw EKelvarnError(
            QStringLiteral("Cannot read the attributes of \"%1\". %2").arg(Path, SystemErrorText(errno)));
    return {static_cast<int64_t>(St.st_size), static_cast<int64_t>(St.st_mtim.tv_sec),
            static_cast<int64_t>(St.st_mtim.tv_nsec)};
}

// Everything one CreateLocker call holds; the destructor wipes the secrets.
struct TWriteState {
    QByteArray MasterKey, PasswordKey, RecoveryKey, EncKey, MacKey;
    ~TWriteState() {
        WipeBytes(MasterKey);
        WipeBytes(PasswordKey);
        WipeBytes(RecoveryKey);
        WipeBytes(EncKey);
        WipeBytes(MacKey);
    }
};

// The file's size is taken once it is open and exactly that many bytes are copied, so the record's
// size always equals the data that follows it; a file that ends early, grows or is rewritten in the
// meantime fails the operation rather than yield a locker that differs from the source.
void CopyFileEntry(TEntryInfo& Entry, TPayloadWriter& Writer, const TLockerProgressProc& Progress,
                   const TLockerCancelFunc& Cancel, int64_t& Done, int64_t& Total, uint64_t& LastTick,
                   int64_t& LastDone) {
    // A file swapped for a link since the walk must not be followed to wherever it points.
    TFileStream In(Entry.SourceFullPath, TFileStream::TMode::OpenReadSharedNoFollow);
    const TStatStamp Before = StampOf(In.Handle(), Entry.SourceFullPath);
    Total += Before.Size - Entry.Size;
    Entry.Size = Before.Size;

    Writer.PutString(Entry.RelativePath);
    Writer.PutByte(0);
    Writer.PutInt32(Entry.Attr);
    Writer.PutInt64(Entry.Size);
    Done += EntryRecordSize(Entry);

    int64_t Copied = 0;
    while (Copied < Entry.Size) {
        CheckCancelled(Cancel);
        int Available = 0;
        char* Target = Writer.Space(Available);
        const int64_t Got = In.Read(Target, std::min<int64_t>(Available, Entry.Size - Copied));
        if (Got <= 0)
            RaiseChanged(Entry.SourceFullPath);
        Writer.Commit(static_cast<int>(Got));
        Copied += Got;
        NotifyProgressThrottled(Progress, Entry.SourceFullPath, Done + Copied, Total, LastTick, LastDone);
    }
    const TStatStamp After = StampOf(In.Handle(), Entry.SourceFullPath);
    if (After.Size != Before.Size || After.MtimeSec != Before.MtimeSec || After.MtimeNsec != Before.MtimeNsec)
        RaiseChanged(Entry.SourceFullPath);
    In.Close();
    Done += Entry.Size;
    NotifyProgress(Progress, Entry.SourceFullPath, Done, Total);
}

void WriteSlot(TFileStream& Stream, const QByteArray& Salt, const QByteArray& Wrapped) {
    WriteInt32(Stream, LockerFormat::Iterations);
    WriteRawBytes(Stream, Salt);
    WriteRawBytes(Stream, Wrapped);
}

} // namespace

uint64_t LockerTickCount() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void NotifyProgress(const TLockerProgressProc& Progress, const QString& Path, int64_t Done, int64_t Total) {
    if (Progress)
        Progress(Path, Done, Total);
}

void NotifyProgressThrottledAt(const TLockerProgressProc& Progress, const QString& Path, int64_t Done, int64_t Total,
                               uint64_t& LastTick, int64_t& LastDone, uint64_t Now) {
    if (!Progress)
        return;
    if (Done > 0 && Done < Total) {
        const int64_t Step = LastDone < 0 ? ProgressStepBytes : Done - LastDone;
        if (Step < ProgressStepBytes && Now - LastTick < ProgressIntervalMs)
            return;
    }
    Progress(Path, Done, Total);
    LastDone = Done;
    LastTick = Now;
}

void NotifyProgressThrottled(const TLockerProgressProc& Progress, const QString& Path, int64_t Done, int64_t Total,
                             uint64_t& LastTick, int64_t& LastDone) {
    if (Progress)
        NotifyProgressThrottledAt(Progress, Path, Done, Total, LastTick, LastDone, LockerTickCount());
}

void CheckCancelled(const TLockerCancelFunc& Cancel) {
    if (Cancel && Cancel())
        throw EKelvarnError(QStringLiteral("Operation cancelled by user."));
}

int32_t FileAttributesOrZero(const QString& Path) {
    const uint32_t Attributes = GetFileAttributes(Path);
    return Attributes == Attr::Invalid ? 0 : static_cast<int32_t>(Attributes);
}

void CollectEntries(const QString& Root, const QString& Folder, QList<TEntryInfo>& List) {
    const bool TopLevel = Folder == Root;
    const QString Prefix = Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/');
    const QList<TDirEntry> Listed = ListFolder(Folder);
    for (const TDirEntry& Item : Listed) {
        const QString Full = Prefix + Item.Name;
        if (Item.Kind == TEntryKind::SymLink)
            RaiseNotPackable(Full, S_IFLNK);
        if (Item.Kind == TEntryKind::Other)
            RaiseNotPackable(Full, 0);
        // Linux allows "\" and "C:x" in names; stored, they would read back as other paths.
        if (Item.Name.contains(LockerFormat::StoredSeparator) || (TopLevel && HasDrivePrefix(Item.Name)))
            RaiseUnstorableName(Full);
        TEntryInfo Entry;
        Entry.SourceFullPath = Full;
        Entry.RelativePath = CleanRelativePath(Full.mid(Root.size()));
        if (!IsSafeRelativePath(Entry.RelativePath))
            RaiseUnstorableName(Full);
        Entry.IsDir = Item.Kind == TEntryKind::Directory;
        Entry.Attr = static_cast<int32_t>(Item.Attributes);
        Entry.Size = Entry.IsDir ? 0 : Item.Size;
        List.append(std::move(Entry));
        if (Item.Kind == TEntryKind::Directory)
            CollectEntries(Root, Full, List);
    }
}

TLockerResult CreateLocker(const QString& Source, const QString& LockerFile, const QString& Password,
                           const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel) {
    TLockerResult Result;
    if (!PathExists(Source)) {
        Result.MessageText = Translate("Source path does not exist.");
        return Result;
    }
    if (Password.isEmpty()) {
        Result.MessageText = Translate("Locker password cannot be empty.");
        return Result;
    }

    std::unique_ptr<TFileStream> Stream;
    bool Created = false;
    try {
        const QString Root = FullPath(Source);
        const QString RootName = Root.mid(Root.lastIndexOf(QLatin1Char('/')) + 1);
        if (RootName.isEmpty()) {
            Result.MessageText = Translate("Invalid source path.");
            return Result;
        }
        struct stat RootStat;
        if (::lstat(QFile::encodeName(Root).constData(), &RootStat) != 0) {
            Result.MessageText = Translate("Source path does not exist.");
            return Result;
        }
        if (!S_ISDIR(RootStat.st_mode) && !S_ISREG(RootStat.st_mode))
            RaiseNotPackable(Root, RootStat.st_mode);
        if (!IsSafeRootName(RootName))
            RaiseUnstorableName(Root);
        const bool RootIsFolder = S_ISDIR(RootStat.st_mode);
        CheckLockerOutsideSource(LockerFile, Root);

        QList<TEntryInfo> Entries;
        if (RootIsFolder) {
            CollectEntries(Root, Root, Entries);
        } else {
            TEntryInfo Entry;
            Entry.RelativePath = RootName;
            Entry.SourceFullPath = Root;
            Entry.Attr = FileAttributesOrZero(Root);
            Entry.Size = static_cast<int64_t>(RootStat.st_size);
            Entries.append(std::move(Entry));
        }
        int64_t Total = PayloadSize(RootName, Entries);

        TWriteState Keys;
        Keys.MasterKey = RandomBytes(LockerFormat::KeySize);
        const QByteArray PasswordSalt = RandomBytes(LockerFormat::SaltSize);
        const QByteArray RecoverySalt = RandomBytes(LockerFormat::SaltSize);
        const QByteArray Nonce = RandomBytes(LockerFormat::NonceSize);
        const QString RecoveryCode = GenerateRecoveryCode();
        Keys.PasswordKey = Pbkdf2Sha256(Password, PasswordSalt, LockerFormat::Iterations, LockerFormat::KeySize);
        Keys.RecoveryKey = Pbkdf2Sha256(RecoveryCode, RecoverySalt, LockerFormat::Iterations, LockerFormat::KeySize);
        const QByteArray PasswordWrapped = XorBytes(Keys.MasterKey, Keys.PasswordKey);
        const QByteArray RecoveryWrapped = XorBytes(Keys.MasterKey, Keys.RecoveryKey);
        Keys.EncKey = DeriveEncryptionKey(Keys.MasterKey);
        Keys.MacKey = DeriveMacKey(Keys.MasterKey);

        // An existing file is replaced by a new one, never rewritten in place: whatever else links
        // to the old one keeps its content.
        if (PathExists(LockerFile) && !DirectoryExists(LockerFile) && !DeleteFile(LockerFile))
            throw EKelvarnError(QStringLiteral("Cannot open file \"%1\". %2").arg(LockerFile, SystemErrorText(errno)));
        Stream = std::make_unique<TFileStream>(LockerFile, TFileStream::TMode::CreateNew);
        Created = true;

        WritePlainString(*Stream, QString::fromLatin1(LockerFormat::Magic));
        WriteInt32(*Stream, LockerFormat::Version);
        WriteSlot(*Stream, PasswordSalt, PasswordWrapped);
        WriteSlot(*Stream, RecoverySalt, RecoveryWrapped);
        WriteRawBytes(*Stream, Nonce);
        // Zeros until the end: a locker cut short never authenticates.
        WriteRawBytes(*Stream, QByteArray(LockerFormat::MacSize, '\0'));
        WriteInt64(*Stream, 0);
        const int64_t PayloadStart = Stream->Position();

        THmacSha256 Mac(Keys.MacKey);
        TAesCtrTransform Transform(Keys.EncKey, Nonce);
        Mac.UpdateBytes(Nonce);
        QByteArray Buffer(LockerFormat::CopyBufferSize, Qt::Uninitialized);
        TPayloadWriter Writer(*Stream, Mac, Transform, Buffer.data(), static_cast<int>(Buffer.size()));

        Writer.PutString(RootName);
        Writer.PutByte(RootIsFolder ? 1 : 0);
        Writer.PutInt32(static_cast<int32_t>(Entries.size()));
        int64_t Done = Writer.Total();
        uint64_t LastTick = 0;
        int64_t LastDone = -1;
        NotifyProgress(Progress, Source, Done, Total);

        for (TEntryInfo& Entry : Entries) {
            CheckCancelled(Cancel);
            if (Entry.IsDir) {
                Writer.PutString(Entry.RelativePath);
                Writer.PutByte(1);
                Writer.PutInt32(Entry.Attr);
                Writer.PutInt64(0);
                Done += EntryRecordSize(Entry);
                NotifyProgressThrottled(Progress, Entry.SourceFullPath, Done, Total, LastTick, LastDone);
            } else {
                CopyFileEntry(Entry, Writer, Progress, Cancel, Done, Total, LastTick, LastDone);
            }
        }
        Writer.Flush();

        const int64_t PayloadLength = Stream->Position() - PayloadStart;
        const QByteArray MacValue = Mac.FinalBytes();
        Stream->Seek(LockerFormat::MacOffset);
        WriteRawBytes(*Stream, MacValue);
        WriteInt64(*Stream, PayloadLength);
        Stream->Close();
        Stream.reset();

        Result.Success = true;
        Result.MessageText = Translate("Locker created successfully.");
        Result.RecoveryCode = RecoveryCode;
        return Result;
    } catch (const EKelvarnError& Error) {
        Result.MessageText = Error.Message();
    } catch (const std::bad_alloc&) {
        Result.MessageText = QStringLiteral("Out of memory");
    } catch (const std::exception& Error) {
        Result.MessageText = QString::fromLocal8Bit(Error.what());
    }

    // Failure: no partial locker may remain. A file we did not create is not ours to delete.
    Stream.reset();
    if (Created && !DeleteFile(LockerFile) && errno != ENOENT) {
        const QString Reason = SystemErrorText(errno);
        throw EKelvarnError(
            WithItem(Translate("The incomplete locker file could not be deleted."), LockerFile + Cr + Lf + Reason));
    }
    Result.Success = false;
    Result.RecoveryCode.clear();
    return Result;
}
