#pragma once

#include "locker/uLockerFormat.h"

#include <QString>

// The rules for names a locker stores, and how they are shown: the reader refuses what these
// reject, so the writer never stores it.

// "/" becomes "\"; leading separators go, then leading "..\" pieces; a lone ".." becomes empty.
QString CleanRelativePath(const QString& Text);
// A root name must be a single component: not empty, ".", "..", without "\", "/" or NUL, without a
// leading drive prefix ("C:").
bool IsSafeRootName(const QString& Name);
// A cleaned relative path stays below its folder: empty (the folder itself) or components that are
// none of empty, ".", "..", hold no NUL, and no leading drive prefix.
bool IsSafeRelativePath(const QString& Cleaned);
// "X:" with X an ASCII letter at the start of the text.
bool HasDrivePrefix(const QString& Text);
// Stored form ("\") to the local file system's form ("/").
QString StoredPathToLocal(const QString& Stored);
// True when RootName and the cleaned relative path stay within LockerFormat's path bounds.
bool IsWithinPathBounds(const QString& RootName, const QString& Cleaned);

// A reason and the item it concerns, on a line of its own, as every engine message puts them.
inline QString WithItem(const QString& Reason, const QString& Item) {
    return Reason + QStringLiteral("\r\n") + Item;
}

// A name from a locker as it may be shown: control characters (and those that reorder text) escaped
// as \xNN or \u{NNNN}, and a long name cut to its first MaxShownChars characters followed by "...".
QString PrintableName(const QString& Name);
inline constexpr int MaxShownChars = 160;
