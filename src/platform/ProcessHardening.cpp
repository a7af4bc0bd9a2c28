#include "platform/ProcessHardening.h"

#include <sys/prctl.h>
#include <sys/resource.h>

void DisableCoreDumps() {
    const rlimit NoCore{0, 0};
    setrlimit(RLIMIT_CORE, &NoCore);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}
