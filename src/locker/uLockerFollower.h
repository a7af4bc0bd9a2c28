#pragma once

#include "platform/PlatformFiles.h"

#include <QString>

#include <cstdint>
#include <memory>

// Checks a locker while it is being written, as VerifyLocker checks a written one: a thread of its
// own reads the header back from the file, derives the key from the password and its slot, reads
// each piece of the payload back from the file once it is written and MACs it; when the writer is
// done it compares the MAC with the stored one and checks the payload's first fields. The writer
// tells it how far it has got; none of its calls block for long, except Finish.
class TLockerFollower {
public:
    // Locker: the stream being written, which must outlive the follower; it is only read, through a
    // view of its own (pread), never moved.
    TLockerFollower(const TFileStream& Locker, const QString& Password);
    // Abandons the check when Finish was not called.
    ~TLockerFollower();
    TLockerFollower(const TLockerFollower&) = delete;
    TLockerFollower& operator=(const TLockerFollower&) = delete;

    // False when no thread could be started: the caller checks the written locker with VerifyLocker.
    bool Started() const;
    // The header (slots and nonce) is written.
    void HeaderWritten();
    // The payload is written up to this offset of the file; any thread may tell.
    void WrittenUpTo(int64_t End);
    // The writer has finished, header completed: waits for the check. True when the locker is
    // sound; otherwise Message says why, as VerifyLocker would.
    bool Finish(QString& Message);

    struct TState;

private:
    std::unique_ptr<TState> F;
};
