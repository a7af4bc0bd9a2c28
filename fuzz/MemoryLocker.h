#pragma once

#include "locker/uLockerFormat.h"
#include "locker/uLockerNames.h"
#include "locker/uLockerPayload.h"
#include "locker/uLockerReading.h"

#include "platform/KelvarnError.h"
#include "crypto/uCryptoProvider.h"
#include "crypto/uSecurityUtils.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdlib>

// A locker opened and its payload decoded entirely in memory, with the engine's own codec: what the
// fuzz targets run, so that no input costs a file.

namespace MemoryLocker {

inline void Require(bool Condition) {
    if (!Condition)
        std::abort();
}

struct TDecoded {
    TPayloadPrelude Prelude;
    QList<TEntryRecord> Records;
    QList<QByteArrayView> Data;
    QString Problem; // empty when the payload is accepted
};

// Decodes Plaintext as the extraction does, and holds what it accepts to the codec's promises.
inline TDecoded DecodePayload(QByteArrayView Plaintext) {
    TDecoded Out;
    TBufferSource Source(Plaintext);
    try {
        Out.Problem = TPayloadPrelude::Read(Source, Out.Prelude);
        for (int32_t Index = 0; Out.Problem.isEmpty() && Index < Out.Prelude.Count; ++Index) {
            TEntryRecord Record;
            Out.Problem = TEntryRecord::Read(Source, Out.Prelude, Record);
            if (!Out.Problem.isEmpty())
                break;
            Out.Data.append(Source.Take(Record.Size));
            Out.Records.append(Record);
        }
        if (Out.Problem.isEmpty())
            Out.Problem = PayloadEndProblem(Out.Prelude, Source.Remaining());
    } catch (const EKelvarnError& Error) {
        Out.Problem = Error.Message();
        Require(!Out.Problem.isEmpty());
        return Out;
    }
    if (!Out.Problem.isEmpty())
        return Out;

    // Accepted: every name is one the writer could have stored, and stored again it reads the same.
    Require(IsSafeRootName(Out.Prelude.RootName));
    Require(Out.Prelude.RootIsFolder || Out.Records.size() == 1);
    TBufferSink Sink;
    Out.Prelude.Put(Sink);
    for (const TEntryRecord& Record : Out.Records) {
        Require(IsSafeRelativePath(Record.Path) && IsWithinPathBounds(Out.Prelude.RootName, Record.Path));
        Require(!Record.Path.contains(QLatin1Char('/')));
        Require(Out.Prelude.RootIsFolder || (!Record.IsDir && Record.Path == Out.Prelude.RootName));
        Record.Put(Sink);
    }
    TBufferSource Again(Sink.Bytes());
    TPayloadPrelude Prelude;
    Require(TPayloadPrelude::Read(Again, Prelude).isEmpty());
    Require(Prelude.RootName == Out.Prelude.RootName && Prelude.Count == Out.Prelude.Count);
    for (const TEntryRecord& Record : Out.Records) {
        TEntryRecord Read;
        // The data is not in the re-encoding, so a file's size is judged against nothing here.
        const QString Problem = TEntryRecord::Read(Again, Prelude, Read);
        Require(Read.Stored == Record.Stored && Read.IsDir == Record.IsDir && Read.Attributes == Record.Attributes);
        Require(Problem.isEmpty() || (!Record.IsDir && Record.Size > 0));
        if (!Problem.isEmpty())
            break;
    }
    return Out;
}

// The payload of Locker decrypted with Secret, when a slot opens and the MAC agrees; empty with
// Problem set otherwise. Slots that cost more than MaxIterations are not tried: deriving with them
// only slows the fuzzer, and the corpus test covers them.
inline QByteArray OpenLocker(QByteArrayView Locker, const QString& Secret, QString& Problem, int MaxIterations) {
    TLockerHeader Header;
    try {
        Header = ParseLockerHeader(Locker.first(std::min<qsizetype>(Locker.size(), LockerFormat::PayloadStart)));
    } catch (const EKelvarnError& Error) {
        Problem = Error.Message();
        return QByteArray();
    }
    if (Header.Length > Locker.size() - Header.PayloadStart) {
        Problem = QStringLiteral("Stream read error");
        return QByteArray();
    }
    const QByteArrayView Stored = Locker.sliced(Header.PayloadStart, static_cast<qsizetype>(Header.Length));
    for (const TLockerSlot* Slot : {&Header.Password, &Header.Recovery}) {
        if (Slot->Iterations < 1 || Slot->Iterations > MaxIterations)
            continue;
        TSecretBytes Master(LockerReading::UnwrapSlot(*Slot, Secret));
        THmacSha256 Mac(DeriveMacKey(Master.Value));
        Mac.UpdateBytes(Header.Nonce);
        Mac.Update(Stored.data(), static_cast<int>(Stored.size()));
        if (!ConstantTimeEquals(Mac.FinalBytes(), Header.StoredMac))
            continue;
        QByteArray Plain = Stored.toByteArray();
        TAesCtrTransform Transform(DeriveEncryptionKey(Master.Value), Header.Nonce);
        if (!Plain.isEmpty())
            Transform.Transform(Plain.data(), static_cast<int>(Plain.size()));
        return Plain;
    }
    Problem = QStringLiteral("wrong secret or damaged");
    return QByteArray();
}

} // namespace MemoryLocker
