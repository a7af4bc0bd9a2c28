#include "crypto/uCryptoProvider.h"

#include "platform/KelvarnError.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>

namespace {

// OpenSSL's packed error code stands where the platform status would; 0 when it queued none.
uint32_t LastProviderStatus() {
    return static_cast<uint32_t>(ERR_get_error() & 0xFFFFFFFFul);
}

} // namespace

void RaiseProviderError(const QString& Message, uint32_t Status) {
    ERR_clear_error();
    throw EKelvarnError(QStringLiteral("%1 (BCrypt status: 0x%2)")
                            .arg(Message)
                            .arg(QString::number(Status, 16).toUpper().rightJustified(8, QLatin1Char('0'))));
}

THmacSha256::THmacSha256(const QByteArray& Key) {
    // The constructor releases what it obtained if a later step raises.
    struct TGuard {
        THmacSha256* Self;
        bool Done = false;
        ~TGuard() {
            if (!Done)
                Self->~THmacSha256();
        }
    } Guard{this};

    FAlg = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (!FAlg)
        RaiseProviderError(QStringLiteral("Unable to open SHA-256 HMAC provider"), LastProviderStatus());
    FHash = EVP_MAC_CTX_new(FAlg);
    if (!FHash)
        RaiseProviderError(QStringLiteral("Unable to query hash object length"), LastProviderStatus());
    const int DigestSize = EVP_MD_get_size(EVP_sha256());
    if (DigestSize <= 0)
        RaiseProviderError(QStringLiteral("Unable to query hash length"), LastProviderStatus());
    FDigestLen = static_cast<uint32_t>(DigestSize);

    char DigestName[] = "SHA256";
    const OSSL_PARAM Params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, DigestName, 0),
                                 OSSL_PARAM_construct_end()};
    // An empty key must still be given as a key: a null pointer means "keep the previous key".
    static const unsigned char EmptyKey = 0;
    const auto* KeyBytes = Key.isEmpty() ? &EmptyKey : reinterpret_cast<const unsigned char*>(Key.constData());
    if (EVP_MAC_init(FHash, KeyBytes, static_cast<size_t>(Key.size()), Params) != 1)
        RaiseProviderError(QStringLiteral("Unable to create HMAC hash"), LastProviderStatus());
    Guard.Done = true;
}

THmacSha256::~THmacSha256() {
    if (FHash)
        EVP_MAC_CTX_free(FHash);
    FHash = nullptr;
    if (FAlg)
        EVP_MAC_free(FAlg);
    FAlg = nullptr;
}

void THmacSha256::Update(const void* Buffer, int Count) {
    if (Count <= 0)
        return;
    if (EVP_MAC_update(FHash, static_cast<const unsigned char*>(Buffer), static_cast<size_t>(Count)) != 1)
        RaiseProviderError(QStringLiteral("Unable to hash data block"), LastProviderStatus());
}

void THmacSha256::UpdateBytes(const QByteArray& Bytes) {
    if (!Bytes.isEmpty())
        Update(Bytes.constData(), static_cast<int>(Bytes.size()));
}

QByteArray THmacSha256::FinalBytes() {
    QByteArray Result(static_cast<qsizetype>(FDigestLen), '\0');
    size_t Written = 0;
    if (EVP_MAC_final(FHash, reinterpret_cast<unsigned char*>(Result.data()), &Written, Result.size()) != 1 ||
        Written != FDigestLen)
        RaiseProviderError(QStringLiteral("Unable to finalize HMAC hash"), LastProviderStatus());
    return Result;
}

TAesCtrTransform::TAesCtrTransform(const QByteArray& Key, const QByteArray& Nonce) {
    if (Key.size() != 32)
        throw EKelvarnError(QStringLiteral("AES-CTR key must be 32 bytes."));
    if (Nonce.size() != 16)
        throw EKelvarnError(QStringLiteral("AES-CTR nonce must be 16 bytes."));

    struct TGuard {
        TAesCtrTransform* Self;
        bool Done = false;
        ~TGuard() {
            if (!Done)
                Self->~TAesCtrTransform();
        }
    } Guard{this};

    // OpenSSL's CTR mode counts over all 128 bits of the initial block, big-endian, with wrap-around,
    // and keeps its keystream position between calls: exactly the counter mode the format needs,
    // with the keystream made in bulk.
    FAlg = EVP_CIPHER_fetch(nullptr, "AES-256-CTR", nullptr);
    if (!FAlg)
        RaiseProviderError(QStringLiteral("Unable to open AES provider"), LastProviderStatus());
    FKey = EVP_CIPHER_CTX_new();
    if (!FKey)
        RaiseProviderError(QStringLiteral("Unable to query AES object length"), LastProviderStatus());
    const int BlockLen = EVP_CIPHER_get_iv_length(FAlg);
    if (BlockLen <= 0)
        RaiseProviderError(QStringLiteral("Unable to query AES block length"), LastProviderStatus());
    if (BlockLen != 16)
        throw EKelvarnError(QStringLiteral("Unexpected AES block length."));
    FBlockLen = BlockLen;
    if (EVP_EncryptInit_ex2(FKey, FAlg, reinterpret_cast<const unsigned char*>(Key.constData()),
                            reinterpret_cast<const unsigned char*>(Nonce.constData()), nullptr) != 1)
        RaiseProviderError(QStringLiteral("Unable to create AES key"), LastProviderStatus());
    Guard.Done = true;
}

TAesCtrTransform::~TAesCtrTransform() {
    if (FKey)
        EVP_CIPHER_CTX_free(FKey);
    FKey = nullptr;
    if (FAlg)
        EVP_CIPHER_free(FAlg);
    FAlg = nullptr;
}

void TAesCtrTransform::Transform(void* Buffer, int Count) {
    if (Count <= 0)
        return;
    auto* P = static_cast<unsigned char*>(Buffer);
    int Written = 0;
    if (EVP_EncryptUpdate(FKey, P, &Written, P, Count) != 1)
        RaiseProviderError(QStringLiteral("Unable to generate AES-CTR keystream"), LastProviderStatus());
    if (Written != Count)
        throw EKelvarnError(QStringLiteral("Unexpected AES output length."));
}
