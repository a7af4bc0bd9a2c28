#include "platform/PlatformDirHandle.h"
#include "TestFiles.h"
#include "locker/uLocker.h"
#include "workflow/uWorkflow.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// The hide and restore transaction under a hostile neighbour, late writers and kills: nothing
// outside the locker is ever deleted, no other locker is removed, and the data stays whole.

namespace {

const QString Password = QStringLiteral("transaction pw");

bool Exchange(const QString& A, const QString& B) {
    return ::syscall(SYS_renameat2, AT_FDCWD, Enc(A).constData(), AT_FDCWD, Enc(B).constData(), RENAME_EXCHANGE) == 0;
}

// Sets or clears the immutable flag; false where the file system has none.
bool SetImmutable(const QString& Path, bool On) {
    const int Fd = ::open(Enc(Path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0)
        return false;
    int Flags = 0;
    bool Done = ::ioctl(Fd, FS_IOC_GETFLAGS, &Flags) == 0;
    if (Done) {
        Flags = On ? (Flags | FS_IMMUTABLE_FL) : (Flags & ~FS_IMMUTABLE_FL);
        Done = ::ioctl(Fd, FS_IOC_SETFLAGS, &Flags) == 0;
    }
    ::close(Fd);
    return Done;
}

// Runs Action in a child process, as another user when Uid >= 0; true when it succeeded.
bool AsNeighbour(int Uid, const std::function<bool()>& Action) {
    const pid_t Child = ::fork();
    if (Child == 0) {
        if (Uid >= 0 && (::setgid(static_cast<gid_t>(Uid)) != 0 || ::setuid(static_cast<uid_t>(Uid)) != 0))
            ::_exit(3);
        ::_exit(Action() ? 0 : 1);
    }
    int Status = 0;
    return ::waitpid(Child, &Status, 0) == Child && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

QString PrivateEntry(const QString& Folder, const char* Kind) {
    return QDir(Folder)
        .entryList({QStringLiteral(".kvlocker-%1-*").arg(QLatin1String(Kind))},
                   QDir::AllEntries | QDir::Hidden | QDir::System)
        .value(0);
}

} // namespace

class TestTransaction : public QObject {
    Q_OBJECT

    QTemporaryDir FWork;
    QString FShared; // a folder others may write to (0777, no sticky bit)
    QString FBox;    // the item's folder, inside FShared
    QString FItem;
    QString FVictim; // the victim's own folder, outside
    QMap<QString, QString> FOriginal;

    QString At(const QString& Name) const { return FWork.path() + QLatin1Char('/') + Name; }

    void MakeFixture() {
        QDir(FWork.path()).removeRecursively();
        QDir().mkpath(FWork.path());
        FShared = At(QStringLiteral("shared"));
        FBox = FShared + QStringLiteral("/box");
        FItem = FBox + QStringLiteral("/Data");
        FVictim = At(QStringLiteral("home"));
        QVERIFY(WriteTestFile(FItem + QStringLiteral("/a.txt"), "alpha"));
        QVERIFY(WriteTestFile(FItem + QStringLiteral("/sub/b.bin"), QByteArray(70000, 'b')));
        QVERIFY(WriteTestFile(FItem + QStringLiteral("/sub/deeper/c.txt"), "gamma"));
        QVERIFY(WriteTestFile(FVictim + QStringLiteral("/Documents/only-copy.txt"), "precious"));
        QVERIFY(WriteTestFile(FVictim + QStringLiteral("/Documents.kvlocker"), "the victim's other locker"));
        QVERIFY(WriteTestFile(FVictim + QStringLiteral("/Data/mine.txt"), "the victim's own Data"));
        QVERIFY(::chmod(Enc(FShared).constData(), 0777) == 0);
        QVERIFY(::chmod(Enc(FBox).constData(), 0777) == 0);
        FOriginal = TreeSnapshot(FItem, false);
    }

    // DataAt: where the victim's own "Data" folder is now.
    bool VictimWhole(const QString& DataAt = QString()) const {
        return ReadTestFile(FVictim + QStringLiteral("/Documents/only-copy.txt")) == "precious" &&
               ReadTestFile(FVictim + QStringLiteral("/Documents.kvlocker")) == "the victim's other locker" &&
               ReadTestFile((DataAt.isEmpty() ? FVictim + QStringLiteral("/Data") : DataAt) +
                            QStringLiteral("/mine.txt")) == "the victim's own Data";
    }

    // The data is whole: under its name, or in a locker (wherever its folder now is) that holds it.
    bool DataWhole(const QString& Folder) {
        if (QFileInfo::exists(Folder + QStringLiteral("/Data")) &&
            TreeSnapshot(Folder + QStringLiteral("/Data"), false) == FOriginal)
            return true;
        QTemporaryDir Scratch;
        const TLockerResult Result = ExtractLocker(Folder + QStringLiteral("/Data.kvlocker"), Scratch.path(), Password);
        return Result.Success && TreeSnapshot(Scratch.path() + QStringLiteral("/Data"), false) == FOriginal;
    }

    // Hides the item in a process of its own that ends at Step; its exit status.
    int HideKilledAt(const QByteArray& Step) {
        QProcess Helper;
        Helper.setProcessChannelMode(QProcess::ForwardedChannels);
        Helper.start(QStringLiteral(KELVARN_TRANSACTION_HELPER), {FItem, Password, QString::fromLatin1(Step)});
        if (!Helper.waitForFinished(60000) || Helper.exitStatus() != QProcess::NormalExit)
            return -1;
        return Helper.exitCode();
    }

private slots:
    void cleanup() { SetFileStepHookForTest(nullptr); }

    // A late writer or a neighbour acts at one step of a hide or a restore.
    void races_data() {
        QTest::addColumn<bool>("Restore");
        QTest::addColumn<QByteArray>("Step");
        QTest::addColumn<QString>("Action");
        QTest::addColumn<int>("Outcome");
        QTest::newRow("a file is added") << false << QByteArray("Hide:flushed") << "add" << int(TOutcome::Changed);
        QTest::newRow("a packed file grows") << false << QByteArray("Hide:aside") << "append" << int(TOutcome::Changed);
        QTest::newRow("a deep file is added")
            << false << QByteArray("Hide:compare") << "add deep" << int(TOutcome::Changed);
        QTest::newRow("the parent becomes a link")
            << false << QByteArray("Hide:flushed") << "swap parent" << int(TOutcome::Done);
        QTest::newRow("a sibling takes the item's name")
            << false << QByteArray("Hide:aside") << "sibling onto item" << int(TOutcome::Changed);
        QTest::newRow("the locker's folder becomes a link during a restore")
            << true << QByteArray("Extract:flushed") << "swap parent" << int(TOutcome::Done);
        QTest::newRow("the locker is swapped before its deletion")
            << true << QByteArray("Locker:aside") << "swap locker" << int(TOutcome::IoError);
    }
    void races() {
        QFETCH(bool, Restore);
        QFETCH(QByteArray, Step);
        QFETCH(QString, Action);
        QFETCH(int, Outcome);
        MakeFixture();
        if (Restore)
            QVERIFY(HideItem(FItem, Password, false).Ok());
        bool Fired = false;
        SetFileStepHookForTest([&](const char* At, const QString&) {
            if (Step != At || Fired)
                return;
            Fired = true;
            if (Action == QLatin1String("add"))
                QVERIFY(WriteTestFile(FItem + QStringLiteral("/late.txt"), "written late"));
            else if (Action == QLatin1String("add deep"))
                QVERIFY(WriteTestFile(FBox + QLatin1Char('/') + PrivateEntry(FBox, "aside") +
                                          QStringLiteral("/sub/deeper/late.txt"),
                                      "written through a held folder"));
            else if (Action == QLatin1String("append")) {
                QFile File(FItem + QStringLiteral("/sub/deeper/c.txt"));
                QVERIFY(File.open(QIODevice::Append));
                File.write(" and more");
            } else if (Action == QLatin1String("swap parent")) {
                const QString Link = FShared + QStringLiteral("/link");
                QVERIFY(QFile::link(FVictim, Link));
                QVERIFY(Exchange(FBox, Link));
            } else if (Action == QLatin1String("sibling onto item")) {
                QVERIFY(::rename(Enc(FItem).constData(), Enc(FShared + QStringLiteral("/stolen")).constData()) == 0);
                QVERIFY(::rename(Enc(FVictim + QStringLiteral("/Data")).constData(), Enc(FItem).constData()) == 0);
            } else if (Action == QLatin1String("swap locker")) {
                const QString Locker = FItem + QStringLiteral(".kvlocker");
                QVERIFY(::rename(Enc(Locker).constData(), Enc(FShared + QStringLiteral("/taken")).constData()) == 0);
                QVERIFY(WriteTestFile(Locker, "another locker"));
            }
        });
        const TWorkflowResult Result =
            Restore ? RestoreItem(FItem, Password, false, nullptr) : HideItem(FItem, Password, false);
        SetFileStepHookForTest(nullptr);
        QCOMPARE(int(Result.Kind), Outcome);
        QVERIFY(VictimWhole(Action == QLatin1String("sibling onto item") ? FItem : QString()));
        if (Action == QLatin1String("sibling onto item")) {
            // The neighbour's move put the item elsewhere; it is whole there, and nothing was hidden.
            QCOMPARE(TreeSnapshot(FShared + QStringLiteral("/stolen"), false), FOriginal);
            QVERIFY(!QFileInfo::exists(FItem + QStringLiteral(".kvlocker")));
        } else if (Action == QLatin1String("swap locker")) {
            QCOMPARE(ReadTestFile(FItem + QStringLiteral(".kvlocker")), QByteArray("another locker"));
            QCOMPARE(TreeSnapshot(FItem, false), FOriginal);
        } else if (Result.Kind == TOutcome::Changed) {
            // Nothing was deleted: the item with its late change is back under its name, no locker.
            QVERIFY(QFileInfo::exists(FItem + QStringLiteral("/a.txt")));
            QVERIFY(!QFileInfo::exists(FItem + QStringLiteral(".kvlocker")));
            const QString Late = Action == QLatin1String("append") ? QStringLiteral("/sub/deeper/c.txt")
                                 : Action == QLatin1String("add")  ? QStringLiteral("/late.txt")
                                                                   : QStringLiteral("/sub/deeper/late.txt");
            QVERIFY(QFileInfo::exists(FItem + Late));
        } else {
            // The work went on in the folder that was held, wherever it is now.
            const QString Real = FShared + QStringLiteral("/link");
            QVERIFY(DataWhole(Real));
            QCOMPARE(QFileInfo::exists(Real + QStringLiteral("/Data")), Restore);
        }
        QVERIFY(PrivateEntry(FBox, "aside").isEmpty());
    }

    // Files a late writer changed after the comparison stay, and go back under the item's name with
    // the folders that hold them; the rest is deleted, as the locker holds it. A large folder's files
    // are deleted on two threads, a small one's on one: the outcome is the same.
    void lateChangesDuringDeletionStay_data() {
        QTest::addColumn<int>("Files");
        QTest::newRow("a few files") << 6;
        QTest::newRow("a large folder") << 64;
    }
    void lateChangesDuringDeletionStay() {
        QFETCH(int, Files);
        MakeFixture();
        QMap<QString, QString> Changed;
        for (int I = 0; I < Files; ++I) {
            const QString Name = QStringLiteral("many/f%1.txt").arg(I);
            QVERIFY(WriteTestFile(FItem + QLatin1Char('/') + Name, QByteArray::number(I)));
            if (I % 5 == 2)
                Changed.insert(Name, QString::number(I) + QStringLiteral(" changed"));
        }
        FOriginal = TreeSnapshot(FItem, false);
        SetFileStepHookForTest([&](const char* Step, const QString&) {
            if (QByteArray(Step) != "Hide:delete")
                return;
            const QString Aside = FBox + QLatin1Char('/') + PrivateEntry(FBox, "aside");
            for (const QString& Name : Changed.keys()) {
                QFile File(Aside + QLatin1Char('/') + Name);
                QVERIFY(File.open(QIODevice::Append));
                File.write(" changed");
            }
        });
        const TWorkflowResult Result = HideItem(FItem, Password, false);
        SetFileStepHookForTest(nullptr);
        QCOMPARE(int(Result.Kind), int(TOutcome::IoError));
        qsizetype Named = 0;
        for (const QString& Name : Changed.keys())
            Named += Result.Text.contains(FItem + QLatin1Char('/') + Name + QStringLiteral("\r\n"));
        QCOMPARE(Named, qMin<qsizetype>(Changed.size(), 10));

        QMap<QString, QString> Left;
        const QMap<QString, QString> Now = TreeSnapshot(FItem, false);
        for (auto It = Now.cbegin(); It != Now.cend(); ++It)
            if (It.value() != QLatin1String("folder"))
                Left.insert(It.key(), QString::fromLatin1(ReadTestFile(FItem + QLatin1Char('/') + It.key())));
        QCOMPARE(Left, Changed);
        QVERIFY(DataWhole(FBox));
        QVERIFY(PrivateEntry(FBox, "aside").isEmpty());
    }

    // The same parent swap, done by a second user in a folder both may write to.
    void neighbourSwapsTheParent_data() {
        QTest::addColumn<bool>("Restore");
        QTest::newRow("hide") << false;
        QTest::newRow("restore") << true;
    }
    void neighbourSwapsTheParent() {
        QFETCH(bool, Restore);
        if (::geteuid() != 0)
            QSKIP("needs root to act as a second user");
        const passwd* Nobody = ::getpwnam("nobody");
        if (!Nobody)
            QSKIP("no user nobody");
        MakeFixture();
        QVERIFY(::chmod(Enc(FWork.path()).constData(), 0755) == 0);
        if (Restore)
            QVERIFY(HideItem(FItem, Password, false).Ok());
        const int Uid = static_cast<int>(Nobody->pw_uid);
        bool Swapped = false;
        SetFileStepHookForTest([&](const char* Step, const QString&) {
            if (QByteArray(Step) != (Restore ? "Extract:flushed" : "Hide:flushed") || Swapped)
                return;
            Swapped = AsNeighbour(Uid, [&] {
                const QString Link = FShared + QStringLiteral("/link");
                return QFile::link(FVictim, Link) && Exchange(FBox, Link);
            });
        });
        const TWorkflowResult Result =
            Restore ? RestoreItem(FItem, Password, false, nullptr) : HideItem(FItem, Password, false);
        SetFileStepHookForTest(nullptr);
        QVERIFY(Swapped);
        QVERIFY2(Result.Ok(), qPrintable(Result.Text));
        QVERIFY(VictimWhole());
        QVERIFY(DataWhole(FShared + QStringLiteral("/link")));
    }

    // Every item whose locker name fits can be hidden and restored: the private names are short.
    void longestNameRoundTrips() {
        MakeFixture();
        const QString Long = FBox + QLatin1Char('/') + QString(255 - 9, QLatin1Char('n'));
        QVERIFY(WriteTestFile(Long, "long"));
        const TWorkflowResult Hidden = HideItem(Long, Password, false);
        QVERIFY2(Hidden.Ok(), qPrintable(Hidden.Text));
        QVERIFY(!QFileInfo::exists(Long));
        const TWorkflowResult Restored = RestoreItem(Long, Password, false, nullptr);
        QVERIFY2(Restored.Ok(), qPrintable(Restored.Text));
        QCOMPARE(ReadTestFile(Long), QByteArray("long"));
    }

    // A folder someone renamed to a staging-like name is never taken for a leftover.
    void lookAlikeStagingFolderIsKept() {
        MakeFixture();
        QVERIFY(HideItem(FItem, Password, false).Ok());
        const QString LookAlike = FBox + QStringLiteral("/.kvlocker-staging-0000000000000001");
        QVERIFY(::rename(Enc(FVictim + QStringLiteral("/Documents")).constData(), Enc(LookAlike).constData()) == 0);
        QVERIFY(RestoreItem(FItem, Password, false, nullptr).Ok());
        QCOMPARE(ReadTestFile(LookAlike + QStringLiteral("/only-copy.txt")), QByteArray("precious"));
        QCOMPARE(TreeSnapshot(FItem, false), FOriginal);
    }

    // What cannot be deleted is refused before anything is written.
    void undeletableEntryIsRefusedFirst() {
        MakeFixture();
        const QString Stuck = FItem + QStringLiteral("/sub/b.bin");
        if (!SetImmutable(Stuck, true))
            QSKIP("no immutable flag here (needs root and a file system that has it)");
        const TWorkflowResult Result = HideItem(FItem, Password, false);
        SetImmutable(Stuck, false);
        QCOMPARE(int(Result.Kind), int(TOutcome::IoError));
        QVERIFY2(Result.Text.contains(Stuck), qPrintable(Result.Text));
        QCOMPARE(QDir(FBox).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"Data"});
        QCOMPARE(TreeSnapshot(FItem, false), FOriginal);
    }

    // A file system mounted inside the item: its entries could not be deleted with the rest.
    void mountPointInsideIsRefusedFirst() {
        MakeFixture();
        const QString Mount = FItem + QStringLiteral("/sub/mnt");
        QVERIFY(QDir().mkpath(Mount));
        const QByteArray Target = QFile::encodeName(Mount);
        if (::mount("none", Target.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("cannot mount here (needs root)");
        const TWorkflowResult Result = HideItem(FItem, Password, false);
        QVERIFY(::umount(Target.constData()) == 0);
        QCOMPARE(int(Result.Kind), int(TOutcome::IoError));
        QVERIFY2(Result.Text.contains(Mount), qPrintable(Result.Text));
        QVERIFY(!QFileInfo::exists(FItem + QStringLiteral(".kvlocker")));
        QVERIFY(QFileInfo(Mount).isDir());
    }

    // Conflict "Yes" over a folder that cannot be deleted in full: the user's folder is replaced
    // whole, in one step, and what could not go is reported.
    void replaceOverUndeletableFolder() {
        MakeFixture();
        QVERIFY(HideItem(FItem, Password, false).Ok());
        QVERIFY(WriteTestFile(FItem + QStringLiteral("/old/stuck.txt"), "old"));
        QVERIFY(WriteTestFile(FItem + QStringLiteral("/old/other.txt"), "old too"));
        const QString Stuck = FItem + QStringLiteral("/old/stuck.txt");
        if (!SetImmutable(Stuck, true))
            QSKIP("no immutable flag here (needs root and a file system that has it)");
        const TWorkflowResult Result =
            RestoreItem(FItem, Password, false, [](const QString&) { return TConflictChoice::Replace; });
        const QString Staged = PrivateEntry(FBox, "staging");
        if (!Staged.isEmpty())
            SetImmutable(FBox + QLatin1Char('/') + Staged + QStringLiteral("/Data/old/stuck.txt"), false);
        SetImmutable(Stuck, false);
        QVERIFY2(Result.Ok(), qPrintable(Result.Text));
        QVERIFY(!Result.Warning.isEmpty());
        QCOMPARE(TreeSnapshot(FItem, false), FOriginal);
        QVERIFY(!QFileInfo::exists(FItem + QStringLiteral(".kvlocker")));
    }

    // Where the file system cannot exchange two names, the old item steps aside first and the new
    // one takes its place; the old goes only then.
    void replaceWithoutExchange() {
        MakeFixture();
        QVERIFY(HideItem(FItem, Password, false).Ok());
        QVERIFY(WriteTestFile(FItem + QStringLiteral("/old.txt"), "old"));
        SetRenameNoReplaceFallbackForTest(true);
        const TWorkflowResult Result =
            RestoreItem(FItem, Password, false, [](const QString&) { return TConflictChoice::Replace; });
        SetRenameNoReplaceFallbackForTest(false);
        QVERIFY2(Result.Ok(), qPrintable(Result.Text));
        QCOMPARE(TreeSnapshot(FItem, false), FOriginal);
        QCOMPARE(QDir(FBox).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"Data"});
    }

    // Killed after the item was set aside, or while it was being deleted: the next operation puts it
    // back, or finishes the deletion once the locker verifies.
    void killedHideIsSettled_data() {
        QTest::addColumn<QByteArray>("Step");
        QTest::addColumn<bool>("ItemBack");
        QTest::newRow("set aside") << QByteArray("Hide:compare") << true;
        QTest::newRow("deleting") << QByteArray("Delete:descend") << false;
    }
    void killedHideIsSettled() {
        QFETCH(QByteArray, Step);
        QFETCH(bool, ItemBack);
        MakeFixture();
        QCOMPARE(HideKilledAt(Step), 9);
        QVERIFY(!QFileInfo::exists(FItem));
        QVERIFY(!PrivateEntry(FBox, "aside").isEmpty());
        SettleLeftovers(FBox, Password);
        QVERIFY(PrivateEntry(FBox, "aside").isEmpty());
        QCOMPARE(QFileInfo::exists(FItem), ItemBack);
        if (ItemBack)
            QCOMPARE(TreeSnapshot(FItem, false), FOriginal);
        QVERIFY(DataWhole(FBox));
    }

    // The item set aside comes back even when the locker cannot be verified.
    void unverifiedDeletionIsUndone() {
        MakeFixture();
        QCOMPARE(HideKilledAt("Hide:delete"), 9);
        SettleLeftovers(FBox, QStringLiteral("not the password"));
        QCOMPARE(TreeSnapshot(FItem, false), FOriginal);
    }
};

QTEST_GUILESS_MAIN(TestTransaction)
#include "test_transaction.moc"
