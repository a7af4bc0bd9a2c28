#pragma once

#include <QString>
#include <Qt>

// Text comparisons of the windows. Letter case is ignored for A–Z against a–z only: folding all
// of Unicode would let two different passwords or paths compare equal on one system and not on
// another.
bool AsciiSameText(const QString& A, const QString& B);

// Removes the characters up to U+0020 (blanks and control characters) from both ends, and nothing
// else: a non-breaking space or other Unicode space stays part of the text.
QString TrimBlanks(const QString& Text);

// In a right-to-left text, each path (from a "/" that starts a line or follows a blank, to the
// end of its line) wrapped in a left-to-right isolate (U+2066 ... U+2069), so that it reads as a
// path and not reordered around its separators. Left-to-right texts come back as they are.
QString IsolatePaths(const QString& Text, Qt::LayoutDirection Direction);

// Caption with an accelerator: the first Latin letter of it that no sibling in Used has taken is
// marked with "&" ("&&" stays a literal ampersand); a caption without a free Latin letter gets a
// "(&X)" suffix, X taken from English (the catalogue key) or else the alphabet, before a trailing
// "...". The letter chosen is added to Used.
QString WithMnemonic(const QString& Caption, const QString& English, QString& Used);
