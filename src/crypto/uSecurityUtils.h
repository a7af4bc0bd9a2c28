#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

// Stateless helpers for everything secret: random bytes, UTF-8, hex, constant-time comparison,
// SHA-256, HMAC-SHA256, PBKDF2-HMAC-SHA256, recovery codes and an HMAC-based keystream cipher.

// Count bytes from the operating system's CSPRNG (getrandom). Count < 0 raises.
QByteArray RandomBytes(int Count);
// Replaces the CSPRNG for tests that must rebuild files byte for byte from fixed inputs; an empty
// source restores it.
using TRandomSource = std::function<void(char* Buffer, size_t Count)>;
void SetRandomSourceForTest(TRandomSource Source);
// UTF-8 without byte-order mark or terminator; an unpaired surrogate becomes U+FFFD.
QByteArray Utf8Bytes(const QString& Text);
// Two upper-case hexadecimal digits per byte.
QString BytesToHex(const QByteArray& Bytes);
// No early exit over equal-length inputs; different lengths are unequal.
bool ConstantTimeEquals(const QByteArray& A, const QByteArray& B);

QByteArray Sha256(const QByteArray& Bytes);
QByteArray HmacSha256(const QByteArray& Key, const QByteArray& Data);
// Raises "Iterations must be positive." when Iterations <= 0, before anything else.
QByteArray Pbkdf2Sha256(const QString& Password, const QByteArray& Salt, int Iterations, int Length);
// 8 groups of 4 upper-case hex digits joined by "-": 39 characters.
QString GenerateRecoveryCode();
// The code as GenerateRecoveryCode writes it when Typed is one: its 32 hex digits in either case,
// hyphens and spaces anywhere. Anything else (another character, another digit count) gives nothing.
std::optional<QString> CanonicalRecoveryCode(const QString& Typed);
// XORs Data with HmacSha256(Key, Nonce || counter as 4 bytes big-endian), counter from 0. Its own inverse.
void HmacCtrXor(QByteArray& Data, const QByteArray& Key, const QByteArray& Nonce);

// Overwrites a secret before its memory is released.
void WipeBytes(QByteArray& Bytes);
void WipeString(QString& Text);
inline void WipeSecret(QByteArray& Bytes) {
    WipeBytes(Bytes);
}
inline void WipeSecret(QString& Text) {
    WipeString(Text);
}

// The one owner of a secret (a key, a password): wiped when the owner goes, on every path.
template <typename T> struct TSecret {
    T Value;
    TSecret() = default;
    explicit TSecret(T Initial) : Value(std::move(Initial)) {}
    TSecret(const TSecret&) = delete;
    TSecret& operator=(const TSecret&) = delete;
    ~TSecret() { WipeSecret(Value); }
};
using TSecretBytes = TSecret<QByteArray>;
using TSecretText = TSecret<QString>;

// The SHA-256 engine: the CPU's SHA extensions when present, portable code otherwise.
namespace Sha256Engine {
bool HardwareAvailable();
// Forces the portable implementation (tests run every vector through both paths).
void ForcePortable(bool Force);
bool UsingHardware();

// Incremental SHA-256 over our own state, for callers that stream data.
class TSha256 {
public:
    TSha256();
    void Update(const void* Data, size_t Count);
    void Final(uint8_t Digest[32]);
    // The chaining words; meaningful only after whole blocks have been absorbed.
    const uint32_t* StateWords() const { return FState; }
    // Zeroes everything the object holds (a keyed state is as secret as the key); the object must
    // not be used again.
    void Wipe();

private:
    uint32_t FState[8];
    uint8_t FBlock[64];
    size_t FBlockLen;
    uint64_t FTotal;
};
} // namespace Sha256Engine
