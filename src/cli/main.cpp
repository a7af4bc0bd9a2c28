#include "CliArguments.h"
#include "CliCommands.h"
#include "CliInterrupt.h"

#include <QCoreApplication>

#include <cstdio>
#include <sys/prctl.h>
#include <sys/resource.h>

int main(int argc, char* argv[]) {
    // Secrets live in this process's memory: no core dump may carry them to disk, and no other
    // process of the user may attach to it or read its memory.
    const rlimit NoCore = {0, 0};
    setrlimit(RLIMIT_CORE, &NoCore);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    QCoreApplication App(argc, argv);
    InstallInterruptHandler();

    TCliArguments Args;
    try {
        Args = ParseCliArguments(App.arguments().mid(1));
    } catch (const ECliUsageError& E) {
        PrintErr(QStringLiteral("kvlocker: ") + E.Message());
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
