#include "translation.h"

QVector<QStringList> TranslationTable;
int CurrentLanguageIndex = 0;
QString CurrentLanguageCode = QStringLiteral("en");

QString Translate(const QString& Text) {
    if (CurrentLanguageIndex <= 0 || CurrentLanguageIndex >= TranslationTable.size() || TranslationTable.isEmpty())
        return Text;
    const QStringList& English = TranslationTable.at(0);
    const QStringList& Target = TranslationTable.at(CurrentLanguageIndex);
    for (int Row = 2; Row < English.size() && Row < Target.size(); ++Row) {
        if (English.at(Row) == Text) {
            const QString& Cell = Target.at(Row);
            return Cell.isEmpty() ? Text : Cell;
        }
    }
    return Text;
}
