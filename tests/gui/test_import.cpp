#include "GuiTestSupport.h"
#include "mainwindow/OpenLockerFileDialog.h"
#include "platform/PlatformFiles.h"
#include "shellbrowser/ShellBrowser.h"
#include "TestFiles.h"
#include "mainwindow/UnitMain.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList Listed(const TfrmMain& Window) {
    QStringList Paths;
    for (int I = 0; I < Window.ListViewPaths->topLevelItemCount(); ++I)
        Paths.append(Window.ListViewPaths->topLevelItem(I)->text(0));
    return Paths;
}

// The message boxes shown, without the input box.
QStringList Messages() {
    QStringList Texts;
    for (const TShownDialog& Shown : DialogSeam::Shown())
        if (Shown.What == TShownDialog::Message)
            Texts.append(Shown.Text);
    return Texts;
}

QStringList EntriesOf(const QString& Folder) {
    return QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

enum class TEnterIn { FolderRow, FolderBox, LockerRow };

} // namespace

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir FTree;
    QString At(const QString& Name) const { return FTree.path() + QLatin1Char('/') + Name; }

    // Shows Folder in the chooser and waits until Name is listed there.
    bool ShowInChooser(TfrmMain& Window, const QString& Folder, const QString& Name) {
        if (!frmOpenLocker)
            frmOpenLocker = new TfrmOpenLocker(&Window);
        frmOpenLocker->JamShellList1->SetFolder(Folder);
        return QTest::qWaitFor([&] { return frmOpenLocker->JamShellList1->ShownNames().contains(Name); }, 10000);
    }

    // Runs the import: the chooser selects Select (nothing when empty) and closes with OK or Cancel,
    // and the password box is answered with Password.
    void RunImport(TfrmMain& Window, const QString& Select, bool Ok, const QString& Password) {
        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmOpenLocker*>(W);
            QVERIFY(Dialog);
            Dialog->JamShellList1->clearSelection();
            if (!Select.isEmpty())
                QVERIFY(Dialog->JamShellList1->SelectPath(Select));
            (Ok ? Dialog->Button2 : Dialog->Button1)->click();
        });
        DialogSeam::QueueText(Password);
        Window.btnImportLockerClick();
        QCOMPARE(Driver.Pending(), 0);
    }

private slots:
    void init() {
        QDir(FTree.path()).removeRecursively();
        QDir().mkpath(FTree.path());
        QVERIFY(WriteTestFile(At(QStringLiteral("Plans/one.txt")), "first"));
        QVERIFY(WriteTestFile(At(QStringLiteral("Plans/deep/two.bin")), QByteArray(70000, 'x')));
    }

    void outcomes_data() {
        QTest::addColumn<QString>("LockerName");
        QTest::addColumn<QString>("Select");
        QTest::addColumn<bool>("Ok");
        QTest::addColumn<QString>("Password");
        QTest::addColumn<bool>("Occupied");
        QTest::addColumn<QString>("Message");
        QTest::addColumn<bool>("Restored");
        // The item keeps the name it was packed with, whatever the locker is called now.
        QTest::newRow("imported") << "Plans.kvlocker"
                                  << "Plans.kvlocker" << true << "pw" << false << "" << true;
        QTest::newRow("capital extension") << "Plans.KVLOCKER"
                                           << "Plans.KVLOCKER" << true << "pw" << false << "" << true;
        QTest::newRow("renamed locker") << "Old plans.kvlocker"
                                        << "Old plans.kvlocker" << true << "pw" << false << "" << true;
        QTest::newRow("wrong password") << "Plans.kvlocker"
                                        << "Plans.kvlocker" << true << "nope" << false
                                        << "Invalid password or recovery code." << false;
        QTest::newRow("empty password") << "Plans.kvlocker"
                                        << "Plans.kvlocker" << true << "" << false << "Password is required." << false;
        QTest::newRow("item already there")
            << "Old plans.kvlocker"
            << "Old plans.kvlocker" << true << "pw" << true
            << "Nothing was imported, because this item already exists beside the locker file:\r\n%1/Plans" << false;
        QTest::newRow("cancel") << "Plans.kvlocker"
                                << "Plans.kvlocker" << false << "pw" << false << "" << false;
        QTest::newRow("nothing selected") << "Plans.kvlocker"
                                          << "" << true << "pw" << false << "" << false;
        QTest::newRow("not a locker") << "Plans.kvlocker"
                                      << "Sub" << true << "pw" << false << "Please select a valid .kvlocker file."
                                      << false;
    }
    void outcomes() {
        QFETCH(QString, LockerName);
        QFETCH(QString, Select);
        QFETCH(bool, Ok);
        QFETCH(QString, Password);
        QFETCH(bool, Occupied);
        QFETCH(QString, Message);
        QFETCH(bool, Restored);
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        QVERIFY(QDir().mkpath(At(QStringLiteral("Sub"))));
        const QByteArray Two = ReadTestFile(At(QStringLiteral("Plans/deep/two.bin")));
        QString ErrorText;
        QVERIFY2(Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText), qPrintable(ErrorText));
        if (LockerName != QLatin1String("Plans.kvlocker"))
            QVERIFY(QFile::rename(At(QStringLiteral("Plans.kvlocker")), At(LockerName)));
        if (Occupied)
            QVERIFY(WriteTestFile(At(QStringLiteral("Plans/mine.txt")), "mine"));
        const QStringList Before = EntriesOf(FTree.path());
        QVERIFY(ShowInChooser(Window, FTree.path(), LockerName));

        RunImport(Window, Select.isEmpty() ? QString() : At(Select), Ok, Password);

        QCOMPARE(Messages(), Message.isEmpty() ? QStringList() : QStringList{Message.arg(FTree.path())});
        QCOMPARE(Fs::FileExists(At(LockerName)), !Restored);
        QCOMPARE(Listed(Window), Restored ? QStringList{At(QStringLiteral("Plans"))} : QStringList());
        if (Restored) {
            QCOMPARE(ReadTestFile(At(QStringLiteral("Plans/one.txt"))), QByteArray("first"));
            QCOMPARE(ReadTestFile(At(QStringLiteral("Plans/deep/two.bin"))), Two);
            QCOMPARE(Window.ListViewPaths->topLevelItem(0)->text(1), QStringLiteral("Visible"));
            // The grown list is saved.
            PathList.clear();
            QVERIFY(LoadSettings());
            QCOMPARE(PathList, QStringList{At(QStringLiteral("Plans"))});
        } else {
            // Nothing written beside the locker, nothing half-made left over.
            QCOMPARE(EntriesOf(FTree.path()), Before);
            if (Occupied)
                QCOMPARE(EntriesOf(At(QStringLiteral("Plans"))), QStringList{"mine.txt"});
        }
    }

    // Enter opens a folder, from the list or typed in the folder box, and the chooser stays;
    // only Enter on a locker chooses, and that locker is imported.
    void enterInTheChooser_data() {
        QTest::addColumn<int>("In");
        QTest::newRow("folder row") << int(TEnterIn::FolderRow);
        QTest::newRow("folder box") << int(TEnterIn::FolderBox);
        QTest::newRow("locker row") << int(TEnterIn::LockerRow);
    }
    void enterInTheChooser() {
        QFETCH(int, In);
        const bool Locker = TEnterIn(In) == TEnterIn::LockerRow;
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        TfrmMain Window;
        QVERIFY(QDir().mkpath(At(QStringLiteral("Sub"))));
        QString ErrorText;
        QVERIFY2(Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText), qPrintable(ErrorText));
        QVERIFY(ShowInChooser(Window, FTree.path(), QStringLiteral("Plans.kvlocker")));

        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmOpenLocker*>(W);
            QVERIFY(Dialog);
            TShellFileList* List = Dialog->JamShellList1;
            TShellFolderCombo* Box = Dialog->JamShellCombo1;
            switch (TEnterIn(In)) {
            case TEnterIn::FolderRow:
            case TEnterIn::LockerRow:
                List->setFocus();
                QVERIFY(List->SelectPath(At(Locker ? QStringLiteral("Plans.kvlocker") : QStringLiteral("Sub"))));
                QTest::keyClick(List, Qt::Key_Return);
                break;
            case TEnterIn::FolderBox:
                Box->setFocus();
                Box->lineEdit()->selectAll();
                QTest::keyClicks(Box, At(QStringLiteral("Sub")));
                QTest::keyClick(Box, Qt::Key_Return);
                break;
            }
            if (Locker)
                return;
            QCOMPARE(List->Folder(), At(QStringLiteral("Sub")));
            QVERIFY(Dialog->isVisible());
            QCOMPARE(Dialog->Tag, 0);
            Dialog->Button1->click();
        });
        if (Locker)
            DialogSeam::QueueText(QStringLiteral("pw"));
        Window.btnImportLockerClick();

        QCOMPARE(Driver.Pending(), 0);
        QCOMPARE(frmOpenLocker->Tag, Locker ? 1 : 0);
        QVERIFY(Messages().isEmpty());
        QCOMPARE(Listed(Window), Locker ? QStringList{At(QStringLiteral("Plans"))} : QStringList());
        QCOMPARE(Fs::FileExists(At(QStringLiteral("Plans.kvlocker"))), !Locker);
    }

    // A path still listed (its row says hidden) comes back to its own row.
    void importOfAListedPathKeepsOneRow() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        PathList = {At(QStringLiteral("Plans"))};
        TfrmMain Window;
        QString ErrorText;
        QVERIFY(Window.HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText));
        Window.RefreshStatuses();
        QCOMPARE(Window.ListViewPaths->topLevelItem(0)->text(1), QStringLiteral("Encrypted & Hidden"));
        QVERIFY(ShowInChooser(Window, FTree.path(), QStringLiteral("Plans.kvlocker")));
        RunImport(Window, At(QStringLiteral("Plans.kvlocker")), true, QStringLiteral("pw"));
        QVERIFY(Messages().isEmpty());
        QCOMPARE(Listed(Window), QStringList{At(QStringLiteral("Plans"))});
        QCOMPARE(Window.ListViewPaths->topLevelItem(0)->text(1), QStringLiteral("Visible"));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Plans.kvlocker"))));
    }

    // A close while the import's chooser is open waits for the import: the window, which deletes
    // itself on close, outlives it, and the item comes back whole.
    void closeDuringImport() {
        TGuiFixture Fixture;
        GeneralPassword = QStringLiteral("pw");
        auto* Window = new TfrmMain;
        Window->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<TfrmMain> Alive(Window);
        QString ErrorText;
        QVERIFY(Window->HidePathIntoLocker(At(QStringLiteral("Plans")), ErrorText));
        Window->show();
        QSignalSpy Closed(Window, &TfrmMain::Closed);
        QVERIFY(ShowInChooser(*Window, FTree.path(), QStringLiteral("Plans.kvlocker")));
        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmOpenLocker*>(W);
            QVERIFY(Dialog);
            QVERIFY(!Window->close()); // refused while the import is under way
            QVERIFY(Dialog->JamShellList1->SelectPath(At(QStringLiteral("Plans.kvlocker"))));
            Dialog->Button2->click();
        });
        DialogSeam::QueueText(QStringLiteral("pw"));
        Window->btnImportLockerClick();
        QVERIFY(Alive);
        QTRY_COMPARE(Closed.count(), 1);
        QTRY_VERIFY(!Alive);
        QCOMPARE(ReadTestFile(At(QStringLiteral("Plans/one.txt"))), QByteArray("first"));
        QVERIFY(!Fs::PathExists(At(QStringLiteral("Plans.kvlocker"))));
    }

    // Folders to go into and lockers of any case, hidden ones included; archives a file manager may
    // show as folders, and other files, stay out.
    void chooserListsFoldersAndLockers() {
        TGuiFixture Fixture;
        TfrmMain Window;
        for (const char* Name : {"a.kvlocker", ".dot.kvlocker", "B.KVLOCKER", "notes.txt", "arch.zip", "kvlocker"})
            QVERIFY(WriteTestFile(At(QLatin1String(Name)), "x"));
        for (const char* Name : {"Sub", "folder.zip", "pack.7z", "music.RAR", "old.tar", "photos.kvlocker.d"})
            QVERIFY(QDir().mkpath(At(QLatin1String(Name))));
        QVERIFY(ShowInChooser(Window, FTree.path(), QStringLiteral("B.KVLOCKER")));
        QStringList Shown = frmOpenLocker->JamShellList1->ShownNames();
        // Folders first.
        QCOMPARE(Shown.mid(0, 3), (QStringList{"photos.kvlocker.d", "Plans", "Sub"}));
        Shown.sort(Qt::CaseInsensitive);
        QCOMPARE(Shown,
                 (QStringList{".dot.kvlocker", "a.kvlocker", "B.KVLOCKER", "photos.kvlocker.d", "Plans", "Sub"}));

        // The folder shown is kept from one use to the next; opening a folder goes into it.
        RunImport(Window, QString(), false, QString());
        QCOMPARE(frmOpenLocker->JamShellList1->Folder(), FTree.path());
        emit frmOpenLocker->JamShellList1->activated(frmOpenLocker->JamShellList1->model()->index(
            static_cast<int>(frmOpenLocker->JamShellList1->ShownNames().indexOf(QStringLiteral("Sub"))), 0,
            frmOpenLocker->JamShellList1->rootIndex()));
        QCOMPARE(frmOpenLocker->JamShellList1->Folder(), At(QStringLiteral("Sub")));
    }
};

QTEST_MAIN(TestImport)
#include "test_import.moc"
