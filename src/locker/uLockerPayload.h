#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>

struct TEntryInfo;

// The plaintext payload's layout, in one place: a prelude (root name, whether it is a folder, the
// entry count), then per entry a record (stored path, kind, attributes, size) followed by the file's
// bytes. Every integer is little-endian; every text is a TextField. The reader checks here everything
// a hostile locker could get wrong; the writer never puts what the reader would refuse.

// Where the fields come from: the decrypting reader of a locker, or bytes in memory.
class TFieldSource {
public:
    virtual ~TFieldSource() = default;
    // Each raises "Stream read error" when the payload ends first.
    virtual uint8_t ReadByte() = 0;
    virtual int32_t ReadInt32() = 0;
    virtual int64_t ReadInt64() = 0;
    // A count that is negative or beyond the payload raises "Invalid encrypted string length."; one
    // above MaxBytes raises Refusal, before the text is read.
    virtual QString ReadString(int32_t MaxBytes, const QString& Refusal) = 0;
    // Payload bytes not read yet.
    virtual int64_t Remaining() const = 0;
};

// Where the fields go: the encrypting writer of a locker, or bytes in memory.
class TFieldSink {
public:
    virtual ~TFieldSink() = default;
    virtual void PutByte(uint8_t Value) = 0;
    virtual void PutInt32(int32_t Value) = 0;
    virtual void PutInt64(int64_t Value) = 0;
    virtual void PutBytes(const void* Data, int64_t Count) = 0;
    virtual void PutString(const QString& Text) = 0;
};

// A payload held in memory, for tests, fuzzing and the first fields read ahead of the slots.
class TBufferSource final : public TFieldSource {
public:
    explicit TBufferSource(QByteArrayView Bytes) : FBytes(Bytes) {}
    uint8_t ReadByte() override;
    int32_t ReadInt32() override;
    int64_t ReadInt64() override;
    QString ReadString(int32_t MaxBytes, const QString& Refusal) override;
    int64_t Remaining() const override { return FBytes.size() - FPos; }
    // The next Count bytes, as they stand; raises "Stream read error" beyond the end.
    QByteArrayView Take(int64_t Count);

private:
    QByteArrayView FBytes;
    qsizetype FPos = 0;
};

class TBufferSink final : public TFieldSink {
public:
    void PutByte(uint8_t Value) override;
    void PutInt32(int32_t Value) override;
    void PutInt64(int64_t Value) override;
    void PutBytes(const void* Data, int64_t Count) override;
    void PutString(const QString& Text) override;
    const QByteArray& Bytes() const { return FBytes; }

private:
    QByteArray FBytes;
};

// Which caller's words a refusal is put in: verification names two faults of the prelude in its own
// terms, which users and scripts already know.
enum class TPayloadWording { Extracting, Verifying };

struct TPayloadPrelude {
    QString RootName;
    bool RootIsFolder = false;
    int32_t Count = 0;

    // Reads the prelude into Out; returns why it is refused, empty when it is sound: a safe root
    // name, a count that is not negative, and exactly one entry for a single file. Read errors and a
    // name over NAME_MAX raise.
    static QString Read(TFieldSource& Source, TPayloadPrelude& Out,
                        TPayloadWording Wording = TPayloadWording::Extracting);
    void Put(TFieldSink& Sink) const;
    int64_t Size() const;
};

struct TEntryRecord {
    QString Stored; // as the locker holds it
    QString Path;   // cleaned (see CleanRelativePath); set by Read
    bool IsDir = false;
    int32_t Attributes = 0;
    int64_t Size = 0; // 0 for a folder

    // Reads one record of the payload Prelude begins; returns why it is refused, empty when it is
    // sound: a size within the rest of the payload, a path that stays below the root and within the
    // system's bounds, and for a single file that file under the root's name. Read errors and a path
    // over PATH_MAX bytes raise.
    static QString Read(TFieldSource& Source, const TPayloadPrelude& Prelude, TEntryRecord& Out);
    // The record the writer stores for Entry.
    static TEntryRecord Of(const TEntryInfo& Entry);
    void Put(TFieldSink& Sink) const;
    // The record's own bytes, without the data that follows it.
    int64_t RecordBytes() const;
};

// Sizes of the plaintext payload, for progress and for the stored length.
int64_t EntryRecordSize(const TEntryInfo& Entry);
int64_t PayloadSize(const QString& RootName, const QList<TEntryInfo>& Entries);

// After the last entry and its bytes, with Remaining payload bytes left: why that is refused, or
// empty. A single file's payload ends with its data; a folder's may carry more, which is ignored.
QString PayloadEndProblem(const TPayloadPrelude& Prelude, int64_t Remaining);

// The refusals, shared with the code that places entries.
QString BadRootNameMessage(const QString& Name);
QString TooLongMessage();
QString SingleFileMessage();
