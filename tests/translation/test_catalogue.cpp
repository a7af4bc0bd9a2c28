#include "platform/PlatformEnvironment.h"
#include "platform/PlatformUserStore.h"
#include "TranslateLiteralScanner.h"
#include "translation/translation.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The shipped transl.dt: its languages, that it loads in each of them, and that it covers every
// text the sources pass to Translate().
namespace {

const QStringList KCodes = {"en", "ar", "cn", "cs", "de", "el", "es", "fr",
                            "hu", "it", "jp", "kr", "nl", "pl", "pt", "tr"};

QString SourceDir() {
    const QString FromEnv = qEnvironmentVariable("KELVARN_SOURCE_DIR");
    return FromEnv.isEmpty() ? QStringLiteral(KELVARN_TEST_SOURCE_DIR) : FromEnv;
}

QByteArray ReadAll(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

// The %s / %d / %.8X ... of a text, in order.
QStringList Placeholders(const QString& Text) {
    static const QRegularExpression Placeholder(QStringLiteral("%[-+ 0#]*\\d*(?:\\.\\d+)?[a-zA-Z%]"));
    QStringList Found;
    for (auto It = Placeholder.globalMatch(Text); It.hasNext();)
        Found.append(It.next().captured());
    return Found;
}

// Doubled ampersands (a shown "&" in captions) and single ones (an accelerator in captions).
QPair<qsizetype, qsizetype> Ampersands(const QString& Text) {
    const qsizetype Doubled = Text.count(QStringLiteral("&&"));
    return {Doubled, Text.count(u'&') - 2 * Doubled};
}

bool SameTextAscii(const QString& A, const QString& B) {
    auto Lower = [](QString S) {
        for (QChar& C : S)
            if (C >= u'A' && C <= u'Z')
                C = QChar(C.unicode() + 32);
        return S;
    };
    return Lower(A) == Lower(B);
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FConfigDir;
    QStringList FEnglish; // the first column, read with the program's own loader

    // Loads the shipped catalogue the way the program does, with Code as the stored choice.
    void LoadAs(const QString& Code) {
        QVERIFY(WriteUserStoreString(QStringLiteral("CurrentLanguage"), Code));
        TranslationTable.clear();
        CurrentLanguageIndex = 0;
        LoadTranslation();
    }

private slots:
    void initTestCase() {
        QVERIFY(FConfigDir.isValid());
        SetConfigFolderOverride(FConfigDir.path());
        // The build puts the catalogue beside the programs; it must be the one in the sources.
        QCOMPARE(TranslationFilePath(), QCoreApplication::applicationDirPath() + QStringLiteral("/transl.dt"));
        LoadAs(QStringLiteral("en"));
        QCOMPARE(TranslationTable.size(), KCodes.size());
        FEnglish = TranslationTable.at(0);
    }

    void cleanupTestCase() { SetConfigFolderOverride(QString()); }

    // The build makes the catalogue beside the programs from translations/; the copy in the sources
    // must be the same.
    void shippedCatalogueIsWhatTheDataBuilds() {
        const QByteArray Shipped = ReadAll(SourceDir() + QStringLiteral("/src/app/transl.dt"));
        QVERIFY2(!Shipped.isEmpty(), "src/app/transl.dt is missing");
        QVERIFY2(ReadAll(TranslationFilePath()) == Shipped,
                 "src/app/transl.dt differs from what translations/ builds: run python3 script/make_transl.py");
    }

    // The builder takes the data as it is written and refuses data whose structure is broken.
    void builderReadsTheData_data() {
        QTest::addColumn<QStringList>("Files"); // name, content, name, content...
        QTest::addColumn<int>("Exit");
        QTest::addColumn<QString>("Result"); // the catalogue, or a piece of the message
        const QString Languages = QStringLiteral("English\ten\nDeutsch\tde\n");
        const QString Two = QStringLiteral("2\nEnglish\nDeutsch\nen\nde\nYes\nJa\nNo \nNein \n");
        QTest::newRow("sound") << QStringList{"languages.tsv", Languages, "de.tsv", "Yes\tJa\nNo \tNein \n"} << 0
                               << Two;
        QTest::newRow("byte-order mark and CR LF")
            << QStringList{"languages.tsv", "\uFEFFEnglish\ten\r\nDeutsch\tde\r\n", "de.tsv",
                           "\uFEFFYes\tJa\r\nNo \tNein \r\n"}
            << 0 << Two;
        QTest::newRow("texts in another order") << QStringList{"languages.tsv", Languages + "Fran\u00e7ais\tfr\n",
                                                               "de.tsv",        "Yes\tJa\nNo\tNein\n",
                                                               "fr.tsv",        "No\tNon\nYes\tOui\n"}
                                                << 1 << "fr.tsv:1: 'No' where de.tsv has 'Yes'";
        QTest::newRow("a text missing") << QStringList{"languages.tsv", Languages + "Fran\u00e7ais\tfr\n",
                                                       "de.tsv",        "Yes\tJa\nNo\tNein\n",
                                                       "fr.tsv",        "Yes\tOui\n"}
                                        << 1 << "fr.tsv: 1 texts where de.tsv has 2";
        QTest::newRow("a tab too many") << QStringList{"languages.tsv", Languages, "de.tsv", "Yes\tJa\tJa\n"} << 1
                                        << "de.tsv:1: 3 tab-separated fields instead of 2";
        QTest::newRow("no translation field") << QStringList{"languages.tsv", Languages, "de.tsv", "Yes\n"} << 1
                                              << "de.tsv:1: 1 tab-separated fields instead of 2";
        QTest::newRow("English not first")
            << QStringList{"languages.tsv", "Deutsch\tde\nEnglish\ten\n", "de.tsv", "Yes\tJa\n"} << 1
            << "English (en) must come first";
        QTest::newRow("a language not listed")
            << QStringList{"languages.tsv", Languages, "de.tsv", "Yes\tJa\n", "fr.tsv", "Yes\tOui\n"} << 1
            << "fr.tsv: not listed in languages.tsv";
        QTest::newRow("a listed language without its file") << QStringList{"languages.tsv", Languages} << 1 << "de.tsv";
    }
    void builderReadsTheData() {
        QFETCH(QStringList, Files);
        QFETCH(int, Exit);
        QFETCH(QString, Result);
        QTemporaryDir Data;
        for (int I = 0; I + 1 < Files.size(); I += 2) {
            QFile File(Data.filePath(Files.at(I)));
            QVERIFY(File.open(QIODevice::WriteOnly));
            File.write(Files.at(I + 1).toUtf8());
        }
        QProcess Builder;
        Builder.start(QStringLiteral(KELVARN_PYTHON),
                      {SourceDir() + QStringLiteral("/script/make_transl.py"), QStringLiteral("--data"), Data.path(),
                       QStringLiteral("--output"), Data.filePath(QStringLiteral("transl.dt"))});
        QVERIFY(Builder.waitForFinished(60000));
        QCOMPARE(Builder.exitCode(), Exit);
        if (Exit == 0) {
            QCOMPARE(QString::fromUtf8(ReadAll(Data.filePath(QStringLiteral("transl.dt")))), Result);
        } else {
            const QString Message = QString::fromUtf8(Builder.readAllStandardError());
            QVERIFY2(Message.contains(Result), qPrintable(Message));
            QVERIFY(!QFileInfo::exists(Data.filePath(QStringLiteral("transl.dt"))));
        }
    }

    void languagesInOrderWithTheirOwnNames() {
        QStringList Codes;
        QStringList Names;
        for (const QStringList& Column : std::as_const(TranslationTable)) {
            Codes.append(Column.at(1));
            Names.append(Column.at(0));
        }
        QCOMPARE(Codes, KCodes);
        QCOMPARE(Names, QStringList({"English", "العربية", "中文", "Čeština", "Deutsch", "Ελληνικά", "Español",
                                     "Français", "Magyar", "Italiano", "日本語", "한국어", "Nederlands", "Polski",
                                     "Português", "Türkçe"}));
    }

    void loadsInEveryLanguage_data() {
        QTest::addColumn<QString>("Code");
        QTest::addColumn<int>("Index");
        for (int I = 0; I < KCodes.size(); ++I)
            QTest::newRow(qPrintable(KCodes.at(I))) << KCodes.at(I) << I;
    }

    void loadsInEveryLanguage() {
        QFETCH(QString, Code);
        QFETCH(int, Index);
        LoadAs(Code.toUpper());
        QCOMPARE(CurrentLanguageIndex, Index);
        const QStringList& Column = TranslationTable.at(Index);
        QStringList Wrong;
        for (int Row = 2; Row < FEnglish.size(); ++Row) {
            const QString Expected = Index == 0 ? FEnglish.at(Row) : Column.at(FEnglish.indexOf(FEnglish.at(Row)));
            if (Translate(FEnglish.at(Row)) != Expected || Expected.isEmpty())
                Wrong.append(FEnglish.at(Row));
        }
        QVERIFY2(Wrong.isEmpty(), qPrintable(Wrong.join(QStringLiteral(" | "))));
    }

    void englishTextsAreUnique() {
        QStringList Seen;
        QStringList Duplicates;
        for (int Row = 2; Row < FEnglish.size(); ++Row) {
            if (Seen.contains(FEnglish.at(Row)))
                Duplicates.append(FEnglish.at(Row));
            Seen.append(FEnglish.at(Row));
        }
        QVERIFY2(Duplicates.isEmpty(), qPrintable(Duplicates.join(QStringLiteral(" | "))));
    }

    // A translation must fill the same arguments and show the same ampersands and blanks at its
    // ends (the pieces are joined with paths and other texts).
    void translationsKeepTheirShape() {
        QStringList Problems;
        for (int Row = 2; Row < FEnglish.size(); ++Row) {
            const QString& English = FEnglish.at(Row);
            for (int Col = 1; Col < TranslationTable.size(); ++Col) {
                const QString& Text = TranslationTable.at(Col).at(Row);
                const QString Where = QStringLiteral("[%1] \"%2\"").arg(KCodes.at(Col), English);
                if (Placeholders(Text) != Placeholders(English))
                    Problems.append(Where + QStringLiteral(": placeholders ") + Placeholders(Text).join(u',') +
                                    QStringLiteral(" instead of ") + Placeholders(English).join(u','));
                if (Ampersands(Text) != Ampersands(English))
                    Problems.append(Where + QStringLiteral(": ampersands differ"));
                if (Text.endsWith(u' ') != English.endsWith(u' ') || Text.startsWith(u' ') != English.startsWith(u' '))
                    Problems.append(Where + QStringLiteral(": leading or trailing blank differs"));
            }
        }
        for (const QString& Problem : std::as_const(Problems))
            qWarning().noquote() << Problem;
        QVERIFY2(Problems.isEmpty(),
                 qPrintable(QString::number(Problems.size()) + QStringLiteral(" problems, listed above")));
    }

    // The program compares a translated caption or status with another translated text.
    void textsComparedAtRunTimeStayDistinct() {
        const QList<QPair<QString, QString>> Pairs = {
            {"Visible", "Encrypted & Hidden"}, {"Abort", "Skip"}, {"Abort", "Exit"}};
        for (const auto& [A, B] : Pairs) {
            const qsizetype RowA = FEnglish.indexOf(A);
            const qsizetype RowB = FEnglish.indexOf(B);
            QVERIFY2(RowA >= 2 && RowB >= 2, qPrintable(A + QStringLiteral(" / ") + B));
            for (int Col = 0; Col < TranslationTable.size(); ++Col)
                QVERIFY2(!SameTextAscii(TranslationTable.at(Col).at(RowA), TranslationTable.at(Col).at(RowB)),
                         qPrintable(KCodes.at(Col) + QStringLiteral(": ") + A + QStringLiteral(" / ") + B));
        }
    }

    void scannerReadsTranslateArguments_data() {
        QTest::addColumn<QString>("Source");
        QTest::addColumn<QStringList>("Texts");
        QTest::addColumn<QList<bool>>("Literal");
        QTest::newRow("plain") << "x = Translate(\"Error hiding: \") + Path;" << QStringList{"Error hiding: "}
                               << QList<bool>{true};
        QTest::newRow("escapes") << "Translate(\"say \\\"hi\\\"\\t\\\\ \\x41\\u00e9\\303\\251\")"
                                 << QStringList{"say \"hi\"\t\\ A\u00e9\u00e9"} << QList<bool>{true};
        QTest::newRow("utf-8 text") << "Translate(\"Français\")" << QStringList{"Français"} << QList<bool>{true};
        QTest::newRow("joined literals over lines")
            << "Translate(\"one \"\n    \"two\" /* c */ \"three\")" << QStringList{"one twothree"} << QList<bool>{true};
        QTest::newRow("QStringLiteral and blanks")
            << "Translate ( QStringLiteral( \"Stop\" ) ).arg(1)" << QStringList{"Stop"} << QList<bool>{true};
        QTest::newRow("format with arg") << "Translate(\"Path not found: %s\").arg(P)"
                                         << QStringList{"Path not found: %s"} << QList<bool>{true};
        QTest::newRow("literal is only part of the argument")
            << "Translate(\"Error: \" + Reason)" << QStringList{"Error: "} << QList<bool>{false};
        QTest::newRow("comments, strings and other names skipped")
            << "// Translate(\"a\")\n/* Translate(\"b\") */ s = \"Translate(\\\"c\\\")\"; MyTranslate(\"d\"); "
               "o.Translate(\"e\"); p->Translate(\"f\"); char q = '\"'; Translate(\"g\");"
            << QStringList{"g"} << QList<bool>{true};
        QTest::newRow("declaration and variable argument")
            << "QString Translate(const QString& Text);\nTranslate(Text);" << QStringList{} << QList<bool>{};
        QTest::newRow("digit separator") << "int n = 1'000; Translate(\"h\");" << QStringList{"h"} << QList<bool>{true};
    }

    void scannerReadsTranslateArguments() {
        QFETCH(QString, Source);
        QFETCH(QStringList, Texts);
        QFETCH(QList<bool>, Literal);
        QStringList FoundTexts;
        QList<bool> FoundLiteral;
        for (const TTranslateCall& Call : ScanTranslateCalls(Source)) {
            FoundTexts.append(Call.Text);
            FoundLiteral.append(Call.Literal);
        }
        QCOMPARE(FoundTexts, Texts);
        QCOMPARE(FoundLiteral, Literal);
    }

    // Every text the sources translate has its row, filled in every language.
    void coversEveryTranslatedText() {
        const QString Src = SourceDir() + QStringLiteral("/src");
        QStringList Problems;
        int Calls = 0;
        QDirIterator It(Src, {"*.cpp", "*.h", "*.hpp", "*.cc"}, QDir::Files, QDirIterator::Subdirectories);
        while (It.hasNext()) {
            const QString Path = It.next();
            const QString Source = QString::fromUtf8(ReadAll(Path));
            for (const TTranslateCall& Call : ScanTranslateCalls(Source)) {
                ++Calls;
                const QString Where =
                    QStringLiteral("%1:%2 \"%3\"").arg(Path.mid(Src.size() + 1)).arg(Call.Line).arg(Call.Text);
                if (!Call.Literal) {
                    Problems.append(Where + QStringLiteral(": the argument must be the literal alone"));
                    continue;
                }
                const qsizetype Row = FEnglish.indexOf(Call.Text, 2);
                if (Row < 0) {
                    Problems.append(Where + QStringLiteral(": missing from transl.dt"));
                    continue;
                }
                for (int Col = 1; Col < TranslationTable.size(); ++Col)
                    if (TranslationTable.at(Col).at(Row).isEmpty())
                        Problems.append(Where + QStringLiteral(": empty in ") + KCodes.at(Col));
            }
        }
        QVERIFY2(Calls > 0, qPrintable(QStringLiteral("no Translate call found under ") + Src));
        for (const QString& Problem : std::as_const(Problems))
            qWarning().noquote() << Problem;
        QVERIFY2(Problems.isEmpty(),
                 qPrintable(QString::number(Problems.size()) + QStringLiteral(" texts, listed above")));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
