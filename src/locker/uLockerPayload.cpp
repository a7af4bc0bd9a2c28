#include "locker/uLockerPayload.h"
#include "locker/uLockerNames.h"

#include "platform/KelvarnError.h"
#include "translation/translation.h"
#include "crypto/uTextField.h"

#include <QtEndian>

namespace {

[[noreturn]] void RaiseStreamRead() {
    throw EKelvarnError(QStringLiteral("Stream read error"));
}

QString OutsideMessage() {
    return Translate("The locker holds a path that would lead outside the destination folder.");
}

} // namespace

QString BadRootNameMessage(const QString& Name) {
    return WithItem(Translate("The locker holds an invalid name for the item it contains."), PrintableName(Name));
}

QString TooLongMessage() {
    return Translate("The locker holds a name or path that is too long or too deeply nested.");
}

QString SingleFileMessage() {
    return Translate("A locker of a single file must hold exactly that file, under its own name.");
}

// ---- TBufferSource, TBufferSink ----

QByteArrayView TBufferSource::Take(int64_t Count) {
    if (Count < 0 || Count > Remaining())
        RaiseStreamRead();
    const QByteArrayView Piece = FBytes.sliced(FPos, static_cast<qsizetype>(Count));
    FPos += static_cast<qsizetype>(Count);
    return Piece;
}

uint8_t TBufferSource::ReadByte() {
    return static_cast<uint8_t>(Take(1)[0]);
}

int32_t TBufferSource::ReadInt32() {
    return qFromLittleEndian<qint32>(Take(4).data());
}

int64_t TBufferSource::ReadInt64() {
    return qFromLittleEndian<qint64>(Take(8).data());
}

QString TBufferSource::ReadString(int32_t MaxBytes, const QString& Refusal) {
    const int32_t Count = ReadInt32();
    const QString Damaged = QStringLiteral("Invalid encrypted string length.");
    TextField::CheckCount(Count, Remaining(), Damaged, Damaged);
    if (Count > MaxBytes)
        throw EKelvarnError(Refusal);
    return TextField::Decode(Take(Count).data(), Count);
}

void TBufferSink::PutByte(uint8_t Value) {
    FBytes.append(static_cast<char>(Value));
}

void TBufferSink::PutInt32(int32_t Value) {
    char Bytes[4];
    qToLittleEndian<qint32>(Value, Bytes);
    FBytes.append(Bytes, 4);
}

void TBufferSink::PutInt64(int64_t Value) {
    char Bytes[8];
    qToLittleEndian<qint64>(Value, Bytes);
    FBytes.append(Bytes, 8);
}

void TBufferSink::PutBytes(const void* Data, int64_t Count) {
    if (Count > 0)
        FBytes.append(static_cast<const char*>(Data), static_cast<qsizetype>(Count));
}

void TBufferSink::PutString(const QString& Text) {
    FBytes.append(TextField::Encode(Text));
}

// ---- the records ----

QString TPayloadPrelude::Read(TFieldSource& Source, TPayloadPrelude& Out, TPayloadWording Wording) {
    Out.RootName = Source.ReadString(LockerFormat::MaxNameBytes, TooLongMessage());
    Out.RootIsFolder = Source.ReadByte() != 0;
    Out.Count = Source.ReadInt32();
    if (Wording == TPayloadWording::Verifying) {
        if (Out.RootName.isEmpty())
            return Translate("Locker verification failed (empty root name).");
        if (Out.Count < 0)
            return Translate("Locker verification failed (invalid entry count).");
    }
    if (Out.Count < 0)
        return Translate("Invalid locker entry count.");
    if (!IsSafeRootName(Out.RootName))
        return BadRootNameMessage(Out.RootName);
    // Stored bytes that are not UTF-8 come back longer once the name is made.
    if (!IsWithinPathBounds(Out.RootName, QString()))
        return TooLongMessage();
    if (!Out.RootIsFolder && Out.Count != 1)
        return WithItem(SingleFileMessage(), PrintableName(Out.RootName));
    return QString();
}

void TPayloadPrelude::Put(TFieldSink& Sink) const {
    Sink.PutString(RootName);
    Sink.PutByte(RootIsFolder ? 1 : 0);
    Sink.PutInt32(Count);
}

int64_t TPayloadPrelude::Size() const {
    return TextField::Size(RootName) + 5;
}

QString TEntryRecord::Read(TFieldSource& Source, const TPayloadPrelude& Prelude, TEntryRecord& Out) {
    Out.Stored = Source.ReadString(LockerFormat::MaxPathBytes, TooLongMessage());
    Out.IsDir = Source.ReadByte() != 0;
    Out.Attributes = Source.ReadInt32();
    Out.Size = Source.ReadInt64();
    if (Out.Size < 0 || Out.Size > Source.Remaining())
        return Translate("Invalid entry size in locker.");
    Out.Path = CleanRelativePath(Out.Stored);
    if (!IsSafeRelativePath(Out.Path))
        return WithItem(OutsideMessage(), PrintableName(Out.Stored));
    if (!IsWithinPathBounds(Prelude.RootName, Out.Path))
        return WithItem(TooLongMessage(), PrintableName(Out.Stored));
    if (!Prelude.RootIsFolder && (Out.IsDir || Out.Path != Prelude.RootName))
        return WithItem(SingleFileMessage(), PrintableName(Out.Stored));
    return QString();
}

TEntryRecord TEntryRecord::Of(const TEntryInfo& Entry) {
    TEntryRecord Record;
    Record.Stored = Entry.RelativePath;
    Record.IsDir = Entry.IsDir;
    Record.Attributes = Entry.Attr;
    Record.Size = Entry.IsDir ? 0 : Entry.Size;
    return Record;
}

int64_t TEntryRecord::RecordBytes() const {
    return TextField::Size(Stored) + 13;
}

int64_t EntryRecordSize(const TEntryInfo& Entry) {
    return TEntryRecord::Of(Entry).RecordBytes();
}

int64_t PayloadSize(const QString& RootName, const QList<TEntryInfo>& Entries) {
    int64_t Size = TPayloadPrelude{RootName, false, 0}.Size();
    for (const TEntryInfo& Entry : Entries) {
        const TEntryRecord Record = TEntryRecord::Of(Entry);
        Size += Record.RecordBytes() + Record.Size;
    }
    return Size;
}

void TEntryRecord::Put(TFieldSink& Sink) const {
    Sink.PutString(Stored);
    Sink.PutByte(IsDir ? 1 : 0);
    Sink.PutInt32(Attributes);
    Sink.PutInt64(IsDir ? 0 : Size);
}

QString PayloadEndProblem(const TPayloadPrelude& Prelude, int64_t Remaining) {
    if (!Prelude.RootIsFolder && Remaining != 0)
        return WithItem(SingleFileMessage(), PrintableName(Prelude.RootName));
    return QString();
}
