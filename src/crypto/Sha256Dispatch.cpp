#include "crypto/Sha256Core.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace Sha256Core {

namespace {

bool DetectHardware() {
#if defined(__x86_64__) || defined(__i386__)
    // cpuid directly: not every compiler's __builtin_cpu_supports knows the SHA feature.
    unsigned Eax = 0, Ebx = 0, Ecx = 0, Edx = 0;
    if (!__get_cpuid(1, &Eax, &Ebx, &Ecx, &Edx))
        return false;
    const bool Ssse3 = (Ecx & bit_SSSE3) != 0, Sse41 = (Ecx & bit_SSE4_1) != 0;
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid_count(7, 0, Eax, Ebx, Ecx, Edx);
    return Ssse3 && Sse41 && (Ebx & bit_SHA) != 0;
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
