#include "locker/uLockerNames.h"

#include "crypto/uSecurityUtils.h"

#include <QStringView>

namespace {

bool IsAsciiLetter(QChar C) {
    const char16_t U = C.unicode();
    return (U >= u'A' && U <= u'Z') || (U >= u'a' && U <= u'z');
}

} // namespace

QString CleanRelativePath(const QString& Text) {
    QString Result = Text;
    Result.replace(QLatin1Char('/'), QLatin1Char('\\'));
    qsizetype Start = 0;
    while (Start < Result.size() && (Result[Start] == QLatin1Char('\\') || Result[Start] == QLatin1Char('/')))
        ++Start;
    while (Result.size() - Start >= 3 && Result[Start] == QLatin1Char('.') && Result[Start + 1] == QLatin1Char('.') &&
           Result[Start + 2] == QLatin1Char('\\'))
        Start += 3;
    Result.remove(0, Start);
    if (Result == QLatin1String(".."))
        Result.clear();
    return Result;
}

bool HasDrivePrefix(const QString& Text) {
    return Text.size() >= 2 && IsAsciiLetter(Text[0]) && Text[1] == QLatin1Char(':');
}

namespace {

bool IsSafeComponent(QStringView Component) {
    return !Component.isEmpty() && Component != u"." && Component != u".." && !Component.contains(QChar(0));
}

} // namespace

bool IsSafeRootName(const QString& Name) {
    return IsSafeComponent(Name) && !Name.contains(QLatin1Char('\\')) && !Name.contains(QLatin1Char('/')) &&
           !HasDrivePrefix(Name);
}

bool IsSafeRelativePath(const QString& Cleaned) {
    if (Cleaned.isEmpty())
        return true;
    if (HasDrivePrefix(Cleaned) || Cleaned.contains(QLatin1Char('/')))
        return false;
    for (const QStringView Component : QStringView(Cleaned).split(LockerFormat::StoredSeparator))
        if (!IsSafeComponent(Component))
            return false;
    return true;
}

bool IsWithinPathBounds(const QString& RootName, const QString& Cleaned) {
    const qsizetype RootBytes = Utf8Bytes(RootName).size();
    if (RootBytes > LockerFormat::MaxNameBytes)
        return false;
    if (Cleaned.isEmpty())
        return true;
    const QByteArray Bytes = Utf8Bytes(Cleaned);
    // Root name, "/", relative path and the terminating zero must fit PATH_MAX.
    if (RootBytes + 1 + Bytes.size() >= LockerFormat::MaxPathBytes)
        return false;
    int Depth = 0;
    for (const QByteArray& Component : Bytes.split('\\')) {
        if (++Depth > LockerFormat::MaxPathDepth || Component.size() > LockerFormat::MaxNameBytes)
            return false;
    }
    return true;
}

QString PrintableName(const QString& Name) {
    QString Out;
    qsizetype Shown = 0;
    for (const QChar Char : Name) {
        if (Shown >= MaxShownChars) {
            Out += QStringLiteral("...");
            break;
        }
        const char16_t C = Char.unicode();
        // C0 and C1 controls and DEL, and the marks that reorder or hide text on a terminal.
        const bool Control = C < 0x20 || (C >= 0x7F && C <= 0x9F);
        const bool Reorders =
            (C >= 0x202A && C <= 0x202E) || (C >= 0x2066 && C <= 0x2069) || C == 0x200E || C == 0x200F || C == 0x061C;
        if (Control)
            Out += QStringLiteral("\\x%1").arg(static_cast<int>(C), 2, 16, QLatin1Char('0'));
        else if (Reorders)
            Out += QStringLiteral("\\u{%1}").arg(static_cast<int>(C), 4, 16, QLatin1Char('0'));
        else
            Out += Char;
        ++Shown;
    }
    return Out;
}

QString StoredPathToLocal(const QString& Stored) {
    QString Local = Stored;
    Local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return Local;
}

