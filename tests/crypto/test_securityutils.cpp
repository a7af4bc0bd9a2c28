#include "platform/KelvarnError.h"
#include "TestHex.h"
#include "crypto/uSecurityUtils.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

#include <openssl/evp.h>
#include <openssl/hmac.h>

// Every test runs twice: once on the CPU's SHA extensions (when present), once on the portable code.
class TestSecurityUtils : public QObject {
    Q_OBJECT
public:
    explicit TestSecurityUtils(bool Portable) : FPortable(Portable) {}

private:
    bool FPortable;

    static QByteArray OpenSslSha256(const QByteArray& Data) {
        QByteArray Out(32, '\0');
        unsigned int Len = 0;
        EVP_Digest(Data.constData(), static_cast<size_t>(Data.size()), reinterpret_cast<unsigned char*>(Out.data()),
                   &Len, EVP_sha256(), nullptr);
        return Out;
    }
    static QByteArray OpenSslHmac(const QByteArray& Key, const QByteArray& Data) {
        QByteArray Out(32, '\0');
        unsigned int Len = 0;
        static const unsigned char Empty = 0;
        HMAC(EVP_sha256(), Key.isEmpty() ? &Empty : reinterpret_cast<const unsigned char*>(Key.constData()),
             static_cast<int>(Key.size()), reinterpret_cast<const unsigned char*>(Data.constData()),
             static_cast<size_t>(Data.size()), reinterpret_cast<unsigned char*>(Out.data()), &Len);
        return Out;
    }
    static QByteArray OpenSslPbkdf2(const QByteArray& Password, const QByteArray& Salt, int Iterations, int Length) {
        QByteArray Out(Length, '\0');
        PKCS5_PBKDF2_HMAC(Password.constData(), static_cast<int>(Password.size()),
                          reinterpret_cast<const unsigned char*>(Salt.constData()), static_cast<int>(Salt.size()),
                          Iterations, EVP_sha256(), Length, reinterpret_cast<unsigned char*>(Out.data()));
        return Out;
    }
    static QByteArray Random(QRandomGenerator& Rng, int Count) {
        QByteArray Out(Count, '\0');
        for (char& C : Out)
            C = static_cast<char>(Rng.bounded(256));
        return Out;
    }

private slots:
    void initTestCase() {
        Sha256Engine::ForcePortable(FPortable);
        QCOMPARE(Sha256Engine::UsingHardware(), !FPortable && Sha256Engine::HardwareAvailable());
        qInfo("SHA-256 engine: %s", Sha256Engine::UsingHardware() ? "SHA extensions" : "portable");
        QCOMPARE(Sha256("abc"), Hex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    }
    void cleanupTestCase() { Sha256Engine::ForcePortable(false); }

    void sha256Vectors_data() {
        QTest::addColumn<QByteArray>("Message");
        QTest::addColumn<QByteArray>("Digest");
        QTest::newRow("empty") << QByteArray()
                               << Hex("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        QTest::newRow("abc") << QByteArray("abc")
                             << Hex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        QTest::newRow("448 bits") << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
                                  << Hex("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        QTest::newRow("896 bits") << QByteArray("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklm"
                                                "nopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu")
                                  << Hex("cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
        QTest::newRow("million a") << QByteArray(1000000, 'a')
                                   << Hex("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    }
    void sha256Vectors() {
        QFETCH(QByteArray, Message);
        QFETCH(QByteArray, Digest);
        QCOMPARE(Sha256(Message), Digest);
    }

    // Every length across the block and padding boundaries, and a few MiB, against OpenSSL; the
    // incremental form is fed the same bytes in uneven pieces.
    void sha256MatchesOpenSsl() {
        QRandomGenerator Rng(1234);
        QList<int> Lengths;
        for (int n = 0; n <= 130; ++n)
            Lengths << n;
        Lengths << 191 << 192 << 193 << 1000 << 3 * 1024 * 1024 + 17;
        for (int Length : Lengths) {
            const QByteArray Data = Random(Rng, Length);
            QCOMPARE(Sha256(Data), OpenSslSha256(Data));
            Sha256Engine::TSha256 H;
            qsizetype Pos = 0;
            while (Pos < Data.size()) {
                const qsizetype Take = qMin<qsizetype>(Data.size() - Pos, 1 + Rng.bounded(150));
                H.Update(Data.constData() + Pos, static_cast<size_t>(Take));
                Pos += Take;
            }
            QByteArray Digest(32, '\0');
            H.Final(reinterpret_cast<uint8_t*>(Digest.data()));
            QCOMPARE(Digest, OpenSslSha256(Data));
        }
    }

    // A keyed hash state is the key in another form: wiping leaves nothing of it.
    void sha256Wipe() {
        Sha256Engine::TSha256 H;
        H.Update(QByteArray(100, 'k').constData(), 100);
        const uint32_t* Words = H.StateWords();
        QVERIFY(std::any_of(Words, Words + 8, [](uint32_t W) { return W != 0; }));
        H.Wipe();
        QVERIFY(std::all_of(Words, Words + 8, [](uint32_t W) { return W == 0; }));
    }

    void hmacRfc4231_data() {
        QTest::addColumn<QByteArray>("Key");
        QTest::addColumn<QByteArray>("Data");
        QTest::addColumn<QByteArray>("Mac");
        QTest::newRow("case 1") << Repeat('\x0b', 20) << QByteArray("Hi There")
                                << Hex("b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
        QTest::newRow("case 2") << QByteArray("Jefe") << QByteArray("what do ya want for nothing?")
                                << Hex("5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
        QTest::newRow("case 3") << Repeat('\xaa', 20) << Repeat('\xdd', 50)
                                << Hex("773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe");
        QTest::newRow("case 4") << Hex("0102030405060708090a0b0c0d0e0f10111213141516171819") << Repeat('\xcd', 50)
                                << Hex("82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b");
        QTest::newRow("case 5 (truncated)")
            << Repeat('\x0c', 20) << QByteArray("Test With Truncation") << Hex("a3b6167473100ee06e0c796c2955552b");
        QTest::newRow("case 6") << Repeat('\xaa', 131)
                                << QByteArray("Test Using Larger Than Block-Size Key - Hash Key First")
                                << Hex("60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
        QTest::newRow("case 7") << Repeat('\xaa', 131)
                                << QByteArray("This is a test using a larger than block-size key and a larger than "
                                              "block-size data. The key needs to be hashed before being used by the "
                                              "HMAC algorithm.")
                                << Hex("9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2");
    }
    void hmacRfc4231() {
        QFETCH(QByteArray, Key);
        QFETCH(QByteArray, Data);
        QFETCH(QByteArray, Mac);
        QCOMPARE(HmacSha256(Key, Data).left(Mac.size()), Mac);
    }

    void hmacKeyHandling() {
        QRandomGenerator Rng(99);
        const QByteArray Data = Random(Rng, 77);
        // A key longer than a block is replaced by its digest; one of exactly 64 bytes is used as is.
        const QByteArray LongKey = Random(Rng, 65);
        QCOMPARE(HmacSha256(LongKey, Data), HmacSha256(Sha256(LongKey), Data));
        const QByteArray BlockKey = Random(Rng, 64);
        QVERIFY(HmacSha256(BlockKey, Data) != HmacSha256(Sha256(BlockKey), Data));
        QCOMPARE(HmacSha256(BlockKey, Data), OpenSslHmac(BlockKey, Data));
        QCOMPARE(HmacSha256(QByteArray(), QByteArray()),
                 Hex("b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad"));
        for (int KeyLength : {0, 1, 31, 32, 33, 63, 64, 65, 100, 200})
            for (int DataLength : {0, 1, 55, 56, 63, 64, 65, 130, 4096}) {
                const QByteArray Key = Random(Rng, KeyLength);
                const QByteArray Message = Random(Rng, DataLength);
                QCOMPARE(HmacSha256(Key, Message), OpenSslHmac(Key, Message));
            }
    }

    void pbkdf2Vectors_data() {
        QTest::addColumn<QString>("Password");
        QTest::addColumn<QByteArray>("Salt");
        QTest::addColumn<int>("Iterations");
        QTest::addColumn<QByteArray>("Key");
        QTest::newRow("passwd/salt/1") << "passwd" << QByteArray("salt") << 1
                                       << Hex("55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                                              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
        QTest::newRow("Password/NaCl/80000") << "Password" << QByteArray("NaCl") << 80000
                                             << Hex("4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
                                                    "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
    }
    void pbkdf2Vectors() {
        QFETCH(QString, Password);
        QFETCH(QByteArray, Salt);
        QFETCH(int, Iterations);
        QFETCH(QByteArray, Key);
        QCOMPARE(Pbkdf2Sha256(Password, Salt, Iterations, static_cast<int>(Key.size())), Key);
    }

    void pbkdf2MatchesOpenSsl() {
        QRandomGenerator Rng(7);
        const QStringList Passwords = {QString(), QStringLiteral("a"), QStringLiteral("correct horse battery staple"),
                                       QStringLiteral("pässwörd-Ωμέγα-密码-🔑"), QString(80, QLatin1Char('k'))};
        for (const QString& Password : Passwords)
            for (int Iterations : {1, 2, 3, 1000, 4097})
                for (int Length : {1, 31, 32, 33, 40, 64, 100}) {
                    const QByteArray Salt = Random(Rng, Rng.bounded(40));
                    QCOMPARE(Pbkdf2Sha256(Password, Salt, Iterations, Length),
                             OpenSslPbkdf2(Password.toUtf8(), Salt, Iterations, Length));
                }
        // The cost every locker and the settings file use.
        QCOMPARE(Pbkdf2Sha256(QStringLiteral("secret"), "0123456789abcdef", 200000, 32),
                 OpenSslPbkdf2("secret", "0123456789abcdef", 200000, 32));
        // Length 40 is the first block followed by the start of the second.
        const QByteArray Long = Pbkdf2Sha256(QStringLiteral("x"), "salt", 3, 64);
        QCOMPARE(Pbkdf2Sha256(QStringLiteral("x"), "salt", 3, 40), Long.left(40));
    }

    void pbkdf2Limits_data() {
        QTest::addColumn<int>("Iterations");
        QTest::addColumn<int>("Length");
        QTest::addColumn<QString>("Error");
        QTest::addColumn<int>("ResultSize");
        QTest::newRow("zero iterations") << 0 << 32 << "Iterations must be positive." << -1;
        QTest::newRow("negative iterations") << -5 << 32 << "Iterations must be positive." << -1;
        QTest::newRow("zero iterations, zero length") << 0 << 0 << "Iterations must be positive." << -1;
        QTest::newRow("zero length") << 1 << 0 << QString() << 0;
        QTest::newRow("negative length") << 10 << -3 << QString() << 0;
    }
    void pbkdf2Limits() {
        QFETCH(int, Iterations);
        QFETCH(int, Length);
        QFETCH(QString, Error);
        QFETCH(int, ResultSize);
        try {
            const QByteArray Key = Pbkdf2Sha256(QStringLiteral("pw"), "salt", Iterations, Length);
            QVERIFY2(Error.isEmpty(), "expected an error");
            QCOMPARE(Key.size(), ResultSize);
        } catch (const EKelvarnError& E) {
            QCOMPARE(E.Message(), Error);
        }
    }

    void utf8Bytes() {
        QCOMPARE(Utf8Bytes(QStringLiteral("Käse €")), QByteArray("K\xc3\xa4se \xe2\x82\xac"));
        QCOMPARE(Utf8Bytes(QString::fromUtf16(u"\U0001F511")), QByteArray("\xf0\x9f\x94\x91"));
        // An unpaired surrogate has no UTF-8 form: it becomes U+FFFD (Qt 6.4's toUtf8 would write "?").
        const char16_t Lone[] = {u'a', 0xD800, u'b', 0};
        QCOMPARE(Utf8Bytes(QString::fromUtf16(Lone)), QByteArray("a\xef\xbf\xbd"
                                                                 "b"));
        const char16_t LoneLow[] = {0xDC00, 0};
        QCOMPARE(Utf8Bytes(QString::fromUtf16(LoneLow)), QByteArray("\xef\xbf\xbd"));
        QCOMPARE(Utf8Bytes(QString()), QByteArray());
        // Everything else agrees with Qt's encoder.
        const QString Mixed = QStringLiteral("ASCII ÄÖÜ ß Ωμέγα 日本語 한국어 🔑🎉 \u0001\u007f\u0080\u07ff\u0800\uffff");
        QCOMPARE(Utf8Bytes(Mixed), Mixed.toUtf8());
    }

    void bytesToHex() {
        QCOMPARE(BytesToHex(Hex("0aff")), QStringLiteral("0AFF"));
        QCOMPARE(BytesToHex(QByteArray()), QString());
        QCOMPARE(BytesToHex(Hex("00 10 9f c3")), QStringLiteral("00109FC3"));
    }

    void constantTimeEquals_data() {
        QTest::addColumn<QByteArray>("A");
        QTest::addColumn<QByteArray>("B");
        QTest::addColumn<bool>("Equal");
        QTest::newRow("both empty") << QByteArray() << QByteArray() << true;
        QTest::newRow("same") << Hex("0102030405") << Hex("0102030405") << true;
        QTest::newRow("last byte differs") << Hex("0102030405") << Hex("0102030406") << false;
        QTest::newRow("first byte differs") << Hex("ff02030405") << Hex("0102030405") << false;
        QTest::newRow("prefix") << Hex("010203") << Hex("01020304") << false;
        QTest::newRow("empty against one byte") << QByteArray() << Hex("00") << false;
    }
    void constantTimeEquals() {
        QFETCH(QByteArray, A);
        QFETCH(QByteArray, B);
        QFETCH(bool, Equal);
        QCOMPARE(ConstantTimeEquals(A, B), Equal);
        QCOMPARE(ConstantTimeEquals(B, A), Equal);
    }

    void recoveryCode() {
        static const QRegularExpression Shape(QStringLiteral("^([0-9A-F]{4}-){7}[0-9A-F]{4}$"));
        const QString First = GenerateRecoveryCode();
        QCOMPARE(First.size(), 39);
        for (int Position : {5, 10, 15, 20, 25, 30, 35})
            QCOMPARE(First.at(Position - 1), QLatin1Char('-'));
        QVERIFY2(Shape.match(First).hasMatch(), qPrintable(First));
        QVERIFY(GenerateRecoveryCode() != First);
        QCOMPARE(CanonicalRecoveryCode(First).value_or(QString()), First);
    }

    void canonicalRecoveryCode_data() {
        QTest::addColumn<QString>("Typed");
        QTest::addColumn<QString>("Canonical"); // null: not a code
        const QString Code = QStringLiteral("0A1B-2C3D-4E5F-6789-ABCD-EF01-2345-6789");
        QTest::newRow("canonical") << Code << Code;
        QTest::newRow("lowercase") << "0a1b-2c3d-4e5f-6789-abcd-ef01-2345-6789" << Code;
        QTest::newRow("no hyphens") << "0A1B2C3D4E5F6789ABCDEF0123456789" << Code;
        QTest::newRow("spaces") << "0A1B 2C3D 4E5F 6789 ABCD EF01 2345 6789" << Code;
        QTest::newRow("mixed, separators anywhere") << " 0a1B--2c3D4e 5F-6789abcdEF01 - 234 56789 " << Code;
        QTest::newRow("empty") << "" << QString();
        QTest::newRow("separators only") << " - - " << QString();
        QTest::newRow("31 digits") << "0A1B-2C3D-4E5F-6789-ABCD-EF01-2345-678" << QString();
        QTest::newRow("33 digits") << "0A1B-2C3D-4E5F-6789-ABCD-EF01-2345-67890" << QString();
        QTest::newRow("not hex") << "0A1B-2C3D-4E5F-6789-ABCD-EF01-2345-678G" << QString();
        QTest::newRow("other separator") << "0A1B_2C3D_4E5F_6789_ABCD_EF01_2345_6789" << QString();
        QTest::newRow("tab") << "0A1B\t2C3D-4E5F-6789-ABCD-EF01-2345-6789" << QString();
        QTest::newRow("full-width letter") << QStringLiteral(u"\uFF210A1B2C3D4E5F6789ABCDEF012345678") << QString();
        QTest::newRow("password") << "correct horse battery staple" << QString();
    }
    void canonicalRecoveryCode() {
        QFETCH(QString, Typed);
        QFETCH(QString, Canonical);
        QCOMPARE(CanonicalRecoveryCode(Typed).value_or(QString()), Canonical);
    }

    void randomBytes() {
        QCOMPARE(RandomBytes(0).size(), 0);
        const QByteArray A = RandomBytes(64), B = RandomBytes(64);
        QCOMPARE(A.size(), 64);
        QVERIFY(A != B);
        QVERIFY(A != QByteArray(64, '\0'));
        // Large requests come back whole (getrandom may return short reads).
        const QByteArray Big = RandomBytes(1 << 20);
        QCOMPARE(Big.size(), 1 << 20);
        QVERIFY(Big.count('\0') < Big.size() / 64);
        QVERIFY_THROWS_EXCEPTION(EKelvarnError, RandomBytes(-1));
    }

    void hmacCtrXor() {
        const QByteArray Key = "key material", Nonce = Hex("00112233445566778899aabbccddeeff");
        QRandomGenerator Rng(5);
        const QByteArray Plain = Random(Rng, 33);
        QByteArray Data = Plain;
        HmacCtrXor(Data, Key, Nonce);
        // Counter 0 covers bytes 0..31, counter 1 only byte 32.
        const QByteArray Block0 = HmacSha256(Key, Nonce + Hex("00000000"));
        const QByteArray Block1 = HmacSha256(Key, Nonce + Hex("00000001"));
        for (int i = 0; i < 33; ++i)
            QCOMPARE(static_cast<uint8_t>(Data[i]),
                     static_cast<uint8_t>(Plain[i] ^ (i < 32 ? Block0[i] : Block1[i - 32])));
        HmacCtrXor(Data, Key, Nonce);
        QCOMPARE(Data, Plain);
        QByteArray Empty;
        HmacCtrXor(Empty, Key, Nonce);
        QVERIFY(Empty.isEmpty());
    }
};

int main(int argc, char** argv) {
    int Status = 0;
    if (Sha256Engine::HardwareAvailable()) {
        TestSecurityUtils Hardware(false);
        Status |= QTest::qExec(&Hardware, argc, argv);
    }
    TestSecurityUtils Portable(true);
    Status |= QTest::qExec(&Portable, argc, argv);
    return Status;
}

#include "test_securityutils.moc"
