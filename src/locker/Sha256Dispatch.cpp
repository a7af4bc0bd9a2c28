#include "Sha256Core.h"

#include <atomic>

namespace Sha256Core {

namespace {

bool DetectHardware() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3");
#else
    return false;
#endif
}

const bool HasHardware = DetectHardware();
std::atomic<bool> PortableForced{false};

} // namespace

bool HardwareAvailable() {
    return HasHardware;
}
void ForcePortable(bool Force) {
    PortableForced.store(Force, std::memory_order_relaxed);
}
bool UsingHardware() {
    return HasHardware && !PortableForced.load(std::memory_order_relaxed);
}

void CompressBlocks(uint32_t State[8], const uint8_t* Blocks, size_t Count) {
#if defined(__x86_64__) || defined(__i386__)
    if (UsingHardware())
        return CompressBlocksShaNi(State, Blocks, Count);
#endif
    CompressBlocksPortable(State, Blocks, Count);
}

void Pbkdf2Rounds(const uint32_t InnerState[8], const uint32_t OuterState[8], uint32_t U[8], uint32_t T[8],
                  uint32_t Rounds) {
#if defined(__x86_64__) || defined(__i386__)
    if (UsingHardware())
        return Pbkdf2RoundsShaNi(InnerState, OuterState, U, T, Rounds);
#endif
    Pbkdf2RoundsPortable(InnerState, OuterState, U, T, Rounds);
}

} // namespace Sha256Core
