#include "GuiTestSupport.h"
#include "platform/KelvarnError.h"
#include "mainwindow/PathRules.h"
#include "platform/PlatformFiles.h"
#include "TestFiles.h"
#include "mainwindow/UnitMain.h"
#include "workflow/uWorkflow.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

namespace {

QStringList Captions(const TfrmMain& Window) {
    QStringList Rows;
    for (int I = 0; I < Window.ListViewPaths->topLevelItemCount(); ++I)
        Rows.append(Window.ListViewPaths->topLevelItem(I)->text(0));
    return Rows;
}

// A caption as read, without its accelerator mark: "&Datei" and "文件(&F)" read "Datei" and "文件".
QString Unmarked(QString Caption) {
    static const QRegularExpression Suffix(QStringLiteral("\\(&[A-Z]\\)"));
    Caption.remove(Suffix);
    QString Plain;
    for (qsizetype I = 0; I < Caption.size(); ++I) {
        if (Caption.at(I) == QLatin1Char('&') && I + 1 < Caption.size() && Caption.at(I + 1) != QLatin1Char('&'))
            continue;
        Plain.append(Caption.at(I));
        if (Caption.at(I) == QLatin1Char('&'))
            Plain.append(Caption.at(++I));
    }
    return Plain;
}

// The accelerator letter of a caption, upper case; null when it has none.
QChar MnemonicOf(const QString& Caption) {
    for (qsizetype I = 0; I + 1 < Caption.size(); ++I) {
        if (Caption.at(I) != QLatin1Char('&'))
            continue;
        if (Caption.at(I + 1) == QLatin1Char('&')) {
            ++I;
            continue;
        }
        return Caption.at(I + 1).toUpper();
    }
    return QChar();
}

QStringList Statuses(const TfrmMain& Window) {
    QStringList Rows;
    for (int I = 0; I < Window.ListViewPaths->topLevelItemCount(); ++I)
        Rows.append(Window.ListViewPaths->topLevelItem(I)->text(1));
    return Rows;
}

// Every control of the enabling rule with its state, by object name.
QMap<QString, bool> EnabledStates(TfrmMain& Window) {
    QMap<QString, bool> States;
    for (const char* Name : {"btnRemove", "btnEncryptAndHideSelected", "btnDecryptAndUnhideSelected",
                             "btnEncryptAndHideAll", "btnDecryptAndUnhideAll", "btnAddFile", "btnAddFolder",
                             "btnImportLocker", "btnChangePassword", "btnStop", "btnAboutProgram"})
        States[QLatin1String(Name)] = Window.findChild<QWidget*>(QLatin1String(Name))->isEnabled();
    for (const char* Name : {"EncryptHideSelected1", "DencryptUnhideSelected1", "EncryptHideAll1", "DencryptUnhideAll1",
                             "AddFolder1", "AddFile1", "ImportLocker1", "ChangePassword1"})
        States[QLatin1String(Name)] = Window.findChild<QAction*>(QLatin1String(Name))->isEnabled();
    return States;
}

QByteArray SettingsBytes() {
    return ReadTestFile(SettingsFilePath(), "<none>");
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir FTree;
    QString At(const QString& Name) const { return FTree.path() + QLatin1Char('/') + Name; }

private slots:
    void init() {
        QVERIFY(FTree.isValid());
        QDir(FTree.path()).removeRecursively();
        QDir().mkpath(FTree.path());
        QVERIFY(WriteTestFile(At(QStringLiteral("Photos/a.jpg")), "jpeg"));
        QVERIFY(WriteTestFile(At(QStringLiteral("report.pdf")), "pdf"));
        QVERIFY(WriteTestFile(At(QStringLiteral("Gone.kvlocker")), "locker stand-in"));
        QVERIFY(QFile::link(At(QStringLiteral("Photos")), At(QStringLiteral("Link"))));
    }

    void addPath_data() {
        QTest::addColumn<QString>("Added");  // relative to the tree unless absolute
        QTest::addColumn<QString>("Listed"); // the new row, or empty for none
        QTest::addColumn<QString>("Status");
        QTest::addColumn<QString>("Message");
        QTest::newRow("folder") << "Photos"
                                << "Photos"
                                << "Visible"
                                << "";
        QTest::newRow("trailing separators") << "Photos//"
                                             << "Photos"
                                             << "Visible"
                                             << "";
        QTest::newRow("dot segments") << "Photos/../report.pdf"
                                      << "report.pdf"
                                      << "Visible"
                                      << "";
        QTest::newRow("only its locker") << "Gone"
                                         << "Gone"
                                         << "Encrypted & Hidden"
                                         << "";
        QTest::newRow("missing") << "Nothing"
                                 << ""
                                 << ""
                                 << "Path does not exist:\r\n%1/Nothing";
        QTest::newRow("a link") << "Link"
                                << ""
                                << ""
                                << "A symbolic link cannot be put in a locker.\r\n%1/Link";
    }
    void addPath() {
        QFETCH(QString, Added);
        QFETCH(QString, Listed);
        QFETCH(QString, Status);
        QFETCH(QString, Message);
        TGuiFixture Fixture;
        TfrmMain Window;
        // Relative paths resolve against the current folder.
        const QString Saved = QDir::currentPath();
        QDir::setCurrent(FTree.path());
        Window.AddPath(Added);
        QDir::setCurrent(Saved);
        QCOMPARE(Captions(Window), Listed.isEmpty() ? QStringList() : QStringList{At(Listed)});
        if (!Listed.isEmpty())
            QCOMPARE(Statuses(Window), QStringList{Status});
        QCOMPARE(ShownTexts(), Message.isEmpty() ? QStringList() : QStringList{Message.arg(FTree.path())});
    }

    void addPathIgnoresAsciiCaseDuplicates() {
        TGuiFixture Fixture;
        TfrmMain Window;
        Window.AddPath(At(QStringLiteral("Photos")));
        QVERIFY(WriteTestFile(At(QStringLiteral("PHOTOS/b")), "other folder, same name but for case"));
        Window.AddPath(At(QStringLiteral("PHOTOS")));
        QCOMPARE(Captions(Window), QStringList{At(QStringLiteral("Photos"))});
        QVERIFY(DialogSeam::Shown().isEmpty());
        // The root stays "/" and its locker would sit beside it, never inside a packed tree.
        QCOMPARE(ListedPathFor(QStringLiteral("///")), QStringLiteral("/"));
        QCOMPARE(LockerPathFor(At(QStringLiteral("Photos/"))), At(QStringLiteral("Photos.kvlocker")));
    }

    void startupListsWhatIsOnDisk() {
        TGuiFixture Fixture;
        QVERIFY(WriteTestFile(At(QStringLiteral("Photos.kvlocker")), "locker beside its folder"));
        PathList = {At(QStringLiteral("Photos")), At(QStringLiteral("Missing")), At(QStringLiteral("Gone")),
                    At(QStringLiteral("Photos/")), At(QStringLiteral("report.pdf"))};
        StrongHide = false;
        TfrmMain Window;
        QCOMPARE(Captions(Window), (QStringList{At(QStringLiteral("Photos")), At(QStringLiteral("Gone")),
                                                At(QStringLiteral("report.pdf"))}));
        QCOMPARE(Statuses(Window), (QStringList{"Encrypted & Hidden", "Encrypted & Hidden", "Visible"}));
        QCOMPARE(ShownTexts(), QStringList{QStringLiteral("Path does not exist:\r\n") + At(QStringLiteral("Missing"))});
        QVERIFY(!Window.chkStrongHide->isChecked());
        QVERIFY(!Window.chkStrongHide->isVisible());
        // Creation and closing write nothing; the next save drops the missing entries.
        QCOMPARE(SettingsBytes(), QByteArray("<none>"));
        Window.close();
        QCOMPARE(SettingsBytes(), QByteArray("<none>"));
        Window.SaveFormState();
        PathList.clear();
        QVERIFY(LoadSettings());
        QCOMPARE(PathList, Captions(Window));
        QCOMPARE(StrongHide, false);
    }

    void updateButtons_data() {
        QTest::addColumn<bool>("Busy");
        QTest::addColumn<int>("Rows");
        QTest::addColumn<bool>("Selected");
        QTest::newRow("idle, empty") << false << 0 << false;
        QTest::newRow("idle, rows, none selected") << false << 2 << false;
        QTest::newRow("idle, selected") << false << 2 << true;
        QTest::newRow("busy, selected") << true << 2 << true;
    }
    void updateButtons() {
        QFETCH(bool, Busy);
        QFETCH(int, Rows);
        QFETCH(bool, Selected);
        TGuiFixture Fixture;
        TfrmMain Window;
        if (Rows > 0)
            Window.AddPath(At(QStringLiteral("Photos")));
        if (Rows > 1)
            Window.AddPath(At(QStringLiteral("report.pdf")));
        if (Selected)
            Window.ListViewPaths->topLevelItem(1)->setSelected(true);
        Window.FBusy = Busy;
        Window.UpdateButtons();
        const bool Idle = !Busy;
        const QMap<QString, bool> States = EnabledStates(Window);
        for (const char* Name : {"btnRemove", "btnEncryptAndHideSelected", "btnDecryptAndUnhideSelected",
                                 "EncryptHideSelected1", "DencryptUnhideSelected1"})
            QVERIFY2(States.value(QLatin1String(Name)) == (Idle && Selected), Name);
        for (const char* Name :
             {"btnEncryptAndHideAll", "btnDecryptAndUnhideAll", "EncryptHideAll1", "DencryptUnhideAll1"})
            QVERIFY2(States.value(QLatin1String(Name)) == (Idle && Rows > 0), Name);
        for (const char* Name : {"btnAddFile", "btnAddFolder", "btnImportLocker", "btnChangePassword", "AddFolder1",
                                 "AddFile1", "ImportLocker1", "ChangePassword1"})
            QVERIFY2(States.value(QLatin1String(Name)) == Idle, Name);
        QCOMPARE(States.value(QStringLiteral("btnStop")), Busy);
        QVERIFY(States.value(QStringLiteral("btnAboutProgram")));
        QVERIFY(Window.findChild<QAction*>(QStringLiteral("Exit1"))->isEnabled());
    }

    void languageSwitchRewritesEverything() {
        TGuiFixture Fixture;
        QVERIFY(WriteTestFile(At(QStringLiteral("report.pdf.kvlocker")), "locker"));
        PathList = {At(QStringLiteral("Photos")), At(QStringLiteral("report.pdf"))};
        TfrmMain Window;
        Window.ListViewPaths->topLevelItem(1)->setSelected(true);
        const QList<QAction*> Items = Window.mmLanguage->actions();
        QCOMPARE(Items.size(), TranslationTable.size());
        QCOMPARE(Items.first()->text(), QStringLiteral("English"));
        QVERIFY(Items.first()->isChecked());

        auto Choose = [&](const QString& Code) {
            for (QAction* Item : Items)
                if (Item->objectName() == QStringLiteral("mmLanguage_") + Code)
                    Item->trigger();
        };
        Choose(QStringLiteral("de"));
        QCOMPARE(CurrentLanguageCode, QStringLiteral("de"));
        QString Stored;
        QVERIFY(ReadUserStoreString(QStringLiteral("CurrentLanguage"), Stored));
        QCOMPARE(Stored, QStringLiteral("de"));
        QCOMPARE(std::count_if(Items.begin(), Items.end(), [](QAction* A) { return A->isChecked(); }), 1);
        QVERIFY(Items.at(CurrentLanguageIndex)->isChecked());
        // Every caption of the table in German, each one different from its English source.
        const QList<QPair<QString, QString>> Texts = {
            {Unmarked(Window.File1->title()), "File"},
            {Unmarked(Window.findChild<QAction*>("EncryptHideSelected1")->text()), "Encrypt && Hide Selected"},
            {Unmarked(Window.mmLanguage->title()), "Language"},
            {Window.btnRemove->toolTip(), "Remove Selected From List"},
            {Window.btnRemove->accessibleName(), "Remove Selected From List"},
            {Window.btnChangePassword->text(), "Change Password..."},
            {Window.lblStatus->text(), "Ready"},
            {Window.btnStop->text(), "Stop"},
            {Window.ListViewPaths->headerItem()->text(0), "Path"},
            {Window.ListViewPaths->headerItem()->text(1), "Status"},
        };
        for (const auto& [Shown, English] : Texts) {
            QCOMPARE(Shown, Translate(English));
            QVERIFY2(Shown != English || English == QStringLiteral("Status"), qPrintable(English)); // same in German
        }
        QCOMPARE(Statuses(Window), (QStringList{Translate("Visible"), Translate("Encrypted & Hidden")}));
        QCOMPARE(Captions(Window), (QStringList{At(QStringLiteral("Photos")), At(QStringLiteral("report.pdf"))}));
        QVERIFY(Window.ListViewPaths->topLevelItem(1)->isSelected());
        QCOMPARE(QApplication::layoutDirection(), Qt::LeftToRight);

        // Qt's own texts (the file chooser, the list headers) follow, where Qt has a catalogue.
        if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm")))
            QCOMPARE(QCoreApplication::translate("QFileSystemModel", "Size"), QStringLiteral("Größe"));
        Choose(QStringLiteral("ar"));
        QCOMPARE(QApplication::layoutDirection(), Qt::RightToLeft);
        QCOMPARE(Window.layoutDirection(), Qt::RightToLeft);
        Choose(QStringLiteral("en"));
        QCOMPARE(QApplication::layoutDirection(), Qt::LeftToRight);
        QCOMPARE(QCoreApplication::translate("QFileSystemModel", "Size"), QStringLiteral("Size"));
        QCOMPARE(Window.File1->title(), QStringLiteral("&File"));
        QCOMPARE(Statuses(Window), (QStringList{"Visible", "Encrypted & Hidden"}));
    }

    // Every menu and item is reached by the keyboard in every language: one accelerator each,
    // none shared among siblings, and the standard shortcuts shown in their menus.
    void keyboardReachesEveryMenu_data() {
        QTest::addColumn<QString>("Code");
        for (const char* Code : {"en", "de", "ar", "cn", "jp", "el", "fr"})
            QTest::newRow(Code) << QString::fromLatin1(Code);
    }
    void keyboardReachesEveryMenu() {
        QFETCH(QString, Code);
        TGuiFixture Fixture;
        TGuiFixture::UseLanguage(Code);
        TfrmMain Window;
        QString TopLetters;
        for (QMenu* Menu : {Window.File1, Window.Edit1, Window.ools1, Window.Help1}) {
            const QChar Top = MnemonicOf(Menu->title());
            QVERIFY2(!Top.isNull() && !TopLetters.contains(Top), qPrintable(Menu->title()));
            TopLetters.append(Top);
            QString Letters;
            for (QAction* Item : Menu->actions()) {
                if (Item->isSeparator())
                    continue;
                const QChar Letter = MnemonicOf(Item->text());
                QVERIFY2(!Letter.isNull() && !Letters.contains(Letter), qPrintable(Item->text()));
                Letters.append(Letter);
            }
        }
        const QList<QPair<QAction*, QString>> Shortcuts = {
            {Window.AddFolder1, "Ctrl+O"},    {Window.AddFile1, "Ctrl+Shift+O"}, {Window.Remove1, "Del"},
            {Window.ImportLocker1, "Ctrl+I"}, {Window.Exit1, "Ctrl+Q"},          {Window.utorial1, "F1"}};
        for (const auto& [Item, Keys] : Shortcuts)
            QCOMPARE(Item->shortcut().toString(QKeySequence::PortableText), Keys);
    }

    // The texts of the bottom strip are never cut at the default window size, the counter's
    // "stopping" text included.
    void bottomTextsFit_data() {
        QTest::addColumn<QString>("Code");
        for (const char* Code : {"en", "de", "ar", "cn", "el", "hu", "fr", "pt"})
            QTest::newRow(Code) << QString::fromLatin1(Code);
    }
    void bottomTextsFit() {
        QFETCH(QString, Code);
        TGuiFixture Fixture;
        TGuiFixture::UseLanguage(Code);
        TfrmMain Window;
        Window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Window));
        Window.ProgressBar1->setVisible(true);
        Window.lblStatus->setText(QString::asprintf(Translate("%d/%d stopping...").toUtf8().constData(), 100, 100));
        Window.centralWidget()->layout()->activate();
        Window.Panel2->layout()->activate();
        QVERIFY2(Window.lblStatus->width() >= Window.lblStatus->sizeHint().width(),
                 qPrintable(Window.lblStatus->text()));
        QVERIFY2(Window.btnChangePassword->width() >= Window.btnChangePassword->sizeHint().width(),
                 qPrintable(Window.btnChangePassword->text()));
        QVERIFY(Window.btnStop->width() >= Window.btnStop->sizeHint().width());
        // The path takes the spare width of the list.
        QVERIFY(Window.ListViewPaths->columnWidth(0) > Window.ListViewPaths->columnWidth(1));
    }

    // A row whose item is still there beside its locker, or whose item and locker are both gone,
    // says so beside its status.
    void rowMarks() {
        TGuiFixture Fixture;
        QVERIFY(WriteTestFile(At(QStringLiteral("both")), "plain"));
        QVERIFY(WriteTestFile(At(QStringLiteral("both.kvlocker")), "locker"));
        QVERIFY(WriteTestFile(At(QStringLiteral("gone")), "soon gone"));
        QVERIFY(WriteTestFile(At(QStringLiteral("plain")), "plain"));
        PathList = {At(QStringLiteral("both")), At(QStringLiteral("gone")), At(QStringLiteral("plain"))};
        TfrmMain Window;
        QVERIFY(QFile::remove(At(QStringLiteral("gone"))));
        Window.RefreshStatuses();
        const QStringList Expected = {Translate("The original is still here: it is not hidden."),
                                      Translate("Neither the item nor its locker exists."), QString()};
        for (int I = 0; I < 3; ++I) {
            const QTreeWidgetItem* Row = Window.ListViewPaths->topLevelItem(I);
            QCOMPARE(Row->toolTip(1), Expected.at(I));
            QCOMPARE(Row->icon(1).isNull(), Expected.at(I).isEmpty());
        }
        QCOMPARE(Statuses(Window),
                 (QStringList{Translate("Encrypted & Hidden"), Translate("Visible"), Translate("Visible")}));
    }

    void dropsAreRefusedWhileBusy() {
        TGuiFixture Fixture;
        TfrmMain Window;
        const QStringList Dropped = {At(QStringLiteral("Photos")), At(QStringLiteral("report.pdf")),
                                     At(QStringLiteral("Gone"))};
        Window.FBusy = true;
        Window.AddDroppedFiles(Dropped);
        QVERIFY(Captions(Window).isEmpty());
        QCOMPARE(SettingsBytes(), QByteArray("<none>"));
        Window.FBusy = false;
        Window.AddDroppedFiles(Dropped);
        QCOMPARE(Captions(Window), Dropped);
        QVERIFY(EnabledStates(Window).value(QStringLiteral("btnEncryptAndHideAll")));
        PathList.clear();
        QVERIFY(LoadSettings());
        QCOMPARE(PathList, Dropped);
    }

    void removeAVisibleRowLeavesTheDisk() {
        TGuiFixture Fixture;
        PathList = {At(QStringLiteral("Photos")), At(QStringLiteral("report.pdf"))};
        TfrmMain Window;
        Window.btnRemoveClick(); // nothing selected: no question
        QVERIFY(DialogSeam::Shown().isEmpty());
        Window.ListViewPaths->topLevelItem(0)->setSelected(true);
        Window.btnRemoveClick(); // unanswered: Cancel
        QCOMPARE(Captions(Window).size(), 2);
        DialogSeam::QueueResult(TMsgResult::OK);
        Window.btnRemoveClick();
        QCOMPARE(DialogSeam::Shown().size(), 2);
        QCOMPARE(DialogSeam::Shown().last().Kind, TMsgKind::Warning);
        QCOMPARE(DialogSeam::Shown().last().Buttons, TMsgButtons::OKCancel);
        QCOMPARE(Captions(Window), QStringList{At(QStringLiteral("report.pdf"))});
        QVERIFY(QFileInfo::exists(At(QStringLiteral("Photos/a.jpg"))));
        PathList.clear();
        QVERIFY(LoadSettings());
        QCOMPARE(PathList, QStringList{At(QStringLiteral("report.pdf"))});
    }

    void aboutBox() {
        TGuiFixture Fixture;
        TGuiFixture::UseLanguage(QStringLiteral("cn"));
        TfrmMain Window;
        Window.btnAboutProgramClick();
        const TShownDialog Shown = DialogSeam::Shown().last();
        QCOMPARE(Shown.Kind, TMsgKind::Information);
        const QStringList Lines = Shown.Text.split(QStringLiteral("\r\n"));
        QCOMPARE(Lines.size(), 10); // nine lines, each ended by CR LF
        QCOMPARE(Lines.at(0), QStringLiteral("NVL Kelvarn"));
        QCOMPARE(Lines.at(1), Translate("Version: ") + QStringLiteral("2.3"));
        QVERIFY(Lines.at(3).contains(QStringLiteral("https://")));
        for (int I = 5; I <= 7; ++I)
            QVERIFY(Lines.at(I).endsWith(QLatin1Char(' ')));
        QCOMPARE(Window.windowTitle(), QStringLiteral("NVL Kelvarn 2.3"));
    }

    void setHiddenAttributesReports() {
        TGuiFixture Fixture;
        try {
            SetHiddenAttributes(At(QStringLiteral("none")), true, false);
            QFAIL("no error for a missing path");
        } catch (const EKelvarnError& Error) {
            QCOMPARE(Error.Message(), QStringLiteral("Path not found: ") + At(QStringLiteral("none")));
        }
        SetHiddenAttributes(At(QStringLiteral("report.pdf")), true, false);
        QVERIFY(Fs::GetFileAttributes(At(QStringLiteral("report.pdf"))) & Attr::Hidden);
        SetHiddenAttributes(At(QStringLiteral("report.pdf")), false, true);
        QVERIFY(!(Fs::GetFileAttributes(At(QStringLiteral("report.pdf"))) & Attr::Hidden));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
