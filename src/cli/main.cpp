#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliInterrupt.h"
#include "platform/PlatformEnvironment.h"
#include "platform/ProcessHardening.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

int RunCommand(const TCliArguments& Args) {
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

} // namespace

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
    if (Args.Version) {
        PrintOut(QStringLiteral("kvlocker ") + ProgramVersion());
        return ExitSuccess;
    }
    const int Status = RunCommand(Args);
    // A failure after a signal is the signal's doing; a run that finished anyway keeps its success, as
    // its locker or its files are there.
    return Status == ExitFailure && InterruptRequested() ? InterruptedExitStatus() : Status;
}
