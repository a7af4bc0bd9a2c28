#include "platform/PlatformEnvironment.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int HeaderSize = 173;
const QString Password = QStringLiteral("correct horse ü");

struct TRun {
    int Exit = -1;
    QByteArray Out;
    QByteArray Err;
};

TRun RunKvlocker(const QStringList& Arguments, const QByteArray& Input = QByteArray()) {
    QProcess Process;
    Process.start(QStringLiteral(KVLOCKER_PATH), Arguments);
    TRun Run;
    if (!Process.waitForStarted(10000))
        return Run;
    Process.write(Input);
    Process.closeWriteChannel();
    if (!Process.waitForFinished(300000) || Process.exitStatus() != QProcess::NormalExit)
        return Run;
    Run.Exit = Process.exitCode();
    Run.Out = Process.readAllStandardOutput();
    Run.Err = Process.readAllStandardError();
    return Run;
}

QByteArray Line(const QString& Secret) {
    return Secret.toUtf8() + '\n';
}

void WriteFile(const QString& Path, const QByteArray& Data, mode_t Mode = 0644) {
    QVERIFY2(WriteTestFile(Path, Data, static_cast<int>(Mode)), qPrintable(Path));
}

QByteArray ReadFile(const QString& Path) {
    return ReadTestFile(Path, "<missing>");
}

QByteArray PseudoRandom(int Size, uint32_t Seed) {
    QByteArray Data(Size, '\0');
    uint32_t X = Seed | 1u;
    for (int I = 0; I < Size; ++I) {
        X ^= X << 13;
        X ^= X >> 17;
        X ^= X << 5;
        Data[I] = static_cast<char>(X);
    }
    return Data;
}

// Every awkward thing a tree may hold: hidden items, empty folders, a read-only file, non-ASCII and
// spaced names, an empty file and one that crosses the engine's 4 MiB buffer.
void MakeTree(const QString& Root) {
    WriteFile(Root + "/plain.txt", "plain text\n");
    WriteFile(Root + "/.hidden-file", "hidden");
    WriteFile(Root + "/.hidden-folder/inner.txt", "inside a hidden folder");
    QVERIFY(QDir().mkpath(Root + "/empty"));
    QVERIFY(QDir().mkpath(Root + "/deep/a/b/empty-leaf"));
    WriteFile(Root + "/deep/a/note.md", "# deep");
    WriteFile(Root + "/readonly.txt", "do not touch", 0444);
    WriteFile(Root + QString::fromUtf8("/Ünïcødé – naïve.txt"), "non-ASCII name");
    WriteFile(Root + QString::fromUtf8("/日本語/ファイル.bin"), PseudoRandom(1000, 7));
    WriteFile(Root + "/space name/with spaces.txt", "spaces");
    WriteFile(Root + "/zero.bin", QByteArray());
    WriteFile(Root + "/big.bin", PseudoRandom(4 * 1024 * 1024 + 17, 11), 0640);
}

QStringList FolderNames(const QString& Folder) {
    return QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Whether process Pid holds a descriptor open on Path.
bool HoldsOpen(qint64 Pid, const QString& Path) {
    const QString Fds = QStringLiteral("/proc/%1/fd").arg(Pid);
    const QStringList Names = QDir(Fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    return std::any_of(Names.cbegin(), Names.cend(),
                       [&](const QString& Name) { return QFile::symLinkTarget(Fds + '/' + Name) == Path; });
}

const QRegularExpression RecoveryCodePattern(QStringLiteral("^[0-9A-F]{4}(-[0-9A-F]{4}){7}$"));

} // namespace

class TestKvlocker : public QObject {
    Q_OBJECT

private:
    // Creates a locker of Source at Locker with the given password; returns the recovery code.
    QString Create(const QString& Source, const QString& Locker, const QString& Secret = Password) {
        const TRun Run = RunKvlocker({"create", "--password-stdin", Source, Locker}, Line(Secret));
        if (Run.Exit != 0)
            qWarning("create failed: %s", Run.Err.constData());
        return QString::fromUtf8(Run.Out).trimmed();
    }

private slots:
    void initTestCase() { QVERIFY2(QFileInfo::exists(QStringLiteral(KVLOCKER_PATH)), KVLOCKER_PATH); }

    void roundTripOpensWithPasswordAndRecoveryCode() {
        QTemporaryDir Tmp;
        const QString Source = Tmp.path() + QString::fromUtf8("/Trésor ü");
        MakeTree(Source);
        const QMap<QString, QString> Original = TreeSnapshot(Source, false);
        QVERIFY(Original.size() > 15);

        const TRun Created = RunKvlocker({"create", "--password-stdin", Source}, Line(Password));
        QCOMPARE(Created.Exit, 0);
        const QString Code = QString::fromUtf8(Created.Out).trimmed();
        QVERIFY2(RecoveryCodePattern.match(Code).hasMatch(), Created.Out.constData());
        const QString Locker = Source + ".kvlocker";
        QVERIFY(QFileInfo(Locker).isFile());
        QCOMPARE(TreeSnapshot(Source, false), Original);
        // Nothing but the source and its locker: no temporary file left beside them.
        QCOMPARE(FolderNames(Tmp.path()),
                 QStringList({QString::fromUtf8("Trésor ü"), QString::fromUtf8("Trésor ü.kvlocker")}));

        const QString ByPassword = Tmp.path() + "/by-password";
        const TRun Extracted = RunKvlocker({"extract", "--password-stdin", Locker, ByPassword}, Line(Password));
        QCOMPARE(Extracted.Exit, 0);
        QCOMPARE(FolderNames(ByPassword), QStringList({QString::fromUtf8("Trésor ü")}));
        QCOMPARE(TreeSnapshot(ByPassword + QString::fromUtf8("/Trésor ü"), false), Original);

        const QString ByCode = Tmp.path() + "/by-code/missing/parents";
        const TRun Recovered = RunKvlocker({"extract", "--password-stdin", Locker, ByCode}, Line(Code));
        QCOMPARE(Recovered.Exit, 0);
        QVERIFY(Recovered.Err.contains("recovery code"));
        QCOMPARE(TreeSnapshot(ByCode + QString::fromUtf8("/Trésor ü"), false), Original);
        // As a person may type it: in lower case, grouped by spaces.
        const QString ByTypedCode = Tmp.path() + "/by-typed-code";
        const QString Typed = Code.toLower().replace('-', ' ');
        QCOMPARE(RunKvlocker({"extract", "--password-stdin", Locker, ByTypedCode}, Line(Typed)).Exit, 0);
        QCOMPARE(TreeSnapshot(ByTypedCode + QString::fromUtf8("/Trésor ü"), false), Original);

        QCOMPARE(RunKvlocker({"verify", "--password-stdin", Locker}, Line(Password)).Exit, 0);
        const TRun VerifyByCode = RunKvlocker({"verify", "--password-stdin", Locker}, Line(Code));
        QCOMPARE(VerifyByCode.Exit, 1);
        QVERIFY(VerifyByCode.Err.contains("Locker verification failed (MAC mismatch)."));
    }

    // A folder's ".hidden" list is content like any other file: restoring the names it lists must not
    // rewrite or remove it.
    void roundTripKeepsAFolderHiddenList() {
        QTemporaryDir Tmp;
        const QString Source = Tmp.path() + "/listed";
        WriteFile(Source + "/sub/.hidden", "foo\nbar\n");
        WriteFile(Source + "/sub/foo", "f");
        WriteFile(Source + "/sub/bar", "b");
        WriteFile(Source + "/sub/shown", "s");
        const QMap<QString, QString> Original = TreeSnapshot(Source, false);
        QVERIFY(!Create(Source, Tmp.path() + "/listed.kvlocker").isEmpty());
        QCOMPARE(RunKvlocker({"extract", "--password-stdin", Tmp.path() + "/listed.kvlocker", Tmp.path() + "/out"},
                             Line(Password))
                     .Exit,
                 0);
        QCOMPARE(ReadFile(Tmp.path() + "/out/listed/sub/.hidden"), QByteArray("foo\nbar\n"));
        QCOMPARE(TreeSnapshot(Tmp.path() + "/out/listed", false), Original);
    }

    void defaultNamesForFileAndFolder() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/report.txt", "quarterly", 0600);
        QVERIFY(QDir().mkpath(Tmp.path() + "/Folder"));
        WriteFile(Tmp.path() + "/Folder/x", "x");

        QCOMPARE(RunKvlocker({"create", "--password-stdin", Tmp.path() + "/report.txt"}, Line(Password)).Exit, 0);
        // A folder given with a trailing separator still gets its locker beside it.
        QCOMPARE(RunKvlocker({"create", "--password-stdin", Tmp.path() + "/Folder/"}, Line(Password)).Exit, 0);
        QVERIFY(QFileInfo(Tmp.path() + "/report.txt.kvlocker").isFile());
        QVERIFY(QFileInfo(Tmp.path() + "/Folder.kvlocker").isFile());

        // Extraction defaults to the locker's own folder.
        QVERIFY(QFile::rename(Tmp.path() + "/report.txt", Tmp.path() + "/original.txt"));
        QCOMPARE(RunKvlocker({"extract", "--password-stdin", Tmp.path() + "/report.txt.kvlocker"}, Line(Password)).Exit,
                 0);
        QCOMPARE(ReadFile(Tmp.path() + "/report.txt"), QByteArray("quarterly"));
        QVERIFY(QFileInfo(Tmp.path() + "/report.txt.kvlocker").isFile());
    }

    void wrongSecretWritesNothing_data() {
        QTest::addColumn<bool>("DestExists");
        QTest::newRow("existing folder") << true;
        QTest::newRow("missing folder") << false;
    }
    void wrongSecretWritesNothing() {
        QFETCH(bool, DestExists);
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/src/a.txt", "a");
        const QString Locker = Tmp.path() + "/src.kvlocker";
        QVERIFY(!Create(Tmp.path() + "/src", Locker).isEmpty());
        const QString Dest = Tmp.path() + "/dest/sub";
        if (DestExists)
            QVERIFY(QDir().mkpath(Dest));

        const TRun Run = RunKvlocker({"extract", "--password-stdin", Locker, Dest}, Line("not the password"));
        QCOMPARE(Run.Exit, 1);
        QVERIFY2(Run.Err.contains("Invalid password or recovery code."), Run.Err.constData());
        QCOMPARE(QFileInfo::exists(Dest), DestExists);
        QCOMPARE(QFileInfo::exists(Tmp.path() + "/dest"), DestExists);
        if (DestExists)
            QCOMPARE(FolderNames(Dest), QStringList());
    }

    void usageErrorsExitWithTwo_data() {
        QTest::addColumn<QStringList>("Arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command") << QStringList({"frobnicate", "x"});
        QTest::newRow("unknown option") << QStringList({"create", "--bogus", "x"});
        QTest::newRow("create without source") << QStringList({"create"});
        QTest::newRow("create with three operands") << QStringList({"create", "a", "b", "c"});
        QTest::newRow("extract without locker") << QStringList({"extract", "--password-stdin"});
        QTest::newRow("verify with two operands") << QStringList({"verify", "a", "b"});
        QTest::newRow("verify with --force") << QStringList({"verify", "--force", "a"});
        QTest::newRow("info without locker") << QStringList({"info"});
        QTest::newRow("info with --password-stdin") << QStringList({"info", "--password-stdin", "a"});
        QTest::newRow("empty path") << QStringList({"info", ""});
    }
    void usageErrorsExitWithTwo() {
        QFETCH(QStringList, Arguments);
        const TRun Run = RunKvlocker(Arguments);
        QCOMPARE(Run.Exit, 2);
        QVERIFY(Run.Err.contains("Usage: kvlocker"));
        QVERIFY(Run.Out.isEmpty());
    }

    void helpDescribesEverything() {
        for (const QStringList& Arguments :
             {QStringList({"--help"}), QStringList({"create", "-h"}), QStringList({"help"})}) {
            const TRun Run = RunKvlocker(Arguments);
            QCOMPARE(Run.Exit, 0);
            for (const char* Word :
                 {"create SOURCE [LOCKER]", "extract LOCKER [FOLDER]", "verify LOCKER", "info LOCKER", "--force",
                  "--password-stdin", "--version", "recovery code", "Exit status", "130"})
                QVERIFY2(Run.Out.contains(Word), Word);
        }
    }

    void versionIsTheProgramsOwn() {
        const TRun Run = RunKvlocker({"--version"});
        QCOMPARE(Run.Exit, 0);
        QCOMPARE(QString::fromUtf8(Run.Out), "kvlocker " + ProgramVersion() + "\n");
        QVERIFY(Run.Err.isEmpty());
    }

    void createReplacesOnlyWithForce() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/first/one.txt", "first");
        WriteFile(Tmp.path() + "/second/two.txt", "second");
        const QString Locker = Tmp.path() + "/vault.kvlocker";
        QVERIFY(!Create(Tmp.path() + "/first", Locker, "one").isEmpty());
        const QByteArray Old = ReadFile(Locker);
        const QStringList NamesBefore = FolderNames(Tmp.path());

        const TRun Refused = RunKvlocker({"create", "--password-stdin", Tmp.path() + "/second", Locker}, Line("two"));
        QCOMPARE(Refused.Exit, 1);
        QVERIFY2(Refused.Err.contains("already exists"), Refused.Err.constData());
        QCOMPARE(ReadFile(Locker), Old);

        // A create that fails keeps the old locker whole, even with --force.
        QCOMPARE(::mkfifo(Enc(Tmp.path() + "/second/pipe").constData(), 0600), 0);
        const TRun Failed =
            RunKvlocker({"create", "--force", "--password-stdin", Tmp.path() + "/second", Locker}, Line("two"));
        QCOMPARE(Failed.Exit, 1);
        QVERIFY(!Failed.Err.isEmpty());
        QCOMPARE(ReadFile(Locker), Old);
        QCOMPARE(FolderNames(Tmp.path()), NamesBefore);
        QVERIFY(QFile::remove(Tmp.path() + "/second/pipe"));

        const TRun Empty = RunKvlocker({"create", "--force", "--password-stdin", Tmp.path() + "/second", Locker}, "\n");
        QCOMPARE(Empty.Exit, 1);
        QVERIFY(Empty.Err.contains("Locker password cannot be empty."));
        QCOMPARE(ReadFile(Locker), Old);

        const TRun Forced =
            RunKvlocker({"create", "--force", "--password-stdin", Tmp.path() + "/second", Locker}, Line("two"));
        QCOMPARE(Forced.Exit, 0);
        QVERIFY(ReadFile(Locker) != Old);
        QCOMPARE(FolderNames(Tmp.path()), NamesBefore);
        QCOMPARE(RunKvlocker({"verify", "--password-stdin", Locker}, Line("one")).Exit, 1);
        QCOMPARE(RunKvlocker({"extract", "--password-stdin", Locker, Tmp.path() + "/out"}, Line("two")).Exit, 0);
        QCOMPARE(ReadFile(Tmp.path() + "/out/second/two.txt"), QByteArray("second"));
    }

    void createRefusesToWriteIntoItsSource() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/src/a.txt", "a");
        const TRun Inside = RunKvlocker(
            {"create", "--password-stdin", Tmp.path() + "/src", Tmp.path() + "/src/x.kvlocker"}, Line(Password));
        QCOMPARE(Inside.Exit, 1);
        const TRun OverItself =
            RunKvlocker({"create", "--force", "--password-stdin", Tmp.path() + "/src/a.txt", Tmp.path() + "/src/a.txt"},
                        Line(Password));
        QCOMPARE(OverItself.Exit, 1);
        QCOMPARE(ReadFile(Tmp.path() + "/src/a.txt"), QByteArray("a"));
        QCOMPARE(FolderNames(Tmp.path() + "/src"), QStringList({"a.txt"}));
        const TRun Missing = RunKvlocker({"create", "--password-stdin", Tmp.path() + "/nothing"}, Line(Password));
        QCOMPARE(Missing.Exit, 1);
        QVERIFY(Missing.Err.contains("Source path does not exist."));
    }

    void extractReplacesOnlyWithForce() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/src/kept.txt", "from the locker");
        const QString Locker = Tmp.path() + "/src.kvlocker";
        QVERIFY(!Create(Tmp.path() + "/src", Locker).isEmpty());
        const QString Dest = Tmp.path() + "/dest";
        WriteFile(Dest + "/src/kept.txt", "already here");
        WriteFile(Dest + "/src/other.txt", "unrelated");

        const TRun Refused = RunKvlocker({"extract", "--password-stdin", Locker, Dest}, Line(Password));
        QCOMPARE(Refused.Exit, 1);
        QVERIFY2(Refused.Err.contains("already exists"), Refused.Err.constData());
        QCOMPARE(ReadFile(Dest + "/src/kept.txt"), QByteArray("already here"));
        QCOMPARE(FolderNames(Dest), QStringList({"src"}));

        const TRun Forced = RunKvlocker({"extract", "--force", "--password-stdin", Locker, Dest}, Line(Password));
        QCOMPARE(Forced.Exit, 0);
        QCOMPARE(ReadFile(Dest + "/src/kept.txt"), QByteArray("from the locker"));
        QCOMPARE(ReadFile(Dest + "/src/other.txt"), QByteArray("unrelated"));
    }

    // Folders come back with their own permissions: a private folder stays private.
    void roundTripKeepsFolderPermissions() {
        QTemporaryDir Tmp;
        const QString Source = Tmp.path() + "/home";
        WriteFile(Source + "/.ssh/id_ed25519", "PRIVATE KEY", 0600);
        QVERIFY(::chmod(Enc(Source + "/.ssh").constData(), 0700) == 0);
        QVERIFY(QDir().mkpath(Source + "/public"));
        QVERIFY(::chmod(Enc(Source + "/public").constData(), 0755) == 0);
        QVERIFY(::chmod(Enc(Source).constData(), 0750) == 0);
        const QString Locker = Tmp.path() + "/home.kvlocker";
        QVERIFY(!Create(Source, Locker).isEmpty());
        const TRun Run = RunKvlocker({"extract", "--password-stdin", Locker, Tmp.path() + "/out"}, Line(Password));
        QCOMPARE(Run.Exit, 0);
        auto Mode = [](const QString& Path) {
            struct stat St {};
            return ::lstat(Enc(Path).constData(), &St) == 0 ? int(St.st_mode & 07777) : -1;
        };
        QCOMPARE(Mode(Tmp.path() + "/out/home"), 0750);
        QCOMPARE(Mode(Tmp.path() + "/out/home/.ssh"), 0700);
        QCOMPARE(Mode(Tmp.path() + "/out/home/public"), 0755);
        QCOMPARE(Mode(Tmp.path() + "/out/home/.ssh/id_ed25519"), 0600);
        QCOMPARE(FolderNames(Tmp.path() + "/out"), QStringList{"home"});
    }

    // Every name the tool prints, on success or failure, reaches the terminal with its control
    // characters escaped, the engine's messages included: none can inject an escape sequence or
    // start a line of its own.
    void namesAreShownEscaped_data() {
        QTest::addColumn<QString>("Scenario");
        QTest::addColumn<int>("Exit");
        QTest::addColumn<QString>("Expected"); // {tmp}: the folder; {name}: the name, escaped
        QTest::newRow("create") << "create" << 0 << "Locker created: {tmp}/{name}.kvlocker\n";
        QTest::newRow("info") << "info" << 0 << "Locker: {tmp}/{name}.kvlocker\n";
        QTest::newRow("extract") << "extract" << 0 << "Extracted: {tmp}/{name}-out/{name}\n";
        QTest::newRow("create: locker exists")
            << "create exists" << 1 << "kvlocker: \"{tmp}/{name}.kvlocker\" already exists.";
        QTest::newRow("create: pipe in the source (engine message)")
            << "create pipe" << 1 << "A socket, pipe or device cannot be put in a locker.\n{tmp}/{name}/{name}\n";
        QTest::newRow("extract: destination is a file")
            << "extract into file" << 1 << "kvlocker: \"{tmp}/{name}-file\" is not a folder.\n";
        QTest::newRow("usage: unexpected operand") << "usage" << 2 << "unexpected operand \"{name}\"\n";
    }
    void namesAreShownEscaped() {
        QFETCH(QString, Scenario);
        QFETCH(int, Exit);
        QFETCH(QString, Expected);
        QTemporaryDir Tmp;
        const QString Name = QStringLiteral("title\x1b]0;owned\x07 \x1b[31mred\nline");
        const QString Source = Tmp.path() + "/" + Name;
        const QString Locker = Source + ".kvlocker";
        WriteFile(Source + "/f", "x");
        if (Scenario != "create" && Scenario != "create pipe")
            QVERIFY(!Create(Source, Locker).isEmpty());

        QStringList Arguments;
        if (Scenario == "create" || Scenario == "create exists") {
            Arguments = {"create", "--password-stdin", Source};
        } else if (Scenario == "create pipe") {
            QCOMPARE(::mkfifo(Enc(Source + "/" + Name).constData(), 0600), 0);
            Arguments = {"create", "--password-stdin", Source};
        } else if (Scenario == "info") {
            Arguments = {"info", Locker};
        } else if (Scenario == "extract") {
            Arguments = {"extract", "--password-stdin", Locker, Source + "-out"};
        } else if (Scenario == "extract into file") {
            WriteFile(Source + "-file", "x");
            Arguments = {"extract", "--password-stdin", Locker, Source + "-file"};
        } else {
            Arguments = {"verify", Locker, Name};
        }
        const TRun Run = RunKvlocker(Arguments, Line(Password));
        QCOMPARE(Run.Exit, Exit);
        const QByteArray Both = Run.Out + Run.Err;
        QVERIFY2(!Both.contains('\x1b') && !Both.contains('\x07') && !Both.contains("red\nline"),
                 Both.toHex().constData());
        const QString Escaped = QStringLiteral("title\\x1b]0;owned\\x07 \\x1b[31mred\\x0aline");
        QString Text = Expected;
        Text.replace("{tmp}", Tmp.path()).replace("{name}", Escaped);
        QVERIFY2(Both.contains(Text.toUtf8()), Both.constData());
        if (Scenario == "extract")
            QCOMPARE(ReadFile(Source + "-out/" + Name + "/f"), QByteArray("x"));
    }

    // --force reuses only folders of the user that others cannot write to.
    void forceRefusesFoldersOthersMayWrite() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/src/kept.txt", "from the locker");
        const QString Locker = Tmp.path() + "/src.kvlocker";
        QVERIFY(!Create(Tmp.path() + "/src", Locker).isEmpty());
        const QString Dest = Tmp.path() + "/dest";
        QVERIFY(QDir().mkpath(Dest + "/src"));
        QVERIFY(::chmod(Enc(Dest + "/src").constData(), 0777) == 0);
        const TRun Run = RunKvlocker({"extract", "--force", "--password-stdin", Locker, Dest}, Line(Password));
        QCOMPARE(Run.Exit, 1);
        QVERIFY2(Run.Err.contains("others may write to it"), Run.Err.constData());
        QVERIFY(FolderNames(Dest + "/src").isEmpty());
        QCOMPARE(FolderNames(Dest), QStringList{"src"});
    }

    // A password longer than the reserved buffer is refused rather than grown into.
    void overlongPasswordIsRefused() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/f", "x");
        const TRun Run = RunKvlocker({"create", "--password-stdin", Tmp.path() + "/f", Tmp.path() + "/f.kvlocker"},
                                     QByteArray(5000, 'p') + '\n');
        QCOMPARE(Run.Exit, 1);
        QVERIFY2(Run.Err.contains("The password is too long."), Run.Err.constData());
        QVERIFY(!QFileInfo::exists(Tmp.path() + "/f.kvlocker"));
    }

    void infoShowsTheClearHeader() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/doc.txt", "some content");
        const QString Locker = Tmp.path() + "/doc.kvlocker";
        QVERIFY(!Create(Tmp.path() + "/doc.txt", Locker).isEmpty());
        const qint64 Size = QFileInfo(Locker).size();

        const TRun Run = RunKvlocker({"info", Locker});
        QCOMPARE(Run.Exit, 0);
        const QString Out = QString::fromUtf8(Run.Out);
        QVERIFY2(Out.contains("Format version: 4\n"), Run.Out.constData());
        QVERIFY(Out.contains("Password slot iterations: 200000\n"));
        QVERIFY(Out.contains("Recovery slot iterations: 200000\n"));
        QVERIFY(Out.contains(QStringLiteral("Payload length: %1\n").arg(Size - HeaderSize)));
        QVERIFY(!Out.contains("Note:"));
    }

    // A large file that is not a locker is refused on its first bytes, however long its first four
    // bytes say the magic is.
    void infoRefusesAForeignFileAtOnce() {
        QTemporaryDir Tmp;
        const QString Path = Tmp.path() + "/big.kvlocker";
        // 1.1 GB, starting with the length 1000 MiB.
        QVERIFY(WriteSparseFile(Path, QByteArray::fromHex("0000803e"), qint64(1100) << 20));
        const qint64 Before = BytesReadByProcess();
        if (Before < 0)
            QSKIP("/proc/self/io is not available");
        const TRun Run = RunKvlocker({"info", Path});
        const qint64 Read = BytesReadByProcess() - Before;
        QCOMPARE(Run.Exit, 1);
        QCOMPARE(Run.Err, QByteArray("kvlocker: Invalid locker file.\n"));
        // The program's own start-up reads some, and so does the test its output.
        QVERIFY2(Read < (4 << 20), qPrintable(QString::number(Read)));
    }

    void damagedLockersFail_data() {
        QTest::addColumn<QString>("Command");
        QTest::addColumn<int>("Offset"); // byte to change, or -1
        QTest::addColumn<char>("Value");
        QTest::addColumn<int>("TruncateTo"); // -1 keeps the length
        QTest::addColumn<QString>("Message");
        QTest::newRow("info: magic") << "info" << 4 << 'X' << -1 << "Invalid locker file.";
        QTest::newRow("info: version 3") << "info" << 9 << '\x03' << -1 << "Unsupported locker version.";
        QTest::newRow("info: cut in header") << "info" << -1 << '\0' << 100 << "Stream read error";
        QTest::newRow("info: negative payload length")
            << "info" << 172 << '\x80' << -1 << "Invalid locker payload length.";
        QTest::newRow("verify: payload byte")
            << "verify" << 200 << '\x5A' << -1 << "Locker verification failed (MAC mismatch).";
        QTest::newRow("verify: version 3") << "verify" << 9 << '\x03' << -1 << "Unsupported locker version.";
        QTest::newRow("extract: payload byte")
            << "extract" << 200 << '\x5A' << -1 << "Invalid password or recovery code.";
        QTest::newRow("extract: MAC byte") << "extract" << 140 << '\x01' << -1 << "Invalid password or recovery code.";
    }
    void damagedLockersFail() {
        QFETCH(QString, Command);
        QFETCH(int, Offset);
        QFETCH(char, Value);
        QFETCH(int, TruncateTo);
        QFETCH(QString, Message);
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/src/file.bin", PseudoRandom(5000, 3));
        const QString Locker = Tmp.path() + "/src.kvlocker";
        QVERIFY(!Create(Tmp.path() + "/src", Locker).isEmpty());
        QByteArray Bytes = ReadFile(Locker);
        if (Offset >= 0)
            Bytes[Offset] = static_cast<char>(Bytes.at(Offset) ^ Value);
        if (TruncateTo >= 0)
            Bytes.truncate(TruncateTo);
        WriteFile(Locker, Bytes, 0600);

        QStringList Arguments{Command};
        if (Command != "info")
            Arguments << "--password-stdin";
        Arguments << Locker;
        if (Command == "extract")
            Arguments << Tmp.path() + "/out";
        const TRun Run = RunKvlocker(Arguments, Line(Password));
        QCOMPARE(Run.Exit, 1);
        QVERIFY2(Run.Err.contains(Message.toUtf8()), Run.Err.constData());
        QVERIFY(!QFileInfo::exists(Tmp.path() + "/out"));
    }

    void secretIsTheFirstLineOfStdin() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/f.txt", "content");
        const QString Locker = Tmp.path() + "/f.kvlocker";
        // Only the first line counts, whatever follows; a CR LF line end is not part of it.
        const TRun Created =
            RunKvlocker({"create", "--password-stdin", Tmp.path() + "/f.txt", Locker}, "first line\r\nsecond line\n");
        QCOMPARE(Created.Exit, 0);
        QCOMPARE(RunKvlocker({"verify", "--password-stdin", Locker}, "first line").Exit, 0);
        QCOMPARE(RunKvlocker({"verify", "--password-stdin", Locker}, "first line\r\nsecond line\n").Exit, 0);
        QCOMPARE(RunKvlocker({"verify", "--password-stdin", Locker}, "second line\n").Exit, 1);

        const TRun NoInput = RunKvlocker({"verify", "--password-stdin", Locker});
        QCOMPARE(NoInput.Exit, 1);
        // Without a terminal, asking is impossible: the tool says how to give the secret instead.
        const TRun NoTerminal = RunKvlocker({"verify", Locker}, "first line\n");
        QCOMPARE(NoTerminal.Exit, 1);
        QVERIFY2(NoTerminal.Err.contains("--password-stdin"), NoTerminal.Err.constData());
    }

    // Ctrl-C while the tool waits for its secret ends it cleanly, with nothing created.
    void interruptWhileWaitingForTheSecret() {
        QTemporaryDir Tmp;
        WriteFile(Tmp.path() + "/f.txt", "content");
        QProcess Process;
        Process.start(QStringLiteral(KVLOCKER_PATH), {"create", "--password-stdin", Tmp.path() + "/f.txt"});
        QVERIFY(Process.waitForStarted(10000));
        // Blocked in read(0, ...) means the handler is in place and the prompt is waiting.
        const QString SyscallFile = QStringLiteral("/proc/%1/syscall").arg(Process.processId());
        QTRY_VERIFY_WITH_TIMEOUT(ReadFile(SyscallFile).startsWith("0 0x0 "), 10000);
        QCOMPARE(::kill(static_cast<pid_t>(Process.processId()), SIGINT), 0);
        QVERIFY(Process.waitForFinished(10000));
        QCOMPARE(Process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(Process.exitCode(), 130);
        QCOMPARE(FolderNames(Tmp.path()), QStringList({"f.txt"}));
    }

    // Ctrl-C while the engine works stops it, cleans up and exits with the shell's status for it.
    void interruptedOperationExitsWith130_data() {
        QTest::addColumn<QString>("Command");
        QTest::newRow("create") << "create";
        QTest::newRow("extract") << "extract";
        QTest::newRow("verify") << "verify";
    }
    void interruptedOperationExitsWith130() {
        QFETCH(QString, Command);
        QTemporaryDir Tmp;
        // Large enough to take a good second; a hole costs no disk space.
        const QString Big = Tmp.path() + "/src/big.bin";
        QVERIFY(QDir().mkpath(Tmp.path() + "/src"));
        QVERIFY(WriteSparseFile(Big, "head", qint64(512) << 20));
        const QString Locker = Tmp.path() + "/src.kvlocker";
        if (Command != "create")
            QVERIFY(!Create(Tmp.path() + "/src", Locker).isEmpty());
        const QStringList Before = FolderNames(Tmp.path());

        QStringList Arguments{Command, "--password-stdin", Command == "create" ? Tmp.path() + "/src" : Locker};
        if (Command == "extract")
            Arguments << Tmp.path() + "/out";
        QProcess Process;
        Process.start(QStringLiteral(KVLOCKER_PATH), Arguments);
        QVERIFY(Process.waitForStarted(10000));
        Process.write(Line(Password));
        Process.closeWriteChannel();
        // The file the operation reads being open means that the secret was taken and the work began.
        const QString Read = Command == "create" ? Big : Locker;
        for (QDeadlineTimer Deadline(30000); !HoldsOpen(Process.processId(), Read);) {
            QVERIFY2(!Process.waitForFinished(1), Process.readAllStandardError().constData());
            QVERIFY(!Deadline.hasExpired());
        }
        QCOMPARE(::kill(static_cast<pid_t>(Process.processId()), SIGINT), 0);
        QVERIFY(Process.waitForFinished(60000));
        QCOMPARE(Process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(Process.exitCode(), 130);
        QVERIFY(Process.readAllStandardError().contains("Operation cancelled by user."));
        // No locker, temporary file or extracted item left behind.
        QCOMPARE(FolderNames(Tmp.path()), Before);
    }
};

QTEST_GUILESS_MAIN(TestKvlocker)
#include "test_kvlocker.moc"
