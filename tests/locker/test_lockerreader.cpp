#include "platform/KelvarnError.h"
#include "LockerCorpus.h"
#include "LockerTestSupport.h"
#include "platform/PlatformDirHandle.h"
#include "locker/uLocker.h"
#include "crypto/uSecurityUtils.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Password = QStringLiteral("correct horse");

} // namespace

class TestLockerReader : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FLocker;
    QString FRecovery;
    QMap<QString, QString> FTree;
    QString FRootMode;

    QString P(const QString& Name) const { return FDir.filePath(Name); }

private slots:
    // One locker of a tree with hidden files, an empty folder, a read-only file and non-ASCII names,
    // shared by the tests below.
    void initTestCase() {
        const QString Src = P("src/Tree ñ");
        QVERIFY(WriteTestFile(Src + "/plain.txt", "plain", 0640));
        QVERIFY(WriteTestFile(Src + "/private/key", "secret", 0600));
        QVERIFY(::chmod(Enc(Src + "/private").constData(), 0700) == 0);
        QVERIFY(QDir().mkpath(Src + "/shared/team"));
        QVERIFY(::chmod(Enc(Src + "/shared").constData(), 0751) == 0);
        QVERIFY(::chmod(Enc(Src + "/shared/team").constData(), 0570) == 0);
        QVERIFY(WriteTestFile(Src + "/.hidden-file", "dot", 0600));
        QVERIFY(WriteTestFile(Src + "/ro/locked.bin", QByteArray(70000, 'x'), 0444));
        QVERIFY(WriteTestFile(Src + "/ümlaut/ß.txt", "sharp", 0644));
        QVERIFY(WriteTestFile(Src + "/script.sh", "#!/bin/sh", 0755));
        QVERIFY(QDir().mkpath(Src + "/empty/nested-empty"));
        // Small files enough for several pieces, read ahead, and for flushes while they are written.
        for (int I = 0; I < 100; ++I)
            QVERIFY(WriteTestFile(Src + QStringLiteral("/many/%1.dat").arg(I), QByteArray(60000, char('a' + I % 26))));
        QVERIFY(::chmod(Enc(Src).constData(), 0710) == 0);
        FTree = SnapshotTree(Src);
        FRootMode = DescribeItem(Src);
        FLocker = P("tree.kvlocker");
        const TLockerResult R = CreateLockerAt(Src, FLocker, Password);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        FRecovery = R.RecoveryCode;
    }

    void roundTrip_data() {
        QTest::addColumn<bool>("WithRecoveryCode");
        QTest::newRow("password") << false;
        QTest::newRow("recovery code") << true;
    }
    void roundTrip() {
        QFETCH(bool, WithRecoveryCode);
        QTemporaryDir Out;
        const QString Dest = Out.filePath("restore/here");
        QList<int64_t> Dones;
        int64_t Total = 0;
        const TLockerResult R = ExtractLocker(FLocker, Dest, WithRecoveryCode ? FRecovery : Password,
                                              [&](const QString&, int64_t D, int64_t T) {
                                                  Dones.append(D);
                                                  Total = T;
                                              });
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        QCOMPARE(R.MessageText, QStringLiteral("Locker extracted successfully."));
        QCOMPARE(R.RecoveryCode, WithRecoveryCode ? FRecovery : QString());
        // Files and folders come back with the permissions they were packed with, the root folder's
        // own included.
        QCOMPARE(SnapshotTree(Dest + "/Tree ñ"), FTree);
        QCOMPARE(DescribeItem(Dest + "/Tree ñ"), FRootMode);
        QCOMPARE(Total, QFileInfo(FLocker).size() - 173);
        QCOMPARE(Dones.last(), Total);
        QVERIFY(std::is_sorted(Dones.cbegin(), Dones.cend()));

        QString Message;
        QCOMPARE(VerifyLocker(FLocker, Password, Message), true);
        QVERIFY(Message.isEmpty());
        QCOMPARE(VerifyLocker(FLocker, FRecovery, Message), false);
        QCOMPARE(Message, QStringLiteral("Locker verification failed (MAC mismatch)."));
    }

    void wrongSecretWritesNothing() {
        QTemporaryDir Out;
        const QString Dest = Out.filePath("never");
        const TLockerResult R = ExtractLocker(FLocker, Dest, "wrong");
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText, QStringLiteral("Invalid password or recovery code."));
        QVERIFY(!Fs::PathExists(Dest));
    }

    // A recovery code opens the locker however it is typed. In Form, "x" and "X" stand for the code's
    // next digit in lower and upper case; every other character is typed as it is.
    void recoveryCodeInAnyForm_data() {
        QTest::addColumn<QString>("Form");
        QTest::addColumn<bool>("Opens");
        QTest::newRow("lowercase") << "xxxx-xxxx-xxxx-xxxx-xxxx-xxxx-xxxx-xxxx" << true;
        QTest::newRow("no hyphens") << "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX" << true;
        QTest::newRow("spaces") << "XXXX XXXX XXXX XXXX XXXX XXXX XXXX XXXX" << true;
        QTest::newRow("mixed") << " xXxX--XXxx xxXX XXXX-xxxx XXXXXXXX - xxxx " << true;
        QTest::newRow("digit missing") << "xxxx-xxxx-xxxx-xxxx-xxxx-xxxx-xxxx-xxx" << false;
        QTest::newRow("digit added") << "xxxx-xxxx-xxxx-xxxx-xxxx-xxxx-xxxx-xxxx0" << false;
        QTest::newRow("other separator") << "xxxx_xxxx_xxxx_xxxx_xxxx_xxxx_xxxx_xxxx" << false;
    }
    void recoveryCodeInAnyForm() {
        QFETCH(QString, Form);
        QFETCH(bool, Opens);
        const QString Digits = QString(FRecovery).remove(QLatin1Char('-'));
        QVERIFY(Form.count(u'x') + Form.count(u'X') <= Digits.size());
        QString Typed;
        int Next = 0;
        for (const QChar C : Form)
            Typed += C == u'x' ? Digits.at(Next++).toLower() : C == u'X' ? Digits.at(Next++).toUpper() : C;
        QTemporaryDir Out;
        const TLockerResult R = ExtractLocker(FLocker, Out.filePath("back"), Typed);
        QCOMPARE(R.Success, Opens);
        if (Opens) {
            QCOMPARE(R.RecoveryCode, FRecovery);
            QCOMPARE(SnapshotTree(Out.filePath("back/Tree ñ")), FTree);
        } else {
            QVERIFY(R.WrongSecret);
            QVERIFY(!Fs::PathExists(Out.filePath("back")));
        }
    }

    // A password may look like a recovery code: its slot takes it exactly as typed.
    void codeShapedPasswordOpensOnlyAsTyped() {
        QTemporaryDir Out;
        const QString Shaped = QStringLiteral("0a1b 2c3d 4e5f 6789 abcd ef01 2345 6789");
        QVERIFY(WriteTestFile(Out.filePath("f.txt"), "x"));
        const TLockerResult Made = CreateLockerAt(Out.filePath("f.txt"), Out.filePath("f.kvlocker"), Shaped);
        QVERIFY2(Made.Success, qPrintable(Made.MessageText));
        const TLockerResult AsTyped = ExtractLocker(Out.filePath("f.kvlocker"), Out.filePath("a"), Shaped);
        QVERIFY2(AsTyped.Success, qPrintable(AsTyped.MessageText));
        QVERIFY(AsTyped.RecoveryCode.isEmpty());
        const TLockerResult AsCode =
            ExtractLocker(Out.filePath("f.kvlocker"), Out.filePath("b"), CanonicalRecoveryCode(Shaped).value());
        QVERIFY(AsCode.WrongSecret);
    }

    // Whichever secret is given, the payload is read once: both slots are opened first, and the
    // payload's MAC is checked under each in the same read.
    void onePayloadReadPerSecret_data() {
        QTest::addColumn<QString>("Secret");
        QTest::addColumn<bool>("Opens");
        QTest::newRow("password") << "password" << true;
        QTest::newRow("recovery code") << "recovery" << true;
        QTest::newRow("wrong secret") << "wrong" << false;
    }
    void onePayloadReadPerSecret() {
        QFETCH(QString, Secret);
        QFETCH(bool, Opens);
        QTemporaryDir Out;
        constexpr int64_t Size = 24 << 20;
        QByteArray Data(Size, Qt::Uninitialized);
        for (qsizetype I = 0; I < Data.size(); ++I)
            Data[I] = static_cast<char>((static_cast<uint64_t>(I) * 2654435761u) >> 13);
        QVERIFY(WriteTestFile(Out.filePath("big.bin"), Data));
        const TLockerResult Made = CreateLockerAt(Out.filePath("big.bin"), Out.filePath("big.kvlocker"), Password);
        QVERIFY2(Made.Success, qPrintable(Made.MessageText));
        const QString Given = Secret == "password" ? Password : Secret == "recovery" ? Made.RecoveryCode : Secret;
        const int64_t Before = BytesReadByProcess();
        if (Before < 0)
            QSKIP("/proc/self/io is not available");
        const TLockerResult R = ExtractLocker(Out.filePath("big.kvlocker"), Out.filePath("back"), Given);
        const int64_t Read = BytesReadByProcess() - Before;
        QCOMPARE(R.Success, Opens);
        if (Opens)
            QCOMPARE(ReadTestFile(Out.filePath("back/big.bin")), Data);
        else
            QCOMPARE(R.MessageText, QStringLiteral("Invalid password or recovery code."));
        QVERIFY2(Read >= Size && Read < Size + Size / 2, qPrintable(QString::number(Read)));
    }

    // Any large file offered as a locker is turned away on its first four bytes: a length other than
    // the magic's is never taken as a count of bytes to read.
    void foreignFileRefusedAtOnce_data() {
        QTest::addColumn<QString>("Entry");
        QTest::newRow("extract") << "extract";
        QTest::newRow("staged extract") << "staged";
        QTest::newRow("verify") << "verify";
    }
    void foreignFileRefusedAtOnce() {
        QFETCH(QString, Entry);
        QTemporaryDir Out;
        const QString Path = Out.filePath("big.kvlocker");
        // 1.1 GB, starting with the length 1000 MiB.
        QVERIFY(WriteSparseFile(Path, QByteArray::fromHex("0000803e"), qint64(1100) << 20));
        auto Attempt = [&] {
            if (Entry == "extract")
                return ExtractLocker(Path, Out.filePath("back"), Password).MessageText;
            if (Entry == "staged") {
                TLockerStaging Staging;
                try {
                    return Staging.Extract(Path, Out.filePath("back"), Password).MessageText;
                } catch (const EKelvarnError& E) {
                    return E.Message();
                }
            }
            QString Message;
            VerifyLocker(Path, Password, Message);
            return Message;
        };
        // Once before counting, so that whatever is loaded on first use is not counted.
        QCOMPARE(Attempt(), QStringLiteral("Invalid locker file."));
        const int64_t Before = BytesReadByProcess();
        if (Before < 0)
            QSKIP("/proc/self/io is not available");
        QCOMPARE(Attempt(), QStringLiteral("Invalid locker file."));
        const int64_t Read = BytesReadByProcess() - Before;
        // The counting itself reads /proc/self/io once.
        QVERIFY2(Read < 1024, qPrintable(QString::number(Read)));
        QVERIFY(!Fs::PathExists(Out.filePath("back")));
    }

    void missingLockerAndEmptyDestination() {
        QString Message = "x";
        QVERIFY(!VerifyLocker(P("none.kvlocker"), Password, Message));
        QCOMPARE(Message, QStringLiteral("Locker file does not exist."));
        QCOMPARE(ExtractLocker(P("none.kvlocker"), P("d"), Password).MessageText,
                 QStringLiteral("Locker file does not exist."));
        QCOMPARE(ExtractLocker(FLocker, QString(), Password).MessageText,
                 QStringLiteral("The destination folder cannot be empty."));
    }

    // An existing file is removed and created anew (read-only ones too, and a hard link elsewhere
    // keeps its content); an existing folder is reused with what else it holds.
    void replacesFilesAndReusesFolders() {
        QTemporaryDir Out;
        const QString Root = Out.filePath("Tree ñ");
        QVERIFY(WriteTestFile(Root + "/plain.txt", "old and longer content", 0444));
        QVERIFY(WriteTestFile(Root + "/ro/locked.bin", "old", 0400));
        QVERIFY(WriteTestFile(Out.filePath("elsewhere"), "keep me"));
        QVERIFY(::link(QFile::encodeName(Out.filePath("elsewhere")).constData(),
                       QFile::encodeName(Root + "/script.sh").constData()) == 0);
        QVERIFY(WriteTestFile(Root + "/ümlaut/extra.txt", "mine"));
        const TLockerResult R = ExtractLocker(FLocker, Out.path(), Password);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        QCOMPARE(ReadTestFile(Root + "/plain.txt"), QByteArray("plain"));
        QCOMPARE(ReadTestFile(Root + "/ro/locked.bin"), QByteArray(70000, 'x'));
        QCOMPARE(ReadTestFile(Out.filePath("elsewhere")), QByteArray("keep me"));
        QCOMPARE(ReadTestFile(Root + "/script.sh"), QByteArray("#!/bin/sh"));
        QCOMPARE(ReadTestFile(Root + "/ümlaut/extra.txt"), QByteArray("mine"));
        QCOMPARE(DescribeItem(Root + "/plain.txt").section(' ', 0, 1), QStringLiteral("file 640"));
    }

    // Links planted in the destination are never written through.
    void plantedLinks() {
        QTemporaryDir Out;
        QVERIFY(QDir().mkpath(Out.filePath("target-dir")));
        QVERIFY(WriteTestFile(Out.filePath("target-file"), "untouched"));
        const QString Root = Out.filePath("dest/Tree ñ");
        QVERIFY(QDir().mkpath(Root));
        // A link where a file goes is replaced by the file; the link's target stays as it was.
        QVERIFY(::symlink(QFile::encodeName(Out.filePath("target-file")).constData(),
                          QFile::encodeName(Root + "/plain.txt").constData()) == 0);
        // A link where a folder goes stops the extraction before anything is written through it.
        QVERIFY(::symlink(QFile::encodeName(Out.filePath("target-dir")).constData(),
                          QFile::encodeName(Root + "/ümlaut").constData()) == 0);
        const TLockerResult R = ExtractLocker(FLocker, Out.filePath("dest"), Password);
        QVERIFY(!R.Success);
        QCOMPARE(
            R.MessageText,
            QStringLiteral("An existing item that is not a folder is in the way of a folder from the locker.\r\n") +
                Root + "/ümlaut");
        QCOMPARE(ReadTestFile(Out.filePath("target-file")), QByteArray("untouched"));
        QVERIFY(QDir(Out.filePath("target-dir")).isEmpty());

        QVERIFY(::unlink(QFile::encodeName(Root + "/ümlaut").constData()) == 0);
        const TLockerResult Again = ExtractLocker(FLocker, Out.filePath("dest"), Password);
        QVERIFY2(Again.Success, qPrintable(Again.MessageText));
        QCOMPARE(ReadTestFile(Root + "/plain.txt"), QByteArray("plain"));
        QVERIFY(Fs::FileExists(Root + "/plain.txt"));
        QCOMPARE(ReadTestFile(Out.filePath("target-file")), QByteArray("untouched"));

        // The root folder itself as a planted link.
        QTemporaryDir Other;
        QVERIFY(::symlink(QFile::encodeName(Out.filePath("target-dir")).constData(),
                          QFile::encodeName(Other.filePath("Tree ñ")).constData()) == 0);
        QVERIFY(!ExtractLocker(FLocker, Other.path(), Password).Success);
        QVERIFY(QDir(Out.filePath("target-dir")).isEmpty());
    }

    // A single-file locker whose content bears the locker's own name must not replace the locker.
    void neverOverItself() {
        QTemporaryDir Out;
        QVERIFY(WriteTestFile(Out.filePath("src/data"), "content"));
        const QString Locker = Out.filePath("box/data");
        QVERIFY(QDir().mkpath(Out.filePath("box")));
        QVERIFY(CreateLockerAt(Out.filePath("src/data"), Locker, Password).Success);
        const QByteArray Bytes = ReadTestFile(Locker);
        const TLockerResult R = ExtractLocker(Locker, Out.filePath("box"), Password);
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText, QStringLiteral("The locker cannot be extracted over itself.\r\n") + Locker);
        QCOMPARE(ReadTestFile(Locker), Bytes);
    }

    void singleFile() {
        QTemporaryDir Out;
        QVERIFY(WriteTestFile(Out.filePath("report.pdf"), "%PDF", 0604));
        QVERIFY(CreateLockerAt(Out.filePath("report.pdf"), Out.filePath("r.kvlocker"), Password).Success);
        const TLockerResult R = ExtractLocker(Out.filePath("r.kvlocker"), Out.filePath("back"), Password);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        QCOMPARE(SnapshotTree(Out.filePath("back")).keys(), QStringList{"report.pdf"});
        QCOMPARE(DescribeItem(Out.filePath("back/report.pdf")).section(' ', 0, 1), QStringLiteral("file 604"));
    }

    // Stored permissions come back masked to 0777, without set-id or sticky bits; stored read-only
    // wins over write bits. The high 16 bits count as a mode only when their type bits name a file:
    // lockers from Windows use them for other things, and lockers written before the type bits were
    // stored carry none; both give the owner read and write.
    void restoredPermissions_data() {
        QTest::addColumn<int>("Attr");
        QTest::addColumn<int>("Mode");
        const int File = S_IFREG << 16;
        QTest::newRow("setuid and sticky") << (0x20 | File | (07755 << 16)) << 0755;
        QTest::newRow("setgid") << (0x20 | File | (02750 << 16)) << 0750;
        QTest::newRow("read-only wins") << (0x21 | File | (0666 << 16)) << 0444;
        QTest::newRow("owner write added") << (0x20 | File | (0444 << 16)) << 0644;
        QTest::newRow("no permission bits") << 0x20 << 0600;
        QTest::newRow("hidden and system cleared") << (0x26 | File | (0640 << 16)) << 0640;
        QTest::newRow("folder type on a file") << (0x20 | (S_IFDIR << 16) | (0755 << 16)) << 0600;
        QTest::newRow("written before type bits") << (0x20 | (0644 << 16)) << 0600;
        QTest::newRow("written before type bits, read-only") << (0x21 | (0444 << 16)) << 0400;
        QTest::newRow("windows pinned") << 0x80020 << 0600;
        QTest::newRow("windows unpinned") << 0x100020 << 0600;
        QTest::newRow("windows recall on open") << 0x40020 << 0600;
        QTest::newRow("windows recall on data access") << 0x400020 << 0600;
        QTest::newRow("windows pinned, read-only") << 0x80021 << 0400;
    }
    void restoredPermissions() {
        QFETCH(int, Attr);
        QFETCH(int, Mode);
        TCorpusPayload Payload;
        Payload.RootName = "f.bin";
        Payload.RootIsFolder = false;
        Payload.Entries = {CorpusFile("f.bin", "data", Attr)};
        QTemporaryDir Out;
        QVERIFY(WriteTestFile(Out.filePath("l.kvlocker"), BuildCorpusLocker(CorpusPlaintext(Payload))));
        const TLockerResult R = ExtractLocker(Out.filePath("l.kvlocker"), Out.filePath("d"), CorpusPassword);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        QCOMPARE(DescribeItem(Out.filePath("d/f.bin")).section(' ', 1, 1), QString::number(Mode, 8));
        QVERIFY(!(Fs::GetFileAttributes(Out.filePath("d/f.bin")) & (Attr::Hidden | Attr::System)));
    }

    // A cancelled extraction leaves nothing: what it wrote was still in its private folder.
    void cancelledLeavesNothing() {
        QTemporaryDir Out;
        int Polls = 0;
        const TLockerResult R = ExtractLocker(FLocker, Out.path(), Password, nullptr, [&] { return ++Polls >= 3; });
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText, QStringLiteral("Operation cancelled by user."));
        QCOMPARE(Polls, 3);
        QVERIFY(QDir(Out.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    }

    // The bytes that are decrypted are the bytes that are authenticated: a locker changed while it
    // is being read (a share, a removable disk) fails, and nothing of it becomes visible. The change
    // lands while the first piece is in use, in the fourth, which the reading ahead cannot have
    // reached: three buffers, one of them held.
    void changedWhileReadFails() {
        QTemporaryDir Out;
        QVERIFY(WriteTestFile(Out.filePath("src/big/script.sh"), QByteArray(14 * 1024 * 1024, '#') + "\nrm -rf ~\n"));
        const QString Locker = Out.filePath("big.kvlocker");
        QVERIFY(CreateLockerAt(Out.filePath("src/big"), Locker, Password).Success);
        const QByteArray Before = ReadTestFile(Locker);
        const QString Dest = Out.filePath("dest");
        bool Changed = false;
        const TLockerResult R = ExtractLocker(Locker, Dest, Password, [&](const QString&, int64_t, int64_t) {
            if (Changed)
                return;
            Changed = true;
            QFile File(Locker);
            QVERIFY(File.open(QIODevice::ReadWrite));
            // Flipped, not overwritten: an encrypted byte may already hold any given value.
            QVERIFY(File.seek(File.size() - 5));
            const char Flipped = static_cast<char>(~File.read(1).at(0));
            QVERIFY(File.seek(File.size() - 5));
            QVERIFY(File.write(&Flipped, 1) == 1);
        });
        QVERIFY(Changed);
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText, QStringLiteral("Invalid password or recovery code."));
        QVERIFY(!Fs::PathExists(Dest));
        QVERIFY(ReadTestFile(Locker) != Before);
    }

    // A read that fails on the thread reading ahead reaches the caller as the error it is, after the
    // pieces before it, and leaves nothing behind.
    void readErrorAheadFails() {
        QTemporaryDir Out;
        QVERIFY(WriteTestFile(Out.filePath("src/big/data.bin"), QByteArray(20 * 1024 * 1024, 'd')));
        const QString Locker = Out.filePath("big.kvlocker");
        QVERIFY(CreateLockerAt(Out.filePath("src/big"), Locker, Password).Success);
        const QString Dest = Out.filePath("dest");
        bool Cut = false;
        const TLockerResult R = ExtractLocker(Locker, Dest, Password, [&](const QString&, int64_t, int64_t) {
            if (Cut)
                return;
            Cut = true;
            QVERIFY(QFile::resize(Locker, 13 * 1024 * 1024));
        });
        QVERIFY(Cut);
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText, QStringLiteral("Stream read error"));
        QVERIFY(!Fs::PathExists(Dest));
    }

    // Small files are written on a thread of their own: a write that fails there (here a file size
    // limit, as a full disk would) fails the extraction with its reason and leaves nothing behind.
    void writeErrorOnTheFinishingThread() {
        QTemporaryDir Out;
        const QString Dest = Out.filePath("dest");
        struct rlimit Old;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &Old) == 0);
        struct rlimit Small = Old;
        Small.rlim_cur = 16 * 1024;
        const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &Small) == 0);
        const TLockerResult R = ExtractLocker(FLocker, Dest, Password);
        ::setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
        QVERIFY(!R.Success);
        QVERIFY2(R.MessageText.startsWith(QStringLiteral("Stream write error. ")), qPrintable(R.MessageText));
        QVERIFY(!Fs::PathExists(Dest));
    }

    // A large restored file leaves the page cache once it is on disk: restoring a large folder
    // neither pushes everything else out of the cache nor needs memory the size of what it writes.
    // What a small file writes stays.
    void largeFilesLeaveTheCache() {
        QTemporaryDir Out;
        QVERIFY(WriteTestFile(Out.filePath("src/big/large.bin"), QByteArray(24 * 1024 * 1024, 'L')));
        QVERIFY(WriteTestFile(Out.filePath("src/big/small.txt"), QByteArray(20000, 's')));
        const QString Locker = Out.filePath("big.kvlocker");
        QVERIFY(CreateLockerAt(Out.filePath("src/big"), Locker, Password).Success);
        const QString Dest = Out.filePath("dest");
        const TLockerResult R = ExtractLocker(Locker, Dest, Password);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        const double Large = CachedShare(Dest + "/big/large.bin");
        const double Small = CachedShare(Dest + "/big/small.txt");
        QCOMPARE(ReadTestFile(Dest + "/big/large.bin"), QByteArray(24 * 1024 * 1024, 'L'));
        if (Large < 0)
            QSKIP("The page cache cannot be observed on this file system.");
        // Under load a 4 MiB piece can stay: pages another CPU still holds on its way to the LRU lists
        // are not dropped. Without the dropping, all of it stays.
        QVERIFY2(Large < 0.5, qPrintable(QString::number(Large)));
        QCOMPARE(Small, 1.0);
    }

    // The staged extraction a caller outside the engine uses: extract unseen beside the target, move
    // the item into place under a name of the caller's without replacing anything, leave nothing.
    void stagedExtraction() {
        QTemporaryDir Out;
        const QString Folder = Out.filePath("restore");
        {
            TLockerStaging Staging;
            const TLockerResult R = Staging.Extract(FLocker, Folder, FRecovery);
            QVERIFY2(R.Success, qPrintable(R.MessageText));
            QCOMPARE(R.RecoveryCode, FRecovery);
            QVERIFY(Staging.IsExtracted());
            QCOMPARE(Staging.RootName(), QStringLiteral("Tree ñ"));
            QVERIFY(Staging.RootIsFolder());
            // Only the private staging folder is there until the move.
            const QStringList Staged = QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            QCOMPARE(Staged.size(), 1);
            QVERIFY(Staged.first().startsWith(QLatin1String(StagingFolderPrefix)));
            QCOMPARE(DescribeItem(Folder + "/" + Staged.first()), QStringLiteral("dir 700"));
            Staging.MoveIntoPlace("Plans");
        }
        QCOMPARE(QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"Plans"});
        QCOMPARE(SnapshotTree(Folder + "/Plans"), FTree);
        QCOMPARE(DescribeItem(Folder + "/Plans"), FRootMode);

        // A name that is taken stays as it was, and the staged copy goes.
        {
            TLockerStaging Staging;
            QVERIFY(Staging.Extract(FLocker, Folder, Password).Success);
            QVERIFY_THROWS_EXCEPTION(EKelvarnError, Staging.MoveIntoPlace("Plans"));
        }
        QCOMPARE(QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"Plans"});
        QCOMPARE(SnapshotTree(Folder + "/Plans"), FTree);

        // A failed extraction removes the folders it had to create.
        {
            TLockerStaging Staging;
            QVERIFY(!Staging.Extract(FLocker, Out.filePath("new/deeper"), "wrong").Success);
            QVERIFY(!Staging.IsExtracted());
        }
        QVERIFY(!Fs::PathExists(Out.filePath("new")));
    }

    // Two users in a shared folder that others may write to and that has no sticky bit: the other
    // user renames the staging folder away mid-extraction and puts a link to a folder of the victim
    // in its place. The extraction goes on in its own folder, wherever that now is, and neither
    // writes through the link nor removes what it leads to.
    void stagingSwappedByAnotherUser() {
        const passwd* Nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || !Nobody)
            QSKIP("needs to run as root, with a user nobody, to act as a second user");
        QTemporaryDir Out;
        const QString Shared = Out.filePath("shared");
        QVERIFY(QDir().mkpath(Shared));
        QVERIFY(::chmod(Enc(Out.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(Enc(Shared).constData(), 0777) == 0);
        QVERIFY(WriteTestFile(Out.filePath("victim/keep.txt"), "victim's"));
        bool Swapped = false;
        TLockerStaging Staging;
        const TLockerResult R = Staging.Extract(FLocker, Shared, Password, [&](const QString&, int64_t, int64_t) {
            if (Swapped)
                return;
            Swapped = true;
            const QStringList Staged = QDir(Shared).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
            QCOMPARE(Staged.size(), 1);
            const QByteArray Stage = Enc(Shared + "/" + Staged.first());
            const QByteArray Away = Enc(Shared + "/away");
            const QByteArray Victim = Enc(Out.filePath("victim"));
            const pid_t Child = ::fork();
            if (Child == 0) {
                const bool Done = ::setgid(Nobody->pw_gid) == 0 && ::setuid(Nobody->pw_uid) == 0 &&
                                  ::rename(Stage.constData(), Away.constData()) == 0 &&
                                  ::symlink(Victim.constData(), Stage.constData()) == 0;
                ::_exit(Done ? 0 : 1);
            }
            int Status = -1;
            QVERIFY(::waitpid(Child, &Status, 0) == Child);
            QVERIFY(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
        });
        QVERIFY(Swapped);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        Staging.MoveIntoPlace();
        QCOMPARE(SnapshotTree(Shared + "/Tree ñ"), FTree);
        QCOMPARE(QDir(Out.filePath("victim")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"keep.txt"});
        QCOMPARE(ReadTestFile(Out.filePath("victim/keep.txt")), QByteArray("victim's"));
        // The renamed staging folder is left empty; nothing of the tree stayed in it.
        QVERIFY(QDir(Shared + "/away").isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    // A folder reused over an existing tree must be the user's own and closed to others: one made in
    // advance by another user, or open to everyone, could be swapped or read while the tree goes in.
    void mergeReusesOnlyPrivateFolders_data() {
        QTest::addColumn<QString>("Kind");
        QTest::newRow("writable by others") << "others";
        QTest::newRow("writable by another group") << "group";
        QTest::newRow("another user's") << "foreign";
    }
    void mergeReusesOnlyPrivateFolders() {
        QFETCH(QString, Kind);
        QTemporaryDir Out;
        const QString Root = Out.filePath("Tree ñ");
        QVERIFY(QDir().mkpath(Root));
        if (Kind == "foreign") {
            const passwd* Nobody = ::getpwnam("nobody");
            if (::geteuid() != 0 || !Nobody)
                QSKIP("needs to run as root, with a user nobody, to give a folder to another user");
            QVERIFY(::chown(Enc(Root).constData(), Nobody->pw_uid, Nobody->pw_gid) == 0);
            QVERIFY(::chmod(Enc(Root).constData(), 0755) == 0);
        } else if (Kind == "group") {
            const group* Other = ::getgrnam("nogroup");
            if (::geteuid() != 0 || !Other)
                QSKIP("needs to run as root, with a group nogroup, to give a folder to another group");
            QVERIFY(::chown(Enc(Root).constData(), ::geteuid(), Other->gr_gid) == 0);
            QVERIFY(::chmod(Enc(Root).constData(), 0775) == 0);
        } else {
            QVERIFY(::chmod(Enc(Root).constData(), 0757) == 0);
        }
        const TLockerResult R = ExtractLocker(FLocker, Out.path(), Password);
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText,
                 QStringLiteral("An existing folder belongs to another user or others may write to it; it is not used "
                                "for the extracted items.\r\n") +
                     Root);
        QVERIFY(QDir(Root).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        QCOMPARE(QDir(Out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Tree ñ"});
    }

    // A reused folder swapped for a link just before it is entered is not written through.
    void mergeFolderSwappedForLink() {
        QTemporaryDir Out;
        const QString Root = Out.filePath("dest/Tree ñ");
        QVERIFY(QDir().mkpath(Root + "/ümlaut"));
        QVERIFY(WriteTestFile(Out.filePath("victim/ß.txt"), "victim's"));
        bool Swapped = false;
        SetFileStepHookForTest([&](const char* Step, const QString& Path) {
            if (QByteArray(Step) != "Merge:reuse" || Path != Root + "/ümlaut" || Swapped)
                return;
            Swapped = true;
            QVERIFY(::rename(Enc(Path).constData(), Enc(Out.filePath("moved")).constData()) == 0);
            QVERIFY(::symlink(Enc(Out.filePath("victim")).constData(), Enc(Path).constData()) == 0);
        });
        const TLockerResult R = ExtractLocker(FLocker, Out.filePath("dest"), Password);
        SetFileStepHookForTest(nullptr);
        QVERIFY(Swapped);
        QVERIFY(!R.Success);
        QVERIFY2(R.MessageText.contains(Root + "/ümlaut"), qPrintable(R.MessageText));
        QCOMPARE(ReadTestFile(Out.filePath("victim/ß.txt")), QByteArray("victim's"));
        QCOMPARE(QDir(Out.filePath("victim")).entryList(QDir::Files | QDir::Hidden), QStringList{"ß.txt"});
        QVERIFY(QDir(Out.filePath("moved")).isEmpty());
    }

    void isLockerFileName_data() {
        QTest::addColumn<QString>("Path");
        QTest::addColumn<bool>("Expected");
        QTest::newRow("lower") << "/a/b.kvlocker" << true;
        QTest::newRow("upper") << "/a/B.KVLOCKER" << true;
        QTest::newRow("mixed") << "x.KvLocker" << true;
        QTest::newRow("temporary") << "/a/b.kvlocker.tmp" << false;
        QTest::newRow("no extension") << "/a/kvlocker" << false;
        QTest::newRow("dot in folder") << "/a.kvlocker/b" << false;
        QTest::newRow("name is extension") << "/a/.kvlocker" << true;
        QTest::newRow("longer") << "b.kvlockers" << false;
        QTest::newRow("dotless I") << "b.KVLOCKER" << true;
    }
    void isLockerFileName() {
        QFETCH(QString, Path);
        QFETCH(bool, Expected);
        QCOMPARE(IsLockerFileName(Path), Expected);
    }
};

QTEST_GUILESS_MAIN(TestLockerReader)
#include "test_lockerreader.moc"
