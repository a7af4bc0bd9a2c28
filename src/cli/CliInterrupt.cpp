#include "CliInterrupt.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t GInterrupted = 0;

extern "C" void OnInterrupt(int) {
    GInterrupted = 1;
}

void Install(int Flags) {
    struct sigaction Action = {};
    Action.sa_handler = OnInterrupt;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = Flags | SA_RESETHAND;
    for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal already raised once keeps its default action: the second press still kills.
        if (GInterrupted)
            continue;
        sigaction(Signal, &Action, nullptr);
    }
}

} // namespace

void InstallInterruptHandler() {
    Install(SA_RESTART);
}

void InstallInterruptHandlerForPrompt() {
    Install(0);
}

bool InterruptRequested() {
    return GInterrupted != 0;
}
