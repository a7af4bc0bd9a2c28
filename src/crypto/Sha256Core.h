#pragma once

#include <cstddef>
#include <cstdint>

// Internal SHA-256 compression back ends. States are H0..H7 in host order.
namespace Sha256Core {

extern const uint32_t InitialState[8];
// The 64 round constants, 16-byte aligned for vector loads.
extern const uint32_t RoundConstants[64];

// Compresses Count consecutive 64-byte blocks.
void CompressBlocks(uint32_t State[8], const uint8_t* Blocks, size_t Count);

// The PBKDF2 inner loop: given the HMAC pad states and U1 (as 8 digest words), runs Rounds more
// iterations U(j) = HMAC(U(j-1)) and XORs each into T. Each iteration is two compressions over
// fixed 96-byte messages, so no buffer is touched.
void Pbkdf2Rounds(const uint32_t InnerState[8], const uint32_t OuterState[8], uint32_t U[8], uint32_t T[8],
                  uint32_t Rounds);

bool HardwareAvailable();
void ForcePortable(bool Force);
bool UsingHardware();

void CompressBlocksPortable(uint32_t State[8], const uint8_t* Blocks, size_t Count);
void Pbkdf2RoundsPortable(const uint32_t InnerState[8], const uint32_t OuterState[8], uint32_t U[8], uint32_t T[8],
                          uint32_t Rounds);
#if defined(__x86_64__) || defined(__i386__)
void CompressBlocksShaNi(uint32_t State[8], const uint8_t* Blocks, size_t Count);
void Pbkdf2RoundsShaNi(const uint32_t InnerState[8], const uint32_t OuterState[8], uint32_t U[8], uint32_t T[8],
                       uint32_t Rounds);
#endif

} // namespace Sha256Core
