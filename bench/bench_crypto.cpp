// Our primitives side by side with OpenSSL's on the same machine, in the same run.
#include "crypto/uCryptoProvider.h"
#include "crypto/uSecurityUtils.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <vector>

namespace {

constexpr int BufferSize = 4 * 1024 * 1024;
constexpr int Iterations = 200000;

QByteArray TestBuffer() {
    QByteArray Data(BufferSize, '\0');
    for (int i = 0; i < BufferSize; ++i)
        Data[i] = static_cast<char>(i * 131 + 7);
    return Data;
}

void BM_Sha256_Ours(benchmark::State& State) {
    const QByteArray Data = TestBuffer();
    for (auto _ : State)
        benchmark::DoNotOptimize(Sha256(Data));
    State.SetBytesProcessed(State.iterations() * BufferSize);
}
BENCHMARK(BM_Sha256_Ours)->Unit(benchmark::kMillisecond);

void BM_Sha256_OpenSsl(benchmark::State& State) {
    const QByteArray Data = TestBuffer();
    unsigned char Digest[32];
    unsigned int Len = 0;
    for (auto _ : State) {
        EVP_Digest(Data.constData(), BufferSize, Digest, &Len, EVP_sha256(), nullptr);
        benchmark::DoNotOptimize(Digest);
    }
    State.SetBytesProcessed(State.iterations() * BufferSize);
}
BENCHMARK(BM_Sha256_OpenSsl)->Unit(benchmark::kMillisecond);

void BM_Pbkdf2_Ours(benchmark::State& State) {
    const QByteArray Salt = "0123456789abcdef";
    for (auto _ : State)
        benchmark::DoNotOptimize(Pbkdf2Sha256(QStringLiteral("correct horse"), Salt, Iterations, 32));
}
BENCHMARK(BM_Pbkdf2_Ours)->Unit(benchmark::kMillisecond);

void BM_Pbkdf2_OpenSsl(benchmark::State& State) {
    const QByteArray Salt = "0123456789abcdef";
    unsigned char Key[32];
    for (auto _ : State) {
        PKCS5_PBKDF2_HMAC("correct horse", 13, reinterpret_cast<const unsigned char*>(Salt.constData()), 16, Iterations,
                          EVP_sha256(), 32, Key);
        benchmark::DoNotOptimize(Key);
    }
}
BENCHMARK(BM_Pbkdf2_OpenSsl)->Unit(benchmark::kMillisecond);

void BM_AesCtr_Ours(benchmark::State& State) {
    QByteArray Data = TestBuffer();
    TAesCtrTransform Transform(QByteArray(32, 'k'), QByteArray(16, 'n'));
    for (auto _ : State) {
        Transform.Transform(Data.data(), BufferSize);
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(State.iterations() * BufferSize);
}
BENCHMARK(BM_AesCtr_Ours)->Unit(benchmark::kMillisecond);

void BM_AesCtr_OpenSsl(benchmark::State& State) {
    QByteArray Data = TestBuffer();
    const unsigned char Key[32] = {1}, Iv[16] = {2};
    EVP_CIPHER_CTX* Ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(Ctx, EVP_aes_256_ctr(), nullptr, Key, Iv);
    auto* P = reinterpret_cast<unsigned char*>(Data.data());
    for (auto _ : State) {
        int Len = 0;
        EVP_EncryptUpdate(Ctx, P, &Len, P, BufferSize);
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(Ctx);
    State.SetBytesProcessed(State.iterations() * BufferSize);
}
BENCHMARK(BM_AesCtr_OpenSsl)->Unit(benchmark::kMillisecond);

void BM_HmacStream_Ours(benchmark::State& State) {
    const QByteArray Data = TestBuffer();
    const QByteArray Key(32, 'm');
    for (auto _ : State) {
        THmacSha256 Mac(Key);
        Mac.Update(Data.constData(), BufferSize);
        benchmark::DoNotOptimize(Mac.FinalBytes());
    }
    State.SetBytesProcessed(State.iterations() * BufferSize);
}
BENCHMARK(BM_HmacStream_Ours)->Unit(benchmark::kMillisecond);

void BM_HmacStream_OpenSsl(benchmark::State& State) {
    const QByteArray Data = TestBuffer();
    const unsigned char Key[32] = {3};
    unsigned char Mac[32];
    unsigned int Len = 0;
    for (auto _ : State) {
        HMAC(EVP_sha256(), Key, 32, reinterpret_cast<const unsigned char*>(Data.constData()), BufferSize, Mac, &Len);
        benchmark::DoNotOptimize(Mac);
    }
    State.SetBytesProcessed(State.iterations() * BufferSize);
}
BENCHMARK(BM_HmacStream_OpenSsl)->Unit(benchmark::kMillisecond);

} // namespace
