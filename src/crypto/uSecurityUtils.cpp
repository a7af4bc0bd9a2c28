#include "crypto/uSecurityUtils.h"

#include "platform/KelvarnError.h"
#include "crypto/Sha256Core.h"

#include <cerrno>
#include <cstring>
#include <string.h>
#include <sys/random.h>

namespace Sha256Engine {

bool HardwareAvailable() {
    return Sha256Core::HardwareAvailable();
}
void ForcePortable(bool Force) {
    Sha256Core::ForcePortable(Force);
}
bool UsingHardware() {
    return Sha256Core::UsingHardware();
}

TSha256::TSha256() : FBlockLen(0), FTotal(0) {
    std::memcpy(FState, Sha256Core::InitialState, sizeof FState);
}

void TSha256::Update(const void* Data, size_t Count) {
    if (Count == 0)
        return;
    auto* P = static_cast<const uint8_t*>(Data);
    FTotal += Count;
    if (FBlockLen > 0) {
        const size_t Take = Count < 64 - FBlockLen ? Count : 64 - FBlockLen;
        std::memcpy(FBlock + FBlockLen, P, Take);
        FBlockLen += Take;
        P += Take;
        Count -= Take;
        if (FBlockLen < 64)
            return;
        Sha256Core::CompressBlocks(FState, FBlock, 1);
        FBlockLen = 0;
    }
    if (Count >= 64) {
        Sha256Core::CompressBlocks(FState, P, Count / 64);
        P += Count / 64 * 64;
        Count %= 64;
    }
    if (Count > 0) {
        std::memcpy(FBlock, P, Count);
        FBlockLen = Count;
    }
}

void TSha256::Final(uint8_t Digest[32]) {
    const uint64_t Bits = FTotal * 8;
    uint8_t Pad[72] = {0x80};
    const size_t PadLen = (FBlockLen < 56 ? 56 : 120) - FBlockLen;
    for (int i = 0; i < 8; ++i)
        Pad[PadLen + i] = static_cast<uint8_t>(Bits >> (56 - 8 * i));
    Update(Pad, PadLen + 8);
    for (int i = 0; i < 8; ++i) {
        Digest[4 * i] = static_cast<uint8_t>(FState[i] >> 24);
        Digest[4 * i + 1] = static_cast<uint8_t>(FState[i] >> 16);
        Digest[4 * i + 2] = static_cast<uint8_t>(FState[i] >> 8);
        Digest[4 * i + 3] = static_cast<uint8_t>(FState[i]);
    }
    explicit_bzero(FBlock, sizeof FBlock);
}

void TSha256::Wipe() {
    explicit_bzero(FState, sizeof FState);
    explicit_bzero(FBlock, sizeof FBlock);
    FBlockLen = 0;
    FTotal = 0;
}

} // namespace Sha256Engine

namespace {

using Sha256Engine::TSha256;

// The HMAC key block: the key itself, or its digest when longer than a block, padded with zeros.
void HmacKeyBlock(const QByteArray& Key, uint8_t Block[64]) {
    std::memset(Block, 0, 64);
    if (Key.size() > 64) {
        TSha256 H;
        H.Update(Key.constData(), static_cast<size_t>(Key.size()));
        H.Final(Block);
    } else if (!Key.isEmpty()) {
        std::memcpy(Block, Key.constData(), static_cast<size_t>(Key.size()));
    }
}

// A keyed HMAC whose pad states are computed once and reused for many messages.
class THmacKey {
public:
    explicit THmacKey(const QByteArray& Key) {
        uint8_t Block[64];
        HmacKeyBlock(Key, Block);
        uint8_t Pad[64];
        for (int i = 0; i < 64; ++i)
            Pad[i] = Block[i] ^ 0x36;
        FInner.Update(Pad, 64);
        for (int i = 0; i < 64; ++i)
            Pad[i] = Block[i] ^ 0x5C;
        FOuter.Update(Pad, 64);
        explicit_bzero(Block, sizeof Block);
        explicit_bzero(Pad, sizeof Pad);
    }
    // The pad states are the key in another form.
    ~THmacKey() {
        FInner.Wipe();
        FOuter.Wipe();
    }
    THmacKey(const THmacKey&) = delete;
    THmacKey& operator=(const THmacKey&) = delete;

    // MAC over the concatenation of two pieces.
    void Mac(const void* A, size_t ACount, const void* B, size_t BCount, uint8_t Out[32]) const {
        TSha256 Inner = FInner;
        Inner.Update(A, ACount);
        Inner.Update(B, BCount);
        uint8_t InnerDigest[32];
        Inner.Final(InnerDigest);
        TSha256 Outer = FOuter;
        Outer.Update(InnerDigest, 32);
        Outer.Final(Out);
        Inner.Wipe();
        Outer.Wipe();
        explicit_bzero(InnerDigest, sizeof InnerDigest);
    }

    // After the 64-byte pad block, the hash states are the PBKDF2 loop's starting points.
    const TSha256& Inner() const { return FInner; }
    const TSha256& Outer() const { return FOuter; }

private:
    TSha256 FInner;
    TSha256 FOuter;
};

void WordsFromDigest(const uint8_t Digest[32], uint32_t Words[8]) {
    for (int i = 0; i < 8; ++i)
        Words[i] = (uint32_t(Digest[4 * i]) << 24) | (uint32_t(Digest[4 * i + 1]) << 16) |
                   (uint32_t(Digest[4 * i + 2]) << 8) | uint32_t(Digest[4 * i + 3]);
}

void DigestFromWords(const uint32_t Words[8], uint8_t* Digest, int Count) {
    for (int i = 0; i < Count; ++i)
        Digest[i] = static_cast<uint8_t>(Words[i / 4] >> (24 - 8 * (i % 4)));
}

TRandomSource& RandomSourceForTest() {
    static TRandomSource Source;
    return Source;
}

} // namespace

void SetRandomSourceForTest(TRandomSource Source) {
    RandomSourceForTest() = std::move(Source);
}

QByteArray RandomBytes(int Count) {
    if (Count < 0)
        throw EKelvarnError(QStringLiteral("Range check error"));
    QByteArray Result(Count, Qt::Uninitialized);
    if (const TRandomSource& Source = RandomSourceForTest()) {
        Source(Result.data(), static_cast<size_t>(Count));
        return Result;
    }
    char* P = Result.data();
    size_t Left = static_cast<size_t>(Count);
    while (Left > 0) {
        const ssize_t Got = getrandom(P, Left, 0);
        if (Got < 0) {
            if (errno == EINTR)
                continue;
            throw EKelvarnError(
                QStringLiteral("Unable to read random bytes: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        }
        P += Got;
        Left -= static_cast<size_t>(Got);
    }
    return Result;
}

QByteArray Utf8Bytes(const QString& Text) {
    // Encoded by hand: Qt 6.4's toUtf8 writes "?" for an unpaired surrogate, and a password must map
    // to the same bytes whatever Qt version derives its key; U+FFFD is the standard replacement.
    QByteArray Out;
    Out.reserve(Text.size() * 3);
    // constData, not utf16: on a string over static data (a literal) utf16 copies it into a new
    // buffer, which writes the string object, and two threads may derive from the same password.
    const char16_t* P = reinterpret_cast<const char16_t*>(Text.constData());
    const qsizetype N = Text.size();
    for (qsizetype i = 0; i < N; ++i) {
        uint32_t C = P[i];
        if (C >= 0xD800 && C <= 0xDFFF) {
            if (C <= 0xDBFF && i + 1 < N && P[i + 1] >= 0xDC00 && P[i + 1] <= 0xDFFF) {
                C = 0x10000 + ((C - 0xD800) << 10) + (P[i + 1] - 0xDC00);
                ++i;
            } else {
                C = 0xFFFD;
            }
        }
        if (C < 0x80) {
            Out.append(static_cast<char>(C));
        } else if (C < 0x800) {
            Out.append(static_cast<char>(0xC0 | (C >> 6)));
            Out.append(static_cast<char>(0x80 | (C & 0x3F)));
        } else if (C < 0x10000) {
            Out.append(static_cast<char>(0xE0 | (C >> 12)));
            Out.append(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
            Out.append(static_cast<char>(0x80 | (C & 0x3F)));
        } else {
            Out.append(static_cast<char>(0xF0 | (C >> 18)));
            Out.append(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
            Out.append(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
            Out.append(static_cast<char>(0x80 | (C & 0x3F)));
        }
    }
    return Out;
}

QString BytesToHex(const QByteArray& Bytes) {
    static const char Digits[] = "0123456789ABCDEF";
    QString Result(Bytes.size() * 2, Qt::Uninitialized);
    QChar* Out = Result.data();
    for (const char C : Bytes) {
        const auto B = static_cast<uint8_t>(C);
        *Out++ = QLatin1Char(Digits[B >> 4]);
        *Out++ = QLatin1Char(Digits[B & 0x0F]);
    }
    return Result;
}

bool ConstantTimeEquals(const QByteArray& A, const QByteArray& B) {
    if (A.size() != B.size())
        return false;
    const auto* PA = reinterpret_cast<const volatile uint8_t*>(A.constData());
    const auto* PB = reinterpret_cast<const volatile uint8_t*>(B.constData());
    uint8_t Acc = 0;
    for (qsizetype i = 0; i < A.size(); ++i)
        Acc |= PA[i] ^ PB[i];
    return Acc == 0;
}

QByteArray Sha256(const QByteArray& Bytes) {
    TSha256 H;
    H.Update(Bytes.constData(), static_cast<size_t>(Bytes.size()));
    QByteArray Result(32, Qt::Uninitialized);
    H.Final(reinterpret_cast<uint8_t*>(Result.data()));
    return Result;
}

QByteArray HmacSha256(const QByteArray& Key, const QByteArray& Data) {
    const THmacKey Mac(Key);
    QByteArray Result(32, Qt::Uninitialized);
    Mac.Mac(Data.constData(), static_cast<size_t>(Data.size()), nullptr, 0, reinterpret_cast<uint8_t*>(Result.data()));
    return Result;
}

QByteArray Pbkdf2Sha256(const QString& Password, const QByteArray& Salt, int Iterations, int Length) {
    if (Iterations <= 0)
        throw EKelvarnError(QStringLiteral("Iterations must be positive."));
    if (Length <= 0)
        return QByteArray();
    QByteArray PasswordBytes = Utf8Bytes(Password);
    const THmacKey Mac(PasswordBytes);
    WipeBytes(PasswordBytes);

    uint32_t InnerState[8], OuterState[8];
    std::memcpy(InnerState, Mac.Inner().StateWords(), sizeof InnerState);
    std::memcpy(OuterState, Mac.Outer().StateWords(), sizeof OuterState);

    QByteArray Result(Length, Qt::Uninitialized);
    const int Blocks = (Length + 31) / 32;
    for (int Index = 1; Index <= Blocks; ++Index) {
        const uint8_t Counter[4] = {static_cast<uint8_t>(Index >> 24), static_cast<uint8_t>(Index >> 16),
                                    static_cast<uint8_t>(Index >> 8), static_cast<uint8_t>(Index)};
        uint8_t First[32];
        Mac.Mac(Salt.constData(), static_cast<size_t>(Salt.size()), Counter, 4, First);
        uint32_t U[8], T[8];
        WordsFromDigest(First, U);
        std::memcpy(T, U, sizeof T);
        Sha256Core::Pbkdf2Rounds(InnerState, OuterState, U, T, static_cast<uint32_t>(Iterations - 1));
        const int Offset = (Index - 1) * 32;
        DigestFromWords(T, reinterpret_cast<uint8_t*>(Result.data()) + Offset, qMin(32, Length - Offset));
        explicit_bzero(First, sizeof First);
        explicit_bzero(U, sizeof U);
        explicit_bzero(T, sizeof T);
    }
    explicit_bzero(InnerState, sizeof InnerState);
    explicit_bzero(OuterState, sizeof OuterState);
    return Result;
}

QString GenerateRecoveryCode() {
    const QString Hex = BytesToHex(RandomBytes(16));
    QString Code;
    Code.reserve(39);
    for (int Group = 0; Group < 8; ++Group) {
        if (Group > 0)
            Code += QLatin1Char('-');
        Code += Hex.mid(Group * 4, 4);
    }
    return Code;
}

std::optional<QString> CanonicalRecoveryCode(const QString& Typed) {
    constexpr int Groups = 8, GroupSize = 4;
    // Reserved once so that no reallocation leaves a copy of the code behind.
    QString Code;
    Code.reserve(Groups * (GroupSize + 1));
    int Digits = 0;
    for (const QChar Char : Typed) {
        const char16_t C = Char.unicode();
        if (C == u'-' || C == u' ')
            continue;
        // ASCII only: folding all of Unicode would let look-alike letters pass as hex digits.
        const bool Hex = (C >= u'0' && C <= u'9') || (C >= u'A' && C <= u'F') || (C >= u'a' && C <= u'f');
        if (!Hex || Digits == Groups * GroupSize) {
            WipeString(Code);
            return std::nullopt;
        }
        if (Digits > 0 && Digits % GroupSize == 0)
            Code += QLatin1Char('-');
        Code += QChar(C >= u'a' ? static_cast<char16_t>(C - u'a' + u'A') : C);
        ++Digits;
    }
    if (Digits != Groups * GroupSize) {
        WipeString(Code);
        return std::nullopt;
    }
    return Code;
}

void HmacCtrXor(QByteArray& Data, const QByteArray& Key, const QByteArray& Nonce) {
    if (Data.isEmpty())
        return;
    const THmacKey Mac(Key);
    auto* P = reinterpret_cast<uint8_t*>(Data.data());
    const qsizetype Size = Data.size();
    uint8_t Block[32];
    for (qsizetype Offset = 0, Counter = 0; Offset < Size; Offset += 32, ++Counter) {
        const auto C = static_cast<uint32_t>(Counter);
        const uint8_t CounterBytes[4] = {static_cast<uint8_t>(C >> 24), static_cast<uint8_t>(C >> 16),
                                         static_cast<uint8_t>(C >> 8), static_cast<uint8_t>(C)};
        Mac.Mac(Nonce.constData(), static_cast<size_t>(Nonce.size()), CounterBytes, 4, Block);
        const qsizetype N = qMin<qsizetype>(32, Size - Offset);
        for (qsizetype k = 0; k < N; ++k)
            P[Offset + k] ^= Block[k];
    }
    explicit_bzero(Block, sizeof Block);
}

void WipeBytes(QByteArray& Bytes) {
    // Wiping a shared buffer would only wipe a fresh copy; then dropping our reference is all we can do.
    if (!Bytes.isEmpty() && Bytes.isDetached())
        explicit_bzero(Bytes.data(), static_cast<size_t>(Bytes.size()));
    Bytes.clear();
}

void WipeString(QString& Text) {
    if (!Text.isEmpty() && Text.isDetached())
        explicit_bzero(Text.data(), static_cast<size_t>(Text.size()) * sizeof(QChar));
    Text.clear();
}
