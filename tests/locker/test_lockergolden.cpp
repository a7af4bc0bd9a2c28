#include "FieldCodec.h"
#include "GoldenLockers.h"
#include "LockerTestSupport.h"
#include "TestHex.h"
#include "TestRandom.h"
#include "locker/uLocker.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

// Lockers checked in under tests/data/golden, written once from the sources below with the random
// bytes 00 01 02 ... (master key, password salt, recovery salt, nonce, recovery code, in that order).
// Opening them pins the reader to the format as it was; rebuilding them pins the writer.

namespace {

struct TGoldenItem {
    QString Path; // below the source's folder; the first item is the packed item itself
    bool IsDir;
    int Mode;
    QByteArray Data;
};

QByteArray AllByteValues() {
    QByteArray Bytes(256, '\0');
    for (int I = 0; I < 256; ++I)
        Bytes[I] = static_cast<char>(I);
    return Bytes;
}

QList<TGoldenItem> GoldenSource(const QString& Name) {
    if (Name == QLatin1String("file"))
        return {{"note.txt", false, 0640, "golden note\n"}};
    if (Name == QLatin1String("empty-folder"))
        return {{"empty-box", true, 0700, {}}};
    return {{"golden-tree", true, 0750, {}},
            {"golden-tree/a.txt", false, 0644, "alpha\n"},
            {"golden-tree/docs", true, 0755, {}},
            {"golden-tree/docs/b.bin", false, 0600, AllByteValues()},
            {"golden-tree/docs/empty", true, 0700, {}},
            {QStringLiteral("golden-tree/r\u00e9sum\u00e9.txt"), false, 0444, "read only\n"}};
}

QString GoldenPath(const QString& Name) {
    return QStringLiteral(KELVARN_TEST_SOURCE_DIR "/tests/data/golden/") + Name + QStringLiteral(".kvlocker");
}

// Folders are made first and given their modes last, so that no mode stands in the way.
bool BuildSource(const QString& Folder, const QList<TGoldenItem>& Items) {
    for (const TGoldenItem& Item : Items)
        if (Item.IsDir ? !QDir().mkpath(Folder + "/" + Item.Path)
                       : !WriteTestFile(Folder + "/" + Item.Path, Item.Data, Item.Mode))
            return false;
    for (auto It = Items.crbegin(); It != Items.crend(); ++It)
        if (It->IsDir && ::chmod(Enc(Folder + "/" + It->Path).constData(), static_cast<mode_t>(It->Mode)) != 0)
            return false;
    return true;
}

// What an extraction must give: kind, mode and content digest of every item, written out here.
QMap<QString, QString> Expected(const QList<TGoldenItem>& Items) {
    QMap<QString, QString> Tree;
    for (const TGoldenItem& Item : Items) {
        const QString Mode = QString::number(Item.Mode, 8);
        Tree.insert(Item.Path, Item.IsDir
                                   ? QStringLiteral("dir ") + Mode
                                   : QStringLiteral("file ") + Mode + QLatin1Char(' ') +
                                         QString::fromLatin1(
                                             QCryptographicHash::hash(Item.Data, QCryptographicHash::Sha256).toHex()));
    }
    return Tree;
}

} // namespace

class TestLockerGolden : public QObject {
    Q_OBJECT

private slots:
    void opens_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QString>("Secret");
        QTest::newRow("file") << "file" << GoldenPassword;
        QTest::newRow("folder tree") << "tree" << GoldenPassword;
        QTest::newRow("empty folder") << "empty-folder" << GoldenPassword;
        QTest::newRow("folder tree by recovery code") << "tree" << GoldenRecoveryCode;
    }
    void opens() {
        QFETCH(QString, Name);
        QFETCH(QString, Secret);
        QTemporaryDir Out;
        const TLockerResult Result = ExtractLocker(GoldenPath(Name), Out.filePath("dest"), Secret);
        QVERIFY2(Result.Success, qPrintable(Result.MessageText));
        QCOMPARE(Result.RecoveryCode, Secret == GoldenRecoveryCode ? Secret : QString());
        QCOMPARE(SnapshotTree(Out.filePath("dest")), Expected(GoldenSource(Name)));
        QString Message;
        QVERIFY2(VerifyLocker(GoldenPath(Name), GoldenPassword, Message), qPrintable(Message));
    }

    // The same source and the same random bytes give the checked-in locker, byte for byte. On a
    // mismatch the new bytes are left beside the test as <name>.kvlocker.actual.
    void writerRebuilds_data() {
        QTest::addColumn<QString>("Name");
        QTest::newRow("file") << "file";
        QTest::newRow("folder tree") << "tree";
        QTest::newRow("empty folder") << "empty-folder";
    }
    void writerRebuilds() {
        QFETCH(QString, Name);
        QTemporaryDir Dir;
        const QList<TGoldenItem> Items = GoldenSource(Name);
        QVERIFY(BuildSource(Dir.filePath("src"), Items));
        const QString Locker = Dir.filePath("out.kvlocker");
        TLockerResult Result;
        {
            TCountingRandom Fixed;
            Result = CreateLockerAt(Dir.filePath("src/") + Items.first().Path, Locker, GoldenPassword);
        }
        QVERIFY2(Result.Success, qPrintable(Result.MessageText));
        QCOMPARE(Result.RecoveryCode, GoldenRecoveryCode);
        const QByteArray Built = ReadTestFile(Locker);
        if (Built != ReadTestFile(GoldenPath(Name))) {
            WriteTestFile(Name + QStringLiteral(".kvlocker.actual"), Built);
            QFAIL(qPrintable(QStringLiteral("%1 differs from the checked-in locker").arg(Name)));
        }
    }

    // The header of the file locker, worked out apart from this code: both slots wrap the master key
    // 00..1F under PBKDF2-HMAC-SHA256 (200000 iterations) of the password and of the recovery code.
    void header() {
        const QByteArray Bytes = ReadTestFile(GoldenPath("file"));
        // magic and version; slot: iterations, salt, wrapped key (twice); nonce; MAC; payload length
        QCOMPARE(Bytes.left(LockerFormat::PayloadStart),
                 Hex("050000004b564c4b3404000000"
                     "400d0300"
                     "202122232425262728292a2b2c2d2e2f"
                     "5edfe5a3b907dfd9ae1e36988f06c108dc679f3916d487bc2ba22bb5594ff0ab"
                     "400d0300"
                     "303132333435363738393a3b3c3d3e3f"
                     "f81bae5dc039e6f163b70e3b564920d822d622cf1985543c6623c04d91b8a1f4"
                     "404142434445464748494a4b4c4d4e4f"
                     "87358a2ebc1e85f858c4cd1153ba1d6dc9156b3eb452ccc90765a673aa576261"
                     "3600000000000000"));
        QCOMPARE(Bytes.size() - LockerFormat::PayloadStart,
                 Utf8FieldSize("note.txt") + 5 + Utf8FieldSize("note.txt") + 13 + 12);
    }
};

QTEST_GUILESS_MAIN(TestLockerGolden)
#include "test_lockergolden.moc"
