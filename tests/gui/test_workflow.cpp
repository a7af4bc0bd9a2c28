#include "GuiTestSupport.h"
#include "mainwindow/PathRules.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformFiles.h"
#include "TestFiles.h"
#include "mainwindow/UnitMain.h"
#include "locker/uLocker.h"
#include "dialogs/uPasswordSet.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

namespace {

// The counters seen during a batch: "First/N" first, "N/N" last, never going back.
bool CountsUp(const QStringList& Counters, int First, int N) {
    int Last = First;
    for (const QString& Counter : Counters) {
        const QStringList Parts = Counter.split(QLatin1Char('/'));
        if (Parts.size() != 2 || Parts.at(1).toInt() != N || Parts.at(0).toInt() < Last)
            return false;
        Last = Parts.at(0).toInt();
    }
    return !Counters.isEmpty() && Counters.first() == QStringLiteral("%1/%2").arg(First).arg(N) && Last == N;
}

bool HiddenInListing(const QString& Path) {
    return Fs::GetFileAttributes(Path) & Attr::Hidden;
}

} // namespace

// The next set-password dialog is answered with Password, typed twice, and OK.
void AnswerNewPassword(TModalDriver& Driver, const QString& Password) {
    Driver.Then([Password](QWidget* W) {
        auto* Dialog = qobject_cast<TfrmPasswordSet*>(W);
        Dialog->Edit1->setText(Password);
        Dialog->Edit2->setText(Password);
        Dialog->Button2->click();
    });
}

class TestWorkflow : public QObject {
    Q_OBJECT

    QTemporaryDir FTree;
    QString At(const QString& Name) const { return FTree.path() + QLatin1Char('/') + Name; }

private slots:
    void init() {
        QDir(FTree.path()).removeRecursively();
        QDir().mkpath(FTree.path());
        QVERIFY(WriteTestFile(At(QStringLiteral("Plans/one.txt")), "first", 0600));
        QVERIFY(WriteTestFile(At(QStringLiteral("Plans/deep/two.bin")), QByteArray(300000, 'x'), 0640));
        QVERIFY(QDir().mkpath(At(QStringLiteral("Plans/empty"))));
        ::chmod(Enc(At(QStringLiteral("Plans/deep"))).constData(), 0700);
        QVERIFY(WriteTestFile(At(QStringLiteral("note.txt")), "a note"));
    }

    void hideAndRestoreRoundTrip_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<bool>("Strong");
        QTest::newRow("folder") << "Plans" << false;
        QTest::newRow("file, strong hide") << "note.txt" << true;
    }
    void hideAndRestoreRoundTrip() {
        QFETCH(QString, Name);
        QFETCH(bool, Strong);
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        Window.chkStrongHide->setChecked(Strong);
        const QString Path = At(Name);
        const QMap<QString, QString> Before = TreeSnapshot(FTree.path());
        QString ErrorText;
        QVERIFY2(Window.HidePathIntoLocker(Path, ErrorText), qPrintable(ErrorText));
        QVERIFY(!Fs::PathExists(Path));
        QVERIFY(Fs::FileExists(LockerPathFor(Path)));
        QVERIFY(!Fs::PathExists(LockerPathFor(Path) + QStringLiteral(".tmp")));
        QVERIFY(HiddenInListing(LockerPathFor(Path)));
        QString Message;
        QVERIFY(VerifyLocker(LockerPathFor(Path), QStringLiteral("pw"), Message));

        QVERIFY2(Window.RestorePathFromLocker(Path, ErrorText), qPrintable(ErrorText));
        QVERIFY(!Fs::PathExists(LockerPathFor(Path)));
        QCOMPARE(TreeSnapshot(FTree.path()), Before);
    }

    void refusals() {
        TGuiFixture Fixture;
        TfrmMain Window;
        QString ErrorText;
        QVERIFY(!Window.HidePathIntoLocker(At(QStringLiteral("note.txt")), ErrorText));
        QCOMPARE(ErrorText, QStringLiteral("General password is not set."));
        GeneralPassword = QStringLiteral("pw");
        QVERIFY(!Window.HidePathIntoLocker(At(QStringLiteral("absent")), ErrorText));
        QCOMPARE(ErrorText, QStringLiteral("Path not found: ") + At(QStringLiteral("absent")));
        QVERIFY(WriteTestFile(At(QStringLiteral("note.txt.kvlocker")), "someone's file"));
        QVERIFY(!Window.HidePathIntoLocker(At(QStringLiteral("note.txt")), ErrorText));
        QCOMPARE(ErrorText, QStringLiteral("Locker already exists: ") + At(QStringLiteral("note.txt.kvlocker")));
        QVERIFY(!Window.RestorePathFromLocker(At(QStringLiteral("Plans")), ErrorText));
        QCOMPARE(ErrorText, QStringLiteral("Locker file not found: ") + At(QStringLiteral("Plans.kvlocker")));
        // A file that only looks like a leftover is no obstacle, and not ours to delete.
        QVERIFY(WriteTestFile(At(QStringLiteral("Plans.kvlocker.tmp")), "someone's"));
        QVERIFY2(Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText), qPrintable(ErrorText));
        QCOMPARE(ReadTestFile(At(QStringLiteral("Plans.kvlocker.tmp"))), QByteArray("someone's"));
    }

    // A folder of the source swapped for a link while the source is deleted: nothing behind the link
    // is touched, what is left goes back under its name, and the locker stays.
    void sourceDeletionNeverFollowsALink() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        QVERIFY(WriteTestFile(At(QStringLiteral("outside/keep.txt")), "keep"));
        SetFileStepHookForTest([&](const char* Step, const QString&) {
            if (QByteArray(Step) != "Hide:delete")
                return;
            const QStringList Aside =
                QDir(FTree.path()).entryList({QStringLiteral(".kvlocker-aside-*")}, QDir::Dirs | QDir::Hidden);
            const QString Deep = At(Aside.value(0) + QStringLiteral("/deep"));
            QDir(Deep).removeRecursively();
            QFile::link(At(QStringLiteral("outside")), Deep);
        });
        QString ErrorText;
        const bool Hidden = Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText);
        SetFileStepHookForTest(nullptr);
        QVERIFY(!Hidden);
        QVERIFY2(ErrorText.contains(At(QStringLiteral("Plans/deep"))), qPrintable(ErrorText));
        QCOMPARE(ReadTestFile(At(QStringLiteral("outside/keep.txt"))), QByteArray("keep"));
        QVERIFY(QFileInfo(At(QStringLiteral("Plans/deep"))).isSymLink());
        QString Message;
        QVERIFY(VerifyLocker(At(QStringLiteral("Plans.kvlocker")), QStringLiteral("pw"), Message));
    }

    // Something takes Path's name while the locker is being extracted: it is never replaced, the
    // extracted copy is removed, and the locker stays, hidden again.
    void restoreNeverReplacesAnItemThatAppears() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        const QString Path = At(QStringLiteral("Plans"));
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(Path, ErrorText));
        SetFileStepHookForTest([&](const char* Step, const QString&) {
            if (QByteArray(Step) == "Extract:flushed")
                WriteTestFile(Path, "arrived meanwhile");
        });
        const bool Restored = Window.RestorePathFromLocker(Path, ErrorText);
        SetFileStepHookForTest(nullptr);
        QVERIFY(!Restored);
        QVERIFY2(ErrorText.contains(Path), qPrintable(ErrorText));
        QCOMPARE(ReadTestFile(Path), QByteArray("arrived meanwhile"));
        QVERIFY(HiddenInListing(LockerPathFor(Path)));
        QCOMPARE(QDir(FTree.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{".hidden", "note.txt", "Plans", "Plans.kvlocker"}));
    }

    // A neighbour's link in place of the folder's hidden list: the hide succeeds, the link and what it
    // leads to stay as they are, and a warning says the locker is not hidden from file managers.
    void hiddenListThatIsALinkOnlyWarns() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        QVERIFY(WriteTestFile(At(QStringLiteral("elsewhere")), "not a list"));
        QVERIFY(QFile::link(At(QStringLiteral("elsewhere")), At(QStringLiteral(".hidden"))));
        QString ErrorText;
        QVERIFY2(Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText), qPrintable(ErrorText));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Plans"))));
        QCOMPARE(ReadTestFile(At(QStringLiteral("elsewhere"))), QByteArray("not a list"));
        QVERIFY(QFileInfo(At(QStringLiteral(".hidden"))).isSymLink());
        QCOMPARE(DialogSeam::Shown().size(), 1);
        QCOMPARE(int(DialogSeam::Shown().last().Kind), int(TMsgKind::Warning));
        QVERIFY(DialogSeam::Shown().last().Text.contains(At(QStringLiteral("Plans.kvlocker"))));
    }

    void wrongPasswordLeavesTheLocker() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("old");
        TfrmMain Window;
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText));
        GeneralPassword = QStringLiteral("other");
        QVERIFY(!Window.RestorePathFromLocker(At(QStringLiteral("Plans")), ErrorText));
        QCOMPARE(ErrorText, QStringLiteral("Invalid password or recovery code."));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Plans"))));
        QVERIFY(Fs::FileExists(At(QStringLiteral("Plans.kvlocker"))));
        QVERIFY(HiddenInListing(At(QStringLiteral("Plans.kvlocker"))));
        QCOMPARE(QDir(FTree.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{".hidden", "note.txt", "Plans.kvlocker"}));
    }

    // "No" drops the locker only when the item already there holds everything in it.
    void conflictAnswers_data() {
        QTest::addColumn<int>("Answer");
        QTest::addColumn<QByteArray>("Existing");
        QTest::addColumn<QByteArray>("NoteAfter");
        QTest::addColumn<bool>("LockerAfter");
        QTest::addColumn<bool>("Done");
        QTest::newRow("yes replaces") << int(TMsgResult::Yes) << QByteArray("newer") << QByteArray("a note") << false
                                      << true;
        QTest::newRow("no drops a locker the item covers")
            << int(TMsgResult::No) << QByteArray("b note") << QByteArray("b note") << false << true;
        QTest::newRow("no keeps a locker the item lacks")
            << int(TMsgResult::No) << QByteArray("newer") << QByteArray("newer") << true << false;
        QTest::newRow("cancel skips") << int(TMsgResult::Cancel) << QByteArray("newer") << QByteArray("newer") << true
                                      << true;
    }
    void conflictAnswers() {
        QFETCH(int, Answer);
        QFETCH(QByteArray, Existing);
        QFETCH(QByteArray, NoteAfter);
        QFETCH(bool, LockerAfter);
        QFETCH(bool, Done);
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("note.txt")), ErrorText));
        QVERIFY(WriteTestFile(At(QStringLiteral("note.txt")), Existing));
        DialogSeam::QueueResult(TMsgResult(Answer));
        QCOMPARE(Window.RestorePathFromLocker(At(QStringLiteral("note.txt")), ErrorText), Done);
        if (!Done)
            QVERIFY2(ErrorText.endsWith(At(QStringLiteral("note.txt"))), qPrintable(ErrorText));
        const QStringList Lines = DialogSeam::Shown().last().Text.split(QStringLiteral("\r\n"));
        QCOMPARE(Lines.value(1), At(QStringLiteral("note.txt")));
        QCOMPARE(Lines.last(), QStringLiteral("Cancel - skip this item."));
        QCOMPARE(ReadTestFile(At(QStringLiteral("note.txt"))), NoteAfter);
        QCOMPARE(Fs::FileExists(At(QStringLiteral("note.txt.kvlocker"))), LockerAfter);
    }

    void conflictYesKeepsThePathWhenExtractionFails() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("note.txt")), ErrorText));
        QVERIFY(WriteTestFile(At(QStringLiteral("note.txt")), "newer"));
        GeneralPassword = QStringLiteral("not the one");
        DialogSeam::QueueResult(TMsgResult::Yes);
        QVERIFY(!Window.RestorePathFromLocker(At(QStringLiteral("note.txt")), ErrorText));
        QCOMPARE(ReadTestFile(At(QStringLiteral("note.txt"))), QByteArray("newer"));
        QVERIFY(Fs::FileExists(At(QStringLiteral("note.txt.kvlocker"))));
    }

    void stopDuringWork() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        QVERIFY(WriteTestFile(At(QStringLiteral("Big/blob")), QByteArray(40 << 20, 'b')));
        PathList = {At(QStringLiteral("Big"))};
        TfrmMain Window;
        // Stop is pressed from a progress report's message processing, while the row is at work.
        QTimer Presser;
        connect(&Presser, &QTimer::timeout, this, [&] {
            if (Window.FBusy && Window.lblStatus->text() == QStringLiteral("1/1") && Window.btnStop->isEnabled())
                Window.btnStop->click();
        });
        Presser.start(0);
        Window.ListViewPaths->topLevelItem(0)->setSelected(true);
        Window.btnEncryptAndHideSelectedClick();
        QVERIFY(Fs::DirectoryExists(At(QStringLiteral("Big"))));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Big.kvlocker"))));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Big.kvlocker.tmp"))));
        QVERIFY(!Window.FBusy);
        QCOMPARE(DialogSeam::Shown().size(), 1);
        QCOMPARE(DialogSeam::Shown().last().Text, QStringLiteral("Error hiding: ") + At(QStringLiteral("Big")) +
                                                      QStringLiteral("\r\nOperation cancelled by user."));

        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("Big")), ErrorText));
        Window.btnDecryptAndUnhideSelectedClick();
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Big"))));
        QVERIFY(Fs::FileExists(At(QStringLiteral("Big.kvlocker"))));
        const QStringList Left = QDir(FTree.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(std::none_of(Left.begin(), Left.end(), [](const QString& N) { return N.contains("staging"); }),
                 qPrintable(Left.join(',')));
        QCOMPARE(DialogSeam::Shown().size(), 2);
        QVERIFY(DialogSeam::Shown().last().Text.startsWith(QStringLiteral("Error unhiding: ")));
    }

    // A folder of many small files reports once per file; the window handles its events at most
    // every 50 ms and at each item's end, not once per file, and the folder still comes back whole.
    void manySmallFilesHandleEventsSparingly() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        for (int I = 0; I < 400; ++I)
            QVERIFY(WriteTestFile(At(QStringLiteral("Many/f%1").arg(I)), QByteArray::number(I)));
        const QMap<QString, QString> Before = TreeSnapshot(At(QStringLiteral("Many")));
        PathList = {At(QStringLiteral("Many"))};
        TfrmMain Window;
        // Each time events are handled, this one is handled and posts itself again.
        int Rounds = 0;
        QObject Counter;
        std::function<void()> Post = [&] {
            QMetaObject::invokeMethod(
                &Counter,
                [&] {
                    ++Rounds;
                    Post();
                },
                Qt::QueuedConnection);
        };
        for (const bool Hide : {true, false}) {
            Window.ListViewPaths->topLevelItem(0)->setSelected(true);
            Rounds = 0;
            Post();
            QElapsedTimer Clock;
            Clock.start();
            if (Hide)
                Window.btnEncryptAndHideSelectedClick();
            else
                Window.btnDecryptAndUnhideSelectedClick();
            // Begin, end and each stage of the item handle events once more; one report per file would
            // be over 400.
            const qint64 Bound = 20 + Clock.elapsed() / 50;
            QVERIFY2(Rounds <= Bound, qPrintable(QStringLiteral("%1 rounds, at most %2").arg(Rounds).arg(Bound)));
            QCOMPARE(Fs::PathExists(At(QStringLiteral("Many.kvlocker"))), Hide);
            QCoreApplication::processEvents(); // the last self-post, so that it stops
        }
        QCOMPARE(TreeSnapshot(At(QStringLiteral("Many"))), Before);
        QCOMPARE(DialogSeam::Shown().size(), 0);
    }

    // Remove brings a hidden row's item back before the row goes; when that fails, the row stays.
    void removeRestoresAHiddenRow() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        PathList = {At(QStringLiteral("Plans")), At(QStringLiteral("note.txt"))};
        TfrmMain Window;
        const QMap<QString, QString> Before = TreeSnapshot(At(QStringLiteral("Plans")));
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText));
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("note.txt")), ErrorText));

        GeneralPassword = QStringLiteral("not the one");
        Window.ListViewPaths->topLevelItem(1)->setSelected(true);
        DialogSeam::QueueResult(TMsgResult::OK);
        Window.btnRemoveClick();
        QCOMPARE(DialogSeam::Shown().last().Text, QStringLiteral("Error removing: ") + At(QStringLiteral("note.txt")) +
                                                      QStringLiteral("\r\nInvalid password or recovery code."));
        QCOMPARE(Window.ListViewPaths->topLevelItemCount(), 2);

        GeneralPassword = QStringLiteral("pw");
        Window.ListViewPaths->clearSelection();
        Window.ListViewPaths->topLevelItem(0)->setSelected(true);
        DialogSeam::QueueResult(TMsgResult::OK);
        Window.btnRemoveClick();
        QCOMPARE(Window.ListViewPaths->topLevelItemCount(), 1);
        QCOMPARE(TreeSnapshot(At(QStringLiteral("Plans"))), Before);
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Plans.kvlocker"))));
        PathList.clear();
        QVERIFY(LoadSettings());
        QCOMPARE(PathList, QStringList{At(QStringLiteral("note.txt"))});
    }

    // Closing the window during a batch stops it; the window closes once the work has cleaned up.
    void closeWhileBusy() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        QVERIFY(WriteTestFile(At(QStringLiteral("Big/blob")), QByteArray(40 << 20, 'b')));
        PathList = {At(QStringLiteral("Big"))};
        TfrmMain Window;
        Window.show();
        QSignalSpy Closed(&Window, &TfrmMain::Closed);
        bool Asked = false;
        QTimer Closer;
        connect(&Closer, &QTimer::timeout, this, [&] {
            if (Window.FBusy && !Asked && Window.lblStatus->text() == QStringLiteral("1/1")) {
                Asked = true;
                QVERIFY(!Window.close()); // refused for now
            }
        });
        Closer.start(0);
        Window.btnEncryptAndHideAllClick();
        QVERIFY(Asked);
        QTRY_COMPARE(Closed.count(), 1);
        QVERIFY(!Window.isVisible());
        QVERIFY(Fs::DirectoryExists(At(QStringLiteral("Big"))));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Big.kvlocker"))));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Big.kvlocker.tmp"))));
    }

    // A close during Remove's restore (which handles events as it reports progress) waits for it: the
    // window, which deletes itself on close, outlives the work, and the item is whole afterwards.
    void closeDuringRemove() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        QVERIFY(WriteTestFile(At(QStringLiteral("Big/blob")), QByteArray(40 << 20, 'b')));
        PathList = {At(QStringLiteral("Big"))};
        auto* Window = new TfrmMain;
        Window->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<TfrmMain> Alive(Window);
        QString ErrorText;
        QVERIFY(Window->HidePathIntoLocker(At(QStringLiteral("Big")), ErrorText));
        Window->show();
        Window->ListViewPaths->setCurrentItem(Window->ListViewPaths->topLevelItem(0));
        QSignalSpy Closed(Window, &TfrmMain::Closed);
        DialogSeam::QueueResult(TMsgResult::OK);
        QTimer::singleShot(1, Window, [&] { Window->close(); });
        Window->btnRemoveClick();
        QVERIFY(Alive); // still here when the handler returns
        QTRY_COMPARE(Closed.count(), 1);
        QTRY_VERIFY(!Alive);
        const bool Restored = Fs::DirectoryExists(At(QStringLiteral("Big")));
        QVERIFY(Restored != Fs::FileExists(At(QStringLiteral("Big.kvlocker"))));
        if (Restored)
            QCOMPARE(ReadTestFile(At(QStringLiteral("Big/blob"))), QByteArray(40 << 20, 'b'));
    }

    // A row skipped at the conflict prompt during Change Password: nothing is re-made, what was
    // unpacked is hidden again, and every locker still opens with the password that stays saved.
    void changePasswordStopsAtASkippedRow() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("old");
        for (const char* Name : {"a", "b"})
            QVERIFY(WriteTestFile(At(QStringLiteral("two/") + QLatin1String(Name)), Name));
        PathList = {At(QStringLiteral("two/a")), At(QStringLiteral("two/b"))};
        TfrmMain Window;
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("two/a")), ErrorText));
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("two/b")), ErrorText));
        QVERIFY(WriteTestFile(At(QStringLiteral("two/b")), "b again"));
        DialogSeam::QueueResult(TMsgResult::Cancel);
        TModalDriver Driver;
        AnswerNewPassword(Driver, QStringLiteral("new"));
        Window.btnChangePasswordClick();
        QCOMPARE(GeneralPassword, QStringLiteral("old"));
        for (const char* Name : {"a", "b"}) {
            QString Message;
            QVERIFY2(VerifyLocker(At(QStringLiteral("two/") + QLatin1String(Name) + QStringLiteral(".kvlocker")),
                                  QStringLiteral("old"), Message),
                     Name);
        }
        QVERIFY(!Fs::PathExists(At(QStringLiteral("two/a"))));
        QVERIFY(DialogSeam::Shown().last().Text.contains(At(QStringLiteral("two/b"))));
        GeneralPassword.clear();
    }

    void hideAllAndChangePassword() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("old");
        for (const char* Name : {"a", "b", "c", "d", "e"})
            QVERIFY(WriteTestFile(At(QStringLiteral("five/") + QLatin1String(Name)), Name));
        for (const char* Name : {"a", "b", "c", "d", "e"})
            PathList.append(At(QStringLiteral("five/") + QLatin1String(Name)));
        TfrmMain Window;
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("five/b")), ErrorText));
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("five/d")), ErrorText));

        QStringList Counters;
        QTimer Watch;
        connect(&Watch, &QTimer::timeout, this, [&] {
            if (Window.FBusy && (Counters.isEmpty() || Counters.last() != Window.lblStatus->text()))
                Counters.append(Window.lblStatus->text());
        });
        Watch.start(0);
        Window.btnEncryptAndHideAllClick();
        for (const char* Name : {"a", "b", "c", "d", "e"})
            QVERIFY(Fs::FileExists(At(QStringLiteral("five/") + QLatin1String(Name) + QStringLiteral(".kvlocker"))));
        QVERIFY(DialogSeam::Shown().isEmpty());
        QVERIFY2(CountsUp(Counters, 0, 5), qPrintable(Counters.join(' ')));

        // Three hidden and two visible: only the three are re-made, under the new password.
        QVERIFY(Window.RestorePathFromLocker(At(QStringLiteral("five/a")), ErrorText));
        QVERIFY(Window.RestorePathFromLocker(At(QStringLiteral("five/c")), ErrorText));
        Counters.clear();
        TModalDriver Driver;
        AnswerNewPassword(Driver, QStringLiteral("new"));
        Window.btnChangePasswordClick();
        QCOMPARE(GeneralPassword, QStringLiteral("new"));
        QVERIFY2(CountsUp(Counters, 0, 6), qPrintable(Counters.join(' ')));
        for (const char* Name : {"b", "d", "e"}) {
            QString Message;
            QVERIFY(VerifyLocker(At(QStringLiteral("five/") + QLatin1String(Name) + QStringLiteral(".kvlocker")),
                                 QStringLiteral("new"), Message));
        }
        QCOMPARE(ReadTestFile(At(QStringLiteral("five/a"))), QByteArray("a"));
        GeneralPassword.clear();
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("new"));
    }
};

QTEST_MAIN(TestWorkflow)
#include "test_workflow.moc"
