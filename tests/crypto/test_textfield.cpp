#include "platform/KelvarnError.h"
#include "TestHex.h"
#include "crypto/uTextField.h"

#include <QTest>

// The one text encoding that the locker and the settings file share.
class TestTextField : public QObject {
    Q_OBJECT

private slots:
    void encodeAndDecode_data() {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QByteArray>("Field");
        QTest::newRow("empty") << QString() << Hex("00000000");
        QTest::newRow("ascii") << "KVLK4" << Hex("05000000 4b564c4b34");
        QTest::newRow("e acute counts 2") << QStringLiteral("\u00e9") << Hex("02000000 c3a9");
        QTest::newRow("outside the BMP") << QStringLiteral("\U0001F600") << Hex("04000000 f09f9880");
    }
    void encodeAndDecode() {
        QFETCH(QString, Text);
        QFETCH(QByteArray, Field);
        QCOMPARE(TextField::Encode(Text).toHex(), Field.toHex());
        QCOMPARE(TextField::Size(Text), Field.size());
        QCOMPARE(TextField::Decode(Field.constData() + 4, static_cast<int32_t>(Field.size() - 4)), Text);
    }

    void unpairedSurrogateBecomesReplacement() {
        QCOMPARE(TextField::Encode(QString(QChar(0xD800))).toHex(), Hex("03000000 efbfbd").toHex());
    }

    void checkCount_data() {
        QTest::addColumn<int>("Count");
        QTest::addColumn<qint64>("Available");
        QTest::addColumn<QString>("Raised");
        QTest::newRow("zero") << 0 << qint64(0) << QString();
        QTest::newRow("all that is there") << 7 << qint64(7) << QString();
        QTest::newRow("negative") << -1 << qint64(100) << "negative";
        QTest::newRow("most negative") << int(0x80000000) << qint64(100) << "negative";
        QTest::newRow("one beyond") << 8 << qint64(7) << "beyond";
        QTest::newRow("huge") << 0x7FFFFFFF << qint64(7) << "beyond";
    }
    void checkCount() {
        QFETCH(int, Count);
        QFETCH(qint64, Available);
        QFETCH(QString, Raised);
        QString Message;
        try {
            TextField::CheckCount(Count, Available, "negative", "beyond");
        } catch (const EKelvarnError& Error) {
            Message = Error.Message();
        }
        QCOMPARE(Message, Raised);
    }
};

QTEST_GUILESS_MAIN(TestTextField)
#include "test_textfield.moc"
