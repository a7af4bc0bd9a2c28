#include "TextRules.h"

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
