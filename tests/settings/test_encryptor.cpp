#include "platform/KelvarnError.h"
#include "SettingsTestSupport.h"
#include "TestHex.h"
#include "settings/encryptor.h"
#include "settings/uSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestEncryptor : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    QString WriteLegacyFile(const QByteArray& Scrambled) {
        const QString Path = FDir.filePath(QStringLiteral("legacy.dt"));
        QFile File(Path);
        if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate) || File.write(Scrambled) != Scrambled.size())
            qFatal("cannot write fixture");
        return Path;
    }

    static void ResetState() {
        GeneralPassword.clear();
        StrongHide = true;
        PathList.clear();
    }

private slots:
    void initTestCase() { QVERIFY(FDir.isValid()); }
    void init() { ResetState(); }

    void rollingKeyKnownAnswer_data() {
        QTest::addColumn<QByteArray>("Source");
        QTest::addColumn<QByteArray>("Expected");
        QTest::newRow("counting") << Hex("00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f")
                                  << Hex("d9 05 c8 e1 db 1e 9f 9f df b1 54 ad 47 e9 1d 73");
        QTest::newRow("all ones") << Repeat('\xff', 8) << Hex("26 e4 bd 51 47 ad 6d 07");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void rollingKeyKnownAnswer() {
        QFETCH(QByteArray, Source);
        QFETCH(QByteArray, Expected);
        QByteArray Dest(Source.size(), '\0');
        QVERIFY(RollingKeyCipher(reinterpret_cast<const uint8_t*>(Source.constData()), Source.size(),
                                 reinterpret_cast<uint8_t*>(Dest.data()), Dest.size(), LegacySettingsKey));
        QCOMPARE(Dest.toHex(' '), Expected.toHex(' '));
    }

    void rollingKeyLengthMismatchWritesNothing() {
        const QByteArray Source = Hex("01 02 03 04");
        QByteArray Dest = Repeat('\xaa', 3);
        QVERIFY(!RollingKeyCipher(reinterpret_cast<const uint8_t*>(Source.constData()), 4,
                                  reinterpret_cast<uint8_t*>(Dest.data()), 3, LegacySettingsKey));
        QCOMPARE(Dest, Repeat('\xaa', 3));
    }

    // The test encoder and the decoder are inverses for any key and any content.
    void rollingKeyUndoesTheLegacyEncoding_data() {
        QTest::addColumn<int>("Length");
        QTest::addColumn<int>("Multiplier");
        QTest::newRow("1 byte") << 1 << 52845;
        QTest::newRow("300 bytes") << 300 << 52845;
        QTest::newRow("other key") << 257 << 1;
    }

    void rollingKeyUndoesTheLegacyEncoding() {
        QFETCH(int, Length);
        QFETCH(int, Multiplier);
        const TLegacyKey Key{static_cast<uint16_t>(Multiplier), 22719, 55665};
        const QByteArray Plain = RandomBytes(Length);
        TSettingsStream Scrambled(EncodeLegacy(Plain, Key));
        InvertStreamBytes(Scrambled);
        QByteArray Decoded(Length, '\0');
        QVERIFY(RollingKeyCipher(reinterpret_cast<const uint8_t*>(Scrambled.Bytes().constData()), Length,
                                 reinterpret_cast<uint8_t*>(Decoded.data()), Length, Key));
        QCOMPARE(Decoded, Plain);
    }

    void invertStreamBytes() {
        TSettingsStream Stream(Hex("00 5a ff 01"));
        Stream.ReadByte();
        Stream.ReadByte();
        InvertStreamBytes(Stream);
        QCOMPARE(Stream.Position(), 0);
        QCOMPARE(Stream.Bytes(), Hex("ff a5 00 fe"));

        TSettingsStream Empty;
        InvertStreamBytes(Empty);
        QCOMPARE(Empty.Size(), 0);
    }

    void loadLegacy_data() {
        QTest::addColumn<QByteArray>("Record");
        QTest::addColumn<QString>("Password");
        QTest::addColumn<bool>("Strong");
        QTest::addColumn<QStringList>("Paths");

        const QList<QByteArray> Entries{"/home/u/Secret", "", "/home/u/caf\xc3\xa9"};
        const QStringList Expected{"/home/u/Secret", "", QStringLiteral("/home/u/caf\u00e9")};
        QTest::newRow("version 1") << Int32Le(1) + RecordBody("pw1", 1, 3, Entries) << "pw1" << true << Expected;
        QTest::newRow("version 7") << Int32Le(7) + RecordBody("pw1", 1, 3, Entries) << "pw1" << true << Expected;
        QTest::newRow("flag 0, trailing bytes ignored") << Int32Le(1) + RecordBody("", 0, 1, {"/a"}) + "junk"
                                                        << "" << false << QStringList{"/a"};
        QTest::newRow("flag 9 is true") << Int32Le(2) + RecordBody("x", 9, 0, {}) << "x" << true << QStringList();
        QTest::newRow("negative count") << Int32Le(1) + RecordBody("x", 1, -4, {"/ignored"}) << "x" << true
                                        << QStringList();
        QTest::newRow("non-ascii password") << Int32Le(1) + RecordBody("\xc3\xa9t\xc3\xa9", 1, 0, {})
                                            << QStringLiteral("\u00e9t\u00e9") << true << QStringList();
    }

    void loadLegacy() {
        QFETCH(QByteArray, Record);
        QFETCH(QString, Password);
        QFETCH(bool, Strong);
        QFETCH(QStringList, Paths);
        const QByteArray Scrambled = EncodeLegacy(Record);
        const QString Path = WriteLegacyFile(Scrambled);
        PathList = QStringList{"/left over"};
        QVERIFY(LoadLegacySettings(Path));
        QCOMPARE(GeneralPassword, Password);
        QCOMPARE(StrongHide, Strong);
        QCOMPARE(PathList, Paths);
    }

    // What fails raises; what was assigned before the failure stays, nothing after it is taken.
    void loadLegacyFailures_data() {
        QTest::addColumn<QByteArray>("Scrambled");
        QTest::addColumn<QString>("Message");
        QTest::addColumn<QString>("Password");
        QTest::addColumn<bool>("Strong");
        QTest::addColumn<QStringList>("Paths");

        const QStringList Untouched{"/left over"};
        QTest::newRow("version 0") << EncodeLegacy(Int32Le(0) + RecordBody("pw", 0, 1, {"/a"}))
                                   << "Unsupported settings version."
                                   << "" << true << Untouched;
        QTest::newRow("version -1") << EncodeLegacy(Int32Le(-1) + RecordBody("pw", 0, 1, {"/a"}))
                                    << "Unsupported settings version."
                                    << "" << true << Untouched;
        QTest::newRow("empty file") << QByteArray() << "Stream read error"
                                    << "" << true << Untouched;
        QTest::newRow("3 bytes") << EncodeLegacy(Hex("01 00 00")) << "Stream read error"
                                 << "" << true << Untouched;
        QTest::newRow("negative password length")
            << EncodeLegacy(Int32Le(1) + Int32Le(-2)) << "Invalid string length in settings."
            << "" << true << Untouched;
        QTest::newRow("password past the end")
            << EncodeLegacy(Int32Le(1) + Int32Le(0x7fffffff) + "ab") << "Stream read error"
            << "" << true << Untouched;
        QTest::newRow("cut after the flag")
            << EncodeLegacy(Int32Le(1) + SettingsString("pw") + '\0') << "Stream read error"
            << "pw" << false << Untouched;
        QByteArray CutEntry = Int32Le(1) + RecordBody("pw", 0, 3, {"/a", "/b"});
        QTest::newRow("entry missing") << EncodeLegacy(CutEntry) << "Stream read error"
                                       << "pw" << false << QStringList{"/a", "/b"};
    }

    void loadLegacyFailures() {
        QFETCH(QByteArray, Scrambled);
        QFETCH(QString, Message);
        QFETCH(QString, Password);
        QFETCH(bool, Strong);
        QFETCH(QStringList, Paths);
        const QString Path = WriteLegacyFile(Scrambled);
        PathList = QStringList{"/left over"};
        try {
            LoadLegacySettings(Path);
            QFAIL("no error raised");
        } catch (const EKelvarnError& E) {
            QCOMPARE(E.Message(), Message);
        }
        QCOMPARE(GeneralPassword, Password);
        QCOMPARE(StrongHide, Strong);
        QCOMPARE(PathList, Paths);
    }

    void loadLegacyMissingFileRaises() {
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, LoadLegacySettings(FDir.filePath(QStringLiteral("absent.dt"))));
    }
};

QTEST_GUILESS_MAIN(TestEncryptor)
#include "test_encryptor.moc"
