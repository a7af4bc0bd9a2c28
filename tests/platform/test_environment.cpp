#include "platform/PlatformEnvironment.h"
#include "platform/ProcessHardening.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTest>

#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Sets or removes an environment variable for one scope and puts the old value back afterwards.
class TEnvGuard {
public:
    TEnvGuard(const char* Name, const QByteArray& Value, bool Set) : FName(Name) {
        FHad = qEnvironmentVariableIsSet(Name);
        FOld = qgetenv(Name);
        if (Set)
            qputenv(Name, Value);
        else
            qunsetenv(Name);
    }
    ~TEnvGuard() {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    bool FHad = false;
    QByteArray FOld;
};

} // namespace

class TestEnvironment : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        SetIdentityOverride(QString(), QString());
        SetConfigFolderOverride(QString());
    }

    void applicationTitleIsFixed() { QCOMPARE(ApplicationTitle(), QStringLiteral("NVL Kelvarn")); }

    // The identity binds the settings file: it must not change between a terminal and the desktop
    // session, so it may not come from USER, LOGNAME or HOSTNAME.
    void identityIgnoresEnvironment() {
        const passwd* Entry = getpwuid(geteuid());
        QVERIFY(Entry != nullptr);
        char Host[256] = {};
        QCOMPARE(gethostname(Host, sizeof(Host) - 1), 0);

        TEnvGuard User("USER", "someone-else", true);
        TEnvGuard Login("LOGNAME", "someone-else", true);
        TEnvGuard HostVar("HOSTNAME", "other-host", true);
        QCOMPARE(UserName(), QString::fromUtf8(Entry->pw_name));
        QCOMPARE(ComputerName(), QString::fromUtf8(Host));
        QVERIFY(!UserName().isEmpty());
        QVERIFY(!ComputerName().isEmpty());
    }

    void identityOverride() {
        const QString RealUser = UserName();
        const QString RealHost = ComputerName();
        SetIdentityOverride(QStringLiteral("h\u00F4te"), QStringLiteral("Zo\u00EB"));
        QCOMPARE(ComputerName(), QStringLiteral("h\u00F4te"));
        QCOMPARE(UserName(), QStringLiteral("Zo\u00EB"));
        // One empty part is still an override: an identity may lack a host name.
        SetIdentityOverride(QStringLiteral("box"), QString());
        QCOMPARE(ComputerName(), QStringLiteral("box"));
        QCOMPARE(UserName(), QString());
        SetIdentityOverride(QString(), QString());
        QCOMPARE(UserName(), RealUser);
        QCOMPARE(ComputerName(), RealHost);
    }

    void configFolder_data() {
        QTest::addColumn<bool>("HasXdg");
        QTest::addColumn<QString>("Xdg");
        QTest::addColumn<bool>("HasHome");
        QTest::addColumn<QString>("Home");
        QTest::addColumn<QString>("Expected"); // "<program>" stands for the program's folder

        QTest::newRow("xdg") << true << "/cfg/x" << true << "/home/u"
                             << "/cfg/x/NVL Kelvarn";
        QTest::newRow("xdg trailing slash") << true << "/cfg/x/" << true << "/home/u"
                                            << "/cfg/x/NVL Kelvarn";
        QTest::newRow("xdg empty, home") << true << "" << true << "/home/u"
                                         << "/home/u/.config/NVL Kelvarn";
        QTest::newRow("xdg unset, home") << false << "" << true << "/home/u/"
                                         << "/home/u/.config/NVL Kelvarn";
        QTest::newRow("xdg relative is ignored") << true << "rel/cfg" << true << "/home/u"
                                                 << "/home/u/.config/NVL Kelvarn";
        QTest::newRow("non-ascii xdg") << true << "/cfg/\u00E9t\u00E9" << false << ""
                                       << "/cfg/\u00E9t\u00E9/NVL Kelvarn";
        QTest::newRow("neither") << false << "" << false << ""
                                 << "<program>/NVL Kelvarn";
        QTest::newRow("both empty") << true << "" << true << ""
                                    << "<program>/NVL Kelvarn";
    }

    void configFolder() {
        QFETCH(bool, HasXdg);
        QFETCH(QString, Xdg);
        QFETCH(bool, HasHome);
        QFETCH(QString, Home);
        QFETCH(QString, Expected);
        TEnvGuard XdgGuard("XDG_CONFIG_HOME", Xdg.toUtf8(), HasXdg);
        TEnvGuard HomeGuard("HOME", Home.toUtf8(), HasHome);
        Expected.replace(QStringLiteral("<program>"), QCoreApplication::applicationDirPath());
        QCOMPARE(AppConfigFolder(), Expected);
    }

    void configFolderOverrideWins() {
        TEnvGuard XdgGuard("XDG_CONFIG_HOME", "/cfg/x", true);
        SetConfigFolderOverride(QStringLiteral("/tmp/t\u00E9st/here"));
        QCOMPARE(AppConfigFolder(), QStringLiteral("/tmp/t\u00E9st/here"));
        SetConfigFolderOverride(QString());
        QCOMPARE(AppConfigFolder(), QStringLiteral("/cfg/x/NVL Kelvarn"));
    }

    void programFolderHoldsThisProgram() {
        const QString Folder = ProgramFolder();
        QVERIFY(QFileInfo(Folder).isAbsolute());
        QVERIFY2(QFileInfo::exists(Folder + QLatin1Char('/') +
                                   QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
                 qPrintable(Folder));
    }

    // Secrets in memory: no core file, and the process cannot be attached to or read through /proc.
    void coreDumpsAreOff() {
        DisableCoreDumps();
        rlimit Core{};
        QCOMPARE(getrlimit(RLIMIT_CORE, &Core), 0);
        QCOMPARE(Core.rlim_cur, rlim_t(0));
        QCOMPARE(Core.rlim_max, rlim_t(0));
        QCOMPARE(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    }
};

QTEST_GUILESS_MAIN(TestEnvironment)
#include "test_environment.moc"
