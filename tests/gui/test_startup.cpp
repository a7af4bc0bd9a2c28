#include "GuiTestSupport.h"
#include "app/SingleInstance.h"
#include "app/StartupSequence.h"
#include "TestFiles.h"
#include "mainwindow/UnitMain.h"
#include "dialogs/UnitPassword.h"
#include "app/VisualStyle.h"
#include "dialogs/uPasswordSet.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Stores a password the way a previous run would have.
void StoreSettings(const QString& Password) {
    GeneralPassword = Password;
    PathList.clear();
    QVERIFY(SaveSettings());
    GeneralPassword.clear();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetMainWindowShownHook(nullptr); }

    void firstStartAsksForAPassword() {
        TGuiFixture Fixture;
        TModalDriver Driver;
        Driver.Then([](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmPasswordSet*>(W);
            QVERIFY(Dialog);
            QCOMPARE(Dialog->windowTitle(), QStringLiteral(" Set Password"));
            QTest::keyClicks(Dialog->Edit1, QStringLiteral("first one"));
            QTest::keyClicks(Dialog->Edit2, QStringLiteral("first one"));
            QTest::keyClick(Dialog->Edit2, Qt::Key_Return);
        });
        bool WindowStayed = false;
        SetMainWindowShownHook([&](TfrmMain* Main) {
            QCOMPARE(Main->windowTitle(), QStringLiteral("NVL Kelvarn 2.3"));
            // Once the password is set the window stays; the test then closes it.
            QTimer::singleShot(0, Main, [&, Main] {
                QTRY_VERIFY_WITH_TIMEOUT(!GeneralPassword.isEmpty(), 20000);
                WindowStayed = Main->isVisible();
                Main->close();
            });
        });
        QCOMPARE(RunStartup(), 0);
        QVERIFY(WindowStayed);
        QCOMPARE(Driver.Pending(), 0);
        QVERIFY(ShownTexts().isEmpty());
        GeneralPassword.clear();
        QVERIFY(LoadSettings());
        QCOMPARE(GeneralPassword, QStringLiteral("first one"));
    }

    void cancellingTheFirstPasswordEnds() {
        TGuiFixture Fixture;
        TModalDriver Driver;
        Driver.Then([](QWidget* W) { qobject_cast<TfrmPasswordSet*>(W)->Button1->click(); });
        QCOMPARE(RunStartup(), 0);
        QCOMPARE(Driver.Pending(), 0);
        QVERIFY(!QFile::exists(SettingsFilePath()));
        QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().cbegin(), QApplication::topLevelWidgets().cend(),
                             [](QWidget* W) { return qobject_cast<TfrmMain*>(W) != nullptr; }));
    }

    void storedPasswordGate_data() {
        QTest::addColumn<QString>("Typed");
        QTest::addColumn<bool>("Cancel");
        QTest::addColumn<bool>("Opens");
        QTest::addColumn<QStringList>("Messages");
        QTest::newRow("right") << "Secret" << false << true << QStringList();
        QTest::newRow("ascii case") << "sECRET" << false << true << QStringList();
        QTest::newRow("wrong") << "secret!" << false << false << QStringList{"Invalid password."};
        QTest::newRow("cancel") << "Secret" << true << false << QStringList();
    }
    void storedPasswordGate() {
        QFETCH(QString, Typed);
        QFETCH(bool, Cancel);
        QFETCH(bool, Opens);
        QFETCH(QStringList, Messages);
        TGuiFixture Fixture;
        StoreSettings(QStringLiteral("Secret"));
        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmPassword*>(W);
            QVERIFY(Dialog);
            QTest::keyClicks(Dialog->edtPassword, Typed);
            (Cancel ? Dialog->btnCancel : Dialog->btnOK)->click();
        });
        bool Opened = false;
        SetMainWindowShownHook([&](TfrmMain* Main) {
            Opened = true;
            QTimer::singleShot(50, Main, &QWidget::close);
        });
        QCOMPARE(RunStartup(), 0);
        QCOMPARE(Opened, Opens);
        QCOMPARE(ShownTexts(), Messages);
        // No second attempt, and no set-password dialog after a stored password.
        QCOMPARE(Driver.Seen(), QStringList{QStringLiteral("frmPassword")});
    }

    // One warning, before the first-start dialog, names the copy it kept; the next copy takes the
    // next name.
    void undecodableSettingsAreReported_data() {
        QTest::addColumn<bool>("KeptBefore");
        QTest::addColumn<QString>("KeptName");
        QTest::newRow("first copy") << false << "settings.dt.unreadable";
        QTest::newRow("a copy kept before") << true << "settings.dt.unreadable.1";
    }
    void undecodableSettingsAreReported() {
        QFETCH(bool, KeptBefore);
        QFETCH(QString, KeptName);
        TGuiFixture Fixture;
        StoreSettings(QStringLiteral("Secret"));
        const QByteArray Undecodable = ReadTestFile(SettingsFilePath());
        if (KeptBefore)
            QVERIFY(WriteTestFile(SettingsFilePath() + QStringLiteral(".unreadable"), "kept before"));
        SetIdentityOverride(QStringLiteral("renamed-host"), QStringLiteral("tester"));
        TModalDriver Driver;
        qsizetype ShownBeforeDialog = -1;
        Driver.Then([&](QWidget* W) {
            ShownBeforeDialog = DialogSeam::Shown().size();
            qobject_cast<TfrmPasswordSet*>(W)->Button1->click();
        });
        QCOMPARE(RunStartup(), 0);
        QCOMPARE(Driver.Seen(), QStringList{QStringLiteral("frmPasswordSet")});
        QCOMPARE(ShownBeforeDialog, 1);

        const QString Kept = Fixture.ConfigFolder() + QStringLiteral("/") + KeptName;
        QCOMPARE(ShownTexts(),
                 QStringList{QStringLiteral("The settings could not be read. A copy of them was kept as:\r\n") + Kept +
                             QStringLiteral("\r\nThe lockers of your hidden items are still on disk.\r\n"
                                            "File > Import Locker... brings each of them back with its "
                                            "password.")});
        QCOMPARE(DialogSeam::Shown().first().Kind, TMsgKind::Warning);
        QCOMPARE(DialogSeam::Shown().first().Buttons, TMsgButtons::OK);
        QCOMPARE(ReadTestFile(Kept), Undecodable);
        if (KeptBefore)
            QCOMPARE(ReadTestFile(SettingsFilePath() + QStringLiteral(".unreadable")), QByteArray("kept before"));
        QVERIFY(!QFile::exists(SettingsFilePath()));
    }

    void unreadableSettingsEndWithStatusOne() {
        TGuiFixture Fixture;
        // Root reads anything by permissions: a link to memory exists and fails to read (EIO).
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), SettingsFilePath()));
        QCOMPARE(RunStartup(), 1);
        QCOMPARE(DialogSeam::Shown().size(), 1);
        QCOMPARE(DialogSeam::Shown().first().Kind, TMsgKind::Error);
    }

    void staleEntriesAtStartup() {
        TGuiFixture Fixture;
        QTemporaryDir Tree;
        QVERIFY(WriteTestFile(Tree.path() + QStringLiteral("/kept/f"), "x"));
        GeneralPassword = QStringLiteral("pw");
        PathList = {Tree.path() + QStringLiteral("/kept"), Tree.path() + QStringLiteral("/lost")};
        QVERIFY(SaveSettings());
        GeneralPassword.clear();
        TModalDriver Driver;
        Driver.Then([](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmPassword*>(W);
            QTest::keyClicks(Dialog->edtPassword, QStringLiteral("pw"));
            Dialog->btnOK->click();
        });
        int Rows = -1;
        SetMainWindowShownHook([&](TfrmMain* Main) {
            Rows = Main->ListViewPaths->topLevelItemCount();
            QTimer::singleShot(0, Main, &QWidget::close);
        });
        QCOMPARE(RunStartup(), 0);
        QCOMPARE(Rows, 1);
        QCOMPARE(ShownTexts(),
                 QStringList{QStringLiteral("Path does not exist:\r\n") + Tree.path() + QStringLiteral("/lost")});
    }

    void missingStyleIsReported() {
        TGuiFixture Fixture;
        InitGuiResources();
        QVERIFY(!ApplyVisualStyle(QStringLiteral(":/style/none.qss")));
        QCOMPARE(ShownTexts(),
                 QStringList{QStringLiteral("Cannot load the visual style \"CornflowerBlue Expressive\".")});
        QVERIFY(ApplyVisualStyle());
        QVERIFY(!qApp->styleSheet().isEmpty());
        qApp->setStyleSheet(QString());
    }

    void secondInstanceHandsOver() {
        QTemporaryDir Runtime;
        TSingleInstance First(QStringLiteral("kelvarn-test"), Runtime.path());
        QVERIFY(First.Acquire());
        QSignalSpy Activated(&First, &TSingleInstance::ActivationRequested);
        TSingleInstance Second(QStringLiteral("kelvarn-test"), Runtime.path());
        QVERIFY(!Second.Acquire());
        QTRY_COMPARE(Activated.size(), 1);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
