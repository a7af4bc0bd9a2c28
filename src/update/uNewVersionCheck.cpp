#include "uNewVersionCheck.h"

bool CheckForNewVersion() {
    // The check over HTTPS is not built yet: no update is ever offered.
    return false;
}
