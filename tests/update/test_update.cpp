#include "GuiTestSupport.h"
#include "platform/KelvarnError.h"
#include "LocalHttpServer.h"
#include "app/StartupSequence.h"
#include "mainwindow/UnitMain.h"
#include "update/UpdateDownloadTarget.h"
#include "update/uNewVersionCheck.h"
#include "update/uNewVersionForm.h"
#include "dialogs/uPasswordSet.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QByteArray VersionPath = "/download/version/nvlkelvarn-version.html";
const QByteArray ChangesPath = "/download/version/nvlkelvarn-changes.html";
const QByteArray PackagePath = "/download/nvlkelvarn.deb";
const QString Agent = QStringLiteral("Mozilla/4.0 (compatible; MyApp)");
const QString Offer = QStringLiteral("The new version %1 is available\r\n\r\nWhat's new:\r\n");
const QString Demand = QStringLiteral("This version of the software is out of date. You must download the current "
                                      "version %1 to continue using the software.\r\n\r\nWhat's new:\r\n");
const QString DownloadFailed =
    QStringLiteral("Failed to download update. Please download manually on website.\r\n\r\n");

// The update server of one test: KELVARN_UPDATE_URL names it, the cache is private, and the module
// starts as at a fresh start.
class TUpdateFixture {
public:
    TUpdateFixture() {
        FOldUrl = qgetenv("KELVARN_UPDATE_URL");
        FOldCache = qgetenv("XDG_CACHE_HOME");
        qputenv("KELVARN_UPDATE_URL", Server.Base().toUtf8());
        qputenv("XDG_CACHE_HOME", Cache.path().toUtf8());
        ResetUpdateState();
        SetVersionCheckTimeout(0);
    }
    ~TUpdateFixture() {
        Restore("KELVARN_UPDATE_URL", FOldUrl);
        Restore("XDG_CACHE_HOME", FOldCache);
        ResetUpdateState();
        SetVersionCheckTimeout(0);
    }
    void Offers(const QByteArray& Version, const QByteArray& Changes = "- one\r\n\r\n- two\r\n") {
        Server.Page(VersionPath, Version);
        Server.Page(ChangesPath, Changes);
    }

    TGuiFixture Gui;
    TLocalHttpServer Server;
    QTemporaryDir Cache;

private:
    static void Restore(const char* Name, const QByteArray& Value) {
        if (Value.isNull())
            qunsetenv(Name);
        else
            qputenv(Name, Value);
    }
    QByteArray FOldUrl;
    QByteArray FOldCache;
};

QByteArray ReadAll(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

int ModeOf(const QString& Path) {
    struct stat Info {};
    return lstat(QFile::encodeName(Path).constData(), &Info) == 0 ? int(Info.st_mode & 07777) : -1;
}

} // namespace

class TestUpdate : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetMainWindowShownHook(nullptr); }

    void baseAddress_data() {
        QTest::addColumn<QString>("Override");
        QTest::addColumn<QString>("Base");
        QTest::newRow("none") << QString() << "https://www.nvlkelvarn.org";
        QTest::newRow("https mirror") << "https://mirror.example/kelvarn/"
                                      << "https://mirror.example/kelvarn";
        QTest::newRow("http loopback") << "http://127.0.0.1:8080"
                                       << "http://127.0.0.1:8080";
        QTest::newRow("http remote") << "http://mirror.example" << QString();
        QTest::newRow("other scheme") << "ftp://mirror.example" << QString();
        QTest::newRow("not an address") << "mirror" << QString();
    }
    void baseAddress() {
        QFETCH(QString, Override);
        QFETCH(QString, Base);
        TUpdateFixture Fixture;
        if (Override.isEmpty())
            qunsetenv("KELVARN_UPDATE_URL");
        else
            qputenv("KELVARN_UPDATE_URL", Override.toUtf8());
        QCOMPARE(UpdateBaseAddress(), Base);
    }

    void check_data() {
        QTest::addColumn<QByteArray>("Version");
        QTest::addColumn<QByteArray>("Changes");
        QTest::addColumn<bool>("Result");
        QTest::addColumn<bool>("Exit");
        QTest::addColumn<QString>("Message");
        const QByteArray Changes = "- one\r\n\r\n- two\r\n";
        const QString Lines = QStringLiteral("- one\r\n- two\r\n");
        QTest::newRow("23/23 current") << QByteArray("23/23\r\n") << Changes << false << false << QString();
        QTest::newRow("22/20 older") << QByteArray("22/20") << Changes << false << false << QString();
        QTest::newRow("24/23 offer") << QByteArray("24/23\r\n") << Changes << true << false << Offer.arg("2.4") + Lines;
        QTest::newRow("24/24 demand") << QByteArray("24/24") << Changes << true << true << Demand.arg("2.4") + Lines;
        QTest::newRow("23/24 demand names 2.3")
            << QByteArray("23/24") << Changes << true << true << Demand.arg("2.3") + Lines;
        QTest::newRow("100/23 as 10.0") << QByteArray("100/23") << Changes << true << false
                                        << Offer.arg("10.0") + Lines;
        QTest::newRow("BOM and CR") << QByteArray("\xEF\xBB\xBF"
                                                  "24/23\rignored")
                                    << Changes << true << false << Offer.arg("2.4") + Lines;
        QTest::newRow("LF") << QByteArray("24/23\nignored") << Changes << true << false << Offer.arg("2.4") + Lines;
        QTest::newRow("CR LF") << QByteArray("24/23\r\nignored") << Changes << true << false
                               << Offer.arg("2.4") + Lines;
        QTest::newRow("changes: empty lines dropped, blanks kept")
            << QByteArray("24/23") << QByteArray("\r\none\n\n   \rtwo\r\n\r\n") << true << false
            << Offer.arg("2.4") + QStringLiteral("one\r\n   \r\ntwo\r\n");
        QTest::newRow("empty first line") << QByteArray("\r\n24/23") << Changes << false << false << QString();
        QTest::newRow("empty page") << QByteArray() << Changes << false << false << QString();
        QTest::newRow("no slash") << QByteArray("24") << Changes << false << false << QString();
        QTest::newRow("letters") << QByteArray("2a/23") << Changes << false << false << QString();
        QTest::newRow("letters in minimum") << QByteArray("24/2x") << Changes << false << false << QString();
        QTest::newRow("blank before number") << QByteArray(" 24/23") << Changes << false << false << QString();
        QTest::newRow("too large") << QByteArray("99999999999/23") << Changes << false << false << QString();
    }
    void check() {
        QFETCH(QByteArray, Version);
        QFETCH(QByteArray, Changes);
        QFETCH(bool, Result);
        QFETCH(bool, Exit);
        QFETCH(QString, Message);
        TUpdateFixture Fixture;
        Fixture.Offers(Version, Changes);
        QCOMPARE(CheckForNewVersion(), Result);
        QCOMPARE(ExitAfterUpdateDialog, Exit);
        QCOMPARE(NewVersionMessage, Message);
        // Both pages are always fetched, with our User-Agent.
        QCOMPARE(Fixture.Server.Paths(), (QList<QByteArray>{VersionPath, ChangesPath}));
        QCOMPARE(Fixture.Server.Agents(), (QList<QByteArray>{Agent.toUtf8(), Agent.toUtf8()}));
        QVERIFY(DialogSeam::Shown().isEmpty());
    }

    void failedFetchesOfferNothing_data() {
        QTest::addColumn<int>("VersionStatus");
        QTest::addColumn<int>("ChangesStatus");
        QTest::newRow("changes page missing") << 200 << 404;
        QTest::newRow("version page missing") << 404 << 200;
        QTest::newRow("server error") << 500 << 200;
    }
    void failedFetchesOfferNothing() {
        QFETCH(int, VersionStatus);
        QFETCH(int, ChangesStatus);
        TUpdateFixture Fixture;
        Fixture.Server.Page(VersionPath, "24/24", VersionStatus);
        Fixture.Server.Page(ChangesPath, "- one", ChangesStatus);
        QVERIFY(!CheckForNewVersion());
        QVERIFY(!ExitAfterUpdateDialog);
        QVERIFY(NewVersionMessage.isEmpty());
    }

    void redirectsWithinTen_data() {
        QTest::addColumn<int>("Hops");
        QTest::addColumn<bool>("Result");
        QTest::newRow("ten") << 10 << true;
        QTest::newRow("eleven") << 11 << false;
    }
    void redirectsWithinTen() {
        QFETCH(int, Hops);
        QFETCH(bool, Result);
        TUpdateFixture Fixture;
        Fixture.Offers("24/23");
        Fixture.Server.RedirectChain(VersionPath, Hops, "/moved/version");
        Fixture.Server.Page("/moved/version", "24/23");
        QCOMPARE(CheckForNewVersion(), Result);
    }

    void silentServerTimesOut() {
        TUpdateFixture Fixture;
        TRoute Silent;
        Silent.Mode = TRoute::Silent;
        Fixture.Server.Route(VersionPath, Silent);
        SetVersionCheckTimeout(400);
        QElapsedTimer Clock;
        Clock.start();
        QVERIFY(!CheckForNewVersion());
        QVERIFY(Clock.elapsed() >= 350);
        QVERIFY2(Clock.elapsed() < 20000, qPrintable(QString::number(Clock.elapsed())));
    }

    void refusedPortFailsAtOnce() {
        TUpdateFixture Fixture;
        qputenv("KELVARN_UPDATE_URL", QStringLiteral("http://127.0.0.1:%1").arg(RefusedPort()).toUtf8());
        QElapsedTimer Clock;
        Clock.start();
        QVERIFY(!CheckForNewVersion());
        // The 10 s time-out is not waited out.
        QVERIFY2(Clock.elapsed() < 5000, qPrintable(QString::number(Clock.elapsed())));
    }

    void displayForm_data() {
        QTest::addColumn<QString>("Latest");
        QTest::addColumn<QString>("Shown");
        QTest::newRow("24") << "24"
                            << "2.4";
        QTest::newRow("100") << "100"
                             << "10.0";
        QTest::newRow("5") << "5"
                           << ".5";
        QTest::newRow("024 as written") << "024"
                                        << "02.4";
    }
    void displayForm() {
        QFETCH(QString, Latest);
        QFETCH(QString, Shown);
        QCOMPARE(DisplayVersion(Latest), Shown);
    }

    // Offer and demand: texts on show, and the Tag every way of closing leaves.
    void dialogStates_data() {
        QTest::addColumn<bool>("Mandatory");
        QTest::addColumn<QString>("How");
        QTest::addColumn<QString>("Caption");
        QTest::addColumn<int>("Tag");
        QTest::newRow("offer, Skip") << false << "button"
                                     << "Skip" << 1;
        QTest::newRow("offer, close box") << false << "close"
                                          << "Skip" << 1;
        QTest::newRow("offer, Escape") << false << "escape"
                                       << "Skip" << 1;
        QTest::newRow("demand, Exit") << true << "button"
                                      << "Exit" << 0;
        QTest::newRow("demand, close box") << true << "close"
                                           << "Exit" << 0;
        QTest::newRow("demand, Escape") << true << "escape"
                                        << "Exit" << 0;
    }
    void dialogStates() {
        QFETCH(bool, Mandatory);
        QFETCH(QString, How);
        QFETCH(QString, Caption);
        QFETCH(int, Tag);
        TUpdateFixture Fixture;
        ExitAfterUpdateDialog = Mandatory;
        NewVersionMessage = Offer.arg("2.4") + QStringLiteral("<b>not markup</b>\r\n");
        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmNewVersion*>(W);
            QVERIFY(Dialog);
            QCOMPARE(Dialog->Tag, 1);
            QCOMPARE(Dialog->windowTitle(), QStringLiteral(" NVL Kelvarn"));
            QCOMPARE(Dialog->btUpdateNow->text(), QStringLiteral("Update Now"));
            QCOMPARE(Dialog->btCancel->text(), Caption);
            QCOMPARE(Dialog->Label1->textFormat(), Qt::PlainText);
            QCOMPARE(Dialog->Label1->text(), QString(NewVersionMessage).replace("\r\n", "\n"));
            QVERIFY(!Dialog->ProgressBar1->isVisible());
            if (How == QLatin1String("button"))
                QTest::mouseClick(Dialog->btCancel, Qt::LeftButton);
            else if (How == QLatin1String("escape"))
                QTest::keyClick(Dialog, Qt::Key_Escape);
            else
                Dialog->close();
        });
        TfrmNewVersion Dialog;
        Dialog.exec();
        QCOMPARE(Driver.Pending(), 0);
        QVERIFY(!Dialog.isVisible());
        QCOMPARE(Dialog.Tag, Tag);
        QVERIFY(Fixture.Server.Paths().isEmpty());
    }

    // Update Now: every outcome closes the dialog with Tag 0, also from an optional offer.
    void download_data() {
        QTest::addColumn<QString>("Case");
        QTest::addColumn<QStringList>("Boxes");
        QTest::addColumn<bool>("Opens");
        QTest::newRow("content length") << "length" << QStringList() << true;
        QTest::newRow("chunked") << "chunked" << QStringList() << true;
        QTest::newRow("404") << "404" << QStringList{DownloadFailed + "HTTP 404 Not Found"} << false;
        QTest::newRow("Abort") << "abort"
                               << QStringList{DownloadFailed + "Download is cancelled. Please download manually."}
                               << false;
        QTest::newRow("close box while downloading")
            << "closebox" << QStringList{DownloadFailed + "Download is cancelled. Please download manually."} << false;
    }
    void download() {
        QFETCH(QString, Case);
        QFETCH(QStringList, Boxes);
        QFETCH(bool, Opens);
        TUpdateFixture Fixture;
        const QByteArray Package = Pattern(400000);
        TRoute R;
        R.Body = Package;
        R.Pieces = 8;
        if (Case == QLatin1String("chunked"))
            R.Mode = TRoute::Chunked;
        if (Case == QLatin1String("abort") || Case == QLatin1String("closebox")) {
            R.Mode = TRoute::Stall;
            R.StallAfter = 50000;
        }
        if (Case != QLatin1String("404"))
            Fixture.Server.Route(PackagePath, R);
        NewVersionMessage = Offer.arg("2.4");

        TfrmNewVersion Dialog;
        QList<int> Progress;
        connect(Dialog.ProgressBar1, &QProgressBar::valueChanged, this, [&](int Value) { Progress.append(Value); });
        QString CaptionWhileDownloading;
        bool UpdateNowEnabled = true;
        // Once data has arrived, the user stops the download: Abort, or the close box.
        QTimer Stopper;
        Stopper.setInterval(5);
        connect(&Stopper, &QTimer::timeout, this, [&] {
            if (!Dialog.ProgressBar1->isVisible() || Dialog.ProgressBar1->value() <= 0)
                return;
            Stopper.stop();
            CaptionWhileDownloading = Dialog.btCancel->text();
            UpdateNowEnabled = Dialog.btUpdateNow->isEnabled();
            if (Case == QLatin1String("abort"))
                QTest::mouseClick(Dialog.btCancel, Qt::LeftButton);
            else
                Dialog.close();
        });
        TModalDriver Driver;
        Driver.Then([&](QWidget*) {
            if (Case == QLatin1String("abort") || Case == QLatin1String("closebox"))
                Stopper.start();
            QTest::mouseClick(Dialog.btUpdateNow, Qt::LeftButton);
        });
        Dialog.exec();

        QVERIFY(!Dialog.isVisible());
        QCOMPARE(Dialog.Tag, 0);
        QVERIFY(ExitAfterUpdateDialog);
        QCOMPARE(ShownTexts(), Boxes);
        QCOMPARE(Fixture.Server.Agents(), QList<QByteArray>{Agent.toUtf8()});
        const QString Target = UpdateDownloadPath();
        QVERIFY(Target.startsWith(Fixture.Cache.path() + QStringLiteral("/")));
        if (Opens) {
            QCOMPARE(DialogSeam::Opened(), QList<QUrl>{QUrl::fromLocalFile(Target)});
            QCOMPARE(ReadAll(Target), Package);
        } else {
            QCOMPARE(DialogSeam::Opened(), QList<QUrl>{QUrl(Fixture.Server.Base() + QStringLiteral("/"))});
        }
        if (Case == QLatin1String("length")) {
            QVERIFY(Progress.size() >= 2);
            QCOMPARE(Progress.first(), 0);
            QCOMPARE(Progress.last(), 100);
            QVERIFY(std::is_sorted(Progress.cbegin(), Progress.cend()));
        } else if (Case == QLatin1String("chunked")) {
            QCOMPARE(Progress, QList<int>{0});
        } else if (Case != QLatin1String("404")) {
            QCOMPARE(CaptionWhileDownloading, QStringLiteral("Abort"));
            QVERIFY(!UpdateNowEnabled);
        }
        QCOMPARE(ModeOf(UpdateDownloadFolder()), 0700);
    }

    // The package goes into a folder of the user's alone, through no link.
    void downloadTarget_data() {
        QTest::addColumn<QString>("Before");
        QTest::addColumn<bool>("Works");
        QTest::newRow("nothing yet") << "none" << true;
        QTest::newRow("open folder narrowed") << "open folder" << true;
        QTest::newRow("old file emptied") << "old file" << true;
        QTest::newRow("link as file") << "file link" << false;
        QTest::newRow("link as folder") << "folder link" << false;
        QTest::newRow("folder as file") << "folder at file" << false;
    }
    void downloadTarget() {
        QFETCH(QString, Before);
        QFETCH(bool, Works);
        TUpdateFixture Fixture;
        const QString Folder = UpdateDownloadFolder();
        const QString Path = UpdateDownloadPath();
        QCOMPARE(Folder, Fixture.Cache.path() + QStringLiteral("/NVL Kelvarn"));
        QCOMPARE(Path, Folder + QStringLiteral("/nvl_update.deb"));
        QTemporaryDir Elsewhere;
        const QString Victim = Elsewhere.path() + QStringLiteral("/victim");
        QFile::remove(Victim);
        {
            QFile File(Victim);
            QVERIFY(File.open(QIODevice::WriteOnly));
            File.write("precious");
        }
        if (Before == QLatin1String("folder link")) {
            QVERIFY(QFile::link(Elsewhere.path(), Folder));
        } else if (Before != QLatin1String("none")) {
            QVERIFY(QDir().mkpath(Folder));
            QVERIFY(chmod(QFile::encodeName(Folder).constData(), 0755) == 0);
        }
        if (Before == QLatin1String("old file")) {
            QFile File(Path);
            QVERIFY(File.open(QIODevice::WriteOnly));
            File.write("an older package");
        } else if (Before == QLatin1String("file link")) {
            QVERIFY(QFile::link(Victim, Path));
        } else if (Before == QLatin1String("folder at file")) {
            QVERIFY(QDir().mkpath(Path));
        }

        try {
            const std::unique_ptr<QFile> File = CreateDownloadTarget();
            QVERIFY(Works);
            QVERIFY(File->isOpen());
            QCOMPARE(File->write("new"), qint64(3));
            File->close();
            QCOMPARE(ReadAll(Path), QByteArray("new"));
            QCOMPARE(ModeOf(Folder), 0700);
            QCOMPARE(ModeOf(Path) & 077, 0);
        } catch (const EKelvarnError& Error) {
            QVERIFY2(!Works, qPrintable(Error.Message()));
        }
        QCOMPARE(ReadAll(Victim), QByteArray("precious"));
    }

    // The start-up with a real check against the local server.
    void startup_data() {
        QTest::addColumn<QByteArray>("Version");
        QTest::addColumn<QString>("Caption");
        QTest::addColumn<QStringList>("Seen");
        QTest::newRow("24/24: Exit ends before the settings")
            << QByteArray("24/24") << "Exit" << QStringList{QStringLiteral("frmNewVersion")};
        QTest::newRow("24/23: Skip goes on")
            << QByteArray("24/23") << "Skip"
            << QStringList{QStringLiteral("frmNewVersion"), QStringLiteral("frmPasswordSet")};
        QTest::newRow("nothing listening: no dialog")
            << QByteArray() << QString() << QStringList{QStringLiteral("frmPasswordSet")};
    }
    void startup() {
        QFETCH(QByteArray, Version);
        QFETCH(QString, Caption);
        QFETCH(QStringList, Seen);
        TUpdateFixture Fixture;
        if (Version.isEmpty())
            qputenv("KELVARN_UPDATE_URL", QStringLiteral("http://127.0.0.1:%1").arg(RefusedPort()).toUtf8());
        else
            Fixture.Offers(Version);
        const bool Ends = Caption == QLatin1String("Exit");
        // Reading this settings file fails the start-up with status 1: a clean 0 proves it was never read.
        if (Ends)
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), SettingsFilePath()));
        TModalDriver Driver;
        Driver.Then([&](QWidget* W) {
            auto* Dialog = qobject_cast<TfrmNewVersion*>(W);
            if (Dialog == nullptr) {
                // Skipped or never offered: the first start asks for a password; cancelling ends.
                qobject_cast<TfrmPasswordSet*>(W)->Button1->click();
                return;
            }
            QCOMPARE(Dialog->btCancel->text(), Caption);
            QTest::mouseClick(Dialog->btCancel, Qt::LeftButton);
        });
        Driver.Then([](QWidget* W) {
            if (auto* Set = qobject_cast<TfrmPasswordSet*>(W))
                Set->Button1->click();
        });
        QCOMPARE(RunStartup(), 0);
        QCOMPARE(Driver.Seen(), Seen);
        QVERIFY(ShownTexts().isEmpty());
        QVERIFY(!QFile::exists(SettingsFilePath()) || Ends);
    }
};

QTEST_MAIN(TestUpdate)
#include "test_update.moc"
