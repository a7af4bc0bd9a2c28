#pragma once

// Ctrl-C, SIGTERM and SIGHUP only raise a flag, so that a running locker operation stops through
// its cancel query and cleans up instead of dying mid-write. A second signal of the same kind is
// fatal, as usual, for the impatient.

// Restartable: system calls carry on after the signal (while the engine works).
void InstallInterruptHandler();
// Not restartable: a blocking terminal read returns EINTR (while a secret is typed).
void InstallInterruptHandlerForPrompt();
// For work that writes nothing and has no cancel query (verify): the signal ends the process at
// once, with the message and status an interrupted operation gives.
void InstallExitOnInterrupt();
bool InterruptRequested();
// The shell's convention for a run a signal ended: 128 plus its number (130 after Ctrl-C).
int InterruptedExitStatus();
