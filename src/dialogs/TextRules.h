#pragma once

#include <QString>

// Text comparisons of the windows. Letter case is ignored for A–Z against a–z only: folding all
// of Unicode would let two different passwords or paths compare equal on one system and not on
// another.
bool AsciiSameText(const QString& A, const QString& B);

// Removes the characters up to U+0020 (blanks and control characters) from both ends, and nothing
// else: a non-breaking space or other Unicode space stays part of the text.
QString TrimBlanks(const QString& Text);
