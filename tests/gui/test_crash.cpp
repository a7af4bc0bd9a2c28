#include "platform/PlatformDirHandle.h"
#include "TestFiles.h"
#include "locker/uLocker.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

// A helper process hides or restores a tree and is killed with SIGKILL at a random moment; after
// each kill the data must be whole, in the source or in a locker that verifies, and nothing
// half-made may sit under a final name. KELVARN_CRASH_TRIALS sets the number of trials (a longer
// run), KELVARN_CRASH_SEED repeats a run.

namespace {

const QString Password = QStringLiteral("crash test password");

// The folder's hidden list is rewritten through a temporary file; one that a kill abandoned holds
// no data and is removed by a later edit once it is a minute old (a younger one may be a living
// writer's).
bool IsHiddenListTemporary(const QString& Name) {
    return Name.startsWith(QLatin1String(".hidden.")) && Name.endsWith(QLatin1String(".tmp"));
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

    QTemporaryDir FWork;
    QString FFolder; // holds the tree, its locker and whatever a run leaves
    QString FSource;
    QString FLocker;
    QMap<QString, QString> FOriginal;
    qint64 FHideMs = 0;
    qint64 FRestoreMs = 0;
    QRandomGenerator FRandom;

    // Runs the helper; KillAfterMs >= 0 kills it then, unless it has ended. True when it ran to
    // the end with success.
    bool RunHelper(const char* Mode, qint64 KillAfterMs = -1) {
        QProcess Helper;
        Helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Helper.start(QStringLiteral(KELVARN_CRASH_HELPER),
                     {QLatin1String(Mode), FSource, Password, FWork.path() + QStringLiteral("/config")});
        if (!Helper.waitForStarted(30000))
            return false;
        if (KillAfterMs >= 0) {
            if (!Helper.waitForFinished(static_cast<int>(std::max<qint64>(KillAfterMs, 1))))
                Helper.kill();
        }
        Helper.waitForFinished(600000);
        return Helper.exitStatus() == QProcess::NormalExit && Helper.exitCode() == 0;
    }

    // The locker verifies and holds exactly the original tree.
    bool LockerHoldsTheOriginal() {
        QString Message;
        if (!VerifyLocker(FLocker, Password, Message)) {
            qWarning("locker does not verify: %s", qPrintable(Message));
            return false;
        }
        QTemporaryDir Scratch(FWork.path() + QStringLiteral("/extract-XXXXXX"));
        const TLockerResult Result = ExtractLocker(FLocker, Scratch.path(), Password);
        return Result.Success && TreeSnapshot(Scratch.path() + QStringLiteral("/Data"), false) == FOriginal;
    }

    // Only the item, its locker and what an interrupted run may leave (never under a final name).
    bool OnlyKnownNames() {
        const QStringList Names =
            QDir(FFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& Name : Names)
            if (Name != QLatin1String("Data") && Name != QLatin1String("Data.kvlocker") &&
                Name != QLatin1String(".hidden") && !Name.startsWith(QLatin1String(PrivateNamePrefix)) &&
                !IsHiddenListTemporary(Name)) {
                qWarning("unexpected entry: %s", qPrintable(Name));
                return false;
            }
        return true;
    }

    bool NoLeftovers() {
        const QStringList Names =
            QDir(FFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        return std::none_of(Names.begin(), Names.end(),
                            [](const QString& Name) { return Name.startsWith(QLatin1String(PrivateNamePrefix)); });
    }

    qint64 RandomMoment(qint64 Duration) {
        return static_cast<qint64>(FRandom.bounded(static_cast<quint32>(Duration * 12 / 10 + 1)));
    }

private slots:
    void initTestCase() {
        const quint32 Seed = qEnvironmentVariableIsSet("KELVARN_CRASH_SEED")
                                 ? qEnvironmentVariable("KELVARN_CRASH_SEED").toUInt()
                                 : QRandomGenerator::global()->generate();
        qInfo("KELVARN_CRASH_SEED=%u", Seed);
        FRandom.seed(Seed);
        FFolder = FWork.path() + QStringLiteral("/tree");
        FSource = FFolder + QStringLiteral("/Data");
        FLocker = FSource + QStringLiteral(".kvlocker");
        // Many small files, so that deleting and moving take a while too, and one large one.
        QRandomGenerator Content(Seed);
        for (int I = 0; I < 150; ++I) {
            QByteArray Bytes(static_cast<int>(Content.bounded(1, 24 * 1024)), Qt::Uninitialized);
            Content.fillRange(reinterpret_cast<quint32*>(Bytes.data()), Bytes.size() / 4);
            QVERIFY(WriteTestFile(FSource + QStringLiteral("/part%1/file%2.bin").arg(I % 4).arg(I), Bytes,
                                  I % 3 ? 0644 : 0600));
        }
        QByteArray Large(6 << 20, Qt::Uninitialized);
        Content.fillRange(reinterpret_cast<quint32*>(Large.data()), Large.size() / 4);
        QVERIFY(WriteTestFile(FSource + QStringLiteral("/large.bin"), Large));
        QVERIFY(QDir().mkpath(FSource + QStringLiteral("/empty")));
        FOriginal = TreeSnapshot(FSource, false);

        // One undisturbed round trip, timed, so that the kills spread over a whole run.
        QElapsedTimer Clock;
        Clock.start();
        QVERIFY(RunHelper("hide"));
        FHideMs = Clock.restart();
        QVERIFY(!QFileInfo::exists(FSource));
        QVERIFY(RunHelper("restore"));
        FRestoreMs = Clock.elapsed();
        QCOMPARE(TreeSnapshot(FSource, false), FOriginal);
        qInfo("hide %lld ms, restore %lld ms", FHideMs, FRestoreMs);
    }

    void killedAtRandomMoments() {
        const int Trials = qEnvironmentVariableIsSet("KELVARN_CRASH_TRIALS")
                               ? qEnvironmentVariable("KELVARN_CRASH_TRIALS").toInt()
                               : 50;
        for (int Trial = 0; Trial < Trials; ++Trial) {
            const bool Hiding = !QFileInfo::exists(FLocker);
            const qint64 KillAt = RandomMoment(Hiding ? FHideMs : FRestoreMs);
            RunHelper(Hiding ? "hide" : "restore", KillAt);
            const QByteArray Where = QStringLiteral("trial %1 (%2, killed after %3 ms)")
                                         .arg(Trial)
                                         .arg(QLatin1String(Hiding ? "hide" : "restore"))
                                         .arg(KillAt)
                                         .toUtf8();
            QVERIFY2(OnlyKnownNames(), Where.constData());
            const bool HasLocker = QFileInfo::exists(FLocker);
            const bool HasSource = QFileInfo::exists(FSource);
            if (HasLocker) {
                QVERIFY2(LockerHoldsTheOriginal(), Where.constData());
                // A restore moves the item into place in one step.
                if (!Hiding && HasSource)
                    QVERIFY2(TreeSnapshot(FSource, false) == FOriginal, Where.constData());
            } else {
                QVERIFY2(HasSource && TreeSnapshot(FSource, false) == FOriginal, Where.constData());
            }

            // The next operation on the path finishes the job and clears what the killed one left.
            if (HasLocker && HasSource) {
                // Both are whole: the locker wins.
                QDir(FSource).removeRecursively();
            }
            if (HasLocker) {
                QVERIFY2(RunHelper("restore"), Where.constData());
                QCOMPARE(TreeSnapshot(FSource, false), FOriginal);
                QVERIFY2(!QFileInfo::exists(FLocker), Where.constData());
            } else {
                QVERIFY2(RunHelper("hide"), Where.constData());
                QVERIFY2(!QFileInfo::exists(FSource), Where.constData());
            }
            QVERIFY2(NoLeftovers(), Where.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "test_crash.moc"
