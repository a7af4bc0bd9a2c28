#include "platform/KelvarnError.h"
#include "platform/PlatformEnvironment.h"
#include "platform/PlatformUserStore.h"
#include "translation/translation.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void ResetCatalogue() {
    TranslationTable.clear();
    CurrentLanguageIndex = 0;
    CurrentLanguageCode = QStringLiteral("en");
}

bool WriteFile(const QString& Path, const QByteArray& Bytes) {
    QFile File(Path);
    return File.open(QIODevice::WriteOnly | QIODevice::Truncate) && File.write(Bytes) == Bytes.size();
}

QString StoredLanguage() {
    QString Value;
    return ReadUserStoreString(QStringLiteral("CurrentLanguage"), Value) ? Value : QStringLiteral("<none>");
}

const QByteArray KEnDeFr = "3\nEnglish\nDeutsch\nFrançais\nen\nde\nfr\nHello\nHallo\nBonjour\n";

} // namespace

class TestTranslation : public QObject {
    Q_OBJECT

private:
    QScopedPointer<QTemporaryDir> FCatalogueDir;
    QScopedPointer<QTemporaryDir> FConfigDir;

    QString CataloguePath() const { return FCatalogueDir->filePath(QStringLiteral("transl.dt")); }

private slots:
    void init() {
        FCatalogueDir.reset(new QTemporaryDir);
        FConfigDir.reset(new QTemporaryDir);
        QVERIFY(FCatalogueDir->isValid() && FConfigDir->isValid());
        SetTranslationFolderOverride(FCatalogueDir->path());
        SetConfigFolderOverride(FConfigDir->path());
        ResetCatalogue();
    }

    void cleanup() {
        SetTranslationFolderOverride(QString());
        SetConfigFolderOverride(QString());
        ResetCatalogue();
    }

    void translateBeforeLoadingReturnsItsArgument() {
        CurrentLanguageIndex = 3; // an index without a table must not reach into it
        QCOMPARE(Translate(QStringLiteral("Hello")), QStringLiteral("Hello"));
    }

    // File rules and the failure table. The wanted language is always "de" (stored choice).
    void loadRules_data() {
        QTest::addColumn<QByteArray>("File"); // empty: no file at all
        QTest::addColumn<int>("Columns");
        QTest::addColumn<int>("Rows");
        QTest::addColumn<int>("Index");
        QTest::addColumn<QString>("Hello");

        const QByteArray Lf = "2\nEnglish\nDeutsch\nen\nde\nHello\nHallo\nBye\nTschüss\n";
        QByteArray CrLf = Lf;
        CrLf.replace("\n", "\r\n");
        QByteArray Cr = Lf;
        Cr.replace("\n", "\r");
        QTest::newRow("LF") << Lf << 2 << 4 << 1 << "Hallo";
        QTest::newRow("BOM and CR LF") << QByteArray("\xEF\xBB\xBF") + CrLf << 2 << 4 << 1 << "Hallo";
        QTest::newRow("CR") << Cr << 2 << 4 << 1 << "Hallo";
        QTest::newRow("mixed breaks") << QByteArray("2\r\nEnglish\rDeutsch\nen\r\nde\rHello\nHallo") << 2 << 3 << 1
                                      << "Hallo";
        QTest::newRow("break after last line adds no line")
            << QByteArray("2\nEnglish\nDeutsch\nen\nde\nHello\nHallo\n") << 2 << 3 << 1 << "Hallo";
        QTest::newRow("empty line counts")
            << QByteArray("2\nEnglish\nDeutsch\nen\nde\nHello\nHallo\n\n") << 2 << 3 << 1 << "Hallo";
        QTest::newRow("incomplete last group ignored")
            << QByteArray("2\nEnglish\nDeutsch\nen\nde\nBye\nTschüss\nHello\n") << 2 << 3 << 1 << "Hello";
        QTest::newRow("code differs in case")
            << QByteArray("2\nEnglish\nDeutsch\nEN\nDE\nHello\nHallo\n") << 2 << 3 << 1 << "Hallo";
        QTest::newRow("count with blanks")
            << QByteArray(" 2 \nEnglish\nDeutsch\nen\nde\nHello\nHallo\n") << 2 << 3 << 1 << "Hallo";
        QTest::newRow("wanted code missing")
            << QByteArray("2\nEnglish\nFrançais\nen\nfr\nHello\nBonjour\n") << 2 << 3 << 0 << "Hello";
        QTest::newRow("empty cell stays English")
            << QByteArray("2\nEnglish\nDeutsch\nen\nde\nHello\n\nBye\nTschüss\n") << 2 << 4 << 1 << "Hello";
        QTest::newRow("first of two equal rows")
            << QByteArray("2\nEnglish\nDeutsch\nen\nde\nHello\nHallo\nHello\nServus\n") << 2 << 4 << 1 << "Hallo";
        QTest::newRow("exactly 2N + 1 lines") << QByteArray("2\nEnglish\nDeutsch\nen\nde\n") << 2 << 2 << 1 << "Hello";
        QTest::newRow("no file") << QByteArray() << 0 << 0 << 0 << "Hello";
        QTest::newRow("empty file") << QByteArray("\xEF\xBB\xBF") << 0 << 0 << 0 << "Hello";
        QTest::newRow("count not a number")
            << QByteArray("two\nEnglish\nDeutsch\nen\nde\nHello\nHallo\n") << 0 << 0 << 0 << "Hello";
        QTest::newRow("count negative") << QByteArray("-2\nEnglish\nDeutsch\nen\nde\nHello\nHallo\n") << 0 << 0 << 0
                                        << "Hello";
        QTest::newRow("count zero") << QByteArray("0\nEnglish\nDeutsch\nen\nde\nHello\nHallo\n") << 0 << 0 << 0
                                    << "Hello";
        QTest::newRow("count beyond int") << QByteArray("99999999999\nEnglish\nen\n") << 0 << 0 << 0 << "Hello";
        QTest::newRow("huge count, few lines") << QByteArray("2147483647\nEnglish\nen\n") << 0 << 0 << 0 << "Hello";
        QTest::newRow("fewer than 2N + 1 lines")
            << QByteArray("3\nEnglish\nDeutsch\nFrançais\nen\nde\n") << 0 << 0 << 0 << "Hello";
    }

    void loadRules() {
        QFETCH(QByteArray, File);
        QFETCH(int, Columns);
        QFETCH(int, Rows);
        QFETCH(int, Index);
        QFETCH(QString, Hello);
        if (!File.isEmpty())
            QVERIFY(WriteFile(CataloguePath(), File));
        QVERIFY(WriteUserStoreString(QStringLiteral("CurrentLanguage"), QStringLiteral("de")));

        LoadTranslation();

        QCOMPARE(TranslationTable.size(), Columns);
        for (const QStringList& Column : std::as_const(TranslationTable))
            QCOMPARE(Column.size(), Rows);
        QCOMPARE(CurrentLanguageIndex, Index);
        QCOMPARE(CurrentLanguageCode, QStringLiteral("de")); // the wanted code is kept either way
        QCOMPARE(Translate(QStringLiteral("Hello")), Hello);
        QCOMPARE(Translate(QStringLiteral("Not in the file")), QStringLiteral("Not in the file"));
    }

    void rowsAndColumnsFollowFileOrder() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        LoadTranslation();
        QCOMPARE(TranslationTable.size(), 3);
        QCOMPARE(TranslationTable.at(0), QStringList({"English", "en", "Hello"}));
        QCOMPARE(TranslationTable.at(1), QStringList({"Deutsch", "de", "Hallo"}));
        QCOMPARE(TranslationTable.at(2), QStringList({"Français", "fr", "Bonjour"}));
    }

    void noStoredChoiceUsesSystemLanguage() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        LoadTranslation();
        QCOMPARE(CurrentLanguageCode, SystemLanguageCode());
        QCOMPARE(StoredLanguage(), QStringLiteral("<none>")); // loading writes nothing
    }

    void emptyStoredChoiceGivesEmptyCode() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        QVERIFY(WriteUserStoreString(QStringLiteral("CurrentLanguage"), QString()));
        LoadTranslation();
        QCOMPARE(CurrentLanguageCode, QString());
        QCOMPARE(CurrentLanguageIndex, 0);
    }

    void storedTextValues_data() {
        QTest::addColumn<QByteArray>("Ini");
        QTest::addColumn<QString>("Code");
        QTest::addColumn<int>("Index");
        QTest::newRow("plain") << QByteArray("[General]\nCurrentLanguage=fr\n") << "fr" << 2;
        QTest::newRow("quoted") << QByteArray("[General]\nCurrentLanguage=\"de\"\n") << "de" << 1;
        QTest::newRow("digits are text") << QByteArray("[General]\nCurrentLanguage=7\n") << "7" << 0;
        QTest::newRow("other keys beside it") << QByteArray("[General]\nOther=1\nCurrentLanguage=FR\n") << "FR" << 2;
    }

    void storedTextValues() {
        QFETCH(QByteArray, Ini);
        QFETCH(QString, Code);
        QFETCH(int, Index);
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        QVERIFY(WriteFile(UserStorePath(), Ini));
        LoadTranslation();
        QCOMPARE(CurrentLanguageCode, Code);
        QCOMPARE(CurrentLanguageIndex, Index);
    }

    // A value of another type than text is the error that ends the start-up, file or no file.
    void storedNonTextValueRaises_data() {
        QTest::addColumn<QByteArray>("Ini");
        QTest::newRow("list") << QByteArray("[General]\nCurrentLanguage=de, fr\n");
        QTest::newRow("bytes") << QByteArray("[General]\nCurrentLanguage=@ByteArray(de)\n");
        QTest::newRow("point") << QByteArray("[General]\nCurrentLanguage=@Point(1 2)\n");
        QTest::newRow("invalid") << QByteArray("[General]\nCurrentLanguage=@Invalid()\n");
    }

    void storedNonTextValueRaises() {
        QFETCH(QByteArray, Ini);
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        QVERIFY(WriteFile(UserStorePath(), Ini));
        try {
            LoadTranslation();
            QFAIL("LoadTranslation accepted a stored value that is not text");
        } catch (const EKelvarnError& Error) {
            QVERIFY2(Error.Message().contains(QStringLiteral("CurrentLanguage")), qPrintable(Error.Message()));
        }
    }

    void unreadableStoreFallsBackToSystemLanguage() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        QVERIFY(QDir().mkpath(UserStorePath())); // a folder where the store file should be
        LoadTranslation();
        QCOMPARE(CurrentLanguageCode, SystemLanguageCode());
    }

    void choiceIsStoredAndUsedAtNextStart() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        LoadTranslation();
        QVERIFY(ChooseLanguage(2));
        QCOMPARE(CurrentLanguageCode, QStringLiteral("fr"));
        QCOMPARE(Translate(QStringLiteral("Hello")), QStringLiteral("Bonjour"));
        QCOMPARE(StoredLanguage(), QStringLiteral("fr"));

        ResetCatalogue();
        LoadTranslation();
        QCOMPARE(CurrentLanguageIndex, 2);
        QCOMPARE(Translate(QStringLiteral("Hello")), QStringLiteral("Bonjour"));
    }

    void choosingFirstLanguageTurnsTranslationOff() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        QVERIFY(WriteUserStoreString(QStringLiteral("CurrentLanguage"), QStringLiteral("de")));
        LoadTranslation();
        QCOMPARE(Translate(QStringLiteral("Hello")), QStringLiteral("Hallo"));
        QVERIFY(ChooseLanguage(0));
        QCOMPARE(Translate(QStringLiteral("Hello")), QStringLiteral("Hello"));
        QCOMPARE(Translate(QStringLiteral("Deutsch")), QStringLiteral("Deutsch"));
        QCOMPARE(StoredLanguage(), QStringLiteral("en"));
    }

    void choiceOutsideTableChangesNothing() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        QVERIFY(WriteUserStoreString(QStringLiteral("CurrentLanguage"), QStringLiteral("de")));
        LoadTranslation();
        QVERIFY(!ChooseLanguage(3));
        QVERIFY(!ChooseLanguage(-1));
        QCOMPARE(CurrentLanguageIndex, 1);
        QCOMPARE(StoredLanguage(), QStringLiteral("de"));
    }

    void unknownStoredCodeStaysStored() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        QVERIFY(WriteUserStoreString(QStringLiteral("CurrentLanguage"), QStringLiteral("xx")));
        LoadTranslation();
        QCOMPARE(CurrentLanguageIndex, 0);
        QCOMPARE(CurrentLanguageCode, QStringLiteral("xx"));
        QCOMPARE(StoredLanguage(), QStringLiteral("xx"));
    }

    // The store's folder cannot be made: the choice holds for this run and nothing is reported.
    void choiceWithoutWritableStoreHoldsForTheRun() {
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        LoadTranslation();
        const QString Blocker = FConfigDir->filePath(QStringLiteral("not-a-folder"));
        QVERIFY(WriteFile(Blocker, "x"));
        SetConfigFolderOverride(Blocker + QStringLiteral("/NVL Kelvarn"));
        QVERIFY(ChooseLanguage(1));
        QCOMPARE(CurrentLanguageIndex, 1);
        QCOMPARE(Translate(QStringLiteral("Hello")), QStringLiteral("Hallo"));
        QCOMPARE(StoredLanguage(), QStringLiteral("<none>"));
    }

    void storeKeepsOtherValues() {
        QVERIFY(WriteFile(UserStorePath(), "[General]\nOther=kept\n"));
        CurrentLanguageCode = QStringLiteral("pl");
        SaveLanguageChoice();
        QSettings Store(UserStorePath(), QSettings::IniFormat);
        QCOMPARE(Store.value(QStringLiteral("Other")).toString(), QStringLiteral("kept"));
        QCOMPARE(Store.value(QStringLiteral("CurrentLanguage")).toString(), QStringLiteral("pl"));
    }

    // Without any override the store lives in the test's private config folder.
    void storeInPrivateHome() {
        const QString ConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (!ConfigHome.contains(QStringLiteral("test-home")))
            QSKIP("needs the private test home that ctest provides");
        SetConfigFolderOverride(QString());
        QVERIFY(UserStorePath().startsWith(ConfigHome + QStringLiteral("/NVL Kelvarn/")));
        QFile::remove(UserStorePath());
        QVERIFY(WriteFile(CataloguePath(), KEnDeFr));
        LoadTranslation();
        QVERIFY(ChooseLanguage(1));
        ResetCatalogue();
        LoadTranslation();
        QCOMPARE(CurrentLanguageCode, QStringLiteral("de"));
        QCOMPARE(CurrentLanguageIndex, 1);
        QVERIFY(QFile::remove(UserStorePath()));
    }

    void catalogueIsLookedForInTheGivenFolder() {
        QCOMPARE(TranslationFilePath(), CataloguePath());
        SetTranslationFolderOverride(QString());
        QVERIFY(TranslationFilePath().endsWith(QStringLiteral("/transl.dt")));
    }
};

QTEST_GUILESS_MAIN(TestTranslation)
#include "test_translation.moc"
