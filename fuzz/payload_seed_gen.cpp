#include "GoldenLockers.h"
#include "FieldCodec.h"
#include "LockerCorpus.h"
#include "crypto/uCryptoProvider.h"
#include "locker/uLockerFormat.h"
#include "crypto/uSecurityUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>

// Writes the plaintext payloads of real lockers into a folder, one <name>.payload each (seeds for
// fuzz_extractpayload): the golden lockers, and every case of the locker corpus that opens with its
// secret, hostile ones included.

namespace {

// Seeds stay small: the fuzzer's input length follows the largest one.
constexpr int64_t MaxSeedBytes = 65536;

// The payload of Locker decrypted under the slot that opens with Secret, if one does.
std::optional<QByteArray> DecryptPayload(const QString& Locker, const QString& Secret) {
    TFileStream Stream(Locker, TFileStream::TMode::OpenReadShared);
    const TLockerHeader Header = ReadLockerHeader(Stream);
    if (Header.Length > MaxSeedBytes || Header.Length > Stream.Size() - Header.PayloadStart)
        return std::nullopt;
    for (const TLockerSlot* Slot : {&Header.Password, &Header.Recovery}) {
        if (Slot->Iterations <= 0 || Slot->Iterations > LockerFormat::Iterations)
            continue;
        const QByteArray Master =
            XorBytes(Slot->Wrapped, Pbkdf2Sha256(Secret, Slot->Salt, Slot->Iterations, LockerFormat::KeySize));
        if (ComputePayloadMac(Stream, Header.PayloadStart, Header.Length, DeriveMacKey(Master), Header.Nonce) !=
            Header.StoredMac)
            continue;
        QByteArray Payload(static_cast<qsizetype>(Header.Length), '\0');
        Stream.Seek(Header.PayloadStart);
        Stream.ReadBuffer(Payload.data(), Payload.size());
        TAesCtrTransform Transform(DeriveEncryptionKey(Master), Header.Nonce);
        Transform.Transform(Payload.data(), static_cast<int>(Payload.size()));
        return Payload;
    }
    return std::nullopt;
}

bool WriteSeed(const QString& Folder, const QString& Name, const std::optional<QByteArray>& Payload) {
    if (!Payload)
        return false;
    QFile File(QDir(Folder).filePath(Name + QStringLiteral(".payload")));
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate) || File.write(*Payload) != Payload->size())
        throw std::runtime_error("cannot write a seed");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER GOLDEN_FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const QString Folder = QString::fromLocal8Bit(argv[1]);
        QDir().mkpath(Folder);
        int Count = 0;
        const QDir Golden(QString::fromLocal8Bit(argv[2]));
        for (const QFileInfo& Locker : Golden.entryInfoList({QStringLiteral("*.kvlocker")}, QDir::Files))
            Count += WriteSeed(Folder, QStringLiteral("golden-") + Locker.completeBaseName(),
                               DecryptPayload(Locker.filePath(), GoldenPassword));
        QTemporaryDir Scratch;
        for (const TCorpusCase& Case : BuildLockerCorpus()) {
            const QString Path = Scratch.filePath(QStringLiteral("case.kvlocker"));
            QFile File(Path);
            if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate) || File.write(Case.Bytes) != Case.Bytes.size())
                throw std::runtime_error("cannot write a corpus locker");
            File.close();
            try {
                Count += WriteSeed(Folder, QStringLiteral("corpus-") + Case.Name, DecryptPayload(Path, Case.Secret));
            } catch (const std::exception&) {
                // A case whose header does not read holds no payload to seed with.
            }
        }
        std::printf("%d payloads written\n", Count);
        return 0;
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s\n", Error.what());
        return 1;
    }
}
