// Progress and cancel, as the writer and the reader report and heed them on the caller's thread.
#include "locker/uLocker.h"

#include "platform/KelvarnError.h"
#include "translation/translation.h"

#include <chrono>

namespace {

constexpr int64_t ProgressStepBytes = 8388608;
constexpr uint64_t ProgressIntervalMs = 120;

} // namespace

uint64_t LockerTickCount() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void TProgressThrottle::ReportAt(const QString& Path, int64_t Done, int64_t Total, uint64_t Now) {
    if (!FProgress)
        return;
    if (Done > 0 && Done < Total) {
        const int64_t Step = FLastDone < 0 ? ProgressStepBytes : Done - FLastDone;
        if (Step < ProgressStepBytes && Now - FLastTick < ProgressIntervalMs)
            return;
    }
    FProgress(Path, Done, Total);
    FLastDone = Done;
    FLastTick = Now;
}

void TProgressThrottle::Report(const QString& Path, int64_t Done, int64_t Total) {
    if (FProgress)
        ReportAt(Path, Done, Total, LockerTickCount());
}

void CheckCancelled(const TLockerCancelFunc& Cancel) {
    if (Cancel && Cancel())
        throw EKelvarnError(Translate("Operation cancelled by user."));
}
