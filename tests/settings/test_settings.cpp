#include "platform/KelvarnError.h"
#include "platform/PlatformEnvironment.h"
#include "platform/PlatformFiles.h"
#include "SettingsTestSupport.h"
#include "TestHex.h"
#include "TestRandom.h"
#include "settings/uSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QString HostA = QStringLiteral("host-a");
const QString UserA = QStringLiteral("al\u00efce");
const QString GoldenHost = QStringLiteral("golden-host");
const QString GoldenUser = QStringLiteral("golden-user");

QStringList GoldenPaths() {
    return {QStringLiteral("/home/golden/Plans"), QStringLiteral("/home/golden/\u00e9t\u00e9")};
}

QString GoldenPath(const QString& Name) {
    return QStringLiteral(KELVARN_TEST_SOURCE_DIR "/tests/data/golden/") + Name;
}

QByteArray ReadFile(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return File.readAll();
}

void WriteFile(const QString& Path, const QByteArray& Bytes) {
    QFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate) || File.write(Bytes) != Bytes.size())
        qFatal("cannot write fixture %s", qPrintable(Path));
}

void SetState(const QString& Password, bool Strong, const QStringList& Paths) {
    GeneralPassword = Password;
    StrongHide = Strong;
    PathList = Paths;
}

// The state at process start, before LoadSettings.
void ResetState() {
    SetState(QString(), true, QStringList());
}

// Lowers the file-size limit for one scope: writes beyond it fail with EFBIG as on a full disk.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit Limit = FOld;
        Limit.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &Limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FFolder; // the injected config folder, with a non-ASCII name

    QString FilePath() const { return FFolder + QStringLiteral("/settings.dt"); }
    QString AsidePath(const QString& Tail = QString()) const { return FilePath() + ".unreadable" + Tail; }
    static QString PassPhraseA() { return HostA + "|" + UserA + "|NVL Kelvarn/settings-v2"; }

    QStringList FolderEntries() const {
        return QDir(FFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        FFolder = FDir.filePath(QStringLiteral("r\u00e9glages/NVL Kelvarn"));
    }

    void init() {
        SetConfigFolderOverride(FFolder);
        SetIdentityOverride(HostA, UserA);
        QDir(FDir.path()).removeRecursively();
        QDir().mkpath(FDir.path());
        ResetState();
    }

    void cleanupTestCase() {
        SetConfigFolderOverride(QString());
        SetIdentityOverride(QString(), QString());
    }

    void settingsString_data() {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QByteArray>("Encoded");
        QTest::newRow("empty") << QString() << Hex("00000000");
        QTest::newRow("ascii") << "abc" << Hex("03000000 616263");
        QTest::newRow("e acute counts 2") << QStringLiteral("\u00e9") << Hex("02000000 c3a9");
        QTest::newRow("cjk") << QStringLiteral("\u65e5\u672c") << Hex("06000000 e697a5 e69cac");
        QTest::newRow("outside the BMP") << QStringLiteral("\U0001F600") << Hex("04000000 f09f9880");
    }

    void settingsString() {
        QFETCH(QString, Text);
        QFETCH(QByteArray, Encoded);
        TSettingsStream Stream;
        WriteSettingsString(Stream, Text);
        QCOMPARE(Stream.Bytes().toHex(), Encoded.toHex());
        Stream.Seek(0);
        QCOMPARE(ReadSettingsString(Stream), Text);
        QCOMPARE(Stream.Remaining(), 0);
    }

    void readSettingsStringRejects_data() {
        QTest::addColumn<QByteArray>("Bytes");
        QTest::addColumn<QString>("Message");
        QTest::newRow("count -1") << Hex("ffffffff 41") << "Invalid string length in settings.";
        QTest::newRow("most negative count") << Hex("00000080") << "Invalid string length in settings.";
        QTest::newRow("count beyond the end") << Hex("05000000 414243") << "Stream read error";
        QTest::newRow("huge count, no bytes") << Hex("ffffff7f") << "Stream read error";
        QTest::newRow("count cut short") << Hex("0300") << "Stream read error";
    }

    void readSettingsStringRejects() {
        QFETCH(QByteArray, Bytes);
        QFETCH(QString, Message);
        TSettingsStream Stream(Bytes);
        try {
            ReadSettingsString(Stream);
            QFAIL("no error raised");
        } catch (const EKelvarnError& E) {
            QCOMPARE(E.Message(), Message);
        }
    }

    void readSettingsBytesAndConcat() {
        TSettingsStream Stream(Hex("0102030405"));
        QCOMPARE(ReadSettingsBytes(Stream, 0), QByteArray());
        QCOMPARE(ReadSettingsBytes(Stream, 2), Hex("0102"));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, ReadSettingsBytes(Stream, 4));
        QCOMPARE(Stream.Position(), 2); // a failed read consumes nothing
        try {
            ReadSettingsBytes(Stream, -1);
            QFAIL("no error raised");
        } catch (const EKelvarnError& E) {
            QCOMPARE(E.Message(), QStringLiteral("Invalid byte count in settings."));
        }
        QCOMPARE(ReadSettingsBytes(Stream, 3), Hex("030405"));
        QCOMPARE(ConcatBytes(Hex("01"), Hex("0203")), Hex("010203"));
        QCOMPARE(ConcatBytes(QByteArray(), QByteArray()), QByteArray());
    }

    void passPhraseAndPath() {
        QCOMPARE(SettingsPassPhrase(), PassPhraseA());
        SetIdentityOverride(QString(), QStringLiteral("bob"));
        QCOMPARE(SettingsPassPhrase(), QStringLiteral("|bob|NVL Kelvarn/settings-v2"));

        QVERIFY(!QFileInfo::exists(FFolder));
        QCOMPARE(SettingsFilePath(), FilePath());
        QVERIFY(QFileInfo(FFolder).isDir()); // created with its missing parent
    }

    // The file is checked byte by byte with keys derived here, not by the reader under test.
    void fileLayout_data() {
        QTest::addColumn<QString>("Password");
        QTest::addColumn<bool>("Strong");
        QTest::addColumn<QStringList>("Paths");
        QTest::addColumn<QByteArray>("Record");
        QTest::addColumn<int>("FileSize");
        QTest::newRow("empty") << QString() << true << QStringList() << Hex("00000000 01 00000000") << 85;
        QTest::newRow("three letters, ten chars")
            << "abc" << true << QStringList{"/tmp/a/b/c"} << RecordBody("abc", 1, 1, {"/tmp/a/b/c"}) << 102;
        QTest::newRow("non-ascii, flag off")
            << QStringLiteral("p\u00e4ss") << false << QStringList{QStringLiteral("/home/\u00e9"), "/x"}
            << RecordBody("p\xc3\xa4ss", 0, 2, {"/home/\xc3\xa9", "/x"}) << 108;
    }

    void fileLayout() {
        QFETCH(QString, Password);
        QFETCH(bool, Strong);
        QFETCH(QStringList, Paths);
        QFETCH(QByteArray, Record);
        QFETCH(int, FileSize);
        SetState(Password, Strong, Paths);
        QVERIFY(SaveSettings());

        const QByteArray File = ReadFile(FilePath());
        QCOMPARE(File.size(), FileSize);
        QCOMPARE(File.left(12), Hex("04000000 4b565332 02000000"));
        const QByteArray Salt = File.mid(12, 16), Nonce = File.mid(28, 16), Mac = File.mid(44, 32);
        QByteArray Cipher = File.mid(76);
        const TTestKeys Keys = TestKeys(PassPhraseA(), Salt);
        QCOMPARE(HmacSha256(Keys.Mac, Nonce + Cipher), Mac);
        HmacCtrXor(Cipher, Keys.Encryption, Nonce);
        QCOMPARE(Cipher.toHex(), Record.toHex());

        struct stat St {};
        QCOMPARE(::stat(QFile::encodeName(FilePath()).constData(), &St), 0);
        QCOMPARE(St.st_mode & 07777, mode_t(0600));
        QCOMPARE(FolderEntries(), QStringList{"settings.dt"}); // no temporary file left behind

        ResetState();
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, Password);
        QCOMPARE(StrongHide, Strong);
        QCOMPARE(PathList, Paths);
    }

    void twoSavesDifferAndBothLoad() {
        const QStringList Paths{QStringLiteral("/data/\u00e9t\u00e9 2024"), QStringLiteral("/data/\u65e5\u672c")};
        SetState("secret", true, Paths);
        QVERIFY(SaveSettings());
        const QByteArray First = ReadFile(FilePath());
        QVERIFY(SaveSettings());
        const QByteArray Second = ReadFile(FilePath());
        QCOMPARE(First.size(), Second.size());
        QVERIFY(First.mid(12, 16) != Second.mid(12, 16)); // salt
        QVERIFY(First.mid(28, 16) != Second.mid(28, 16)); // nonce
        QVERIFY(First.mid(76) != Second.mid(76));         // ciphertext

        for (const QByteArray& File : {First, Second}) {
            WriteFile(FilePath(), File);
            ResetState();
            QVERIFY(LoadSettings());
            QCOMPARE(GeneralPassword, QStringLiteral("secret"));
            QCOMPARE(PathList, Paths);
        }
    }

    void emptyEntriesAreSkippedOnLoad() {
        SetState("pw", false, QStringList{"", "/a", "", "/b"});
        QVERIFY(SaveSettings());
        ResetState();
        QVERIFY(LoadSettings());
        QCOMPARE(PathList, (QStringList{"/a", "/b"}));
        QCOMPARE(StrongHide, false);
    }

    // Any damage after the magic makes the file unreadable and the program starts empty; the load
    // moves the damaged file aside whole, so no later save can replace it.
    void damagedFileLoadsNothing_data() {
        QTest::addColumn<int>("Offset");
        QTest::addColumn<int>("Bit");
        QTest::newRow("salt first") << 12 << 0;
        QTest::newRow("salt last") << 27 << 7;
        QTest::newRow("nonce first") << 28 << 3;
        QTest::newRow("nonce last") << 43 << 7;
        QTest::newRow("mac first") << 44 << 0;
        QTest::newRow("mac last") << 75 << 5;
        QTest::newRow("ciphertext first") << 76 << 0;
        QTest::newRow("ciphertext last") << -1 << 7;
        QTest::newRow("version 2 -> 3") << 8 << 0;
        QTest::newRow("magic") << 7 << 0;
    }

    void damagedFileLoadsNothing() {
        QFETCH(int, Offset);
        QFETCH(int, Bit);
        SetState("pw", false, QStringList{"/a", "/b"});
        QVERIFY(SaveSettings());
        QByteArray File = ReadFile(FilePath());
        const int At = Offset < 0 ? File.size() + Offset : Offset;
        File[At] = static_cast<char>(File[At] ^ (1 << Bit));
        WriteFile(FilePath(), File);

        ResetState();
        const TSettingsLoad Loaded = LoadSettings();
        QVERIFY(!Loaded.Read);
        QCOMPARE(Loaded.KeptAs, AsidePath());
        QCOMPARE(GeneralPassword, QString());
        QCOMPARE(StrongHide, true);
        QCOMPARE(PathList, QStringList());
        QCOMPARE(ReadFile(AsidePath()), File);
        QCOMPARE(FolderEntries(), QStringList{"settings.dt.unreadable"});
    }

    void otherIdentityLoadsNothing_data() {
        QTest::addColumn<QString>("Host");
        QTest::addColumn<QString>("User");
        QTest::newRow("other host") << "host-b" << UserA;
        QTest::newRow("other user") << HostA << "bob";
        QTest::newRow("names swapped") << UserA << HostA;
        QTest::newRow("no host name") << QString() << UserA;
    }

    void otherIdentityLoadsNothing() {
        QFETCH(QString, Host);
        QFETCH(QString, User);
        SetState("pw", true, QStringList{"/a"});
        QVERIFY(SaveSettings());
        ResetState();
        SetIdentityOverride(Host, User);
        QVERIFY(!LoadSettings());
        QCOMPARE(GeneralPassword, QString());
        QCOMPARE(PathList, QStringList());

        // The copy kept aside opens again under the identity it was written for.
        QVERIFY(QFile::rename(AsidePath(), FilePath()));
        SetIdentityOverride(HostA, UserA);
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("pw"));
    }

    // Each undecodable file is kept beside the new settings, whatever made it so; none replaces the one
    // kept before it, which still opens under its own host name.
    void undecodableFilesAreAllKept_data() {
        QTest::addColumn<QString>("Damage");
        QTest::newRow("other host") << "other host";
        QTest::newRow("flipped bit") << "flipped bit";
        QTest::newRow("cut short") << "cut short";
    }
    void undecodableFilesAreAllKept() {
        QFETCH(QString, Damage);
        SetIdentityOverride(QStringLiteral("old-host"), UserA);
        SetState("pw", true, QStringList{"/kept/by/hand"});
        QVERIFY(SaveSettings());
        const QByteArray Foreign = ReadFile(FilePath());

        SetIdentityOverride(HostA, UserA);
        ResetState();
        const TSettingsLoad First = LoadSettings();
        QVERIFY(!First.Read);
        QCOMPARE(First.KeptAs, AsidePath());
        SetState("new", true, QStringList{"/new"});
        QVERIFY(SaveSettings());
        QVERIFY(SaveSettings());
        QCOMPARE(ReadFile(AsidePath()), Foreign);

        if (Damage == "other host") {
            SetIdentityOverride(QStringLiteral("newer-host"), UserA);
        } else {
            QByteArray File = ReadFile(FilePath());
            if (Damage == "flipped bit")
                File[80] = static_cast<char>(File[80] ^ 0x04);
            else
                File.chop(1);
            WriteFile(FilePath(), File);
        }
        const QByteArray Second = ReadFile(FilePath());
        ResetState();
        const TSettingsLoad Next = LoadSettings();
        QVERIFY(!Next.Read);
        QCOMPARE(Next.KeptAs, AsidePath(".1"));
        QCOMPARE(ReadFile(AsidePath(".1")), Second);
        QCOMPARE(ReadFile(AsidePath()), Foreign);
        QCOMPARE(FolderEntries(), (QStringList{"settings.dt.unreadable", "settings.dt.unreadable.1"}));

        SetIdentityOverride(QStringLiteral("old-host"), UserA);
        QVERIFY(QFile::copy(AsidePath(), FilePath()));
        QVERIFY(LoadSettings());
        QCOMPARE(PathList, QStringList{"/kept/by/hand"});
    }

    // The first name nothing holds, not even a dangling link or a folder; the others stay as they were.
    void keptCopyTakesTheFirstFreeName_data() {
        QTest::addColumn<bool>("Fallback");
        QTest::newRow("renameat2") << false;
        QTest::newRow("link and unlink") << true;
    }
    void keptCopyTakesTheFirstFreeName() {
        QFETCH(bool, Fallback);
        SetRenameNoReplaceFallbackForTest(Fallback);
        struct TReset {
            ~TReset() { SetRenameNoReplaceFallbackForTest(false); }
        } Reset;
        SettingsFilePath();
        WriteFile(AsidePath(), "kept before");
        QVERIFY(QFile::link(FFolder + "/nowhere", AsidePath(".1")));
        QVERIFY(QDir().mkpath(AsidePath(".2")));
        WriteFile(AsidePath(".4"), "kept before too");
        WriteFile(FilePath(), "undecodable");

        const TSettingsLoad Loaded = LoadSettings();
        QVERIFY(!Loaded.Read);
        QCOMPARE(Loaded.KeptAs, AsidePath(".3"));
        QCOMPARE(ReadFile(AsidePath(".3")), QByteArray("undecodable"));
        QCOMPARE(ReadFile(AsidePath()), QByteArray("kept before"));
        QCOMPARE(QFileInfo(AsidePath(".1")).symLinkTarget(), FFolder + "/nowhere");
        QVERIFY(QFileInfo(AsidePath(".2")).isDir());
        QCOMPARE(ReadFile(AsidePath(".4")), QByteArray("kept before too"));
        QVERIFY(!QFileInfo::exists(FilePath()));
    }

    // Readable files stay where they are through a load and a save.
    void readableFilesAreNotKeptAside_data() {
        QTest::addColumn<QByteArray>("File");
        QTest::newRow("current") << EncodeCurrent(RecordBody("pw", 1, 1, {"/a"}), PassPhraseA());
        QTest::newRow("legacy") << EncodeLegacy(Int32Le(1) + RecordBody("pw", 1, 1, {"/a"}));
        QTest::newRow("empty") << QByteArray();
    }
    void readableFilesAreNotKeptAside() {
        QFETCH(QByteArray, File);
        SettingsFilePath();
        WriteFile(FilePath(), File);
        const TSettingsLoad Loaded = LoadSettings();
        QVERIFY(Loaded.Read);
        QCOMPARE(Loaded.KeptAs, QString());
        QVERIFY(SaveSettings());
        QCOMPARE(FolderEntries(), QStringList{"settings.dt"});
    }

    // A file that carries the current magic is never handed to the legacy reader, whatever fails.
    void currentMagicIsNeverLegacy_data() {
        QTest::addColumn<QByteArray>("File");
        QTest::addColumn<bool>("Current");
        const QByteArray Sound = EncodeCurrent(RecordBody("pw", 1, 1, {"/a"}), PassPhraseA());
        QByteArray BadMac = Sound;
        BadMac[50] = static_cast<char>(BadMac[50] ^ 1);
        QTest::newRow("sound") << Sound << true;
        QTest::newRow("mac mismatch") << BadMac << true;
        QTest::newRow("version 3") << EncodeCurrent(RecordBody("pw", 1, 1, {"/a"}), PassPhraseA(), 3) << true;
        QTest::newRow("magic only") << SettingsString("KVS2") << true;
        QTest::newRow("other host") << EncodeCurrent(RecordBody("pw", 1, 0, {}), "host-b|bob|NVL Kelvarn/settings-v2")
                                    << true;
        QTest::newRow("legacy") << EncodeLegacy(Int32Le(1) + RecordBody("pw", 1, 1, {"/a"})) << false;
        QTest::newRow("magic in lower case") << SettingsString("kvs2") + Int32Le(2) << false;
        QTest::newRow("magic with a longer count") << SettingsString("KVS2x") + Int32Le(2) << false;
        QTest::newRow("magic cut short") << SettingsString("KVS2").left(6) << false;
        QTest::newRow("nothing") << QByteArray() << false;
    }
    void currentMagicIsNeverLegacy() {
        QFETCH(QByteArray, File);
        QFETCH(bool, Current);
        QCOMPARE(IsCurrentFormatFile(File), Current);
    }

    // Settings files checked in under tests/data/golden: the current one was written once with the
    // random bytes 00 01 02 ... (salt, then nonce); the legacy one by the older program's encoding.
    void goldenFilesOpen_data() {
        QTest::addColumn<QString>("Name");
        QTest::newRow("current") << "settings-current.dt";
        QTest::newRow("legacy") << "settings-legacy.dt";
    }
    void goldenFilesOpen() {
        QFETCH(QString, Name);
        SetIdentityOverride(GoldenHost, GoldenUser);
        SettingsFilePath();
        WriteFile(FilePath(), ReadFile(GoldenPath(Name)));
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("golden pw"));
        QCOMPARE(StrongHide, false);
        QCOMPARE(PathList, GoldenPaths());
    }

    // The same state, identity and random bytes give the checked-in file byte for byte.
    void writerRebuildsGoldenFile() {
        SetIdentityOverride(GoldenHost, GoldenUser);
        SetState("golden pw", false, GoldenPaths());
        {
            TCountingRandom Fixed;
            QVERIFY(SaveSettings());
        }
        QCOMPARE(ReadFile(FilePath()).toHex(), ReadFile(GoldenPath("settings-current.dt")).toHex());
    }

    // The keys of the golden file, worked out apart from this code: PBKDF2-HMAC-SHA256 (200000
    // iterations) of the pass phrase under the salt 00..0F, then HMAC-SHA256 of each label.
    void keySchedule() {
        QByteArray Salt(16, '\0');
        for (int I = 0; I < 16; ++I)
            Salt[I] = static_cast<char>(I);
        const TTestKeys Keys = TestKeys(GoldenHost + "|" + GoldenUser + "|NVL Kelvarn/settings-v2", Salt);
        QCOMPARE(Keys.Encryption.toHex(),
                 QByteArray("c4cf0d664190f947a221589fea473ec845a5a83007a46450be47de7d549565ed"));
        QCOMPARE(Keys.Mac.toHex(), QByteArray("5003b4e08224ab2a94e5763a6cf8ca571ba1747af5aa2f956271de7628ecfb1f"));
    }

    // Files with a valid MAC over unusual records, built here.
    void authenticatedRecords_data() {
        QTest::addColumn<QByteArray>("Record");
        QTest::addColumn<int>("Version");
        QTest::addColumn<bool>("Result");
        QTest::addColumn<QString>("Password");
        QTest::addColumn<bool>("Strong");
        QTest::addColumn<QStringList>("Paths");
        QTest::newRow("count 0") << RecordBody("pw", 1, 0, {"/ignored"}) << 2 << true << "pw" << true << QStringList();
        QTest::newRow("negative count") << RecordBody("pw", 0, -3, {"/ignored"}) << 2 << true << "pw" << false
                                        << QStringList();
        QTest::newRow("flag 255") << RecordBody("", 255, 1, {"/a"}) << 2 << true << "" << true << QStringList{"/a"};
        QTest::newRow("version 3") << RecordBody("pw", 0, 1, {"/a"}) << 3 << false << "" << true << QStringList();
        QTest::newRow("empty ciphertext") << QByteArray() << 2 << false << "" << true << QStringList();
        // Cut short after a valid MAC: what was read before the end stays.
        QTest::newRow("entry missing") << RecordBody("pw", 0, 3, {"/a", "/b"}) << 2 << false << "pw" << false
                                       << QStringList{"/a", "/b"};
        QTest::newRow("hostile entry count")
            << RecordBody("pw", 1, 0x7fffffff, {"/a"}) << 2 << false << "pw" << true << QStringList{"/a"};
        QTest::newRow("negative entry length")
            << RecordBody("pw", 1, 1, {}) + Int32Le(-1) << 2 << false << "pw" << true << QStringList();
    }

    void authenticatedRecords() {
        QFETCH(QByteArray, Record);
        QFETCH(int, Version);
        QFETCH(bool, Result);
        QFETCH(QString, Password);
        QFETCH(bool, Strong);
        QFETCH(QStringList, Paths);
        SettingsFilePath();
        WriteFile(FilePath(), EncodeCurrent(Record, PassPhraseA(), Version));
        QCOMPARE(LoadSettings().Read, Result);
        QCOMPARE(GeneralPassword, Password);
        QCOMPARE(StrongHide, Strong);
        QCOMPARE(PathList, Paths);
    }

    void missingEmptyAndShortFiles() {
        // No file: true, nothing loaded, the folder now exists.
        SetState("kept", false, QStringList{"/cleared"});
        QVERIFY(LoadSettings());
        QVERIFY(QFileInfo(FFolder).isDir());
        QCOMPARE(GeneralPassword, QStringLiteral("kept"));
        QCOMPARE(StrongHide, false);
        QCOMPARE(PathList, QStringList());

        // 0 bytes: the same.
        WriteFile(FilePath(), QByteArray());
        PathList = QStringList{"/cleared"};
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("kept"));
        QCOMPARE(PathList, QStringList());

        // The right magic and too few bytes for the fixed fields.
        ResetState();
        WriteFile(FilePath(), SettingsString("KVS2") + Int32Le(2) + RandomBytes(40));
        QVERIFY(!LoadSettings());
        QCOMPARE(GeneralPassword, QString());

        // A folder where the file should be is no file; saving over it fails.
        QVERIFY(QDir().mkpath(FilePath() + "/inner"));
        QVERIFY(LoadSettings());
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, SaveSettings());
        QVERIFY(QFileInfo(FilePath() + "/inner").isDir());
        QCOMPARE(FolderEntries(), (QStringList{"settings.dt", "settings.dt.unreadable"}));
    }

    // Root can read anything by permissions, so the unreadable file is a link to memory that fails with EIO.
    void unreadableFileRaises() {
        SettingsFilePath();
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), FilePath()));
        try {
            LoadSettings();
            QFAIL("no error raised");
        } catch (const EKelvarnError& E) {
            QVERIFY2(E.Message().startsWith(QStringLiteral("Cannot read file")), qPrintable(E.Message()));
        }
    }

    void legacyFileLoadsAndNextSaveIsCurrent() {
        const QByteArray Legacy =
            EncodeLegacy(Int32Le(1) + RecordBody("old pw", 0, 3, {"/old/a", "", "/old/caf\xc3\xa9"}));
        SettingsFilePath();
        WriteFile(FilePath(), Legacy);
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("old pw"));
        QCOMPARE(StrongHide, false);
        QCOMPARE(PathList, (QStringList{"/old/a", "", QStringLiteral("/old/caf\u00e9")}));
        QCOMPARE(ReadFile(FilePath()), Legacy); // loading never rewrites

        QVERIFY(SaveSettings());
        QCOMPARE(ReadFile(FilePath()).left(12), Hex("04000000 4b565332 02000000"));
        ResetState();
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("old pw"));
        QCOMPARE(StrongHide, false);
        QCOMPARE(PathList, (QStringList{"/old/a", QStringLiteral("/old/caf\u00e9")}));
    }

    void legacyFailuresLoadNothing_data() {
        QTest::addColumn<QByteArray>("File");
        QTest::newRow("version 0") << EncodeLegacy(Int32Le(0) + RecordBody("pw", 1, 1, {"/a"}));
        QTest::newRow("shorter than 4 bytes") << EncodeLegacy(Hex("010000"));
        QTest::newRow("random bytes") << Hex("8e1f2a");
    }

    void legacyFailuresLoadNothing() {
        QFETCH(QByteArray, File);
        SettingsFilePath();
        WriteFile(FilePath(), File);
        QVERIFY(!LoadSettings());
        QCOMPARE(GeneralPassword, QString());
        QCOMPARE(PathList, QStringList());
    }

    // Root ignores permission bits, so the unwritable folder is a path through a regular file.
    void saveIntoUnusableFolderRaises() {
        const QString Blocker = FDir.filePath(QStringLiteral("blocker"));
        WriteFile(Blocker, "not a folder");
        SetConfigFolderOverride(Blocker + QStringLiteral("/NVL Kelvarn"));
        SetState("pw", true, QStringList{"/a"});
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, SaveSettings());
        QCOMPARE(ReadFile(Blocker), QByteArray("not a folder"));
        QCOMPARE(GeneralPassword, QStringLiteral("pw")); // a failed save changes nothing in memory
        QCOMPARE(PathList, QStringList{"/a"});
    }

    // A disk that fills up part-way through the write leaves the old file whole and no debris.
    void fullDiskKeepsTheOldFile() {
        SetState("old", true, QStringList{"/old"});
        QVERIFY(SaveSettings());
        const QByteArray Old = ReadFile(FilePath());

        QStringList Many;
        for (int I = 0; I < 200; ++I)
            Many.append(QStringLiteral("/new/path/number/%1").arg(I));
        SetState("new", false, Many);
        {
            TFileSizeLimit Limit(512);
            try {
                SaveSettings();
                QFAIL("no error raised");
            } catch (const EKelvarnError& E) {
                QVERIFY2(E.Message().contains(QStringLiteral("Cannot write file")), qPrintable(E.Message()));
            }
        }
        QCOMPARE(ReadFile(FilePath()), Old);
        QCOMPARE(FolderEntries(), QStringList{"settings.dt"});
        QCOMPARE(PathList.size(), 200);

        ResetState();
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("old"));
        QCOMPARE(PathList, QStringList{"/old"});
    }

    // Saving replaces an existing file of any mode with an owner-only one.
    void saveTightensPermissions() {
        SettingsFilePath();
        WriteFile(FilePath(), "legacy or foreign");
        QFile::setPermissions(FilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        QVERIFY(SaveSettings());
        struct stat St {};
        QCOMPARE(::stat(QFile::encodeName(FilePath()).constData(), &St), 0);
        QCOMPARE(St.st_mode & 07777, mode_t(0600));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
