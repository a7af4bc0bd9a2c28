#pragma once

#include <QString>

// Secrets come from the terminal without echo, or from the first line of standard input.
// Raise EKelvarnError with a message for the user when no secret can be had.

// Prompt on standard error, read from standard input, which must be a terminal.
QString ReadSecretFromTerminal(const QString& Prompt);
// The first line of standard input without its line end ("\n" or "\r\n"); reads no further.
QString ReadSecretFromStdin();
// Asks twice when Confirm is set (for a new locker) and fails when the two differ.
QString AskSecret(bool FromStdin, const QString& Prompt, bool Confirm);
