#include "platform/KelvarnError.h"
#include "LockerTestSupport.h"
#include "TestHex.h"
#include "FieldCodec.h"
#include "locker/uLockerNames.h"
#include "locker/uLockerModes.h"
#include "locker/uLockerPipelines.h"
#include "crypto/uSecurityUtils.h"

#include <QTemporaryDir>
#include <QTest>

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

} // namespace

class TestLockerFormat : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    QString PathFor(const char* Name) const { return FDir.filePath(QString::fromLatin1(Name)); }

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
        const QString Path = PathFor("clear.bin");
        {
            TFileStream Out(Path, TFileStream::TMode::CreateNew);
            WritePlainString(Out, QStringLiteral("Ünï"));
            WriteInt32(Out, -2);
            WriteInt64(Out, 0x0102030405060708LL);
            WriteRawBytes(Out, QByteArray());
            WriteRawBytes(Out, "xy");
            Out.Close();
        }
        QCOMPARE(ReadTestFile(Path), Hex("05000000 c39c6ec3af feffffff 0807060504030201 7879"));
        TFileStream In(Path, TFileStream::TMode::OpenReadShared);
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
        const QString Path = PathFor("bad.bin");
        QVERIFY(WriteTestFile(Path, Bytes));
        TFileStream In(Path, TFileStream::TMode::OpenReadShared);
        QCOMPARE(RaisedMessage([&] { ReadPlainString(In); }), Message);
        TFileStream Again(Path, TFileStream::TMode::OpenReadShared);
        QCOMPARE(RaisedMessage([&] { ReadRawBytes(Again, -1); }), QStringLiteral("Invalid byte count."));
    }

    // The staged writer must give exactly the bytes and MAC of the field-by-field encodings, however
    // the buffer splits them; the bounded reader reads them back through any buffer size.
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

        const QString Reference = PathFor("reference.bin");
        QByteArray ReferenceMac;
        {
            QFile::remove(Reference);
            TFileStream Out(Reference, TFileStream::TMode::CreateNew);
            THmacSha256 Mac(Key);
            TAesCtrTransform Transform(Key, NonceBytes);
            WriteFieldByField(Out, Mac, Transform, Data);
            ReferenceMac = Mac.FinalBytes();
            Out.Close();
        }
        const QString Staged = PathFor("staged.bin");
        QByteArray StagedMac;
        {
            QFile::remove(Staged);
            TFileStream Out(Staged, TFileStream::TMode::CreateNew);
            THmacSha256 Mac(Key);
            TAesCtrTransform Transform(Key, NonceBytes);
            QByteArray Buffer(Capacity, '\0');
            TPayloadWriter Writer(Out, Mac, Transform, Buffer.data(), Capacity);
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
            QCOMPARE(Writer.Total(), Out.Position());
            StagedMac = Mac.FinalBytes();
            Out.Close();
        }
        const QByteArray Bytes = ReadTestFile(Reference);
        QCOMPARE(ReadTestFile(Staged), Bytes);
        QCOMPARE(StagedMac, ReferenceMac);
        QCOMPARE(ReferenceMac, HmacSha256(Key, Bytes));

        // Read back with bytes appended after the payload: the reader stops at the payload's end.
        QVERIFY(WriteTestFile(Staged, Bytes + QByteArray(64, 'Z')));
        TFileStream In(Staged, TFileStream::TMode::OpenReadShared);
        TAesCtrTransform Transform(Key, NonceBytes);
        QByteArray Buffer(Capacity, '\0');
        TPayloadReader Reader(In, Transform, Bytes.size(), Buffer.data(), Capacity);
        QCOMPARE(Reader.ReadString(), QStringLiteral("Wörter"));
        QCOMPARE(Reader.ReadByte(), uint8_t(1));
        QCOMPARE(Reader.ReadInt32(), -2);
        QCOMPARE(Reader.ReadInt64(), int64_t(Data.size()));
        QByteArray Back;
        while (Back.size() < Data.size()) {
            int Got = 0;
            const char* Piece = Reader.Next(Data.size() - Back.size(), Got);
            QVERIFY(Got > 0 && Got <= Capacity);
            Back.append(Piece, Got);
        }
        QCOMPARE(Back, Data);
        QCOMPARE(Reader.ReadString(), QString());
        QCOMPARE(Reader.Remaining(), int64_t(0));
        QCOMPARE(RaisedMessage([&] { Reader.ReadByte(); }), QStringLiteral("Stream read error"));

        // And through the one-field-at-a-time decoders.
        TFileStream Again(Reference, TFileStream::TMode::OpenReadShared);
        TAesCtrTransform Decoder(Key, NonceBytes);
        QCOMPARE(EncReadString(Again, Decoder), QStringLiteral("Wörter"));
        QCOMPARE(EncReadByte(Again, Decoder), uint8_t(1));
        QCOMPARE(EncReadInt32(Again, Decoder), -2);
        QCOMPARE(EncReadInt64(Again, Decoder), int64_t(Data.size()));
        QByteArray Plain(Data.size(), '\0');
        EncReadBuffer(Again, Decoder, Plain.data(), static_cast<int>(Plain.size()));
        QCOMPARE(Plain, Data);
        QCOMPARE(EncReadString(Again, Decoder), QString());
    }

    void emptyStringIsOnlyItsCount() {
        const QString Path = PathFor("empty.bin");
        QFile::remove(Path);
        TFileStream Out(Path, TFileStream::TMode::CreateNew);
        THmacSha256 Mac(Key);
        TAesCtrTransform Transform(Key, NonceBytes);
        EncWriteString(Out, Mac, Transform, QString());
        QCOMPARE(Out.Position(), int64_t(4));
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
        const QString Path = PathFor("len.bin");
        QFile::remove(Path);
        {
            TFileStream Out(Path, TFileStream::TMode::CreateNew);
            THmacSha256 Mac(Key);
            TAesCtrTransform Transform(Key, NonceBytes);
            EncWriteInt32(Out, Mac, Transform, Count);
            QByteArray Tail(50, 'a');
            EncWriteBuffer(Out, Mac, Transform, Tail.data(), static_cast<int>(Tail.size()));
            Out.Close();
        }
        TFileStream In(Path, TFileStream::TMode::OpenReadShared);
        TAesCtrTransform Transform(Key, NonceBytes);
        QCOMPARE(RaisedMessage([&] { EncReadString(In, Transform); }),
                 QStringLiteral("Invalid encrypted string length."));
        TFileStream Again(Path, TFileStream::TMode::OpenReadShared);
        TAesCtrTransform Decoder(Key, NonceBytes);
        QByteArray Buffer(16, '\0');
        TPayloadReader Reader(Again, Decoder, 54, Buffer.data(), 16);
        QCOMPARE(RaisedMessage([&] { Reader.ReadString(); }), QStringLiteral("Invalid encrypted string length."));
    }

    // The MAC covers the nonce, then the stored bytes in 4 MiB pieces, whatever the piece boundaries.
    void payloadMac() {
        const int Length = LockerFormat::CopyBufferSize + 5;
        QByteArray Payload(Length, '\0');
        for (int I = 0; I < Length; I += 4096)
            Payload[I] = static_cast<char>(I / 4096);
        const QByteArray Header(173, 'H');
        const QString Path = PathFor("mac.bin");
        QVERIFY(WriteTestFile(Path, Header + Payload + "tail"));
        TFileStream In(Path, TFileStream::TMode::OpenReadShared);
        QCOMPARE(ComputePayloadMac(In, 173, Length, Key, NonceBytes), HmacSha256(Key, NonceBytes + Payload));
        QCOMPARE(ComputePayloadMac(In, 173, 0, Key, NonceBytes), HmacSha256(Key, NonceBytes));
        QCOMPARE(RaisedMessage([&] { ComputePayloadMac(In, 173, Length + 5, Key, NonceBytes); }),
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
};

QTEST_GUILESS_MAIN(TestLockerFormat)
#include "test_lockerformat.moc"
