#include "platform/PlatformEnvironment.h"
#include "translation/translation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

// The process runs under a German locale (set in main before Qt reads the environment), the
// counterpart of a Windows whose user-interface language is German.
class TestSystemLanguage : public QObject {
    Q_OBJECT

private slots:
    void codeForEachLanguage_data() {
        QTest::addColumn<QLocale::Language>("Language");
        QTest::addColumn<QString>("Code");
        const struct {
            const char* Locale;
            const char* Code;
        } Rows[] = {
            {"ar_EG", "ar"}, {"zh_CN", "cn"}, {"zh_TW", "cn"}, {"cs_CZ", "cs"}, {"de_AT", "de"}, {"el_GR", "el"},
            {"es_MX", "es"}, {"fr_CA", "fr"}, {"hu_HU", "hu"}, {"it_IT", "it"}, {"ja_JP", "jp"}, {"ko_KR", "kr"},
            {"nl_BE", "nl"}, {"pl_PL", "pl"}, {"pt_BR", "pt"}, {"tr_TR", "tr"}, {"en_GB", "en"}, {"ru_RU", "en"},
            {"sv_SE", "en"}, {"hr_HR", "en"}, {"C", "en"},
        };
        for (const auto& Row : Rows)
            QTest::newRow(Row.Locale) << QLocale(QString::fromLatin1(Row.Locale)).language()
                                      << QString::fromLatin1(Row.Code);
    }

    void codeForEachLanguage() {
        QFETCH(QLocale::Language, Language);
        QFETCH(QString, Code);
        QCOMPARE(LanguageCodeFor(Language), Code);
    }

    void systemLanguageIsGerman() {
        QCOMPARE(QLocale::system().language(), QLocale::German);
        QCOMPARE(SystemLanguageCode(), QStringLiteral("de"));
    }

    // No stored choice: the German column is used from the start.
    void germanTextsFromTheStart() {
        QTemporaryDir Catalogue;
        QTemporaryDir Config;
        QVERIFY(Catalogue.isValid() && Config.isValid());
        QFile File(Catalogue.filePath(QStringLiteral("transl.dt")));
        QVERIFY(File.open(QIODevice::WriteOnly));
        File.write("2\r\nEnglish\r\nDeutsch\r\nen\r\nde\r\nStop\r\nStopp\r\n");
        File.close();
        SetTranslationFolderOverride(Catalogue.path());
        SetConfigFolderOverride(Config.path());

        LoadTranslation();
        QCOMPARE(CurrentLanguageCode, QStringLiteral("de"));
        QCOMPARE(CurrentLanguageIndex, 1);
        QCOMPARE(Translate(QStringLiteral("Stop")), QStringLiteral("Stopp"));

        SetTranslationFolderOverride(QString());
        SetConfigFolderOverride(QString());
    }

    void noCatalogueKeepsEnglishWhateverTheSystem() {
        QTemporaryDir Empty;
        QTemporaryDir Config;
        SetTranslationFolderOverride(Empty.path());
        SetConfigFolderOverride(Config.path());
        LoadTranslation();
        QCOMPARE(CurrentLanguageCode, QStringLiteral("de"));
        QCOMPARE(TranslationTable.size(), 0);
        QCOMPARE(Translate(QStringLiteral("Stop")), QStringLiteral("Stop"));
        SetTranslationFolderOverride(QString());
        SetConfigFolderOverride(QString());
    }
};

int main(int argc, char** argv) {
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    unsetenv("LC_MESSAGES");
    unsetenv("LANG");
    unsetenv("LANGUAGE");
    QCoreApplication App(argc, argv);
    TestSystemLanguage Test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&Test, argc, argv);
}

#include "test_system_language.moc"
