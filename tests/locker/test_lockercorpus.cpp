#include "LockerCorpus.h"
#include "LockerTestSupport.h"
#include "locker/uLocker.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TCorpusCase)

// Runs every damaged or hostile locker of the corpus through ExtractLocker and VerifyLocker: each
// must end with its own message, leave the locker as it was, and write nothing outside the
// destination (nothing at all when the locker did not authenticate).
class TestLockerCorpus : public QObject {
    Q_OBJECT

private:
    static QString FirstLine(const QString& Message) { return Message.section(QStringLiteral("\r\n"), 0, 0); }

private slots:
    void cases_data() {
        QTest::addColumn<TCorpusCase>("Case");
        const QList<TCorpusCase> Cases = BuildLockerCorpus();
        QSet<QString> Names;
        for (const TCorpusCase& Case : Cases) {
            QVERIFY2(!Names.contains(Case.Name), qPrintable(Case.Name));
            Names.insert(Case.Name);
            QTest::newRow(qPrintable(Case.Name)) << Case;
        }
    }

    void cases() {
        QFETCH(TCorpusCase, Case);
        QTemporaryDir Sandbox;
        QVERIFY(Sandbox.isValid());
        const QString Locker = Sandbox.filePath(QStringLiteral("in/") + Case.Name + QStringLiteral(".kvlocker"));
        QVERIFY(WriteTestFile(Locker, Case.Bytes));
        // Two levels between the sandbox and the destination give ".." room to land somewhere visible.
        const QString Dest = Sandbox.filePath(QStringLiteral("out/a/dest"));

        TLockerResult Result;
        try {
            Result = ExtractLocker(Locker, Dest, Case.Secret);
        } catch (const std::exception& Error) {
            QFAIL(Error.what());
        }
        const bool Success = Case.ExtractMessage == QStringLiteral("Locker extracted successfully.");
        QCOMPARE(FirstLine(Result.MessageText), Case.ExtractMessage);
        QCOMPARE(Result.Success, Success);
        QCOMPARE(Result.RecoveryCode, Success && Case.Secret == CorpusRecoveryCode ? Case.Secret : QString());

        // Nothing but the locker and, when allowed, the destination and what lies below it.
        const QMap<QString, QString> Items = SnapshotTree(Sandbox.path());
        for (auto It = Items.cbegin(); It != Items.cend(); ++It) {
            const QString& Path = It.key();
            const bool Allowed = Path == QLatin1String("in") ||
                                 Path == QStringLiteral("in/") + Case.Name + ".kvlocker" ||
                                 (Case.MayWrite && (Path == QLatin1String("out") || Path == QLatin1String("out/a") ||
                                                    Path == QLatin1String("out/a/dest") ||
                                                    Path.startsWith(QLatin1String("out/a/dest/"))));
            QVERIFY2(Allowed, qPrintable(QStringLiteral("unexpected item: ") + Path));
        }
        QCOMPARE(ReadTestFile(Locker), Case.Bytes);
        if (Case.CheckPaths) {
            QStringList Written = SnapshotTree(Dest).keys();
            QStringList Expected = Case.ExpectedPaths;
            Written.sort();
            Expected.sort();
            QCOMPARE(Written, Expected);
        }

        QString Message = QStringLiteral("not cleared");
        const bool Verified = VerifyLocker(Locker, CorpusPassword, Message);
        QCOMPARE(FirstLine(Message), Case.VerifyMessage);
        QCOMPARE(Verified, Case.VerifyMessage.isEmpty());
    }

    // The extracted content of the sound corpus lockers is what was packed.
    void validContent() {
        const QList<TCorpusCase> Cases = BuildLockerCorpus();
        const auto Valid = std::find_if(Cases.cbegin(), Cases.cend(),
                                        [](const TCorpusCase& C) { return C.Name == QLatin1String("valid_folder"); });
        QVERIFY(Valid != Cases.cend());
        QTemporaryDir Sandbox;
        const QString Locker = Sandbox.filePath(QStringLiteral("v.kvlocker"));
        QVERIFY(WriteTestFile(Locker, Valid->Bytes));
        const TLockerResult Result = ExtractLocker(Locker, Sandbox.filePath("dest"), CorpusPassword);
        QVERIFY2(Result.Success, qPrintable(Result.MessageText));
        QCOMPARE(ReadTestFile(Sandbox.filePath("dest/box/docs/a.txt")), QByteArray("hello"));
        QCOMPARE(ReadTestFile(Sandbox.filePath("dest/box/b.bin")), QByteArray("\x00\x01\x02", 3));

        const auto Duplicate = std::find_if(Cases.cbegin(), Cases.cend(), [](const TCorpusCase& C) {
            return C.Name == QLatin1String("duplicate_file");
        });
        QVERIFY(Duplicate != Cases.cend());
        QVERIFY(WriteTestFile(Locker, Duplicate->Bytes));
        QVERIFY(ExtractLocker(Locker, Sandbox.filePath("dup"), CorpusPassword).Success);
        QCOMPARE(ReadTestFile(Sandbox.filePath("dup/box/x")), QByteArray("second"));
    }

    // The generator is deterministic: the fuzz seeds and this table always hold the same bytes.
    void deterministic() {
        const QList<TCorpusCase> First = BuildLockerCorpus();
        const QList<TCorpusCase> Second = BuildLockerCorpus();
        QCOMPARE(First.size(), Second.size());
        for (qsizetype I = 0; I < First.size(); ++I)
            QCOMPARE(First[I].Bytes, Second[I].Bytes);
        QTemporaryDir Folder;
        QCOMPARE(WriteLockerCorpus(Folder.path()), int(First.size()));
        QCOMPARE(ReadTestFile(Folder.filePath(First[0].Name + ".kvlocker")), First[0].Bytes);
    }
};

QTEST_GUILESS_MAIN(TestLockerCorpus)
#include "test_lockercorpus.moc"
