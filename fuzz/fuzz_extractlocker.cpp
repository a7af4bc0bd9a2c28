#include "LockerCorpus.h"
#include "MemoryLocker.h"

#include <cstddef>
#include <cstdint>

// Whole lockers in memory, opened with the corpus password: the header, the slots and the MAC, then
// the payload through the codec. Seeds: the generated corpus. Findings: sanitizer reports and any
// broken promise of the decoder (MemoryLocker::DecodePayload).

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const QByteArrayView Locker(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    QString Problem;
    // Large iteration counts only make the fuzzer slow; the corpus test covers their handling.
    const QByteArray Plaintext = MemoryLocker::OpenLocker(Locker, CorpusPassword, Problem, 16);
    if (Problem.isEmpty())
        (void)MemoryLocker::DecodePayload(Plaintext);
    return 0;
}
