#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Bulk cryptography on OpenSSL 3 libcrypto (EVP), behind wrappers that own their handles.

// Raises EKelvarnError("<Message> (BCrypt status: 0xXXXXXXXX)"), the status in 8 upper-case digits.
[[noreturn]] void RaiseProviderError(const QString& Message, uint32_t Status);

// Incremental HMAC-SHA256: Create -> Update* -> FinalBytes once.
class THmacSha256 {
public:
    explicit THmacSha256(const QByteArray& Key);
    ~THmacSha256();
    THmacSha256(const THmacSha256&) = delete;
    THmacSha256& operator=(const THmacSha256&) = delete;

    void Update(const void* Buffer, int Count);
    void UpdateBytes(const QByteArray& Bytes);
    QByteArray FinalBytes();

private:
    struct evp_mac_st* FAlg = nullptr;
    struct evp_mac_ctx_st* FHash = nullptr;
    uint32_t FDigestLen = 0;
};

// AES-256 in counter mode: a 128-bit big-endian counter starting at the nonce, wrapping modulo 2^128.
// Transform XORs the next keystream bytes into the buffer; the position carries across calls.
class TAesCtrTransform {
public:
    TAesCtrTransform(const QByteArray& Key, const QByteArray& Nonce);
    ~TAesCtrTransform();
    TAesCtrTransform(const TAesCtrTransform&) = delete;
    TAesCtrTransform& operator=(const TAesCtrTransform&) = delete;

    void Transform(void* Buffer, int Count);

private:
    struct evp_cipher_st* FAlg = nullptr;
    struct evp_cipher_ctx_st* FKey = nullptr;
    int FBlockLen = 0;
};
