#include "translation/translation.h"

#include "platform/PlatformEnvironment.h"
#include "platform/PlatformUserStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>

QVector<QStringList> TranslationTable;
int CurrentLanguageIndex = 0;
QString CurrentLanguageCode = QStringLiteral("en");

namespace {

const QString KFileName = QStringLiteral("transl.dt");
const QString KStoreValue = QStringLiteral("CurrentLanguage");

QString GFolderOverride;

bool SameTextAscii(const QString& A, const QString& B) {
    if (A.size() != B.size())
        return false;
    for (qsizetype I = 0; I < A.size(); ++I) {
        char16_t X = A.at(I).unicode();
        char16_t Y = B.at(I).unicode();
        if (X >= u'A' && X <= u'Z')
            X = static_cast<char16_t>(X + 32);
        if (Y >= u'A' && Y <= u'Z')
            Y = static_cast<char16_t>(Y + 32);
        if (X != Y)
            return false;
    }
    return true;
}

QString TrimmedAscii(const QString& Text) {
    qsizetype Start = 0;
    qsizetype End = Text.size();
    while (Start < End && Text.at(Start).unicode() <= 0x20)
        ++Start;
    while (End > Start && Text.at(End - 1).unicode() <= 0x20)
        --End;
    return Text.mid(Start, End - Start);
}

// CR LF, LF and CR each end a line; a break after the last line adds no empty line.
QStringList SplitLines(const QString& Text) {
    QStringList Lines;
    qsizetype Start = 0;
    const qsizetype Size = Text.size();
    for (qsizetype I = 0; I < Size; ++I) {
        const QChar C = Text.at(I);
        if (C != u'\r' && C != u'\n')
            continue;
        Lines.append(Text.mid(Start, I - Start));
        if (C == u'\r' && I + 1 < Size && Text.at(I + 1) == u'\n')
            ++I;
        Start = I + 1;
    }
    if (Start < Size)
        Lines.append(Text.mid(Start));
    return Lines;
}

QStringList CandidateFolders() {
    if (!GFolderOverride.isEmpty())
        return {GFolderOverride};
    QStringList Folders{ProgramFolder()};
    // An installed program finds its data beside bin/, wherever the tree was installed to.
    Folders.append(QDir::cleanPath(ProgramFolder() + QStringLiteral("/../share/nvlkelvarn")));
#ifdef KELVARN_DATA_DIR
    Folders.append(QStringLiteral(KELVARN_DATA_DIR));
#endif
    return Folders;
}

// Fills the table from the file, or leaves it empty when the file is missing or unusable. A file
// with fewer than 2N + 1 lines lacks a language's name or code and is treated like a missing one.
void ReadCatalogue() {
    const QString Path = TranslationFilePath();
    QFile File(Path);
    if (!QFileInfo(Path).isFile() || !File.open(QIODevice::ReadOnly))
        return;
    QByteArray Bytes = File.readAll();
    if (Bytes.startsWith("\xEF\xBB\xBF"))
        Bytes.remove(0, 3);
    const QStringList Lines = SplitLines(QString::fromUtf8(Bytes));
    if (Lines.isEmpty())
        return;

    bool Ok = false;
    const int N = TrimmedAscii(Lines.at(0)).toInt(&Ok, 10);
    if (!Ok || N <= 0 || Lines.size() < 2 * static_cast<qint64>(N) + 1)
        return;

    const qsizetype M = (Lines.size() - 1) / N;
    QVector<QStringList> Table(N);
    QStringList Codes;
    for (int C = 0; C < N; ++C) {
        QStringList& Column = Table[C];
        Column.reserve(M);
        for (qsizetype R = 0; R < M; ++R)
            Column.append(Lines.at(R * N + C + 1));
        Codes.append(Column.at(1));
    }
    TranslationTable = std::move(Table);

    for (int C = 0; C < Codes.size(); ++C) {
        if (SameTextAscii(Codes.at(C), CurrentLanguageCode)) {
            CurrentLanguageIndex = C;
            break;
        }
    }
}

} // namespace

QString Translate(const QString& Text) {
    if (CurrentLanguageIndex <= 0 || CurrentLanguageIndex >= TranslationTable.size())
        return Text;
    const QStringList& English = TranslationTable.at(0);
    const QStringList& Target = TranslationTable.at(CurrentLanguageIndex);
    const qsizetype Row = English.indexOf(Text);
    if (Row < 0 || Row >= Target.size() || Target.at(Row).isEmpty())
        return Text;
    return Target.at(Row);
}

QString LanguageCodeFor(QLocale::Language Language) {
    switch (Language) {
    case QLocale::Arabic:
        return QStringLiteral("ar");
    case QLocale::Chinese:
        return QStringLiteral("cn");
    case QLocale::Czech:
        return QStringLiteral("cs");
    case QLocale::German:
        return QStringLiteral("de");
    case QLocale::Greek:
        return QStringLiteral("el");
    case QLocale::Spanish:
        return QStringLiteral("es");
    case QLocale::French:
        return QStringLiteral("fr");
    case QLocale::Hungarian:
        return QStringLiteral("hu");
    case QLocale::Italian:
        return QStringLiteral("it");
    case QLocale::Japanese:
        return QStringLiteral("jp");
    case QLocale::Korean:
        return QStringLiteral("kr");
    case QLocale::Dutch:
        return QStringLiteral("nl");
    case QLocale::Polish:
        return QStringLiteral("pl");
    case QLocale::Portuguese:
        return QStringLiteral("pt");
    case QLocale::Turkish:
        return QStringLiteral("tr");
    default:
        return QStringLiteral("en");
    }
}

QString SystemLanguageCode() {
    return LanguageCodeFor(QLocale::system().language());
}

QString TranslationFilePath() {
    const QStringList Folders = CandidateFolders();
    for (const QString& Folder : Folders) {
        const QString Path = QDir(Folder).filePath(KFileName);
        if (QFileInfo(Path).isFile())
            return Path;
    }
    return QDir(Folders.first()).filePath(KFileName);
}

void LoadTranslation() {
    CurrentLanguageCode = SystemLanguageCode();
    // Not guarded: a stored choice that is not text is an error the start-up reports.
    QString Stored;
    if (ReadUserStoreString(KStoreValue, Stored))
        CurrentLanguageCode = Stored;

    TranslationTable.clear();
    CurrentLanguageIndex = 0;
    try {
        ReadCatalogue();
    } catch (const std::exception&) {
        // An unreadable catalogue only costs the translation; the program goes on in English.
        TranslationTable.clear();
        CurrentLanguageIndex = 0;
    }
}

void SaveLanguageChoice() {
    WriteUserStoreString(KStoreValue, CurrentLanguageCode);
}

bool ChooseLanguage(int Index) {
    if (Index < 0 || Index >= TranslationTable.size())
        return false;
    CurrentLanguageIndex = Index;
    CurrentLanguageCode = TranslationTable.at(Index).at(1);
    SaveLanguageChoice();
    return true;
}

void SetTranslationFolderOverride(const QString& Folder) {
    GFolderOverride = Folder;
}
