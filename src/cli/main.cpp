#include "CliArguments.h"
#include "CliCommands.h"
#include "CliInterrupt.h"
#include "ProcessHardening.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    DisableCoreDumps();

    QCoreApplication App(argc, argv);
    InstallInterruptHandler();

    TCliArguments Args;
    try {
        Args = ParseCliArguments(App.arguments().mid(1));
    } catch (const ECliUsageError& E) {
        ReportFailure(E.Message());
        PrintErr(CliUsageText() + QStringLiteral("Try \"kvlocker --help\" for more."));
        return ExitUsage;
    }
    if (Args.Help) {
        std::fputs(CliHelpText().toLocal8Bit().constData(), stdout);
        return ExitSuccess;
    }
    switch (Args.Command) {
    case TCliCommand::Create:
        return RunCreate(Args);
    case TCliCommand::Extract:
        return RunExtract(Args);
    case TCliCommand::Verify:
        return RunVerify(Args);
    case TCliCommand::Info:
        return RunInfo(Args);
    case TCliCommand::None:
        break;
    }
    return ExitUsage;
}
