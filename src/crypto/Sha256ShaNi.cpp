// SHA-256 on the x86 SHA extensions. Compiled for every x86 build through function target
// attributes and only called after the CPU has been checked.
#include "crypto/Sha256Core.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace Sha256Core {

namespace {

#define KELVARN_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// Four rounds with the message words M (W[k..k+3]) on the working state ABEF / CDGH.
#define QROUND(M, k)                                                                                                   \
    do {                                                                                                               \
        __m128i Msg_ = _mm_add_epi32((M), _mm_load_si128(reinterpret_cast<const __m128i*>(&RoundConstants[(k)])));     \
        S1 = _mm_sha256rnds2_epu32(S1, S0, Msg_);                                                                      \
        Msg_ = _mm_shuffle_epi32(Msg_, 0x0E);                                                                          \
        S0 = _mm_sha256rnds2_epu32(S0, S1, Msg_);                                                                      \
    } while (0)

// Next four schedule words into A, from the window A (oldest), B, C, D (newest).
#define SCHED(A, B, C, D)                                                                                              \
    A = _mm_sha256msg2_epu32(_mm_add_epi32(_mm_sha256msg1_epu32((A), (B)), _mm_alignr_epi8((D), (C), 4)), (D))

// One compression of the message M0..M3 (W0..W15 as word values) into S0 (ABEF) and S1 (CDGH).
KELVARN_SHA_TARGET inline void Compress(__m128i& S0In, __m128i& S1In, __m128i M0, __m128i M1, __m128i M2, __m128i M3) {
    __m128i S0 = S0In, S1 = S1In;
    QROUND(M0, 0);
    QROUND(M1, 4);
    QROUND(M2, 8);
    QROUND(M3, 12);
    for (int k = 16; k < 64; k += 16) {
        SCHED(M0, M1, M2, M3);
        QROUND(M0, k);
        SCHED(M1, M2, M3, M0);
        QROUND(M1, k + 4);
        SCHED(M2, M3, M0, M1);
        QROUND(M2, k + 8);
        SCHED(M3, M0, M1, M2);
        QROUND(M3, k + 12);
    }
    S0In = _mm_add_epi32(S0In, S0);
    S1In = _mm_add_epi32(S1In, S1);
}

// H0..H7 -> ABEF / CDGH.
KELVARN_SHA_TARGET inline void ToWorking(const uint32_t State[8], __m128i& S0, __m128i& S1) {
    __m128i Tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&State[0]));
    S1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&State[4]));
    Tmp = _mm_shuffle_epi32(Tmp, 0xB1);
    S1 = _mm_shuffle_epi32(S1, 0x1B);
    S0 = _mm_alignr_epi8(Tmp, S1, 8);
    S1 = _mm_blend_epi16(S1, Tmp, 0xF0);
}

// ABEF / CDGH -> (H0..H3), (H4..H7), which are also the first eight message words of a digest.
KELVARN_SHA_TARGET inline void FromWorking(__m128i S0, __m128i S1, __m128i& Lo, __m128i& Hi) {
    const __m128i Tmp = _mm_shuffle_epi32(S0, 0x1B);
    S1 = _mm_shuffle_epi32(S1, 0xB1);
    Lo = _mm_blend_epi16(Tmp, S1, 0xF0);
    Hi = _mm_alignr_epi8(S1, Tmp, 8);
}

} // namespace

KELVARN_SHA_TARGET void CompressBlocksShaNi(uint32_t State[8], const uint8_t* Blocks, size_t Count) {
    const __m128i ByteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i S0, S1;
    ToWorking(State, S0, S1);
    for (size_t b = 0; b < Count; ++b, Blocks += 64) {
        const __m128i* P = reinterpret_cast<const __m128i*>(Blocks);
        Compress(S0, S1, _mm_shuffle_epi8(_mm_loadu_si128(P), ByteSwap),
                 _mm_shuffle_epi8(_mm_loadu_si128(P + 1), ByteSwap), _mm_shuffle_epi8(_mm_loadu_si128(P + 2), ByteSwap),
                 _mm_shuffle_epi8(_mm_loadu_si128(P + 3), ByteSwap));
    }
    __m128i Lo, Hi;
    FromWorking(S0, S1, Lo, Hi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&State[0]), Lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&State[4]), Hi);
}

KELVARN_SHA_TARGET void Pbkdf2RoundsShaNi(const uint32_t InnerState[8], const uint32_t OuterState[8], uint32_t U[8],
                                          uint32_t T[8], uint32_t Rounds) {
    // 96-byte messages: the digest, then 0x80, zeros and the bit length 768.
    const __m128i Pad0 = _mm_set_epi32(0, 0, 0, static_cast<int>(0x80000000u));
    const __m128i Pad1 = _mm_set_epi32(768, 0, 0, 0);
    __m128i I0, I1, O0, O1;
    ToWorking(InnerState, I0, I1);
    ToWorking(OuterState, O0, O1);
    __m128i U0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&U[0]));
    __m128i U1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&U[4]));
    __m128i T0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&T[0]));
    __m128i T1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&T[4]));
    for (uint32_t r = 0; r < Rounds; ++r) {
        __m128i S0 = I0, S1 = I1;
        Compress(S0, S1, U0, U1, Pad0, Pad1);
        __m128i H0, H1;
        FromWorking(S0, S1, H0, H1);
        S0 = O0;
        S1 = O1;
        Compress(S0, S1, H0, H1, Pad0, Pad1);
        FromWorking(S0, S1, U0, U1);
        T0 = _mm_xor_si128(T0, U0);
        T1 = _mm_xor_si128(T1, U1);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&U[0]), U0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&U[4]), U1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&T[0]), T0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&T[4]), T1);
}

} // namespace Sha256Core

#endif
