#include "uLocker.h"

#include "KelvarnError.h"
#include "translation.h"
#include "uSecurityUtils.h"

#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <new>
#include <optional>
#include <sys/stat.h>

namespace {

constexpr QChar Cr = QLatin1Char('\r');
constexpr QChar Lf = QLatin1Char('\n');
// Enough for the first payload fields that VerifyLocker reads; longer names are read past it.
constexpr int VerifyBufferSize = 65536;

QString WithItem(const QString& Reason, const QString& Item) {
    return Reason + Cr + Lf + Item;
}

struct TSlot {
    int32_t Iterations = 0;
    QByteArray Salt;
    QByteArray Wrapped;
};

struct THeader {
    TSlot Password;
    TSlot Recovery;
    QByteArray Nonce;
    QByteArray StoredMac;
    int64_t Length = 0;
    int64_t PayloadStart = 0;
};

// Owns a master key and wipes it when it goes.
struct TSecretBytes {
    QByteArray Bytes;
    TSecretBytes() = default;
    explicit TSecretBytes(QByteArray Value) : Bytes(std::move(Value)) {}
    TSecretBytes(const TSecretBytes&) = delete;
    TSecretBytes& operator=(const TSecretBytes&) = delete;
    ~TSecretBytes() { WipeBytes(Bytes); }
};

TSlot ReadSlot(TFileStream& Stream) {
    TSlot Slot;
    Slot.Iterations = ReadInt32(Stream);
    Slot.Salt = ReadRawBytes(Stream, LockerFormat::SaltSize);
    Slot.Wrapped = ReadRawBytes(Stream, LockerFormat::KeySize);
    return Slot;
}

// Magic, version, slots, nonce, MAC and length. Without the recovery slot, its bytes are skipped.
THeader ReadHeader(TFileStream& Stream, bool WithRecovery) {
    THeader Header;
    if (ReadPlainString(Stream) != QLatin1String(LockerFormat::Magic))
        throw EKelvarnError(Translate("Invalid locker file."));
    if (ReadInt32(Stream) != LockerFormat::Version)
        throw EKelvarnError(Translate("Unsupported locker version."));
    Header.Password = ReadSlot(Stream);
    if (WithRecovery)
        Header.Recovery = ReadSlot(Stream);
    else
        Stream.Seek(Stream.Position() + LockerFormat::SlotSize);
    Header.Nonce = ReadRawBytes(Stream, LockerFormat::NonceSize);
    Header.StoredMac = ReadRawBytes(Stream, LockerFormat::MacSize);
    Header.Length = ReadInt64(Stream);
    if (Header.Length < 0)
        throw EKelvarnError(Translate("Invalid locker payload length."));
    Header.PayloadStart = Stream.Position();
    // A payload longer than the file fails now rather than after a key derivation.
    if (Header.Length > Stream.Size() - Header.PayloadStart)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    return Header;
}

// The master key when Secret opens the slot (the payload MAC matches), empty otherwise.
QByteArray OpenSlot(TFileStream& Stream, const THeader& Header, const TSlot& Slot, const QString& Secret) {
    if (Slot.Iterations > LockerFormat::MaxIterations)
        throw EKelvarnError(Translate("Unsupported key derivation cost."));
    QByteArray SlotKey = Pbkdf2Sha256(Secret, Slot.Salt, Slot.Iterations, LockerFormat::KeySize);
    QByteArray Master = XorBytes(Slot.Wrapped, SlotKey);
    WipeBytes(SlotKey);
    QByteArray MacKey = DeriveMacKey(Master);
    const QByteArray Mac = ComputePayloadMac(Stream, Header.PayloadStart, Header.Length, MacKey, Header.Nonce);
    WipeBytes(MacKey);
    if (ConstantTimeEquals(Mac, Header.StoredMac))
        return Master;
    WipeBytes(Master);
    return {};
}

[[noreturn]] void RaiseBadRootName(const QString& Name) {
    throw EKelvarnError(WithItem(Translate("The locker holds an invalid name for the item it contains."), Name));
}

// Rebuilds the entries of an authenticated payload below the destination.
class TExtractor {
public:
    TExtractor(TFileStream& Locker, TPayloadReader& Reader, const QString& LockerFile,
               const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel, int64_t Length)
        : FReader(Reader), FLockerFile(LockerFile), FProgress(Progress), FCancel(Cancel), FLength(Length) {
        struct stat St;
        if (::fstat(Locker.Handle(), &St) == 0) {
            FLockerDev = St.st_dev;
            FLockerIno = St.st_ino;
        }
    }

    void Run(const QString& DestFolder) {
        const QString RootName = FReader.ReadString();
        const bool RootIsFolder = FReader.ReadByte() != 0;
        const int32_t Count = FReader.ReadInt32();
        if (Count < 0)
            throw EKelvarnError(Translate("Invalid locker entry count."));
        if (!IsSafeRootName(RootName))
            RaiseBadRootName(RootName);

        QString Dest = FullPath(DestFolder);
        if (!ForceDirectories(Dest)) {
            const QString Reason = SystemErrorText(errno);
            throw EKelvarnError(
                WithItem(Translate("The destination folder could not be created."), Dest + Cr + Lf + Reason));
        }
        if (Dest.endsWith(QLatin1Char('/')))
            Dest.chop(1); // the root folder "/"
        FRootName = RootName;
        FRootIsFolder = RootIsFolder;
        if (RootIsFolder) {
            FBase = Dest + QLatin1Char('/') + RootName;
            EnsureFolder(FBase);
        } else {
            FBase = Dest;
        }
        NotifyProgress(FProgress, FLockerFile, FReader.Consumed(), FLength);

        for (int32_t Index = 0; Index < Count; ++Index) {
            CheckCancelled(FCancel);
            const QString Stored = FReader.ReadString();
            const bool IsDir = FReader.ReadByte() != 0;
            const int32_t Attributes = FReader.ReadInt32();
            const int64_t Size = FReader.ReadInt64();
            if (Size < 0 || Size > FReader.Remaining())
                throw EKelvarnError(Translate("Invalid entry size in locker."));
            const QString Rel = CleanRelativePath(Stored);
            if (!IsSafeRelativePath(Rel))
                throw EKelvarnError(WithItem(
                    Translate("The locker holds a path that would lead outside the destination folder."), Stored));
            const QString LocalRel = StoredPathToLocal(Rel);
            const QString Target = TargetFor(LocalRel);
            NotifyProgressThrottled(FProgress, Target, FReader.Consumed(), FLength, FLastTick, FLastDone);
            if (IsDir) {
                EnsureRelativeFolder(LocalRel);
            } else {
                const qsizetype Slash = LocalRel.lastIndexOf(QLatin1Char('/'));
                if (Slash > 0)
                    EnsureRelativeFolder(LocalRel.left(Slash));
                WriteFile(Target, Attributes, Size);
            }
        }
        NotifyProgress(FProgress, FLockerFile, FLength, FLength);
    }

private:
    QString TargetFor(const QString& LocalRel) const {
        if (!LocalRel.isEmpty())
            return FBase + QLatin1Char('/') + LocalRel;
        return FRootIsFolder ? FBase : FBase + QLatin1Char('/') + FRootName;
    }

    // A folder already there is reused; anything else there (a file, or a link that could lead
    // elsewhere) stops the extraction rather than be written through.
    void EnsureFolder(const QString& Full) {
        if (DirectoryExists(Full))
            return;
        if (PathExists(Full))
            throw EKelvarnError(WithItem(
                Translate("An existing item that is not a folder is in the way of a folder from the locker."), Full));
        if (!ForceDirectories(Full) || !DirectoryExists(Full)) {
            const QString Reason = SystemErrorText(errno);
            throw EKelvarnError(WithItem(Translate("A folder could not be created."), Full + Cr + Lf + Reason));
        }
    }

    // Each folder below the base is checked once, from the top down, so no part of a target's path
    // can be a link planted to lead outside.
    void EnsureRelativeFolder(const QString& LocalRel) {
        if (LocalRel.isEmpty() || FVerified.contains(LocalRel))
            return;
        const qsizetype Slash = LocalRel.lastIndexOf(QLatin1Char('/'));
        if (Slash > 0)
            EnsureRelativeFolder(LocalRel.left(Slash));
        EnsureFolder(FBase + QLatin1Char('/') + LocalRel);
        FVerified.insert(LocalRel);
    }

    // An existing file is removed and created anew (so a read-only one is replaced too); the new
    // file is private until its data and attributes are in place.
    void CreateTarget(const QString& Target, std::optional<TFileStream>& Out) {
        try {
            Out.emplace(Target, TFileStream::TMode::CreateNew, 0600);
            return;
        } catch (const EKelvarnError&) {
            struct stat St;
            if (::lstat(QFile::encodeName(Target).constData(), &St) != 0)
                throw;
            if (S_ISDIR(St.st_mode))
                throw EKelvarnError(
                    WithItem(Translate("An existing folder is in the way of a file from the locker."), Target));
            if (St.st_dev == FLockerDev && St.st_ino == FLockerIno)
                throw EKelvarnError(WithItem(Translate("The locker cannot be extracted over itself."), Target));
            if (!DeleteFile(Target)) {
                const QString Reason = SystemErrorText(errno);
                throw EKelvarnError(
                    WithItem(Translate("An existing file could not be replaced."), Target + Cr + Lf + Reason));
            }
        }
        Out.emplace(Target, TFileStream::TMode::CreateNew, 0600);
    }

    void WriteFile(const QString& Target, int32_t Attributes, int64_t Size) {
        std::optional<TFileStream> Out;
        CreateTarget(Target, Out);
        int64_t Remaining = Size;
        while (Remaining > 0) {
            CheckCancelled(FCancel);
            int Got = 0;
            const char* Data = FReader.Next(Remaining, Got);
            Out->WriteBuffer(Data, Got);
            Remaining -= Got;
            NotifyProgressThrottled(FProgress, Target, FReader.Consumed(), FLength, FLastTick, FLastDone);
        }
        ApplyRestoredMode(Out->Handle(), Attributes);
        Out->Close();
    }

    // The file was created anew, so it carries no system attribute and is hidden only by its own
    // name or by a ".hidden" list that is part of the restored data; only the permissions remain.
    // They are set on the open file, masked to 0777 (never set-id or sticky), read-only winning.
    static void ApplyRestoredMode(int Fd, int32_t Attributes) {
        const uint32_t Bits = static_cast<uint32_t>(Attributes);
        mode_t Mode = static_cast<mode_t>((Bits >> Attr::PermShift) & 0777);
        if (Mode == 0)
            Mode = 0600; // written without permission bits: keep the private default
        if (Bits & Attr::ReadOnly)
            Mode &= ~static_cast<mode_t>(0222);
        else
            Mode |= S_IWUSR;
        (void)::fchmod(Fd, Mode);
    }

    TPayloadReader& FReader;
    QString FLockerFile;
    const TLockerProgressProc& FProgress;
    const TLockerCancelFunc& FCancel;
    int64_t FLength;
    QString FRootName;
    bool FRootIsFolder = false;
    QString FBase;
    QSet<QString> FVerified;
    dev_t FLockerDev = 0;
    ino_t FLockerIno = 0;
    uint64_t FLastTick = 0;
    int64_t FLastDone = -1;
};

bool LockerFileExists(const QString& Path) {
    // A link to a locker may be read through: reading never writes where it leads.
    return !Path.isEmpty() && QFileInfo(Path).isFile();
}

} // namespace

TLockerResult ExtractLocker(const QString& LockerFile, const QString& DestFolder, const QString& Secret,
                            const TLockerProgressProc& Progress, const TLockerCancelFunc& Cancel) {
    TLockerResult Result;
    if (!LockerFileExists(LockerFile)) {
        Result.MessageText = Translate("Locker file does not exist.");
        return Result;
    }
    if (DestFolder.isEmpty()) {
        Result.MessageText = Translate("The destination folder cannot be empty.");
        return Result;
    }
    // An error opening the locker reaches the caller as an error.
    TFileStream Stream(LockerFile, TFileStream::TMode::OpenReadShared);
    try {
        const THeader Header = ReadHeader(Stream, true);
        TSecretBytes Master(OpenSlot(Stream, Header, Header.Password, Secret));
        if (Master.Bytes.isEmpty()) {
            Master.Bytes = OpenSlot(Stream, Header, Header.Recovery, Secret);
            if (Master.Bytes.isEmpty()) {
                Result.MessageText = Translate("Invalid password or recovery code.");
                return Result;
            }
            Result.RecoveryCode = Secret;
        }
        // Nothing has been written below the destination until here.
        Stream.Seek(Header.PayloadStart);
        TSecretBytes EncKey(DeriveEncryptionKey(Master.Bytes));
        TAesCtrTransform Transform(EncKey.Bytes, Header.Nonce);
        const int Capacity =
            static_cast<int>(std::min<int64_t>(LockerFormat::CopyBufferSize, std::max<int64_t>(Header.Length, 1)));
        QByteArray Buffer(Capacity, Qt::Uninitialized);
        TPayloadReader Reader(Stream, Transform, Header.Length, Buffer.data(), Capacity);
        TExtractor Extractor(Stream, Reader, LockerFile, Progress, Cancel, Header.Length);
        Extractor.Run(DestFolder);
        Result.Success = true;
        Result.MessageText = Translate("Locker extracted successfully.");
    } catch (const EKelvarnError& Error) {
        Result.MessageText = Error.Message();
    } catch (const std::bad_alloc&) {
        Result.MessageText = QStringLiteral("Out of memory");
    } catch (const std::exception& Error) {
        Result.MessageText = QString::fromLocal8Bit(Error.what());
    }
    return Result;
}

bool VerifyLocker(const QString& LockerFile, const QString& Password, QString& Message) {
    Message.clear();
    try {
        if (!LockerFileExists(LockerFile)) {
            Message = Translate("Locker file does not exist.");
            return false;
        }
        TFileStream Stream(LockerFile, TFileStream::TMode::OpenReadShared);
        const THeader Header = ReadHeader(Stream, false);
        TSecretBytes Master(OpenSlot(Stream, Header, Header.Password, Password));
        if (Master.Bytes.isEmpty()) {
            Message = Translate("Locker verification failed (MAC mismatch).");
            return false;
        }
        Stream.Seek(Header.PayloadStart);
        TSecretBytes EncKey(DeriveEncryptionKey(Master.Bytes));
        TAesCtrTransform Transform(EncKey.Bytes, Header.Nonce);
        const int Capacity = static_cast<int>(std::min<int64_t>(VerifyBufferSize, std::max<int64_t>(Header.Length, 1)));
        QByteArray Buffer(Capacity, Qt::Uninitialized);
        TPayloadReader Reader(Stream, Transform, Header.Length, Buffer.data(), Capacity);
        const QString RootName = Reader.ReadString();
        (void)Reader.ReadByte();
        const int32_t Count = Reader.ReadInt32();
        if (RootName.isEmpty()) {
            Message = Translate("Locker verification failed (empty root name).");
            return false;
        }
        if (Count < 0) {
            Message = Translate("Locker verification failed (invalid entry count).");
            return false;
        }
        if (!IsSafeRootName(RootName)) {
            Message = WithItem(Translate("The locker holds an invalid name for the item it contains."), RootName);
            return false;
        }
        return true;
    } catch (const EKelvarnError& Error) {
        Message = Error.Message();
    } catch (const std::bad_alloc&) {
        Message = QStringLiteral("Out of memory");
    } catch (const std::exception& Error) {
        Message = QString::fromLocal8Bit(Error.what());
    } catch (...) {
        Message = QStringLiteral("Unknown error");
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
