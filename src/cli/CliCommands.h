#pragma once

#include "cli/CliArguments.h"

#include <QString>

enum TExitCode : int { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2 };

// Each command returns the process exit status; failures are printed on standard error.
int RunCreate(const TCliArguments& Args);
int RunExtract(const TCliArguments& Args);
int RunVerify(const TCliArguments& Args);
int RunInfo(const TCliArguments& Args);

// "kvlocker: <message>" on standard error; returns ExitFailure. The names the message carries, the
// engine's included, reach the terminal escaped as TerminalName does; only its CR LF line breaks
// stay breaks.
int ReportFailure(const QString& Message);
// A line on standard output or standard error, encoded for the terminal. Names in it must have gone
// through TerminalName.
void PrintOut(const QString& Line);
void PrintErr(const QString& Line);
// A name or path as it may be printed: control characters and the marks that reorder text escaped
// as the engine escapes names from a locker (PrintableName), but never cut short.
QString TerminalName(const QString& Name);

// Absolute and lexically clean, links not resolved; a trailing "/" is dropped (but "/" stays "/").
QString CleanCliPath(const QString& Path);
