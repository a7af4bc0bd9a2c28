#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool MakeLink(const QString& Target, const QString& Link) {
    return ::symlink(Enc(Target).constData(), Enc(Link).constData()) == 0;
}

mode_t ModeOf(const QString& Path) {
    struct stat St;
    return ::lstat(Enc(Path).constData(), &St) == 0 ? St.st_mode : 0;
}

QStringList Names(const QString& Folder) {
    QStringList List = QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    List.sort();
    return List;
}

// Clears the step hook whatever way a test ends.
struct THookGuard {
    ~THookGuard() { SetFileStepHookForTest(nullptr); }
};

} // namespace

class TestDirHandle : public QObject {
    Q_OBJECT

private slots:
    // A link is never followed below a folder the caller holds, nor in place of the folder itself
    // unless the caller allows it for a folder it named.
    void linksAreNotFollowed() {
        QTemporaryDir Dir;
        QVERIFY(WriteTestFile(Dir.filePath("real/secret"), "s"));
        QVERIFY(MakeLink(Dir.filePath("real"), Dir.filePath("link")));
        QVERIFY(MakeLink(Dir.filePath("real/secret"), Dir.filePath("real/file-link")));
        QVERIFY(QDir().mkpath(Dir.filePath("real/sub")));
        QVERIFY(MakeLink(Dir.filePath("real/sub"), Dir.filePath("real/folder-link")));

        QVERIFY_THROWS_EXCEPTION(EKelvarnError, TDirHandle::Open(Dir.filePath("link")));
        const TDirHandle Followed = TDirHandle::Open(Dir.filePath("link"), true);
        QVERIFY(Followed.IsOpen());
        const TDirHandle Real = TDirHandle::Open(Dir.filePath("real"));
        QCOMPARE(Followed.Identity(), Real.Identity());
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Real.OpenFolder("folder-link"));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Real.OpenFileForReading("file-link"));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Real.CreateFile("file-link"));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Real.OpenFolder(".."));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Real.OpenFolder("a/b"));
        QCOMPARE(ReadTestFile(Dir.filePath("real/secret")), QByteArray("s"));

        // What the listing saw is what an identity check accepts.
        for (const TDirEntry& Entry : Real.List()) {
            struct stat St;
            QVERIFY(Real.StatChild(Entry.Name, St));
            QCOMPARE(Entry.Identity, IdentityOf(St));
        }
        const TFileIdentity Other = Real.Identity();
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Real.OpenFolder("sub", &Other));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Real.OpenFileForReading("secret", &Other));
    }

    // A ".hidden" list that is a link is not read: it could list, and so hide, names chosen by
    // whoever planted it, and it would be rewritten wherever it leads.
    void hiddenListLinkIsIgnored() {
        QTemporaryDir Dir;
        QVERIFY(WriteTestFile(Dir.filePath("elsewhere"), "plain\n"));
        QVERIFY(WriteTestFile(Dir.filePath("f/plain"), "x"));
        QVERIFY(MakeLink(Dir.filePath("elsewhere"), Dir.filePath("f/.hidden")));
        QCOMPARE(Fs::GetFileAttributes(Dir.filePath("f/plain")) & Attr::Hidden, 0u);
        for (const TDirEntry& Entry : TDirHandle::Open(Dir.filePath("f")).List())
            if (Entry.Name == "plain")
                QCOMPARE(Entry.Attributes & Attr::Hidden, 0u);
        // A real list still hides.
        QVERIFY(WriteTestFile(Dir.filePath("g/.hidden"), "plain\n"));
        QVERIFY(WriteTestFile(Dir.filePath("g/plain"), "x"));
        QVERIFY(Fs::GetFileAttributes(Dir.filePath("g/plain")) & Attr::Hidden);
        QCOMPARE(TDirHandle::Open(Dir.filePath("g")).ChildAttributes("plain") & Attr::Hidden, Attr::Hidden);
    }

    // Attributes go to the item that was examined: one swapped for a link between the check and the
    // change is refused, and the link's target keeps its mode.
    void setAttributesNeverFollowsASwappedLink() {
        QTemporaryDir Dir;
        const THookGuard Guard;
        QVERIFY(WriteTestFile(Dir.filePath("victim"), "v", 0644));
        const QString Item = Dir.filePath("item");
        QVERIFY(WriteTestFile(Item, "i", 0600));
        bool Swapped = false;
        SetFileStepHookForTest([&](const char* Step, const QString& Path) {
            if (QByteArray(Step) != "SetFileAttributes:apply" || Path != Item || Swapped)
                return;
            Swapped = true;
            QVERIFY(::unlink(Enc(Item).constData()) == 0);
            QVERIFY(MakeLink(Dir.filePath("victim"), Item));
        });
        QVERIFY(!Fs::SetFileAttributes(Item, Attr::Archive | (0666u << Attr::PermShift)));
        QVERIFY(Swapped);
        QCOMPARE(ModeOf(Dir.filePath("victim")) & 07777, mode_t(0644));
        SetFileStepHookForTest(nullptr);
        // Without a swap the change is made, through the descriptor.
        QVERIFY(WriteTestFile(Dir.filePath("plain"), "p", 0600));
        QVERIFY(Fs::SetFileAttributes(Dir.filePath("plain"), Attr::Archive | (0640u << Attr::PermShift)));
        QCOMPARE(ModeOf(Dir.filePath("plain")) & 07777, mode_t(0640));
        QVERIFY(Fs::SetFileAttributes(Dir.filePath("plain"), Attr::ReadOnly | Attr::System));
        QCOMPARE(ModeOf(Dir.filePath("plain")) & 0222, mode_t(0));
    }

    // Removal never leaves the tree: a link inside goes as a link, and a folder swapped for a link
    // just before it is entered is removed as that link, its target untouched.
    void removeTreeNeverFollowsLinks_data() {
        QTest::addColumn<QString>("Swap");
        QTest::newRow("link in the tree") << QString();
        QTest::newRow("folder swapped for a link before it is entered") << "tree/a/b";
    }
    void removeTreeNeverFollowsLinks() {
        QFETCH(QString, Swap);
        QTemporaryDir Dir;
        const THookGuard Guard;
        QVERIFY(WriteTestFile(Dir.filePath("victim/keep"), "precious"));
        QVERIFY(WriteTestFile(Dir.filePath("tree/a/b/c/file"), "x"));
        QVERIFY(WriteTestFile(Dir.filePath("tree/top"), "y"));
        QVERIFY(MakeLink(Dir.filePath("victim"), Dir.filePath("tree/a/to-victim")));
        QVERIFY(::chmod(Enc(Dir.filePath("tree/a/b/c")).constData(), 0) == 0);
        bool Swapped = false;
        if (!Swap.isEmpty())
            SetFileStepHookForTest([&](const char* Step, const QString& Path) {
                if (QByteArray(Step) != "RemoveTree:descend" || Path != Dir.filePath(Swap) || Swapped)
                    return;
                Swapped = true;
                QVERIFY(::rename(Enc(Path).constData(), Enc(Dir.filePath("moved")).constData()) == 0);
                QVERIFY(MakeLink(Dir.filePath("victim"), Path));
            });
        const TDirHandle Base = TDirHandle::Open(Dir.path());
        Base.RemoveTree("tree");
        QCOMPARE(Swapped, !Swap.isEmpty());
        QVERIFY(!Fs::PathExists(Dir.filePath("tree")));
        QCOMPARE(ReadTestFile(Dir.filePath("victim/keep")), QByteArray("precious"));
        QCOMPARE(Names(Dir.filePath("victim")), QStringList{"keep"});
        Base.RemoveTree("nothing-here"); // nothing there is no error
        if (Fs::PathExists(Dir.filePath("moved/c")))
            ::chmod(Enc(Dir.filePath("moved/c")).constData(), 0700);
    }

    // Never replaces: a taken name fails and leaves both items; a free one receives the item.
    void renameNoReplace_data() {
        QTest::addColumn<bool>("Fallback");
        QTest::addColumn<bool>("Folder");
        QTest::newRow("renameat2, file") << false << false;
        QTest::newRow("renameat2, folder") << false << true;
        QTest::newRow("link and unlink, file") << true << false;
        QTest::newRow("placeholder folder, folder") << true << true;
    }
    void renameNoReplace() {
        QFETCH(bool, Fallback);
        QFETCH(bool, Folder);
        QTemporaryDir Dir;
        SetRenameNoReplaceFallbackForTest(Fallback);
        struct TReset {
            ~TReset() { SetRenameNoReplaceFallbackForTest(false); }
        } Reset;
        if (Folder)
            QVERIFY(WriteTestFile(Dir.filePath("from/item/inner"), "new"));
        else
            QVERIFY(WriteTestFile(Dir.filePath("from/item"), "new"));
        QVERIFY(WriteTestFile(Dir.filePath("to/item"), "old"));
        const TDirHandle From = TDirHandle::Open(Dir.filePath("from"));
        const TDirHandle To = TDirHandle::Open(Dir.filePath("to"));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, From.RenameNoReplace("item", To, "item"));
        QCOMPARE(ReadTestFile(Dir.filePath("to/item")), QByteArray("old"));
        QVERIFY(Fs::PathExists(Dir.filePath("from/item")));
        From.RenameNoReplace("item", To, "fresh");
        QVERIFY(!Fs::PathExists(Dir.filePath("from/item")));
        QCOMPARE(ReadTestFile(Dir.filePath(Folder ? "to/fresh/inner" : "to/fresh")), QByteArray("new"));
    }

    // A staging folder is private, reached through its descriptor, and gone with its content when
    // its owner is; what a crash left is removed by the next operation, what a living one holds is
    // not.
    void stagingFolder() {
        QTemporaryDir Dir;
        const TDirHandle Parent = TDirHandle::Open(Dir.path());
        QString StagedName;
        {
            TStagingFolder Stage(Parent);
            const QStringList Before = Names(Dir.path());
            QCOMPARE(Before.size(), 1);
            StagedName = Before.first();
            QVERIFY(StagedName.startsWith(QLatin1String(StagingFolderPrefix)));
            QCOMPARE(ModeOf(Dir.filePath(StagedName)) & 07777, mode_t(0700));
            QCOMPARE(Stage.Folder().Stat().st_uid, ::geteuid());
            Stage.Folder().CreateFile("result")->WriteBuffer("r", 1);
            Stage.Folder().CreateFolder("left").CreateFile("inner")->WriteBuffer("i", 1);
        }
        QVERIFY(Names(Dir.path()).isEmpty());
    }
    void stagingFolderRefusesBadNames() {
        QTemporaryDir Dir;
        TStagingFolder Stage(TDirHandle::Open(Dir.path()));
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Stage.Folder().CreateFolder("a/b"));
        Stage.Folder().CreateFile("done")->WriteBuffer("d", 1);
        Stage.MoveOut("done", "done");
        QCOMPARE(ReadTestFile(Dir.filePath("done")), QByteArray("d"));
        QVERIFY(WriteTestFile(Dir.filePath("taken"), "mine"));
        Stage.Folder().CreateFile("taken")->WriteBuffer("t", 1);
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, Stage.MoveOut("taken", "taken"));
        QCOMPARE(ReadTestFile(Dir.filePath("taken")), QByteArray("mine"));
        Stage.Remove();
        QCOMPARE(Names(Dir.path()), QStringList({"done", "taken"}));
    }
    // What an ended process left is known by the journal and its identity: it goes. A folder that
    // only looks like a leftover (a victim's folder someone renamed), and what a living operation
    // holds, stay.
    void leftoversAreKnownByTheJournal() {
        QTemporaryDir Dir;
        const TDirHandle Parent = TDirHandle::Open(Dir.path());
        const pid_t Child = ::fork();
        if (Child == 0) {
            // Ends without unwinding, as a crash would: the folder, the file and their records stay.
            TStagingFolder Stage(Parent);
            Stage.Folder().CreateFolder("x").CreateFile("y")->WriteBuffer("half", 4);
            ::chmod(Enc(Stage.Folder().ChildPath("x")).constData(), 0500);
            TPendingFile Temporary(Parent);
            Temporary.Stream().WriteBuffer("part", 4);
            ::_exit(0);
        }
        int Status = 0;
        QCOMPARE(::waitpid(Child, &Status, 0), Child);
        QCOMPARE(Names(Dir.path()).size(), 2);
        const QString LookAlike = Dir.filePath(QString(StagingFolderPrefix) + "0000000000000001");
        QVERIFY(WriteTestFile(LookAlike + "/precious", "keep"));
        QVERIFY(WriteTestFile(Dir.filePath(".kvlocker-tmp-0000000000000002"), "keep too"));
        TStagingFolder Living(Parent);
        QCOMPARE(RemoveLeftovers(Parent), 2);
        QVERIFY(!Living.IsRemoved());
        QCOMPARE(Names(Dir.path()).size(), 3); // the living one and the two look-alikes
        QCOMPARE(ReadTestFile(LookAlike + "/precious"), QByteArray("keep"));
        QCOMPARE(ReadTestFile(Dir.filePath(".kvlocker-tmp-0000000000000002")), QByteArray("keep too"));
        QCOMPARE(RemoveLeftovers(Parent), 0);
    }
};

QTEST_GUILESS_MAIN(TestDirHandle)
#include "test_dirhandle.moc"
