#include "dialogs/TextRules.h"

#include <QStringList>

namespace {

char16_t AsciiLower(char16_t C) {
    return (C >= u'A' && C <= u'Z') ? static_cast<char16_t>(C + (u'a' - u'A')) : C;
}

} // namespace

bool AsciiSameText(const QString& A, const QString& B) {
    if (A.size() != B.size())
        return false;
    for (qsizetype I = 0; I < A.size(); ++I)
        if (AsciiLower(A.at(I).unicode()) != AsciiLower(B.at(I).unicode()))
            return false;
    return true;
}

QString TrimBlanks(const QString& Text) {
    qsizetype First = 0;
    qsizetype Last = Text.size();
    while (First < Last && Text.at(First).unicode() <= 0x20)
        ++First;
    while (Last > First && Text.at(Last - 1).unicode() <= 0x20)
        --Last;
    return Text.mid(First, Last - First);
}

QString IsolatePaths(const QString& Text, Qt::LayoutDirection Direction) {
    if (Direction != Qt::RightToLeft)
        return Text;
    const QChar Isolate(0x2066), PopIsolate(0x2069);
    QStringList Lines = Text.split(QLatin1Char('\n'));
    for (QString& Line : Lines) {
        qsizetype Start = -1;
        for (qsizetype I = 0; I < Line.size(); ++I)
            if (Line.at(I) == QLatin1Char('/') && (I == 0 || Line.at(I - 1).isSpace())) {
                Start = I;
                break;
            }
        if (Start < 0)
            continue;
        qsizetype End = Line.size();
        if (Line.endsWith(QLatin1Char('\r')))
            --End;
        Line = Line.left(Start) + Isolate + Line.mid(Start, End - Start) + PopIsolate + Line.mid(End);
    }
    return Lines.join(QLatin1Char('\n'));
}

namespace {

bool IsLatinLetter(QChar C) {
    return (C >= QLatin1Char('A') && C <= QLatin1Char('Z')) || (C >= QLatin1Char('a') && C <= QLatin1Char('z'));
}

} // namespace

QString WithMnemonic(const QString& Caption, const QString& English, QString& Used) {
    for (qsizetype I = 0; I < Caption.size(); ++I) {
        if (Caption.at(I) == QLatin1Char('&')) {
            ++I; // "&&", a literal ampersand
            continue;
        }
        const QChar Upper = Caption.at(I).toUpper();
        if (IsLatinLetter(Caption.at(I)) && !Used.contains(Upper)) {
            Used.append(Upper);
            return Caption.left(I) + QLatin1Char('&') + Caption.mid(I);
        }
    }
    QChar Letter;
    for (const QChar C : English + QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
        if (IsLatinLetter(C) && !Used.contains(C.toUpper())) {
            Letter = C.toUpper();
            break;
        }
    if (Letter.isNull())
        return Caption;
    Used.append(Letter);
    const QString Suffix = QStringLiteral("(&") + Letter + QLatin1Char(')');
    const QString Ellipsis = QStringLiteral("...");
    if (Caption.endsWith(Ellipsis))
        return Caption.left(Caption.size() - Ellipsis.size()) + Suffix + Ellipsis;
    return Caption + Suffix;
}
