#pragma once

#include "CliArguments.h"

#include <QString>

enum TExitCode : int { ExitSuccess = 0, ExitFailure = 1, ExitUsage = 2 };

// Each command returns the process exit status; failures are printed on standard error.
int RunCreate(const TCliArguments& Args);
int RunExtract(const TCliArguments& Args);
int RunVerify(const TCliArguments& Args);
int RunInfo(const TCliArguments& Args);

// "kvlocker: <message>" on standard error; returns ExitFailure.
int ReportFailure(const QString& Message);
// A line on standard output or standard error, encoded for the terminal.
void PrintOut(const QString& Line);
void PrintErr(const QString& Line);

// Absolute and lexically clean, links not resolved; a trailing "/" is dropped (but "/" stays "/").
QString CleanCliPath(const QString& Path);
