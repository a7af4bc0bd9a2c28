// Hides one path and ends abruptly at a named step, as a crash would there: the transaction tests
// then look at what the next operation makes of it. A process of its own, so that no test process
// forks while other threads run. Usage: transaction_helper PATH PASSWORD STEP; status 9 when it
// ended at STEP.
#include "platform/PlatformDirHandle.h"
#include "workflow/uWorkflow.h"

#include <QCoreApplication>

#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    QCoreApplication App(argc, argv);
    const QByteArray Step = argv[3];
    SetFileStepHookForTest([&Step](const char* At, const QString&) {
        if (Step == At)
            ::_exit(9);
    });
    HideItem(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), false);
    return 0;
}
