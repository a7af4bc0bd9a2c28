#include "platform/KelvarnError.h"
#include "TestHex.h"
#include "crypto/uCryptoProvider.h"
#include "crypto/uSecurityUtils.h"

#include <QRandomGenerator>
#include <QTest>

#include <openssl/evp.h>

namespace {

const QByteArray NistKey = Hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");

QByteArray Random(QRandomGenerator& Rng, int Count) {
    QByteArray Out(Count, '\0');
    for (char& C : Out)
        C = static_cast<char>(Rng.bounded(256));
    return Out;
}

// Reference keystream: AES-256 of nonce + n, the counter held as a 128-bit big-endian number.
QByteArray ReferenceKeystream(const QByteArray& Key, QByteArray Counter, int Blocks) {
    QByteArray Out;
    EVP_CIPHER_CTX* Ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(Ctx, EVP_aes_256_ecb(), nullptr, reinterpret_cast<const unsigned char*>(Key.constData()),
                       nullptr);
    EVP_CIPHER_CTX_set_padding(Ctx, 0);
    for (int b = 0; b < Blocks; ++b) {
        QByteArray Block(16, '\0');
        int Len = 0;
        EVP_EncryptUpdate(Ctx, reinterpret_cast<unsigned char*>(Block.data()), &Len,
                          reinterpret_cast<const unsigned char*>(Counter.constData()), 16);
        Out += Block;
        for (int i = 15; i >= 0; --i) {
            Counter[i] = static_cast<char>(static_cast<uint8_t>(Counter[i]) + 1);
            if (Counter[i] != '\0')
                break;
        }
    }
    EVP_CIPHER_CTX_free(Ctx);
    return Out;
}

QByteArray Keystream(const QByteArray& Key, const QByteArray& Nonce, int Count) {
    QByteArray Out(Count, '\0');
    TAesCtrTransform(Key, Nonce).Transform(Out.data(), Count);
    return Out;
}

} // namespace

class TestCryptoProvider : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Known answers before anything else: the first block of the NIST CTR-AES256 example.
        QByteArray Block = Hex("6bc1bee22e409f96e93d7e117393172a");
        TAesCtrTransform(NistKey, Hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff")).Transform(Block.data(), 16);
        QCOMPARE(Block, Hex("601ec313775789a5b7a7f504bbf3d228"));
        THmacSha256 Mac(QByteArray("Jefe"));
        Mac.UpdateBytes("what do ya want for nothing?");
        QCOMPARE(Mac.FinalBytes(), Hex("5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"));
    }

    // NIST SP 800-38A F.5.5 and F.5.6: the same transform encrypts and decrypts.
    void nistCtrAes256() {
        const QByteArray Nonce = Hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
        const QByteArray Plain = Hex("6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
                                     "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710");
        const QByteArray Cipher = Hex("601ec313775789a5b7a7f504bbf3d228 f443e3ca4d62b59aca84e990cacaf5c5"
                                      "2b0930daa23de94ce87017ba2d84988d dfc9c58db67aada613c2dd08457941a6");
        QByteArray Data = Plain;
        TAesCtrTransform(NistKey, Nonce).Transform(Data.data(), static_cast<int>(Data.size()));
        QCOMPARE(Data, Cipher);
        TAesCtrTransform(NistKey, Nonce).Transform(Data.data(), static_cast<int>(Data.size()));
        QCOMPARE(Data, Plain);
    }

    // The counter is one 128-bit big-endian number: carries run through every byte and wrap at 2^128.
    void counterCarries_data() {
        QTest::addColumn<QByteArray>("Nonce");
        QTest::newRow("last two bytes FF FF") << Hex("00112233445566778899aabbccddffff");
        QTest::newRow("low 32 bits all ones") << Hex("0011223344556677 8899aabbffffffff");
        QTest::newRow("low 64 bits all ones") << Hex("0011223344556677 ffffffffffffffff");
        QTest::newRow("sixteen FF bytes") << Hex("ffffffffffffffffffffffffffffffff");
        QTest::newRow("zero") << Hex("00000000000000000000000000000000");
        QTest::newRow("ordinary") << Hex("0f1e2d3c4b5a69788796a5b4c3d2e1f0");
    }
    void counterCarries() {
        QFETCH(QByteArray, Nonce);
        QCOMPARE(Keystream(NistKey, Nonce, 16 * 6), ReferenceKeystream(NistKey, Nonce, 6));
    }

    void ffffNonceSecondBlock() {
        // The second block encrypts the nonce with its last two bytes at 00 00 and the byte before them + 1.
        const QByteArray Nonce = Hex("00112233445566778899aabbccdd41ffff");
        const QByteArray Nonce16 = Nonce.right(16);
        QByteArray Expected = Nonce16;
        Expected[13] = '\x42';
        Expected[14] = '\0';
        Expected[15] = '\0';
        QCOMPARE(Keystream(NistKey, Nonce16, 32).mid(16), ReferenceKeystream(NistKey, Expected, 1));
        // Sixteen FF bytes wrap to sixteen zero bytes.
        QCOMPARE(Keystream(NistKey, Repeat('\xff', 16), 32).mid(16), ReferenceKeystream(NistKey, Repeat('\0', 16), 1));
    }

    // Any split of a stream into calls gives the bytes of one call over the whole stream.
    void splitsAreTransparent() {
        QRandomGenerator Rng(11);
        const QByteArray Key = Random(Rng, 32), Nonce = Hex("00000000000000000000fffffffffff0");
        const QByteArray Plain = Random(Rng, 5000);
        QByteArray Whole = Plain;
        TAesCtrTransform(Key, Nonce).Transform(Whole.data(), static_cast<int>(Whole.size()));

        const QList<QList<int>> Splits = {{20, 12}, QList<int>(64, 1), {15, 1, 16, 17, 0, -3, 31}, {4999, 1}};
        for (const QList<int>& Split : Splits) {
            QByteArray Data = Plain;
            TAesCtrTransform Transform(Key, Nonce);
            int Pos = 0;
            for (int Count : Split) {
                Transform.Transform(Data.data() + Pos, Count);
                Pos += qMax(Count, 0);
            }
            Transform.Transform(Data.data() + Pos, static_cast<int>(Data.size()) - Pos);
            QCOMPARE(Data, Whole);
        }
        QByteArray Random1 = Plain;
        TAesCtrTransform Transform(Key, Nonce);
        for (int Pos = 0; Pos < Random1.size();) {
            const int Count = qMin(static_cast<int>(Random1.size()) - Pos, static_cast<int>(Rng.bounded(300)));
            Transform.Transform(Random1.data() + Pos, Count);
            Pos += Count;
        }
        QCOMPARE(Random1, Whole);
    }

    void emptyTransformChangesNothing() {
        QByteArray Data = Hex("01020304");
        TAesCtrTransform Transform(NistKey, Hex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff"));
        Transform.Transform(Data.data(), 0);
        Transform.Transform(Data.data(), -4);
        QCOMPARE(Data, Hex("01020304"));
        // Nothing was consumed: the next byte is the first keystream byte.
        Transform.Transform(Data.data(), 1);
        QCOMPARE(static_cast<uint8_t>(Data[0]), static_cast<uint8_t>(0x01 ^ 0x6b ^ 0x60));
    }

    void lengthChecks_data() {
        QTest::addColumn<QByteArray>("Key");
        QTest::addColumn<QByteArray>("Nonce");
        QTest::addColumn<QString>("Message");
        QTest::newRow("31-byte key") << QByteArray(31, 'k') << QByteArray(16, 'n') << "AES-CTR key must be 32 bytes.";
        QTest::newRow("33-byte key") << QByteArray(33, 'k') << QByteArray(16, 'n') << "AES-CTR key must be 32 bytes.";
        QTest::newRow("15-byte nonce") << QByteArray(32, 'k') << QByteArray(15, 'n')
                                       << "AES-CTR nonce must be 16 bytes.";
        QTest::newRow("both wrong") << QByteArray() << QByteArray() << "AES-CTR key must be 32 bytes.";
    }
    void lengthChecks() {
        QFETCH(QByteArray, Key);
        QFETCH(QByteArray, Nonce);
        QFETCH(QString, Message);
        try {
            TAesCtrTransform Transform(Key, Nonce);
            QFAIL("expected an error");
        } catch (const EKelvarnError& E) {
            QCOMPARE(E.Message(), Message);
        }
    }

    void hmacMatchesSoftwareHmac() {
        QRandomGenerator Rng(3);
        for (int KeyLength : {0, 1, 32, 64, 65, 200}) {
            const QByteArray Key = Random(Rng, KeyLength);
            const QByteArray Data = Random(Rng, 100000);
            THmacSha256 Mac(Key);
            Mac.Update(Data.constData(), 0);
            Mac.Update(Data.constData(), -1);
            for (int Pos = 0; Pos < Data.size();) {
                const int Count = qMin(static_cast<int>(Data.size()) - Pos, static_cast<int>(Rng.bounded(9000)));
                Mac.Update(Data.constData() + Pos, Count);
                Pos += Count;
            }
            const QByteArray Result = Mac.FinalBytes();
            QCOMPARE(Result.size(), 32);
            QCOMPARE(Result, HmacSha256(Key, Data));
        }
        THmacSha256 Empty{QByteArray()};
        Empty.UpdateBytes(QByteArray());
        QCOMPARE(Empty.FinalBytes(), HmacSha256(QByteArray(), QByteArray()));
    }

    void providerErrorFormat_data() {
        QTest::addColumn<QString>("Message");
        QTest::addColumn<uint>("Status");
        QTest::addColumn<QString>("Expected");
        QTest::newRow("status 5") << "Unable to open AES provider" << 5u
                                  << "Unable to open AES provider (BCrypt status: 0x00000005)";
        QTest::newRow("upper-case digits")
            << "Unable to hash data block" << 0xC000000Du << "Unable to hash data block (BCrypt status: 0xC000000D)";
        QTest::newRow("zero") << "Unable to create AES key" << 0u
                              << "Unable to create AES key (BCrypt status: 0x00000000)";
    }
    void providerErrorFormat() {
        QFETCH(QString, Message);
        QFETCH(uint, Status);
        QFETCH(QString, Expected);
        try {
            RaiseProviderError(Message, Status);
        } catch (const EKelvarnError& E) {
            QCOMPARE(E.Message(), Expected);
            QCOMPARE(QString::fromStdString(E.what()), Expected);
            return;
        }
        QFAIL("expected an error");
    }
};

QTEST_GUILESS_MAIN(TestCryptoProvider)
#include "test_cryptoprovider.moc"
