#pragma once

// What the opening, extraction, placement and follower code of the reader share: the header read
// with its bounds, the slots, the authenticated pass, the checks of the payload's first fields, and
// the state of a staging extraction. Internal to the engine.
#include "locker/uLocker.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "translation/translation.h"
#include "crypto/uSecurityUtils.h"
#include "locker/uSideBySide.h"
#include "crypto/uTextField.h"

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

namespace LockerReading {

inline constexpr QChar Cr = QLatin1Char('\r');
inline constexpr int64_t WriteBackMinimum = 128 * 1024;
inline constexpr QChar Lf = QLatin1Char('\n');

// The clear header, with a payload that fits in the file: a longer one fails now rather than after
// a key derivation.
inline TLockerHeader ReadHeader(TFileStream& Stream) {
    TLockerHeader Header = ReadLockerHeader(Stream);
    if (Header.Length > Stream.Size() - Header.PayloadStart)
        throw EKelvarnError(QStringLiteral("Stream read error"));
    return Header;
}

// The master key a slot yields for Secret; whether it is the right one only the payload MAC tells.
inline QByteArray UnwrapSlot(const TLockerSlot& Slot, const QString& Secret) {
    if (Slot.Iterations > LockerFormat::MaxIterations)
        throw EKelvarnError(Translate("Unsupported key derivation cost."));
    TSecretBytes SlotKey(Pbkdf2Sha256(Secret, Slot.Salt, Slot.Iterations, LockerFormat::KeySize));
    return XorBytes(Slot.Wrapped, SlotKey.Value);
}

inline QString BadRootNameMessage(const QString& Name) {
    return WithItem(Translate("The locker holds an invalid name for the item it contains."), PrintableName(Name));
}

inline QString TooLongMessage() {
    return Translate("The locker holds a name or path that is too long or too deeply nested.");
}

inline QString SingleFileMessage() {
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
inline bool PreludeLooksSound(TFileStream& Stream, const TLockerHeader& Header, const QByteArray& Master) {
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
inline QString StructureProblem(TPayloadReader& Reader) {
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

inline int PassCapacity(int64_t Length) {
    return static_cast<int>(std::min<int64_t>(LockerFormat::CopyBufferSize, std::max<int64_t>(Length, 1)));
}

inline bool LockerFileExists(const QString& Path) {
    // A link to a locker may be read through: reading never writes where it leads.
    return !Path.isEmpty() && QFileInfo(Path).isFile();
}

inline QStringList ComponentsOf(const QString& Cleaned) {
    return Cleaned.isEmpty() ? QStringList() : Cleaned.split(LockerFormat::StoredSeparator);
}

inline QString JoinLocal(const QStringList& Parts) {
    return Parts.join(QLatin1Char('/'));
}

} // namespace LockerReading

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
