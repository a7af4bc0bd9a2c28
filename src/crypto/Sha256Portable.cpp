#include "crypto/Sha256Core.h"

namespace Sha256Core {

const uint32_t InitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

alignas(16) const uint32_t RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

namespace {

inline uint32_t Rotr(uint32_t X, int N) {
    return (X >> N) | (X << (32 - N));
}

// One compression over a block given as 16 message words.
inline void CompressWords(uint32_t State[8], const uint32_t Block[16]) {
    uint32_t W[64];
    for (int i = 0; i < 16; ++i)
        W[i] = Block[i];
    for (int i = 16; i < 64; ++i) {
        const uint32_t S0 = Rotr(W[i - 15], 7) ^ Rotr(W[i - 15], 18) ^ (W[i - 15] >> 3);
        const uint32_t S1 = Rotr(W[i - 2], 17) ^ Rotr(W[i - 2], 19) ^ (W[i - 2] >> 10);
        W[i] = W[i - 16] + S0 + W[i - 7] + S1;
    }
    uint32_t A = State[0], B = State[1], C = State[2], D = State[3];
    uint32_t E = State[4], F = State[5], G = State[6], H = State[7];
    for (int i = 0; i < 64; ++i) {
        const uint32_t T1 =
            H + (Rotr(E, 6) ^ Rotr(E, 11) ^ Rotr(E, 25)) + ((E & F) ^ (~E & G)) + RoundConstants[i] + W[i];
        const uint32_t T2 = (Rotr(A, 2) ^ Rotr(A, 13) ^ Rotr(A, 22)) + ((A & B) ^ (A & C) ^ (B & C));
        H = G;
        G = F;
        F = E;
        E = D + T1;
        D = C;
        C = B;
        B = A;
        A = T1 + T2;
    }
    State[0] += A;
    State[1] += B;
    State[2] += C;
    State[3] += D;
    State[4] += E;
    State[5] += F;
    State[6] += G;
    State[7] += H;
}

} // namespace

void CompressBlocksPortable(uint32_t State[8], const uint8_t* Blocks, size_t Count) {
    uint32_t Words[16];
    for (size_t b = 0; b < Count; ++b, Blocks += 64) {
        for (int i = 0; i < 16; ++i)
            Words[i] = (uint32_t(Blocks[4 * i]) << 24) | (uint32_t(Blocks[4 * i + 1]) << 16) |
                       (uint32_t(Blocks[4 * i + 2]) << 8) | uint32_t(Blocks[4 * i + 3]);
        CompressWords(State, Words);
    }
}

void Pbkdf2RoundsPortable(const uint32_t InnerState[8], const uint32_t OuterState[8], uint32_t U[8], uint32_t T[8],
                          uint32_t Rounds) {
    // Both messages are a 32-byte digest after one 64-byte pad block: 96 bytes = 768 bits.
    uint32_t Block[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0x80000000u, 0, 0, 0, 0, 0, 0, 768};
    uint32_t S[8];
    for (uint32_t r = 0; r < Rounds; ++r) {
        for (int i = 0; i < 8; ++i) {
            Block[i] = U[i];
            S[i] = InnerState[i];
        }
        CompressWords(S, Block);
        for (int i = 0; i < 8; ++i) {
            Block[i] = S[i];
            U[i] = OuterState[i];
        }
        CompressWords(U, Block);
        for (int i = 0; i < 8; ++i)
            T[i] ^= U[i];
    }
}

} // namespace Sha256Core
