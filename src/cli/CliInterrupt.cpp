#include "cli/CliInterrupt.h"

#include <csignal>
#include <initializer_list>
#include <unistd.h>

namespace {

// The signal that asked to stop, or 0.
volatile std::sig_atomic_t GSignal = 0;
volatile std::sig_atomic_t GClearLine = 0;

extern "C" void OnInterrupt(int Signal) {
    GSignal = Signal;
}

extern "C" void OnInterruptExit(int Signal) {
    // Only async-signal-safe calls here: the progress line is cleared and the message written raw.
    static const char Clear[] = "\r\033[K";
    static const char Message[] = "kvlocker: Operation cancelled by user.\n";
    ssize_t Ignored = 0;
    if (GClearLine)
        Ignored = ::write(STDERR_FILENO, Clear, sizeof Clear - 1);
    Ignored = ::write(STDERR_FILENO, Message, sizeof Message - 1);
    (void)Ignored;
    ::_exit(128 + Signal);
}

void Install(void (*Handler)(int), int Flags) {
    struct sigaction Action = {};
    Action.sa_handler = Handler;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = Flags | SA_RESETHAND;
    for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal already raised once keeps its default action: the second press still kills.
        if (GSignal)
            continue;
        sigaction(Signal, &Action, nullptr);
    }
}

} // namespace

void InstallInterruptHandler() {
    Install(OnInterrupt, SA_RESTART);
}

void InstallInterruptHandlerForPrompt() {
    Install(OnInterrupt, 0);
}

void InstallExitOnInterrupt() {
    // The progress bar draws only on a terminal; isatty is not safe to call in the handler.
    GClearLine = isatty(STDERR_FILENO) ? 1 : 0;
    Install(OnInterruptExit, SA_RESTART);
}

bool InterruptRequested() {
    return GSignal != 0;
}

int InterruptedExitStatus() {
    return 128 + GSignal;
}
