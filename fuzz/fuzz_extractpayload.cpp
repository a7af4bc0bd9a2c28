#include "MemoryLocker.h"

#include <cstddef>
#include <cstdint>

// Plaintext payloads, as a locker that authenticates would hold them, decoded in memory by the
// engine's codec. Seeds: the payloads of the golden lockers and of the corpus. Findings: sanitizer
// reports and any broken promise of the decoder (MemoryLocker::DecodePayload).

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    (void)MemoryLocker::DecodePayload(QByteArrayView(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size)));
    return 0;
}
