#include "platform/KelvarnError.h"
#include "FieldCodec.h"
#include "LockerTestSupport.h"
#include "platform/PlatformDirHandle.h"
#include "locker/uLocker.h"
#include "crypto/uSecurityUtils.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString Password = QStringLiteral("pässword");

struct TDecodedEntry {
    QString Path;
    bool IsDir = false;
    int32_t Attr = 0;
    QByteArray Data;
};

struct TDecoded {
    QByteArray Bytes;
    int64_t PayloadLength = 0;
    QString RootName;
    bool RootIsFolder = false;
    QList<TDecodedEntry> Entries;
    bool Authentic = false;
};

int32_t Int32At(const QByteArray& B, int Offset) {
    uint32_t V = 0;
    for (int I = 0; I < 4; ++I)
        V |= uint32_t(uint8_t(B[Offset + I])) << (8 * I);
    return int32_t(V);
}

// Decodes a locker independently of the reader: slot key, MAC over nonce and payload, then the
// fields one by one with the field decoders.
TDecoded Decode(const QString& Path, const QString& Secret, bool RecoverySlot = false) {
    TDecoded D;
    D.Bytes = ReadTestFile(Path);
    const int Slot = RecoverySlot ? 65 : 13;
    const QByteArray Salt = D.Bytes.mid(Slot + 4, 16);
    const QByteArray Master =
        XorBytes(D.Bytes.mid(Slot + 20, 32), Pbkdf2Sha256(Secret, Salt, Int32At(D.Bytes, Slot), 32));
    const QByteArray Nonce = D.Bytes.mid(117, 16);
    memcpy(&D.PayloadLength, D.Bytes.constData() + 165, 8);
    D.Authentic = HmacSha256(DeriveMacKey(Master), Nonce + D.Bytes.mid(173)) == D.Bytes.mid(133, 32);
    if (!D.Authentic)
        return D;
    TFileStream In(Path, TFileStream::TMode::OpenReadShared);
    In.Seek(173);
    TAesCtrTransform T(DeriveEncryptionKey(Master), Nonce);
    D.RootName = EncReadString(In, T);
    D.RootIsFolder = EncReadByte(In, T) != 0;
    const int32_t Count = EncReadInt32(In, T);
    for (int32_t I = 0; I < Count; ++I) {
        TDecodedEntry E;
        E.Path = EncReadString(In, T);
        E.IsDir = EncReadByte(In, T) != 0;
        E.Attr = EncReadInt32(In, T);
        const int64_t Size = EncReadInt64(In, T);
        E.Data.resize(Size);
        EncReadBuffer(In, T, E.Data.data(), int(Size));
        D.Entries.append(E);
    }
    if (In.Position() != In.Size())
        D.Authentic = false; // trailing bytes the writer should not have produced
    return D;
}

const TDecodedEntry* FindEntry(const TDecoded& D, const QString& Path) {
    for (const TDecodedEntry& E : D.Entries)
        if (E.Path == Path)
            return &E;
    return nullptr;
}

} // namespace

class TestLockerWriter : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    QString P(const QString& Name) const { return FDir.filePath(Name); }

private slots:
    void folderTree() {
        const QString Src = P("tree/Fotos ÄÖ");
        QVERIFY(WriteTestFile(Src + "/a.txt", "alpha", 0640));
        QVERIFY(WriteTestFile(Src + "/.secret", "hidden by name", 0600));
        QVERIFY(WriteTestFile(Src + "/sub/readonly.bin", QByteArray(5000, 'r'), 0444));
        QVERIFY(WriteTestFile(Src + "/sub/deeper/日本.txt", "unicode", 0644));
        QVERIFY(QDir().mkpath(Src + "/empty"));
        QVERIFY(::chmod(Enc(Src).constData(), 0755) == 0);
        QVERIFY(::chmod(Enc(Src + "/empty").constData(), 0755) == 0);
        // The system attribute, on a file deep down and on a folder.
        const bool Xattrs = Fs::SetFileAttributes(Src + "/sub/deeper/日本.txt", Attr::System) &&
                            Fs::SetFileAttributes(Src + "/empty", Attr::System | Attr::Directory);
        const QMap<QString, QString> Before = SnapshotTree(Src);

        QList<int64_t> Dones;
        int64_t LastTotal = -1;
        const QString Locker = P("tree.kvlocker");
        const TLockerResult R =
            CreateLockerAt(Src + "/", Locker, Password, [&](const QString&, int64_t Done, int64_t Total) {
                Dones.append(Done);
                LastTotal = Total;
            });
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        QCOMPARE(R.MessageText, QStringLiteral("Locker created successfully."));
        QVERIFY(QRegularExpression("^([0-9A-F]{4}-){7}[0-9A-F]{4}$").match(R.RecoveryCode).hasMatch());
        QCOMPARE(SnapshotTree(Src), Before);

        const TDecoded D = Decode(Locker, Password);
        QVERIFY(D.Authentic);
        QCOMPARE(Int32At(D.Bytes, 0), 5);
        QCOMPARE(D.Bytes.mid(4, 5), QByteArray("KVLK4"));
        QCOMPARE(Int32At(D.Bytes, 9), 4);
        QCOMPARE(Int32At(D.Bytes, 13), 200000);
        QCOMPARE(Int32At(D.Bytes, 65), 200000);
        QCOMPARE(D.PayloadLength, int64_t(D.Bytes.size() - 173));
        QCOMPARE(LastTotal, D.PayloadLength);
        QCOMPARE(Dones.last(), D.PayloadLength);
        QVERIFY(std::is_sorted(Dones.cbegin(), Dones.cend()));
        QCOMPARE(D.RootName, QStringLiteral("Fotos ÄÖ"));
        QVERIFY(D.RootIsFolder);
        QCOMPARE(D.Entries.size(), 8);
        // The root folder's own entry comes first, with an empty path and the folder's full mode.
        QCOMPARE(D.Entries[0].Path, QString());
        QVERIFY(D.Entries[0].IsDir);
        QCOMPARE(uint32_t(D.Entries[0].Attr) >> 16, uint32_t(S_IFDIR | 0755));

        // Each folder comes before what it holds.
        for (qsizetype I = 0; I < D.Entries.size(); ++I) {
            const QString Parent = D.Entries[I].Path.section('\\', 0, -2);
            if (Parent.isEmpty())
                continue;
            bool ParentEarlier = false;
            for (qsizetype J = 0; J < I; ++J)
                ParentEarlier = ParentEarlier || (D.Entries[J].Path == Parent && D.Entries[J].IsDir);
            QVERIFY2(ParentEarlier, qPrintable(D.Entries[I].Path));
        }
        const TDecodedEntry* ReadOnly = FindEntry(D, "sub\\readonly.bin");
        QVERIFY(ReadOnly);
        QCOMPARE(ReadOnly->Data, QByteArray(5000, 'r'));
        QVERIFY(ReadOnly->Attr & 0x1);
        // The full st_mode, file type included.
        QCOMPARE(uint32_t(ReadOnly->Attr) >> 16, uint32_t(S_IFREG | 0444));
        const TDecodedEntry* Hidden = FindEntry(D, ".secret");
        QVERIFY(Hidden && (Hidden->Attr & 0x2));
        QCOMPARE((Hidden->Attr >> 16) & 0777, 0600);
        QVERIFY(FindEntry(D, "sub\\deeper\\日本.txt"));
        QCOMPARE(FindEntry(D, "sub\\deeper\\日本.txt")->Data, QByteArray("unicode"));
        if (Xattrs) {
            QVERIFY(FindEntry(D, "sub\\deeper\\日本.txt")->Attr & Attr::System);
            QVERIFY(FindEntry(D, "empty")->Attr & Attr::System);
            QVERIFY(!(FindEntry(D, "a.txt")->Attr & Attr::System));
        }
        const TDecodedEntry* Empty = FindEntry(D, "empty");
        QVERIFY(Empty && Empty->IsDir && (Empty->Attr & 0x10) && Empty->Data.isEmpty());
        QCOMPARE(uint32_t(Empty->Attr) >> 16, uint32_t(S_IFDIR | 0755));

        // The recovery code opens the second slot.
        QVERIFY(Decode(Locker, R.RecoveryCode, true).Authentic);
        QVERIFY(!Decode(Locker, R.RecoveryCode, false).Authentic);
    }

    void singleFileAndEmptyFolder() {
        QVERIFY(WriteTestFile(P("one/notes.md"), "# notes"));
        const TLockerResult R = CreateLockerAt(P("one/notes.md"), P("one.kvlocker"), Password);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        const TDecoded D = Decode(P("one.kvlocker"), Password);
        QVERIFY(D.Authentic);
        QVERIFY(!D.RootIsFolder);
        QCOMPARE(D.RootName, QStringLiteral("notes.md"));
        QCOMPARE(D.Entries.size(), 1);
        QCOMPARE(D.Entries[0].Path, QStringLiteral("notes.md"));
        QCOMPARE(D.Entries[0].Data, QByteArray("# notes"));
        QCOMPARE(uint32_t(D.Entries[0].Attr) >> 16, uint32_t(S_IFREG | 0644));
        QCOMPARE(D.PayloadLength, (4 + 8) + 5 + (4 + 8 + 13) + 7);

        QVERIFY(QDir().mkpath(P("nothing")));
        const TLockerResult E = CreateLockerAt(P("nothing"), P("nothing.kvlocker"), Password);
        QVERIFY2(E.Success, qPrintable(E.MessageText));
        const TDecoded DE = Decode(P("nothing.kvlocker"), Password);
        // Only the root folder's own entry.
        QVERIFY(DE.Authentic && DE.RootIsFolder && DE.Entries.size() == 1);
        QCOMPARE(DE.Entries[0].Path, QString());
        QCOMPARE(DE.PayloadLength, Utf8FieldSize("nothing") + 5 + (4 + 13));
    }

    // Buffer boundaries: files of exactly one buffer and one byte more, after a small one that
    // shifts them off any alignment.
    void bufferBoundaries() {
        QByteArray Exact(LockerFormat::CopyBufferSize, '\0');
        for (int I = 0; I < Exact.size(); I += 97)
            Exact[I] = char(I);
        QVERIFY(WriteTestFile(P("big/a"), "x"));
        QVERIFY(WriteTestFile(P("big/b"), Exact));
        QVERIFY(WriteTestFile(P("big/c"), Exact + "!"));
        const TLockerResult R = CreateLockerAt(P("big"), P("big.kvlocker"), Password);
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        const TDecoded D = Decode(P("big.kvlocker"), Password);
        QVERIFY(D.Authentic);
        QCOMPARE(FindEntry(D, "b")->Data, Exact);
        QCOMPARE(FindEntry(D, "c")->Data, Exact + "!");
    }

    void lockersDifferInEverySecret() {
        QVERIFY(WriteTestFile(P("same/f"), "same"));
        const TLockerResult A = CreateLockerAt(P("same"), P("same1.kvlocker"), Password);
        const TLockerResult B = CreateLockerAt(P("same"), P("same2.kvlocker"), Password);
        QVERIFY(A.Success && B.Success);
        QVERIFY(A.RecoveryCode != B.RecoveryCode);
        const QByteArray X = ReadTestFile(P("same1.kvlocker")), Y = ReadTestFile(P("same2.kvlocker"));
        for (const auto& [Offset, Size] : {std::pair{17, 16}, {33, 32}, {69, 16}, {85, 32}, {117, 16}, {133, 32}})
            QVERIFY2(X.mid(Offset, Size) != Y.mid(Offset, Size), qPrintable(QString::number(Offset)));
    }

    // Failures before anything is written: the message, no locker, an existing file at the locker
    // path left alone, and the source unchanged.
    void refusedBeforeWriting_data() {
        QTest::addColumn<QString>("Kind");
        QTest::addColumn<QString>("Message");
        QTest::newRow("missing source") << "missing"
                                        << "Source path does not exist.";
        QTest::newRow("missing source, empty password") << "missing-nopass"
                                                        << "Source path does not exist.";
        QTest::newRow("empty password") << "nopass"
                                        << "Locker password cannot be empty.";
        QTest::newRow("file system root") << "root"
                                          << "Invalid source path.";
        QTest::newRow("link below") << "link-below"
                                    << "A symbolic link cannot be put in a locker.";
        QTest::newRow("link as source") << "link-source"
                                        << "A symbolic link cannot be put in a locker.";
        QTest::newRow("dangling link") << "dangling"
                                       << "A symbolic link cannot be put in a locker.";
        QTest::newRow("fifo below") << "fifo"
                                    << "A socket, pipe or device cannot be put in a locker.";
        QTest::newRow("socket below") << "socket"
                                      << "A socket, pipe or device cannot be put in a locker.";
        QTest::newRow("backslash name") << "backslash"
                                        << "This name cannot be stored in a locker: it holds a backslash or "
                                           "begins with a drive letter.";
        QTest::newRow("drive name") << "drive"
                                    << "This name cannot be stored in a locker: it holds a backslash or begins "
                                       "with a drive letter.";
        QTest::newRow("locker inside") << "inside"
                                       << "The locker file cannot be the item being packed or lie inside it.";
    }
    void refusedBeforeWriting() {
        QFETCH(QString, Kind);
        QFETCH(QString, Message);
        QTemporaryDir Dir;
        const QString Src = Dir.filePath("src");
        QVERIFY(WriteTestFile(Src + "/keep.txt", "keep"));
        QString Source = Src;
        QString Locker = Dir.filePath("out.kvlocker");
        QString Pass = Password;
        const QByteArray Outside = QFile::encodeName(Dir.filePath("outside"));
        QVERIFY(WriteTestFile(Dir.filePath("outside"), "outside"));
        if (Kind == "missing" || Kind == "missing-nopass") {
            Source = Dir.filePath("nope");
            if (Kind == "missing-nopass")
                Pass.clear();
        } else if (Kind == "nopass") {
            Pass.clear();
        } else if (Kind == "root") {
            Source = "/";
        } else if (Kind == "link-below") {
            QVERIFY(::symlink(Outside.constData(), QFile::encodeName(Src + "/link").constData()) == 0);
        } else if (Kind == "link-source") {
            Source = Dir.filePath("srclink");
            QVERIFY(::symlink(QFile::encodeName(Src).constData(), QFile::encodeName(Source).constData()) == 0);
        } else if (Kind == "dangling") {
            Source = Dir.filePath("dangling");
            QVERIFY(::symlink("/nonexistent/target", QFile::encodeName(Source).constData()) == 0);
        } else if (Kind == "fifo") {
            QVERIFY(
                ::mkfifo(QFile::encodeName(Src + "/sub/pipe").constData(), 0600) == 0 ||
                (QDir().mkpath(Src + "/sub") && ::mkfifo(QFile::encodeName(Src + "/sub/pipe").constData(), 0600) == 0));
        } else if (Kind == "socket") {
            const int Fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un Addr{};
            Addr.sun_family = AF_UNIX;
            const QByteArray SockPath = QFile::encodeName(Src + "/s");
            QVERIFY(size_t(SockPath.size()) < sizeof Addr.sun_path);
            memcpy(Addr.sun_path, SockPath.constData(), SockPath.size());
            QVERIFY(::bind(Fd, reinterpret_cast<sockaddr*>(&Addr), sizeof Addr) == 0);
            ::close(Fd);
        } else if (Kind == "backslash") {
            QVERIFY(WriteTestFile(Src + "/deep/a\\b", "x"));
        } else if (Kind == "drive") {
            QVERIFY(WriteTestFile(Src + "/C:x", "x"));
        } else if (Kind == "inside") {
            QVERIFY(QDir().mkpath(Src + "/sub"));
            Locker = Src + "/sub/out.kvlocker";
        }
        // Something the user had at the locker path stays untouched when nothing was written.
        if (Kind != "inside")
            QVERIFY(WriteTestFile(Locker, "previous"));
        const QMap<QString, QString> Before = SnapshotTree(Dir.path());

        const TLockerResult R = CreateLockerAt(Source, Locker, Pass);
        QVERIFY(!R.Success);
        QVERIFY(R.RecoveryCode.isEmpty());
        QCOMPARE(R.MessageText.section("\r\n", 0, 0), Message);
        QCOMPARE(SnapshotTree(Dir.path()), Before);
    }

    void cancelled_data() {
        QTest::addColumn<int>("AnswerTrueAt");
        QTest::newRow("first poll") << 1;
        QTest::newRow("inside a large file") << 5;
    }
    void cancelled() {
        QFETCH(int, AnswerTrueAt);
        QTemporaryDir Dir;
        QVERIFY(WriteTestFile(Dir.filePath("src/small"), "s"));
        QVERIFY(WriteTestFile(Dir.filePath("src/large"), QByteArray(3 * LockerFormat::CopyBufferSize, 'L')));
        const QString Locker = Dir.filePath("c.kvlocker");
        QVERIFY(WriteTestFile(Locker, "an older locker"));
        const QMap<QString, QString> Before = SnapshotTree(Dir.path());
        int Polls = 0;
        const TLockerResult R =
            CreateLockerAt(Dir.filePath("src"), Locker, Password, nullptr, [&] { return ++Polls >= AnswerTrueAt; });
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText, QStringLiteral("Operation cancelled by user."));
        QCOMPARE(Polls, AnswerTrueAt);
        // The older locker and the source as they were, and nothing of the new one.
        QCOMPARE(SnapshotTree(Dir.path()), Before);
    }

    // A file that grows, shrinks or is rewritten while it is copied fails the operation; the
    // partial locker is deleted.
    void fileChangesDuringCopy_data() {
        QTest::addColumn<QString>("Change");
        QTest::newRow("grows") << "grow";
        QTest::newRow("shrinks") << "shrink";
        QTest::newRow("rewritten") << "rewrite";
    }
    void fileChangesDuringCopy() {
        QFETCH(QString, Change);
        QTemporaryDir Dir;
        const QString File = Dir.filePath("src/data");
        QVERIFY(WriteTestFile(File, QByteArray(2 * LockerFormat::CopyBufferSize, 'd')));
        const QString Locker = Dir.filePath("x.kvlocker");
        bool Changed = false;
        const TLockerResult R =
            CreateLockerAt(Dir.filePath("src"), Locker, Password, [&](const QString& Path, int64_t, int64_t) {
                if (Changed || Path != File)
                    return;
                Changed = true;
                QFile F(File);
                if (Change == "grow") {
                    F.open(QIODevice::Append);
                    F.write("more");
                } else if (Change == "shrink") {
                    F.resize(100);
                } else {
                    // Same size, new content: only the time tells.
                    QTest::qSleep(20);
                    F.open(QIODevice::ReadWrite);
                    F.write("new");
                }
            });
        QVERIFY(Changed);
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText, QStringLiteral("A file changed while it was being put in the locker.\r\n") + File);
        QVERIFY(!Fs::PathExists(Locker));
    }

    // A file swapped for a link after the walk is not followed: the secret it points to stays out.
    void fileSwappedForLinkAfterWalk() {
        QTemporaryDir Dir;
        const QString Second = Dir.filePath("src/b");
        QVERIFY(WriteTestFile(Dir.filePath("src/a"), "first"));
        QVERIFY(WriteTestFile(Second, "second"));
        QVERIFY(WriteTestFile(Dir.filePath("secret"), "not for the locker"));
        const QString Locker = Dir.filePath("x.kvlocker");
        bool Swapped = false;
        const TLockerResult R =
            CreateLockerAt(Dir.filePath("src"), Locker, Password, [&](const QString&, int64_t, int64_t) {
                if (Swapped)
                    return;
                Swapped = true;
                QVERIFY(QFile::remove(Second));
                QVERIFY(::symlink(QFile::encodeName(Dir.filePath("secret")).constData(),
                                  QFile::encodeName(Second).constData()) == 0);
            });
        QVERIFY(Swapped);
        QVERIFY(!R.Success);
        QVERIFY2(R.MessageText.contains(Second), qPrintable(R.MessageText));
        QVERIFY(!Fs::PathExists(Locker));
    }

    // A folder swapped for a link, after the walk listed it or between listing and entering it, is
    // not followed: the secret behind the link stays out of the locker and no locker remains.
    void folderSwappedForLink_data() {
        QTest::addColumn<bool>("DuringWalk");
        QTest::newRow("after the walk") << false;
        QTest::newRow("between listing and entering") << true;
    }
    void folderSwappedForLink() {
        QFETCH(bool, DuringWalk);
        QTemporaryDir Dir;
        const QString Sub = Dir.filePath("src/sub");
        QVERIFY(WriteTestFile(Dir.filePath("src/a"), "first"));
        QVERIFY(WriteTestFile(Sub + "/b", "second"));
        QVERIFY(WriteTestFile(Dir.filePath("keys/id_ed25519"), "PRIVATE KEY", 0600));
        const QString Locker = Dir.filePath("x.kvlocker");
        bool Swapped = false;
        auto Swap = [&] {
            if (Swapped)
                return;
            Swapped = true;
            QVERIFY(::rename(Enc(Sub).constData(), Enc(Dir.filePath("moved")).constData()) == 0);
            QVERIFY(::symlink(Enc(Dir.filePath("keys")).constData(), Enc(Sub).constData()) == 0);
        };
        if (DuringWalk)
            SetFileStepHookForTest([&](const char* Step, const QString& Path) {
                if (QByteArray(Step) == "CollectEntries:descend" && Path == Sub)
                    Swap();
            });
        const TLockerResult R =
            CreateLockerAt(Dir.filePath("src"), Locker, Password, [&](const QString&, int64_t, int64_t) {
                if (!DuringWalk)
                    Swap();
            });
        SetFileStepHookForTest(nullptr);
        QVERIFY(Swapped);
        QVERIFY(!R.Success);
        QVERIFY2(R.MessageText.contains(Sub), qPrintable(R.MessageText));
        QVERIFY(!Fs::PathExists(Locker));
    }

    // A tree deeper than a reader accepts is refused before anything is written.
    void tooDeepIsRefused() {
        QTemporaryDir Dir;
        QString Path = Dir.filePath("deep");
        for (int I = 0; I <= LockerFormat::MaxPathDepth; ++I)
            Path += "/d";
        QVERIFY(QDir().mkpath(Path));
        const TLockerResult R = CreateLockerAt(Dir.filePath("deep"), Dir.filePath("deep.kvlocker"), Password);
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText.section("\r\n", 0, 0),
                 QStringLiteral("This path is too long or too deeply nested to be stored in a locker."));
        QVERIFY(!Fs::PathExists(Dir.filePath("deep.kvlocker")));
    }

    // Written into a file the caller holds: read back through the same descriptor; a locker held
    // inside its own source, or as the source itself, is refused, by identity, whatever path leads
    // to it.
    void intoHeldFile() {
        QTemporaryDir Dir;
        QVERIFY(WriteTestFile(Dir.filePath("src/f"), "content"));
        const TDirHandle Folder = TDirHandle::Open(Dir.path());
        {
            const std::unique_ptr<TFileStream> Out = Folder.CreateFile("held.tmp");
            const TLockerResult R = CreateLocker(Dir.filePath("src"), *Out, Password);
            QVERIFY2(R.Success, qPrintable(R.MessageText));
            QString Message;
            QVERIFY2(VerifyLocker(*Out, Password, Message), qPrintable(Message));
            QVERIFY(!VerifyLocker(*Out, "wrong", Message));
            QCOMPARE(Message, QStringLiteral("Locker verification failed (MAC mismatch)."));
        }
        QVERIFY(Decode(Dir.filePath("held.tmp"), Password).Authentic);
        const std::unique_ptr<TFileStream> Inside = TDirHandle::Open(Dir.filePath("src")).CreateFile("inside.tmp");
        const TLockerResult R = CreateLocker(Dir.filePath("src"), *Inside, Password);
        QVERIFY(!R.Success);
        QCOMPARE(R.MessageText.section("\r\n", 0, 0),
                 QStringLiteral("The locker file cannot be the item being packed or lie inside it."));
        const std::unique_ptr<TFileStream> Itself = Folder.CreateFile("itself.tmp");
        const TLockerResult Own = CreateLocker(Dir.filePath("itself.tmp"), *Itself, Password);
        QVERIFY(!Own.Success);
        QCOMPARE(Own.MessageText.section("\r\n", 0, 0),
                 QStringLiteral("The locker file cannot be the item being packed or lie inside it."));
    }

    // The check behind the writer reads the file, not the writer's memory: a header changed on disk
    // while the payload is written fails, whichever of the two the check has read first.
    void checkedBehindTheWriter_data() {
        QTest::addColumn<int64_t>("LargeSize");
        QTest::addColumn<bool>("ChangeSalt");
        QTest::newRow("one piece") << int64_t(1000) << false;
        QTest::newRow("several pieces") << int64_t(9 * 1024 * 1024 + 3) << false;
        QTest::newRow("one piece, salt changed on disk") << int64_t(1000) << true;
        QTest::newRow("several pieces, salt changed on disk") << int64_t(9 * 1024 * 1024 + 3) << true;
    }
    void checkedBehindTheWriter() {
        QFETCH(int64_t, LargeSize);
        QFETCH(bool, ChangeSalt);
        QTemporaryDir Dir;
        QByteArray Large(LargeSize, Qt::Uninitialized);
        for (qsizetype I = 0; I < Large.size(); ++I)
            Large[I] = char((I * 131) >> 7);
        QVERIFY(WriteTestFile(Dir.filePath("src/large.bin"), Large));
        QVERIFY(WriteTestFile(Dir.filePath("src/sub/small.txt"), "small"));
        const TDirHandle Folder = TDirHandle::Open(Dir.path());
        std::unique_ptr<TFileStream> Out = Folder.CreateFile("new.tmp");
        bool Changed = false;
        const TLockerResult R =
            CreateVerifiedLocker(Dir.filePath("src"), *Out, Password, [&](const QString&, int64_t Done, int64_t Total) {
                if (!ChangeSalt || Changed || Done != Total)
                    return;
                Changed = true;
                QFile File(Dir.filePath("new.tmp"));
                QVERIFY(File.open(QIODevice::ReadWrite));
                // Flipped, not overwritten: a random salt byte may already hold any given value.
                QVERIFY(File.seek(LockerFormat::PasswordSlotOffset + 4));
                const char Flipped = static_cast<char>(~File.read(1).at(0));
                QVERIFY(File.seek(LockerFormat::PasswordSlotOffset + 4));
                QVERIFY(File.write(&Flipped, 1) == 1);
            });
        QCOMPARE(Changed, ChangeSalt);
        if (ChangeSalt) {
            QVERIFY(!R.Success);
            QCOMPARE(R.MessageText,
                     QStringLiteral("Locker verification failed: Locker verification failed (MAC mismatch)."));
            QVERIFY(R.RecoveryCode.isEmpty());
            return;
        }
        QVERIFY2(R.Success, qPrintable(R.MessageText));
        QString Message;
        QVERIFY2(VerifyLocker(*Out, Password, Message), qPrintable(Message));
        Out.reset();
        const TDecoded D = Decode(Dir.filePath("new.tmp"), Password);
        QVERIFY(D.Authentic);
        QCOMPARE(FindEntry(D, "large.bin")->Data, Large);
        QCOMPARE(FindEntry(D, "sub\\small.txt")->Data, QByteArray("small"));
    }

    // What the check behind the writer has read leaves the page cache once it is on disk, but for
    // the last pieces: a large hide does not fill the cache with its locker.
    void checkedPiecesLeaveTheCache() {
        QTemporaryDir Dir;
        QVERIFY(WriteTestFile(Dir.filePath("src/large.bin"), QByteArray(24 * 1024 * 1024, 'c')));
        const TDirHandle Folder = TDirHandle::Open(Dir.path());
        double Share = -1;
        {
            const std::unique_ptr<TFileStream> Out = Folder.CreateFile("new.tmp");
            const TLockerResult R = CreateVerifiedLocker(Dir.filePath("src"), *Out, Password);
            QVERIFY2(R.Success, qPrintable(R.MessageText));
            Share = CachedShare(Dir.filePath("new.tmp"));
        }
        QVERIFY(Decode(Dir.filePath("new.tmp"), Password).Authentic);
        if (Share < 0)
            QSKIP("The page cache cannot be observed on this file system.");
        QVERIFY2(Share < 0.5, qPrintable(QString::number(Share)));
    }

    // A write that fails on the writing thread fails the operation with its own message, and the
    // partial locker goes.
    void writeErrorOnTheWritingThread() {
        QTemporaryDir Dir;
        QVERIFY(WriteTestFile(Dir.filePath("src/large.bin"), QByteArray(12 * 1024 * 1024, 'w')));
        struct rlimit Old;
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &Old) == 0);
        struct rlimit Small = Old;
        Small.rlim_cur = 6 * 1024 * 1024;
        const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &Small) == 0);
        const TLockerResult Plain = CreateLockerAt(Dir.filePath("src"), Dir.filePath("a.kvlocker"), Password);
        const TDirHandle Folder = TDirHandle::Open(Dir.path());
        TLockerResult Checked;
        {
            const std::unique_ptr<TFileStream> Out = Folder.CreateFile("b.tmp");
            Checked = CreateVerifiedLocker(Dir.filePath("src"), *Out, Password);
        }
        ::setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
        for (const TLockerResult& R : {Plain, Checked}) {
            QVERIFY(!R.Success);
            QVERIFY2(R.MessageText.startsWith(QStringLiteral("Stream write error. ")), qPrintable(R.MessageText));
        }
        // Of the partial lockers only the one this test holds by name is left.
        QCOMPARE(QDir(Dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({"b.tmp", "src"}));
    }

    // An existing locker path is replaced, when asked, by a new file: another name for the old file
    // keeps it, and a link there is replaced, not written through.
    void replacesWithoutWritingThroughLinks() {
        QTemporaryDir Dir;
        QVERIFY(WriteTestFile(Dir.filePath("src/f"), "content"));
        QVERIFY(WriteTestFile(Dir.filePath("other"), "precious"));
        const QString Locker = Dir.filePath("l.kvlocker");
        QVERIFY(::link(QFile::encodeName(Dir.filePath("other")).constData(), QFile::encodeName(Locker).constData()) ==
                0);
        QVERIFY(CreateLockerAt(Dir.filePath("src"), Locker, Password, nullptr, nullptr, true).Success);
        QCOMPARE(ReadTestFile(Dir.filePath("other")), QByteArray("precious"));
        QVERIFY(Decode(Locker, Password).Authentic);

        const QString Linked = Dir.filePath("link.kvlocker");
        QVERIFY(::symlink(QFile::encodeName(Dir.filePath("other")).constData(),
                          QFile::encodeName(Linked).constData()) == 0);
        QVERIFY(CreateLockerAt(Dir.filePath("src"), Linked, Password, nullptr, nullptr, true).Success);
        QCOMPARE(ReadTestFile(Dir.filePath("other")), QByteArray("precious"));
        QVERIFY(Fs::FileExists(Linked));
    }

    void noCallbacksNeeded() {
        QVERIFY(WriteTestFile(P("quiet/f"), "q"));
        QVERIFY(CreateLockerAt(P("quiet"), P("quiet.kvlocker"), Password, nullptr, nullptr).Success);
    }

    void throttle() {
        QList<int64_t> Calls;
        const TLockerProgressProc Progress = [&](const QString&, int64_t Done, int64_t) { Calls.append(Done); };
        TProgressThrottle Throttle(Progress);
        const uint64_t Now = 1000000;
        const int64_t Total = 100 << 20;
        Throttle.ReportAt("p", 10, Total, Now);                   // first: always
        Throttle.ReportAt("p", 20, Total, Now + 50);              // held back
        Throttle.ReportAt("p", 30, Total, Now + 120);             // 120 ms passed
        Throttle.ReportAt("p", 30 + (8 << 20), Total, Now + 121); // 8 MiB
        Throttle.ReportAt("p", 31 + (8 << 20), Total, Now + 122); // held back
        Throttle.ReportAt("p", Total, Total, Now + 122);          // the end
        Throttle.ReportAt("p", 0, Total, Now + 122);              // the start
        Throttle.ReportAt("p", 1, Total, Now + 123);              // held back: just reported
        QCOMPARE(Calls, (QList<int64_t>{10, 30, 30 + (8 << 20), Total, 0}));

        const TLockerProgressProc None;
        TProgressThrottle Silent(None);
        Silent.Report("p", 5, 10); // no callback, nothing to call
    }

    void cancelCheckAndAttributes() {
        CheckCancelled(nullptr);
        CheckCancelled([] { return false; });
        try {
            CheckCancelled([] { return true; });
            QFAIL("no error");
        } catch (const EKelvarnError& Error) {
            QCOMPARE(Error.Message(), QStringLiteral("Operation cancelled by user."));
        }
        QCOMPARE(FileAttributesOrZero(P("does-not-exist")), 0);
        QVERIFY(WriteTestFile(P("attr/.h"), "h", 0444));
        const int32_t A = FileAttributesOrZero(P("attr/.h"));
        QVERIFY((A & 0x1) && (A & 0x2));
        QCOMPARE((A >> 16) & 0777, 0444);
    }

    void collectEntriesOrder() {
        QVERIFY(WriteTestFile(P("walk/x/y/z"), "z"));
        QVERIFY(WriteTestFile(P("walk/w"), "w"));
        QList<TEntryInfo> List;
        CollectEntries(P("walk"), P("walk"), List);
        QStringList Paths;
        for (const TEntryInfo& E : List) {
            Paths << E.RelativePath;
            QCOMPARE(E.SourceFullPath, P("walk/") + StoredPathToLocal(E.RelativePath));
        }
        QCOMPARE(Paths.size(), 4);
        QVERIFY(Paths.indexOf("x") < Paths.indexOf("x\\y"));
        QVERIFY(Paths.indexOf("x\\y") < Paths.indexOf("x\\y\\z"));

        // The list the writer holds carries stored paths only, and names each item the same way.
        QList<TEntryInfo> Lean;
        CollectEntries(P("walk"), P("walk"), Lean, false);
        QCOMPARE(Lean.size(), List.size());
        for (qsizetype I = 0; I < Lean.size(); ++I) {
            QCOMPARE(Lean[I].RelativePath, List[I].RelativePath);
            QVERIFY(Lean[I].SourceFullPath.isEmpty());
            QCOMPARE(EntrySourcePath(P("walk"), Lean[I]), List[I].SourceFullPath);
            QCOMPARE(EntrySourcePath(P("walk"), List[I]), List[I].SourceFullPath);
        }
    }

    void unreadableFolderFails() {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QVERIFY(WriteTestFile(P("locked/inner/f"), "f"));
        QVERIFY(::chmod(QFile::encodeName(P("locked/inner")).constData(), 0) == 0);
        const TLockerResult R = CreateLockerAt(P("locked"), P("locked.kvlocker"), Password);
        ::chmod(QFile::encodeName(P("locked/inner")).constData(), 0755);
        QVERIFY(!R.Success);
        QVERIFY2(R.MessageText.contains(P("locked/inner")), qPrintable(R.MessageText));
        QVERIFY(!Fs::PathExists(P("locked.kvlocker")));
    }
};

QTEST_GUILESS_MAIN(TestLockerWriter)
#include "test_lockerwriter.moc"
