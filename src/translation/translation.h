#pragma once

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
