#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVector>

// Process-wide catalogue: column k holds language k in file order; row 0 the language's own name,
// row 1 its code, rows 2.. the texts. Column 0 is English and turns translation off.
extern QVector<QStringList> TranslationTable;
extern int CurrentLanguageIndex;
extern QString CurrentLanguageCode;

// English text in, text of the current language out (unchanged when no row or cell matches).
QString Translate(const QString& Text);

// The program's code for the system's user-interface language ("cn", "jp" and "kr" are its own
// codes, not ISO 639); "en" for every language the catalogue does not plan for.
QString SystemLanguageCode();
QString LanguageCodeFor(QLocale::Language Language);

// Reads the wanted language (system, then the user's stored choice) and the catalogue file. A
// missing or unusable file leaves every text English and raises nothing; only a stored choice that
// is not text raises EKelvarnError.
void LoadTranslation();

// Remembers CurrentLanguageCode in the per-user store; a store that cannot be written is ignored.
void SaveLanguageChoice();

// The language menu's choice: column Index becomes current, its code is remembered. Returns false
// (and changes nothing) for an index outside the table.
bool ChooseLanguage(int Index);

// The catalogue file LoadTranslation reads: "transl.dt" beside the program, else in the installed
// data folder; the program folder's path when neither exists.
QString TranslationFilePath();

// Test seam: look for transl.dt only in Folder; an empty text restores the normal search.
void SetTranslationFolderOverride(const QString& Folder);
