#pragma once

#include "crypto/uSecurityUtils.h"

#include <cstddef>
#include <cstdint>

// Random bytes 00 01 02 ... in draw order for one scope, so that a writer's output is fixed.
class TCountingRandom {
public:
    TCountingRandom() {
        SetRandomSourceForTest([Next = uint8_t(0)](char* Buffer, size_t Count) mutable {
            for (size_t I = 0; I < Count; ++I)
                Buffer[I] = static_cast<char>(Next++);
        });
    }
    ~TCountingRandom() { SetRandomSourceForTest(nullptr); }
    TCountingRandom(const TCountingRandom&) = delete;
    TCountingRandom& operator=(const TCountingRandom&) = delete;
};
