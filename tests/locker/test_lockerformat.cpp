#include "platform/KelvarnError.h"
#include "TestHex.h"
#include "FieldCodec.h"
#include "locker/uLockerNames.h"
#include "locker/uLockerModes.h"
#include "locker/uLockerPayload.h"
#include "locker/uLockerPipelines.h"
#include "crypto/uSecurityUtils.h"

#include <QTest>

#include <algorithm>
#include <functional>
#include <sys/stat.h>

namespace {

const QByteArray Key = Hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const QByteArray NonceBytes = Hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");

QString RaisedMessage(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const EKelvarnError& Error) {
        return Error.Message();
    }
    return QString();
}

// The fields of a small payload written through the one-field-at-a-time encodings.
void WriteFieldByField(TFileStream& Stream, THmacSha256& Mac, TAesCtrTransform& Transform, const QByteArray& Data) {
    EncWriteString(Stream, Mac, Transform, QStringLiteral("Wörter"));
    EncWriteByte(Stream, Mac, Transform, 1);
    EncWriteInt32(Stream, Mac, Transform, -2);
    EncWriteInt64(Stream, Mac, Transform, Data.size());
    QByteArray Copy = Data;
    EncWriteBuffer(Stream, Mac, Transform, Copy.data(), static_cast<int>(Copy.size()));
    EncWriteString(Stream, Mac, Transform, QString());
}

// Reads those fields back through any source; the file data comes through TakeData.
void ReadFieldByField(TFieldSource& Source, const QByteArray& Data,
                      const std::function<QByteArray(int64_t Count)>& TakeData) {
    // A text of exactly MaxBytes is still read.
    const QString Name = QStringLiteral("Wörter");
    QCOMPARE(Source.ReadString(static_cast<int32_t>(Utf8FieldSize(Name) - 4), QString()), Name);
    QCOMPARE(Source.ReadByte(), uint8_t(1));
    QCOMPARE(Source.ReadInt32(), -2);
    QCOMPARE(Source.ReadInt64(), int64_t(Data.size()));
    QCOMPARE(TakeData(Data.size()), Data);
    QCOMPARE(Source.ReadString(0, QString()), QString());
    QCOMPARE(Source.Remaining(), int64_t(0));
    QCOMPARE(RaisedMessage([&] { Source.ReadByte(); }), QStringLiteral("Stream read error"));
}

// What the reference writes, as bytes.
QByteArray Written(const std::function<void(TFileStream&)>& Write) {
    const auto File = MemoryFile();
    Write(*File);
    return StreamBytes(*File);
}

QByteArray PlainPrelude(const QString& Root, bool Folder, int32_t Count) {
    return Written([&](TFileStream& Out) {
        WritePlainString(Out, Root);
        WriteRawBytes(Out, QByteArray(1, Folder ? '\1' : '\0'));
        WriteInt32(Out, Count);
    });
}

QByteArray PlainRecord(const QString& Stored, bool IsDir, int32_t Attributes, int64_t Size) {
    return Written([&](TFileStream& Out) {
        WritePlainString(Out, Stored);
        WriteRawBytes(Out, QByteArray(1, IsDir ? '\1' : '\0'));
        WriteInt32(Out, Attributes);
        WriteInt64(Out, Size);
    });
}

// Plain encrypted by the reference under Key and NonceBytes, as a locker's payload is.
std::unique_ptr<TFileStream> EncryptedFile(QByteArray Plain) {
    auto File = MemoryFile();
    THmacSha256 Mac(Key);
    TAesCtrTransform Transform(Key, NonceBytes);
    EncWriteBuffer(*File, Mac, Transform, Plain.data(), static_cast<int>(Plain.size()));
    File->Seek(0);
    return File;
}

// Why the prelude or, when it has entries, the first record is refused: the refusal returned or
// the error raised; empty when both are sound.
QString FirstProblem(TFieldSource& Source, TPayloadWording Wording) {
    try {
        TPayloadPrelude Prelude;
        const QString Problem = TPayloadPrelude::Read(Source, Prelude, Wording);
        if (!Problem.isEmpty() || Prelude.Count == 0)
            return Problem;
        TEntryRecord Record;
        return TEntryRecord::Read(Source, Prelude, Record);
    } catch (const EKelvarnError& Error) {
        return Error.Message();
    }
}

// Bytes that tell by their value where they sit, so that a field taken from the wrong place shows.
QByteArray Counting(int First, int Count) {
    QByteArray Bytes(Count, Qt::Uninitialized);
    for (int I = 0; I < Count; ++I)
        Bytes[I] = static_cast<char>(First + I);
    return Bytes;
}

TLockerSlot SlotOf(int First, int32_t Iterations) {
    return {Iterations, Counting(First, LockerFormat::SaltSize),
            Counting(First + LockerFormat::SaltSize, LockerFormat::KeySize)};
}

bool SameSlot(const TLockerSlot& A, const TLockerSlot& B) {
    return A.Iterations == B.Iterations && A.Salt == B.Salt && A.Wrapped == B.Wrapped;
}

QByteArray Patched(QByteArray Bytes, qsizetype At, const QByteArray& With) {
    return Bytes.replace(At, With.size(), With);
}

} // namespace

class TestLockerFormat : public QObject {
    Q_OBJECT

private slots:
    void cleanRelativePath_data() {
        QTest::addColumn<QString>("Input");
        QTest::addColumn<QString>("Expected");
        QTest::newRow("slashes") << "/a/b"
                                 << "a\\b";
        QTest::newRow("parent prefixes") << "..\\..\\x"
                                         << "x";
        QTest::newRow("separator then parent") << "\\..\\x"
                                               << "x";
        QTest::newRow("lone dotdot") << ".."
                                     << "";
        QTest::newRow("inner dotdot kept") << "a\\..\\b"
                                           << "a\\..\\b";
        QTest::newRow("three dots kept") << "...\\x"
                                         << "...\\x";
        QTest::newRow("separator after prefix kept") << "..\\\\x"
                                                     << "\\x";
        QTest::newRow("many leading separators") << "\\/\\x"
                                                 << "x";
        QTest::newRow("dotdot slash") << "../x"
                                      << "x";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("plain") << "name"
                               << "name";
    }
    void cleanRelativePath() {
        QFETCH(QString, Input);
        QFETCH(QString, Expected);
        QCOMPARE(CleanRelativePath(Input), Expected);
    }

    void safeNames_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<bool>("Root");
        QTest::addColumn<bool>("Relative");
        QTest::newRow("plain") << "a" << true << true;
        QTest::newRow("nested") << "a\\b" << false << true;
        QTest::newRow("empty") << "" << false << true;
        QTest::newRow("dot") << "." << false << false;
        QTest::newRow("dotdot") << ".." << false << false;
        QTest::newRow("inner dotdot") << "a\\..\\b" << false << false;
        QTest::newRow("leading separator") << "\\x" << false << false;
        QTest::newRow("empty component") << "a\\\\b" << false << false;
        QTest::newRow("drive") << "C:\\x" << false << false;
        QTest::newRow("drive relative") << "c:x" << false << false;
        QTest::newRow("colon later") << "ab:c" << true << true;
        QTest::newRow("digit colon") << "1:x" << true << true;
        QTest::newRow("slash") << "a/b" << false << false;
        QTest::newRow("nul") << QString("a") + QChar(0) << false << false;
        QTest::newRow("dots in name") << "...x" << true << true;
        QTest::newRow("hidden") << ".config" << true << true;
    }
    void safeNames() {
        QFETCH(QString, Name);
        QFETCH(bool, Root);
        QFETCH(bool, Relative);
        QCOMPARE(IsSafeRootName(Name), Root);
        QCOMPARE(IsSafeRelativePath(Name), Relative);
    }

    void sizes() {
        QCOMPARE(Utf8FieldSize(QString()), 4);
        // Four characters, seven UTF-8 bytes.
        QCOMPARE(Utf8FieldSize(QStringLiteral("Bär€")), 4 + 7);
        TEntryInfo Entry;
        Entry.RelativePath = QStringLiteral("d\\é");
        Entry.Size = 1000;
        QCOMPARE(EntryRecordSize(Entry), 4 + 4 + 13);
        TEntryInfo Folder;
        Folder.RelativePath = QStringLiteral("d");
        Folder.IsDir = true;
        QCOMPARE(PayloadSize(QStringLiteral("root"), {Folder, Entry}),
                 (4 + 4) + 5 + (4 + 1 + 13) + (4 + 4 + 13) + 1000);
        QCOMPARE(PayloadSize(QStringLiteral("root"), {}), 4 + 4 + 5);
    }

    void clearEncodings() {
        const auto Out = MemoryFile();
        WritePlainString(*Out, QStringLiteral("Ünï"));
        WriteInt32(*Out, -2);
        WriteInt64(*Out, 0x0102030405060708LL);
        WriteRawBytes(*Out, QByteArray());
        WriteRawBytes(*Out, "xy");
        QCOMPARE(StreamBytes(*Out), Hex("05000000 c39c6ec3af feffffff 0807060504030201 7879"));
        TFileStream& In = *Out;
        In.Seek(0);
        QCOMPARE(ReadPlainString(In), QStringLiteral("Ünï"));
        QCOMPARE(ReadInt32(In), -2);
        QCOMPARE(ReadInt64(In), 0x0102030405060708LL);
        QCOMPARE(ReadRawBytes(In, 0), QByteArray());
        QCOMPARE(ReadRawBytes(In, 2), QByteArray("xy"));
        QCOMPARE(RaisedMessage([&] { ReadRawBytes(In, 1); }), QStringLiteral("Stream read error"));
    }

    void clearDecodingFailures_data() {
        QTest::addColumn<QByteArray>("Bytes");
        QTest::addColumn<QString>("Message");
        QTest::newRow("negative string") << Hex("ffffffff") + "abc"
                                         << "Invalid string length.";
        QTest::newRow("huge string") << Hex("ffffff7f") + "abc"
                                     << "Stream read error";
        QTest::newRow("short string") << Hex("05000000") + "abc"
                                      << "Stream read error";
        QTest::newRow("short count") << Hex("0500") << "Stream read error";
    }
    void clearDecodingFailures() {
        QFETCH(QByteArray, Bytes);
        QFETCH(QString, Message);
        const auto In = MemoryFile(Bytes);
        QCOMPARE(RaisedMessage([&] { ReadPlainString(*In); }), Message);
        In->Seek(0);
        QCOMPARE(RaisedMessage([&] { ReadRawBytes(*In, -1); }), QStringLiteral("Invalid byte count."));
    }

    // The staged writer must give exactly the bytes and MAC of the field-by-field encodings, however
    // the buffer splits them; the bounded reader reads them back through any buffer size, and the
    // plaintext in memory reads back the same.
    void stagedWriterMatchesFieldEncodings_data() {
        QTest::addColumn<int>("Capacity");
        QTest::newRow("one byte") << 1;
        QTest::newRow("seven bytes") << 7;
        QTest::newRow("block") << 16;
        QTest::newRow("large") << (1 << 20);
    }
    void stagedWriterMatchesFieldEncodings() {
        QFETCH(int, Capacity);
        QByteArray Data(1000, '\0');
        for (int I = 0; I < Data.size(); ++I)
            Data[I] = static_cast<char>(I * 7);

        const auto Reference = MemoryFile();
        QByteArray ReferenceMac;
        {
            THmacSha256 Mac(Key);
            TAesCtrTransform Transform(Key, NonceBytes);
            WriteFieldByField(*Reference, Mac, Transform, Data);
            ReferenceMac = Mac.FinalBytes();
        }
        const auto Staged = MemoryFile();
        QByteArray StagedMac;
        {
            THmacSha256 Mac(Key);
            TAesCtrTransform Transform(Key, NonceBytes);
            QByteArray Buffer(Capacity, '\0');
            TPayloadWriter Writer(*Staged, Mac, Transform, Buffer.data(), Capacity);
            Writer.PutString(QStringLiteral("Wörter"));
            Writer.PutByte(1);
            Writer.PutInt32(-2);
            Writer.PutInt64(Data.size());
            // File data goes straight into the staging space, as the writer copies it.
            qsizetype Done = 0;
            while (Done < Data.size()) {
                int Available = 0;
                char* Target = Writer.Space(Available);
                QVERIFY(Available > 0);
                const int N = static_cast<int>(std::min<qsizetype>(Available, Data.size() - Done));
                memcpy(Target, Data.constData() + Done, N);
                Writer.Commit(N);
                Done += N;
            }
            Writer.PutString(QString());
            Writer.Flush();
            QCOMPARE(Writer.Total(), Staged->Position());
            StagedMac = Mac.FinalBytes();
        }
        const QByteArray Bytes = StreamBytes(*Reference);
        QCOMPARE(StreamBytes(*Staged), Bytes);
        QCOMPARE(StagedMac, ReferenceMac);
        QCOMPARE(ReferenceMac, HmacSha256(Key, Bytes));

        // Read back with bytes appended after the payload: the reader stops at the payload's end.
        const auto In = MemoryFile(Bytes + QByteArray(64, 'Z'));
        TAesCtrTransform Transform(Key, NonceBytes);
        QByteArray Buffer(Capacity, '\0');
        TPayloadReader Reader(*In, Transform, Bytes.size(), Buffer.data(), Capacity);
        bool PiecesFit = true;
        ReadFieldByField(Reader, Data, [&](int64_t Count) {
            QByteArray Back;
            while (Back.size() < Count) {
                int Got = 0;
                const char* Piece = Reader.Next(Count - Back.size(), Got);
                PiecesFit = PiecesFit && Got > 0 && Got <= Capacity;
                if (Got <= 0)
                    break;
                Back.append(Piece, Got);
            }
            return Back;
        });
        QVERIFY(PiecesFit);

        QByteArray Plain = Bytes;
        TAesCtrTransform(Key, NonceBytes).Transform(Plain.data(), static_cast<int>(Plain.size()));
        TBufferSource Source(Plain);
        ReadFieldByField(Source, Data, [&](int64_t Count) { return Source.Take(Count).toByteArray(); });

        // And through the one-field-at-a-time decoders.
        TFileStream& Again = *Reference;
        Again.Seek(0);
        TAesCtrTransform Decoder(Key, NonceBytes);
        QCOMPARE(EncReadString(Again, Decoder), QStringLiteral("Wörter"));
        QCOMPARE(EncReadByte(Again, Decoder), uint8_t(1));
        QCOMPARE(EncReadInt32(Again, Decoder), -2);
        QCOMPARE(EncReadInt64(Again, Decoder), int64_t(Data.size()));
        QByteArray Decoded(Data.size(), '\0');
        EncReadBuffer(Again, Decoder, Decoded.data(), static_cast<int>(Decoded.size()));
        QCOMPARE(Decoded, Data);
        QCOMPARE(EncReadString(Again, Decoder), QString());
    }

    void emptyStringIsOnlyItsCount() {
        const auto Out = MemoryFile();
        THmacSha256 Mac(Key);
        TAesCtrTransform Transform(Key, NonceBytes);
        EncWriteString(*Out, Mac, Transform, QString());
        QCOMPARE(Out->Position(), int64_t(4));
        QCOMPARE(Out->Size(), int64_t(4));
    }

    // Hostile string lengths fail before memory is reserved for them.
    void encryptedStringLengths_data() {
        QTest::addColumn<int32_t>("Count");
        QTest::newRow("negative") << -1;
        QTest::newRow("beyond payload") << 100;
        QTest::newRow("huge") << 0x7FFFFFFF;
    }
    void encryptedStringLengths() {
        QFETCH(int32_t, Count);
        const auto In = MemoryFile();
        {
            THmacSha256 Mac(Key);
            TAesCtrTransform Transform(Key, NonceBytes);
            EncWriteInt32(*In, Mac, Transform, Count);
            QByteArray Tail(50, 'a');
            EncWriteBuffer(*In, Mac, Transform, Tail.data(), static_cast<int>(Tail.size()));
        }
        In->Seek(0);
        TAesCtrTransform Transform(Key, NonceBytes);
        QCOMPARE(RaisedMessage([&] { EncReadString(*In, Transform); }),
                 QStringLiteral("Invalid encrypted string length."));
        In->Seek(0);
        TAesCtrTransform Decoder(Key, NonceBytes);
        QByteArray Buffer(16, '\0');
        TPayloadReader Reader(*In, Decoder, 54, Buffer.data(), 16);
        QCOMPARE(RaisedMessage([&] { Reader.ReadString(); }), QStringLiteral("Invalid encrypted string length."));
    }

    // The MAC covers the nonce, then the stored bytes in 4 MiB pieces, whatever the piece boundaries.
    void payloadMac() {
        const int Length = LockerFormat::CopyBufferSize + 5;
        QByteArray Payload(Length, '\0');
        for (int I = 0; I < Length; I += 4096)
            Payload[I] = static_cast<char>(I / 4096);
        const QByteArray Header(173, 'H');
        const auto In = MemoryFile(Header + Payload + "tail");
        QCOMPARE(ComputePayloadMac(*In, 173, Length, Key, NonceBytes), HmacSha256(Key, NonceBytes + Payload));
        QCOMPARE(ComputePayloadMac(*In, 173, 0, Key, NonceBytes), HmacSha256(Key, NonceBytes));
        QCOMPARE(RaisedMessage([&] { ComputePayloadMac(*In, 173, Length + 5, Key, NonceBytes); }),
                 QStringLiteral("Stream read error"));
    }

    void keySchedule() {
        const QByteArray Master = Hex("11223344556677889900aabbccddeeff11223344556677889900aabbccddeeff");
        // HMAC-SHA256 of the labels "ENC" and "MAC" under Master, worked out apart from this code.
        QCOMPARE(DeriveEncryptionKey(Master).toHex(),
                 QByteArray("dd5b9c6fb21041e19cf312e037eb54fc1e6ed4f8617e404e380d9e0f4f26b314"));
        QCOMPARE(DeriveMacKey(Master).toHex(),
                 QByteArray("b627a037b10701609e578ccd422458be6fd5e6043c0b6526f8b278eb61efae93"));
        QVERIFY(DeriveEncryptionKey(Master) != DeriveMacKey(Master));
        QCOMPARE(XorBytes(Hex("0ff0"), Hex("ffff")), Hex("f00f"));
        QCOMPARE(XorBytes(XorBytes(Master, Key), Key), Master);
    }

    void storedPathToLocal() {
        QCOMPARE(StoredPathToLocal(QStringLiteral("a\\b\\c")), QStringLiteral("a/b/c"));
        QVERIFY(HasDrivePrefix(QStringLiteral("z:")));
        QVERIFY(!HasDrivePrefix(QStringLiteral("é:")));
    }

    // Names from a locker reach a terminal or a message box escaped and bounded.
    void printableName_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Shown");
        QTest::newRow("plain") << QStringLiteral("Plans ñ 日本") << QStringLiteral("Plans ñ 日本");
        QTest::newRow("terminal title sequence")
            << QStringLiteral("a\x1b]0;owned\x07") << QStringLiteral("a\\x1b]0;owned\\x07");
        QTest::newRow("line breaks") << QStringLiteral("x\r\ny") << QStringLiteral("x\\x0d\\x0ay");
        QTest::newRow("C1 control and DEL") << QString(QChar(0x9B)) + QChar(0x7F) << QStringLiteral("\\x9b\\x7f");
        QTest::newRow("right-to-left override")
            << QStringLiteral("txt.") + QChar(0x202E) + QStringLiteral("exe") << QStringLiteral("txt.\\u{202e}exe");
        QTest::newRow("long") << QString(100000, QLatin1Char('n'))
                              << QString(MaxShownChars, QLatin1Char('n')) + QStringLiteral("...");
    }
    void printableName() {
        QFETCH(QString, Name);
        QFETCH(QString, Shown);
        QCOMPARE(PrintableName(Name), Shown);
    }

    // The full st_mode goes into the high bits; it comes back as permissions only for its own kind.
    void storedAndRestoredModes_data() {
        QTest::addColumn<int>("Listed");
        QTest::addColumn<bool>("IsDir");
        QTest::addColumn<uint>("StoredHigh");
        QTest::addColumn<uint>("Restored");
        QTest::newRow("file 0644") << (0x20 | (0644 << 16)) << false << uint(0x81A4) << 0644u;
        QTest::newRow("folder 0755") << (0x10 | (0755 << 16)) << true << uint(0x41ED) << 0755u;
        QTest::newRow("private folder") << (0x10 | (0700 << 16)) << true << uint(S_IFDIR | 0700) << 0700u;
        QTest::newRow("read-only folder") << (0x11 | (0555 << 16)) << true << uint(S_IFDIR | 0555) << 0555u;
        QTest::newRow("setuid file") << (0x20 | (04755 << 16)) << false << uint(S_IFREG | 04755) << 0755u;
    }
    void storedAndRestoredModes() {
        QFETCH(int, Listed);
        QFETCH(bool, IsDir);
        QFETCH(uint, StoredHigh);
        QFETCH(uint, Restored);
        const int32_t Stored = StoredAttributes(static_cast<uint32_t>(Listed), IsDir);
        QCOMPARE(uint32_t(Stored) >> 16, StoredHigh);
        QCOMPARE(uint32_t(Stored) & 0xFFFF, uint32_t(Listed) & 0xFFFF);
        QCOMPARE(RestoredMode(Stored, IsDir), Restored);
        // Taken as the other kind, the bits are not a mode (the read-only bit aside).
        QCOMPARE(RestoredMode(Stored & ~int32_t(Attr::ReadOnly), !IsDir), IsDir ? 0600u : 0700u);
    }
    void foldersFromElsewhere_data() {
        QTest::addColumn<int>("Attr");
        QTest::addColumn<uint>("Restored");
        QTest::newRow("written before type bits") << (0x10 | (0755 << 16)) << 0700u;
        QTest::newRow("windows pinned") << 0x80010 << 0700u;
        QTest::newRow("windows unpinned") << 0x100010 << 0700u;
        QTest::newRow("windows recall on open") << 0x40010 << 0700u;
        QTest::newRow("windows recall on data access") << 0x400010 << 0700u;
        QTest::newRow("windows read-only folder") << 0x11 << 0700u;
        QTest::newRow("no bits") << 0x10 << 0700u;
    }
    void foldersFromElsewhere() {
        QFETCH(int, Attr);
        QFETCH(uint, Restored);
        QCOMPARE(RestoredMode(Attr, true), Restored);
    }

    void pathBounds_data() {
        QTest::addColumn<QString>("Root");
        QTest::addColumn<QString>("Path");
        QTest::addColumn<bool>("Within");
        QStringList Deep;
        for (int I = 0; I < LockerFormat::MaxPathDepth; ++I)
            Deep << "d";
        QTest::newRow("root only") << "box" << QString() << true;
        QTest::newRow("at the depth bound") << "box" << Deep.join('\\') << true;
        QTest::newRow("beyond the depth bound") << "box" << (Deep.join('\\') + "\\d") << false;
        QTest::newRow("component at NAME_MAX") << "box" << QString(255, 'n') << true;
        QTest::newRow("component beyond NAME_MAX") << "box" << QString(256, 'n') << false;
        QTest::newRow("multi-byte component beyond NAME_MAX") << "box" << QString(128, QChar(0xE9)) << false;
        QTest::newRow("root name beyond NAME_MAX") << QString(256, 'r') << "x" << false;
        QStringList Long;
        for (int I = 0; I < 16; ++I)
            Long << QString(250, 'p');
        QTest::newRow("path within PATH_MAX") << "box" << Long.join('\\') << true;
        Long << QString(100, 'p');
        QTest::newRow("path beyond PATH_MAX") << "box" << Long.join('\\') << false;
    }
    void pathBounds() {
        QFETCH(QString, Root);
        QFETCH(QString, Path);
        QFETCH(bool, Within);
        QCOMPARE(IsWithinPathBounds(Root, Path), Within);
    }

    // The codec puts a prelude and a record exactly as the plain field encodings do, and reads them
    // back as they were put.
    void recordsMatchReference_data() {
        QTest::addColumn<QString>("Root");
        QTest::addColumn<bool>("Folder");
        QTest::addColumn<int32_t>("Count");
        QTest::addColumn<QString>("Stored");
        QTest::addColumn<bool>("IsDir");
        QTest::addColumn<int32_t>("Attributes");
        QTest::addColumn<qint64>("Size");
        QTest::addColumn<qint64>("StoredSize");
        const int32_t File = static_cast<int32_t>(0x81A40020u);
        const int32_t Folder = 0x41ED0010;
        QTest::newRow("single file") << "Bär€.txt" << false << 1 << "Bär€.txt" << false << File << 3LL << 3LL;
        QTest::newRow("unicode names") << "日本" << true << 2 << "sub\\ñ €.txt" << false << File << 5LL << 5LL;
        QTest::newRow("folder stores no size") << "box" << true << 1 << "sub" << true << Folder << 77LL << 0LL;
        QTest::newRow("the root folder itself") << "box" << true << 1 << "" << true << Folder << 0LL << 0LL;
        QTest::newRow("empty file") << "box" << true << 3 << "e" << false << 0 << 0LL << 0LL;
    }
    void recordsMatchReference() {
        QFETCH(QString, Root);
        QFETCH(bool, Folder);
        QFETCH(int32_t, Count);
        QFETCH(QString, Stored);
        QFETCH(bool, IsDir);
        QFETCH(int32_t, Attributes);
        QFETCH(qint64, Size);
        QFETCH(qint64, StoredSize);
        const TPayloadPrelude Prelude{Root, Folder, Count};
        const QByteArray PreludeBytes = PlainPrelude(Root, Folder, Count);
        const QByteArray RecordBytes = PlainRecord(Stored, IsDir, Attributes, StoredSize);
        TEntryInfo Entry;
        Entry.RelativePath = Stored;
        Entry.IsDir = IsDir;
        Entry.Attr = Attributes;
        Entry.Size = Size;
        QCOMPARE(Prelude.Size(), PreludeBytes.size());
        QCOMPARE(EntryRecordSize(Entry), RecordBytes.size());
        // As the writer makes it from a listed entry, and as set by hand with a folder's size left in.
        const TEntryRecord ByHand{Stored, QString(), IsDir, Attributes, Size};
        for (const TEntryRecord& Record : {TEntryRecord::Of(Entry), ByHand}) {
            TBufferSink Sink;
            Prelude.Put(Sink);
            Record.Put(Sink);
            QCOMPARE(Sink.Bytes(), PreludeBytes + RecordBytes);
        }

        const QByteArray Payload = PreludeBytes + RecordBytes + QByteArray(StoredSize, 'd');
        TBufferSource Source(Payload);
        TPayloadPrelude PreludeBack;
        QCOMPARE(TPayloadPrelude::Read(Source, PreludeBack), QString());
        QCOMPARE(PreludeBack.RootName, Root);
        QCOMPARE(PreludeBack.RootIsFolder, Folder);
        QCOMPARE(PreludeBack.Count, Count);
        TEntryRecord Back;
        QCOMPARE(TEntryRecord::Read(Source, PreludeBack, Back), QString());
        QCOMPARE(Back.Stored, Stored);
        QCOMPARE(Back.Path, Stored);
        QCOMPARE(Back.IsDir, IsDir);
        QCOMPARE(Back.Attributes, Attributes);
        QCOMPARE(Back.Size, StoredSize);
        QCOMPARE(Source.Remaining(), StoredSize);
    }

    // What a hostile or damaged payload's prelude and first record are refused with, in memory and
    // through the decrypting reader alike.
    void payloadRefusals_data() {
        QTest::addColumn<QByteArray>("Plain");
        QTest::addColumn<bool>("Verifying");
        QTest::addColumn<QString>("Message");
        const QString ReadError = QStringLiteral("Stream read error");
        const QString EncLength = QStringLiteral("Invalid encrypted string length.");
        const QString BadSize = QStringLiteral("Invalid entry size in locker.");
        const QString Outside =
            QStringLiteral("The locker holds a path that would lead outside the destination folder.");
        const QString Single = SingleFileMessage();
        const QByteArray Box = PlainPrelude("box", true, 1);
        const QByteArray File = PlainPrelude("f.txt", false, 1);
        auto Entry = [](const QString& Stored, bool IsDir = false, int64_t Size = 0) {
            return PlainRecord(Stored, IsDir, 0, Size);
        };
        QStringList Deep;
        for (int I = 0; I <= LockerFormat::MaxPathDepth; ++I)
            Deep << "d";
        const QString TooDeep = Deep.join('\\');
        const QString NulRoot = QStringLiteral("a") + QChar(0);

        QTest::newRow("sound folder") << PlainPrelude("box", true, 0) << false << QString();
        QTest::newRow("root name at NAME_MAX") << PlainPrelude(QString(255, 'r'), true, 0) << false << QString();
        QTest::newRow("negative count") << PlainPrelude("box", true, -1) << false << "Invalid locker entry count.";
        QTest::newRow("negative count, verifying")
            << PlainPrelude("box", true, -1) << true << "Locker verification failed (invalid entry count).";
        QTest::newRow("empty root name") << PlainPrelude("", true, 0) << false << BadRootNameMessage("");
        QTest::newRow("empty root name, verifying")
            << PlainPrelude("", true, 0) << true << "Locker verification failed (empty root name).";
        QTest::newRow("root dotdot") << PlainPrelude("..", true, 0) << true << BadRootNameMessage("..");
        QTest::newRow("root with separator") << PlainPrelude("a\\b", true, 0) << false << BadRootNameMessage("a\\b");
        QTest::newRow("root with drive") << PlainPrelude("C:x", true, 0) << false << BadRootNameMessage("C:x");
        QTest::newRow("root with NUL") << PlainPrelude(NulRoot, true, 0) << false << BadRootNameMessage(NulRoot);
        QTest::newRow("single file without entries")
            << PlainPrelude("f.txt", false, 0) << false << WithItem(Single, PrintableName("f.txt"));
        QTest::newRow("single file with two")
            << PlainPrelude("f.txt", false, 2) << true << WithItem(Single, PrintableName("f.txt"));
        QTest::newRow("root name beyond NAME_MAX")
            << PlainPrelude(QString(128, QChar(0xE9)), true, 0) << false << TooLongMessage();
        // Bytes that are not UTF-8 each read as U+FFFD, three bytes once the name is made: a stored
        // name within NAME_MAX may not fit it on disk.
        QTest::newRow("root name beyond NAME_MAX once decoded")
            << Hex("64000000") + QByteArray(100, char(0xB3)) + Hex("01") + Hex("00000000") << false
            << TooLongMessage();
        QTest::newRow("root count beyond payload") << Hex("10000000") + "box" << false << EncLength;
        QTest::newRow("negative root count") << Hex("ffffffff") + "box" << false << EncLength;
        QTest::newRow("prelude cut short") << Box.chopped(1) << false << ReadError;

        QTest::newRow("sound file") << Box + Entry("a\\b", false, 3) + "xyz" << false << QString();
        QTest::newRow("negative size") << Box + Entry("a", false, -1) << false << BadSize;
        QTest::newRow("size beyond payload") << Box + Entry("a", false, 4) + "xyz" << false << BadSize;
        QTest::newRow("parents cleaned away") << Box + Entry("..\\..\\x") << false << QString();
        QTest::newRow("inner parent") << Box + Entry("a\\..\\b") << false
                                      << WithItem(Outside, PrintableName("a\\..\\b"));
        QTest::newRow("drive") << Box + Entry("C:\\x") << false << WithItem(Outside, PrintableName("C:\\x"));
        QTest::newRow("component beyond NAME_MAX")
            << Box + Entry(QString(256, 'n')) << false << WithItem(TooLongMessage(), PrintableName(QString(256, 'n')));
        QTest::newRow("beyond the depth bound")
            << Box + Entry(TooDeep) << false << WithItem(TooLongMessage(), PrintableName(TooDeep));
        QTest::newRow("path beyond PATH_MAX")
            << Box + Entry(QString(LockerFormat::MaxPathBytes + 1, 'p')) << false << TooLongMessage();
        QTest::newRow("path count beyond payload") << Box + Hex("05000000") + "abc" << false << EncLength;
        QTest::newRow("record cut short") << (Box + Entry("a")).chopped(1) << false << ReadError;

        QTest::newRow("single file") << File + Entry("f.txt", false, 2) + "ab" << false << QString();
        QTest::newRow("single file that is a folder")
            << File + Entry("f.txt", true) << false << WithItem(Single, PrintableName("f.txt"));
        QTest::newRow("single file under another name")
            << File + Entry("g.txt") << false << WithItem(Single, PrintableName("g.txt"));
        QTest::newRow("single file below the root")
            << File + Entry("f.txt\\f.txt") << false << WithItem(Single, PrintableName("f.txt\\f.txt"));
    }
    void payloadRefusals() {
        QFETCH(QByteArray, Plain);
        QFETCH(bool, Verifying);
        QFETCH(QString, Message);
        const TPayloadWording Wording = Verifying ? TPayloadWording::Verifying : TPayloadWording::Extracting;
        TBufferSource Source(Plain);
        QCOMPARE(FirstProblem(Source, Wording), Message);
        // Small pieces, so that fields straddle them.
        const auto In = EncryptedFile(Plain);
        TAesCtrTransform Transform(Key, NonceBytes);
        char Buffer[7];
        TPayloadReader Reader(*In, Transform, Plain.size(), Buffer, sizeof Buffer);
        QCOMPARE(FirstProblem(Reader, Wording), Message);
    }

    // A single file's payload ends with its data; a folder's may carry more.
    void payloadEnd() {
        const TPayloadPrelude File{QStringLiteral("f.txt"), false, 1};
        const TPayloadPrelude Folder{QStringLiteral("box"), true, 2};
        QCOMPARE(PayloadEndProblem(File, 0), QString());
        QCOMPARE(PayloadEndProblem(File, 1), WithItem(SingleFileMessage(), PrintableName(File.RootName)));
        QCOMPARE(PayloadEndProblem(Folder, 0), QString());
        QCOMPARE(PayloadEndProblem(Folder, 9), QString());
    }

    // The clear header is the plain field encodings at the layout's offsets, and parses back.
    void lockerHeader() {
        const TLockerSlot Password = SlotOf(0x10, LockerFormat::Iterations);
        const TLockerSlot Recovery = SlotOf(0x60, 7);
        const auto Reference = MemoryFile();
        auto WriteSlot = [&](const TLockerSlot& Slot) {
            WriteInt32(*Reference, Slot.Iterations);
            WriteRawBytes(*Reference, Slot.Salt);
            WriteRawBytes(*Reference, Slot.Wrapped);
        };
        WritePlainString(*Reference, QString::fromLatin1(LockerFormat::Magic));
        WriteInt32(*Reference, LockerFormat::Version);
        QCOMPARE(Reference->Position(), LockerFormat::PasswordSlotOffset);
        WriteSlot(Password);
        QCOMPARE(Reference->Position(), LockerFormat::RecoverySlotOffset);
        WriteSlot(Recovery);
        QCOMPARE(Reference->Position(), LockerFormat::NonceOffset);
        WriteRawBytes(*Reference, NonceBytes);
        QCOMPARE(Reference->Position(), LockerFormat::MacOffset);
        WriteRawBytes(*Reference, QByteArray(LockerFormat::MacSize, '\0'));
        QCOMPARE(Reference->Position(), LockerFormat::PayloadLengthOffset);
        WriteInt64(*Reference, 0);
        QCOMPARE(Reference->Position(), LockerFormat::PayloadStart);
        const QByteArray Encoded = EncodeLockerHeader(Password, Recovery, NonceBytes);
        QCOMPARE(Encoded, StreamBytes(*Reference));

        const TLockerHeader Parsed = ParseLockerHeader(Encoded);
        QCOMPARE(Parsed.Version, LockerFormat::Version);
        QVERIFY(SameSlot(Parsed.Password, Password));
        QVERIFY(SameSlot(Parsed.Recovery, Recovery));
        QCOMPARE(Parsed.Nonce, NonceBytes);
        QCOMPARE(Parsed.StoredMac, QByteArray(LockerFormat::MacSize, '\0'));
        QCOMPARE(Parsed.Length, int64_t(0));
        QCOMPARE(Parsed.PayloadStart, LockerFormat::PayloadStart);

        // On a stream, completed once the payload is written; what follows the header is not read.
        const auto Locker = MemoryFile();
        WriteLockerHeader(*Locker, Password, Recovery, NonceBytes);
        WriteRawBytes(*Locker, "payload");
        const QByteArray Mac = Counting(0xA0, LockerFormat::MacSize);
        CompleteLockerHeader(*Locker, Mac, 7);
        const TLockerHeader Completed = ReadLockerHeader(*Locker);
        QVERIFY(SameSlot(Completed.Password, Password));
        QVERIFY(SameSlot(Completed.Recovery, Recovery));
        QCOMPARE(Completed.Nonce, NonceBytes);
        QCOMPARE(Completed.StoredMac, Mac);
        QCOMPARE(Completed.Length, int64_t(7));
        QCOMPARE(Locker->Position(), LockerFormat::PayloadStart);
        QCOMPARE(StreamBytes(*Locker),
                 Encoded.left(LockerFormat::MacOffset) + Mac + Hex("0700000000000000") + "payload");
    }

    void damagedHeaders_data() {
        QTest::addColumn<QByteArray>("Bytes");
        QTest::addColumn<QString>("Message");
        const QByteArray Good = EncodeLockerHeader(SlotOf(0x10, 1), SlotOf(0x60, 1), NonceBytes);
        const QString Invalid = QStringLiteral("Invalid locker file.");
        const QString ReadError = QStringLiteral("Stream read error");
        QTest::newRow("sound") << Good << QString();
        QTest::newRow("empty") << QByteArray() << ReadError;
        QTest::newRow("three bytes") << Good.left(3) << ReadError;
        QTest::newRow("magic length off by one") << Patched(Good, 0, Hex("06000000")) << Invalid;
        QTest::newRow("huge magic length") << Patched(Good, 0, Hex("ffffff7f")) << Invalid;
        QTest::newRow("magic cut short") << Good.left(6) << ReadError;
        QTest::newRow("wrong magic") << Patched(Good, 4, "KVLK3") << Invalid;
        QTest::newRow("wrong version") << Patched(Good, 9, Hex("03000000")) << "Unsupported locker version.";
        QTest::newRow("cut in the first slot") << Good.left(LockerFormat::PasswordSlotOffset + 10) << ReadError;
        QTest::newRow("cut in the second slot") << Good.left(LockerFormat::RecoverySlotOffset + 30) << ReadError;
        QTest::newRow("cut in the length") << Good.left(LockerFormat::PayloadStart - 1) << ReadError;
        QTest::newRow("negative payload length")
            << Patched(Good, LockerFormat::PayloadLengthOffset, Hex("ffffffffffffffff"))
            << "Invalid locker payload length.";
    }
    void damagedHeaders() {
        QFETCH(QByteArray, Bytes);
        QFETCH(QString, Message);
        QCOMPARE(RaisedMessage([&] { ParseLockerHeader(Bytes); }), Message);
        const auto File = MemoryFile(Bytes);
        QCOMPARE(RaisedMessage([&] { ReadLockerHeader(*File); }), Message);
    }
};

QTEST_GUILESS_MAIN(TestLockerFormat)
#include "test_lockerformat.moc"
