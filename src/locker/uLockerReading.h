#pragma once

// What the opening, extraction, placement and follower code of the reader share: the header read
// with its bounds, the slots, the authenticated pass, the checks of the payload's first fields, and
// the state of a staging extraction. Internal to the engine.
#include "locker/uLocker.h"
#include "locker/uLockerPayload.h"
#include "locker/uLockerPipelines.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "translation/translation.h"
#include "crypto/uSecurityUtils.h"
#include "platform/PlatformThreads.h"
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
    QByteArray Bytes(static_cast<qsizetype>(Wanted), Qt::Uninitialized);
    Stream.Seek(Header.PayloadStart);
    Stream.ReadBuffer(Bytes.data(), Wanted);
    const TSecretBytes EncKey(DeriveEncryptionKey(Master));
    TAesCtrTransform Transform(EncKey.Value, Header.Nonce);
    Transform.Transform(Bytes.data(), static_cast<int>(Wanted));
    TBufferSource Source(Bytes);
    TPayloadPrelude Prelude;
    bool Sound = false;
    try {
        Sound = TPayloadPrelude::Read(Source, Prelude).isEmpty();
    } catch (const EKelvarnError&) {
    }
    WipeBytes(Bytes);
    return Sound;
}

// What VerifyLocker finds wrong in the first fields of a payload, read from its start; empty when
// they are sound. A single file's locker is checked to its end: one entry, the file, under its name.
inline QString StructureProblem(TPayloadReader& Reader) {
    try {
        TPayloadPrelude Prelude;
        QString Problem = TPayloadPrelude::Read(Reader, Prelude, TPayloadWording::Verifying);
        if (!Problem.isEmpty() || Prelude.RootIsFolder)
            return Problem;
        TEntryRecord Record;
        if (!TEntryRecord::Read(Reader, Prelude, Record).isEmpty() ||
            !PayloadEndProblem(Prelude, Reader.Remaining() - Record.Size).isEmpty())
            return WithItem(SingleFileMessage(), PrintableName(Prelude.RootName));
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
