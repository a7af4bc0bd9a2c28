#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformFiles.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr char SystemXattr[] = "user.kelvarn.system";

void WriteFile(const QString& Path, const QByteArray& Data, mode_t Mode = 0644) {
    QVERIFY2(WriteTestFile(Path, Data, static_cast<int>(Mode)), qPrintable(Path));
}

QByteArray ReadFile(const QString& Path) {
    return ReadTestFile(Path, "<missing>");
}

mode_t ModeOf(const QString& Path) {
    struct stat St;
    if (::lstat(Enc(Path).constData(), &St) != 0)
        return static_cast<mode_t>(-1);
    return St.st_mode & 07777;
}

// A umask of the test's choosing for a scope: the usual 022 takes nothing away from modes such as
// 0640, so it could not show whether a new file's mode honours the umask at all.
class TScopedUmask {
public:
    explicit TScopedUmask(mode_t Mask) : FOld(::umask(Mask)) {}
    ~TScopedUmask() { ::umask(FOld); }
    TScopedUmask(const TScopedUmask&) = delete;
    TScopedUmask& operator=(const TScopedUmask&) = delete;

private:
    mode_t FOld;
};

ino_t InodeOf(const QString& Path) {
    struct stat St;
    return ::lstat(Enc(Path).constData(), &St) == 0 ? St.st_ino : 0;
}

bool HasXattr(const QString& Path) {
    return ::lgetxattr(Enc(Path).constData(), SystemXattr, nullptr, 0) >= 0;
}

uint32_t Low(uint32_t Attributes) {
    return Attributes & 0xFFFFu;
}

uint32_t Perm(uint32_t Attributes) {
    return Attributes >> Attr::PermShift;
}

QString MessageOf(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const EKelvarnError& E) {
        return E.Message();
    }
    return QString();
}

} // namespace

class TestPlatformFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FTemp;
    bool FXattrs = false;
    QString Dir(const QString& Name) const { return FTemp.filePath(Name); }
    QString Fresh(const QString& Name) const {
        const QString Path = FTemp.filePath(Name);
        QDir(Path).removeRecursively();
        QDir().mkpath(Path);
        return Path;
    }

private slots:
    void initTestCase() {
        QVERIFY(FTemp.isValid());
        const QString Probe = Dir("xattr-probe");
        WriteFile(Probe, "x");
        FXattrs = ::lsetxattr(Enc(Probe).constData(), SystemXattr, "1", 1, 0) == 0;
        if (!FXattrs)
            QCOMPARE(errno, ENOTSUP);
    }

    // --- existence -------------------------------------------------------------------------------

    void existence_data() {
        QTest::addColumn<QString>("Kind");
        QTest::addColumn<bool>("IsFile");
        QTest::addColumn<bool>("IsDir");
        QTest::addColumn<bool>("Exists");
        QTest::newRow("file") << "file" << true << false << true;
        QTest::newRow("folder") << "folder" << false << true << true;
        QTest::newRow("link to file") << "link-file" << false << false << true;
        QTest::newRow("link to folder") << "link-folder" << false << false << true;
        QTest::newRow("dangling link") << "link-dangling" << false << false << true;
        QTest::newRow("fifo") << "fifo" << false << false << true;
        QTest::newRow("missing") << "missing" << false << false << false;
        QTest::newRow("nul in path") << "nul" << false << false << false;
    }
    void existence() {
        QFETCH(QString, Kind);
        QFETCH(bool, IsFile);
        QFETCH(bool, IsDir);
        QFETCH(bool, Exists);
        const QString Base = Fresh("existence");
        WriteFile(Base + "/file", "data");
        QDir().mkdir(Base + "/folder");
        QVERIFY(QFile::link(Base + "/file", Base + "/link-file"));
        QVERIFY(QFile::link(Base + "/folder", Base + "/link-folder"));
        QVERIFY(QFile::link(Base + "/nowhere", Base + "/link-dangling"));
        QCOMPARE(::mkfifo(Enc(Base + "/fifo").constData(), 0644), 0);
        // A NUL must not cut "file\0x" down to the existing "file".
        const QString Path = Kind == "nul" ? Base + "/file" + QChar(0) + "x" : Base + "/" + Kind;
        QCOMPARE(Fs::FileExists(Path), IsFile);
        QCOMPARE(Fs::DirectoryExists(Path), IsDir);
        QCOMPARE(Fs::PathExists(Path), Exists);
    }

    // --- reading attributes ----------------------------------------------------------------------

    void readAttributes_data() {
        QTest::addColumn<bool>("Folder");
        QTest::addColumn<int>("Mode");
        QTest::addColumn<uint>("Expected");
        QTest::newRow("writable file") << false << 0644 << 0u;
        QTest::newRow("owner cannot write") << false << 0464 << Attr::ReadOnly;
        QTest::newRow("no bits at all") << false << 0000 << Attr::ReadOnly;
        QTest::newRow("set-id and sticky reported") << false << 06755 << 0u;
        QTest::newRow("writable folder") << true << 0755 << Attr::Directory;
        QTest::newRow("read-only folder") << true << 0555 << (Attr::Directory | Attr::ReadOnly);
        QTest::newRow("sticky folder") << true << 01777 << Attr::Directory;
    }
    void readAttributes() {
        QFETCH(bool, Folder);
        QFETCH(int, Mode);
        QFETCH(uint, Expected);
        const QString Base = Fresh("readattr");
        const QString Path = Base + "/item";
        if (Folder)
            QVERIFY(QDir().mkdir(Path));
        else
            WriteFile(Path, "abc");
        QCOMPARE(::chmod(Enc(Path).constData(), static_cast<mode_t>(Mode)), 0);
        const uint32_t A = Fs::GetFileAttributes(Path);
        QCOMPARE(Low(A), Expected);
        QCOMPARE(Perm(A), static_cast<uint32_t>(Mode));
        QCOMPARE(::chmod(Enc(Path).constData(), 0755), 0);
    }

    void readAttributesOfLinksAndMissing() {
        const QString Base = Fresh("readlinks");
        QDir().mkdir(Base + "/folder");
        WriteFile(Base + "/file", "x", 0444);
        QVERIFY(QFile::link(Base + "/folder", Base + "/to-folder"));
        QVERIFY(QFile::link(Base + "/file", Base + "/to-file"));
        // The link itself: neither a folder nor read-only, whatever it points at.
        QCOMPARE(Low(Fs::GetFileAttributes(Base + "/to-folder")), 0u);
        QCOMPARE(Low(Fs::GetFileAttributes(Base + "/to-file")), 0u);
        QCOMPARE(Fs::GetFileAttributes(Base + "/missing"), Attr::Invalid);
        QCOMPARE(Fs::GetFileAttributes(QString()), Attr::Invalid);
        QCOMPARE(Fs::GetFileAttributes(Base + "/file" + QChar(0)), Attr::Invalid);
    }

    void readHidden_data() {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<QByteArray>("HiddenList");
        QTest::addColumn<bool>("Hidden");
        QTest::newRow("plain") << "item" << QByteArray() << false;
        QTest::newRow("leading dot") << ".item" << QByteArray() << true;
        QTest::newRow("listed") << "item" << QByteArray("a\nitem\nb\n") << true;
        QTest::newRow("listed, last line without newline") << "item" << QByteArray("a\nitem") << true;
        QTest::newRow("listed with CR LF") << "item" << QByteArray("a\r\nitem\r\n") << true;
        QTest::newRow("only a longer name listed") << "item" << QByteArray("item2\nitem.txt\n") << false;
        QTest::newRow("only a prefix listed") << "item" << QByteArray("ite\n") << false;
        QTest::newRow("non-ASCII listed") << QString::fromUtf8("Ünïcødé файл") << QByteArray("Ünïcødé файл\n") << true;
        QTest::newRow("name with spaces") << "my item" << QByteArray("my item\n") << true;
    }
    void readHidden() {
        QFETCH(QString, Name);
        QFETCH(QByteArray, HiddenList);
        QFETCH(bool, Hidden);
        const QString Base = Fresh("readhidden");
        WriteFile(Base + "/" + Name, "x");
        if (!HiddenList.isNull())
            WriteFile(Base + "/.hidden", HiddenList);
        QCOMPARE((Fs::GetFileAttributes(Base + "/" + Name) & Attr::Hidden) != 0, Hidden);
        // The same answer through a path that is not normalised.
        QCOMPARE((Fs::GetFileAttributes(Base + "//./" + Name) & Attr::Hidden) != 0, Hidden);
        // The listing agrees.
        const QList<TDirEntry> Entries = Fs::ListFolder(Base);
        const auto It =
            std::find_if(Entries.begin(), Entries.end(), [&](const TDirEntry& E) { return E.Name == Name; });
        QVERIFY(It != Entries.end());
        QCOMPARE((It->Attributes & Attr::Hidden) != 0, Hidden);
    }

    void readSystem() {
        if (!FXattrs)
            QSKIP("no user extended attributes on this file system");
        const QString Base = Fresh("readsystem");
        WriteFile(Base + "/file", "x");
        QDir().mkdir(Base + "/folder");
        QCOMPARE(Low(Fs::GetFileAttributes(Base + "/file")), 0u);
        QCOMPARE(::lsetxattr(Enc(Base + "/file").constData(), SystemXattr, "1", 1, 0), 0);
        QCOMPARE(::lsetxattr(Enc(Base + "/folder").constData(), SystemXattr, "1", 1, 0), 0);
        QCOMPARE(Low(Fs::GetFileAttributes(Base + "/file")), Attr::System);
        QCOMPARE(Low(Fs::GetFileAttributes(Base + "/folder")), Attr::System | Attr::Directory);
    }

    // --- writing attributes ----------------------------------------------------------------------

    void writeReadOnlyAndPermissions_data() {
        QTest::addColumn<int>("Before");
        QTest::addColumn<uint>("Attributes");
        QTest::addColumn<int>("After");
        QTest::newRow("set removes every write bit") << 0666 << Attr::ReadOnly << 0444;
        QTest::newRow("clear adds owner write only") << 0444 << 0u << 0644;
        QTest::newRow("clear keeps a writable file") << 0640 << 0u << 0640;
        QTest::newRow("low bits keep set-id bits already there") << 06755 << Attr::ReadOnly << 06555;
        QTest::newRow("permissions applied") << 0600 << (0750u << Attr::PermShift) << 0750;
        QTest::newRow("permissions never set-id or sticky") << 0600 << (07755u << Attr::PermShift) << 0755;
        QTest::newRow("read-only wins over permissions")
            << 0600 << ((0664u << Attr::PermShift) | Attr::ReadOnly) << 0444;
        QTest::newRow("writable wins over permissions") << 0600 << (0444u << Attr::PermShift) << 0644;
        QTest::newRow("attributes as read, unchanged") << 0751 << (0751u << Attr::PermShift) << 0751;
    }
    void writeReadOnlyAndPermissions() {
        QFETCH(int, Before);
        QFETCH(uint, Attributes);
        QFETCH(int, After);
        const QString Base = Fresh("writeperm");
        const QString Path = Base + "/file";
        WriteFile(Path, "content", static_cast<mode_t>(Before));
        QVERIFY(Fs::SetFileAttributes(Path, Attributes));
        QCOMPARE(static_cast<int>(ModeOf(Path)), After);
        QCOMPARE((Fs::GetFileAttributes(Path) & Attr::ReadOnly) != 0, (After & 0200) == 0);
        QCOMPARE(ReadFile(Path), QByteArray("content"));
        QVERIFY(!QFile::exists(Base + "/.hidden"));
    }

    void writeReadOnlyFolder() {
        const QString Base = Fresh("writerofolder");
        const QString Path = Base + "/folder";
        QVERIFY(QDir().mkdir(Path));
        QCOMPARE(::chmod(Enc(Path).constData(), 0755), 0);
        QVERIFY(Fs::SetFileAttributes(Path, Attr::Directory | Attr::ReadOnly));
        QCOMPARE(ModeOf(Path), mode_t(0555));
        QCOMPARE(Low(Fs::GetFileAttributes(Path)), Attr::Directory | Attr::ReadOnly);
        QVERIFY(Fs::SetFileAttributes(Path, Attr::Directory));
        QCOMPARE(ModeOf(Path), mode_t(0755));
    }

    void writeHiddenEditsList_data() {
        QTest::addColumn<QByteArray>("Before");
        QTest::addColumn<bool>("Hide");
        QTest::addColumn<QByteArray>("After"); // null: no list left
        QTest::newRow("set, no list yet") << QByteArray() << true << QByteArray("target\n");
        QTest::newRow("set, others kept in order")
            << QByteArray("zeta\nalpha\n") << true << QByteArray("zeta\nalpha\ntarget\n");
        QTest::newRow("set, last line without newline")
            << QByteArray("zeta\nalpha") << true << QByteArray("zeta\nalpha\ntarget\n");
        QTest::newRow("set, CR LF lines kept")
            << QByteArray("zeta\r\nalpha\r\n") << true << QByteArray("zeta\r\nalpha\r\ntarget\n");
        QTest::newRow("set, already listed")
            << QByteArray("zeta\ntarget\nalpha\n") << true << QByteArray("zeta\ntarget\nalpha\n");
        QTest::newRow("clear, others kept in order")
            << QByteArray("zeta\ntarget\nalpha\n") << false << QByteArray("zeta\nalpha\n");
        QTest::newRow("clear, listed twice") << QByteArray("target\nzeta\ntarget\n") << false << QByteArray("zeta\n");
        QTest::newRow("clear, CR LF entry") << QByteArray("zeta\r\ntarget\r\n") << false << QByteArray("zeta\r\n");
        QTest::newRow("clear, look-alikes kept")
            << QByteArray("target2\ntarget\n targett\n") << false << QByteArray("target2\n targett\n");
        QTest::newRow("clear, last name removes the list") << QByteArray("target\n") << false << QByteArray();
        QTest::newRow("clear, not listed") << QByteArray("zeta\n") << false << QByteArray("zeta\n");
        QTest::newRow("clear, no list") << QByteArray() << false << QByteArray();
    }
    void writeHiddenEditsList() {
        QFETCH(QByteArray, Before);
        QFETCH(bool, Hide);
        QFETCH(QByteArray, After);
        const QString Base = Fresh("writehidden");
        const QString Path = Base + "/target";
        const QString List = Base + "/.hidden";
        WriteFile(Path, "data", 0640);
        if (!Before.isNull())
            WriteFile(List, Before, 0604);
        const ino_t InodeBefore = InodeOf(List);

        {
            const TScopedUmask Mask(027);
            QVERIFY(Fs::SetFileAttributes(Path, Hide ? Attr::Hidden : 0u));
        }

        QCOMPARE((Fs::GetFileAttributes(Path) & Attr::Hidden) != 0, Hide);
        QCOMPARE(ModeOf(Path), mode_t(0640)); // hidden alone leaves the permissions be
        QCOMPARE(ReadFile(Path), QByteArray("data"));
        if (After.isNull()) {
            QVERIFY(!Fs::PathExists(List));
        } else {
            QCOMPARE(ReadFile(List), After);
            if (Before.isNull())
                QCOMPARE(ModeOf(List), mode_t(0640)); // as any new file: 0666 less the umask
            else
                QCOMPARE(ModeOf(List), mode_t(0604)); // the old list's mode travels to the new one
            // Nothing changed: the list was not rewritten; changed: replaced by rename, not in place.
            if (After == Before)
                QCOMPARE(InodeOf(List), InodeBefore);
            else if (!Before.isNull())
                QVERIFY(InodeOf(List) != InodeBefore);
        }
        // No temporary file left beside the list.
        QStringList Names = QDir(Base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        Names.sort();
        QStringList Expected{"target"};
        if (!After.isNull())
            Expected.prepend(".hidden");
        QCOMPARE(Names, Expected);
    }

    void writeHiddenRoundTripKeepsOthers() {
        // Several names hidden and shown in turn: each edit keeps the others listed.
        const QString Base = Fresh("hiddenroundtrip");
        const QStringList Names{"one", "two", QString::fromUtf8("drei ü"), "four.kvlocker"};
        for (const QString& Name : Names) {
            WriteFile(Base + "/" + Name, "x");
            QVERIFY(Fs::SetFileAttributes(Base + "/" + Name, Fs::GetFileAttributes(Base + "/" + Name) | Attr::Hidden));
        }
        QCOMPARE(ReadFile(Base + "/.hidden"), QByteArray("one\ntwo\ndrei ü\nfour.kvlocker\n"));
        QVERIFY(Fs::SetFileAttributes(Base + "/two", Fs::GetFileAttributes(Base + "/two") & ~Attr::Hidden));
        QCOMPARE(ReadFile(Base + "/.hidden"), QByteArray("one\ndrei ü\nfour.kvlocker\n"));
        for (const QString& Name : Names)
            QCOMPARE((Fs::GetFileAttributes(Base + "/" + Name) & Attr::Hidden) != 0, Name != "two");
    }

    void writeHiddenClearsStaleTemporaries() {
        // A writer killed between creating its temporary list and renaming it leaves that file; the
        // next edit removes it, known by the journal, and leaves one that a living writer holds.
        const QString Base = Fresh("hiddenstale");
        const TDirHandle Folder = TDirHandle::Open(Base);
        const pid_t Child = ::fork();
        if (Child == 0) {
            // Ends without unwinding, as a crash would: the file and its record stay.
            TPendingFile Killed(Folder, 0666);
            Killed.Stream().WriteBuffer("half", 4);
            ::_exit(0);
        }
        int Status = 0;
        QCOMPARE(::waitpid(Child, &Status, 0), Child);
        const QDir::Filters All = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(Base).entryList(All).size(), 1);
        TPendingFile Living(Folder);
        WriteFile(Base + "/item", "x");
        QVERIFY(Fs::SetFileAttributes(Base + "/item", Attr::Hidden));
        QCOMPARE(QDir(Base).entryList(All, QDir::Name),
                 QStringList({".hidden", QFileInfo(Living.Path()).fileName(), "item"}));
        QCOMPARE(ReadFile(Base + "/.hidden"), QByteArray("item\n"));
    }

    // A folder the user may write to but not read still takes its list, and nothing else is left.
    void writeHiddenInUnreadableFolder() {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        const QString Base = Fresh("hiddenwriteonly");
        WriteFile(Base + "/target", "x");
        QCOMPARE(::chmod(Enc(Base).constData(), 0300), 0);
        const bool Done = Fs::SetFileAttributes(Base + "/target", Attr::Hidden);
        QCOMPARE(::chmod(Enc(Base).constData(), 0700), 0);
        QVERIFY(Done);
        QCOMPARE(ReadFile(Base + "/.hidden"), QByteArray("target\n"));
        QCOMPARE(QDir(Base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({".hidden", "target"}));
    }

    void writeHiddenDotNames() {
        const QString Base = Fresh("hiddendot");
        const QString Path = Base + "/.dotfile";
        WriteFile(Path, "x");
        QVERIFY(Fs::SetFileAttributes(Path, Attr::Hidden));
        QVERIFY(!Fs::PathExists(Base + "/.hidden")); // the name hides it already
        // Clearing cannot rename the item: it succeeds and the name still hides it.
        QVERIFY(Fs::SetFileAttributes(Path, 0));
        QVERIFY(Fs::GetFileAttributes(Path) & Attr::Hidden);
        QVERIFY(!Fs::PathExists(Base + "/.hidden"));
    }

    // A ".hidden" that a neighbour has made a link, a FIFO or their own file is left exactly as it is:
    // the link is not followed, the FIFO not waited on, and the item stays unhidden.
    void writeHiddenRefusesForeignList_data() {
        QTest::addColumn<QString>("Kind");
        QTest::addColumn<QString>("Reason");
        QTest::newRow("link to a file elsewhere") << "link"
                                                  << "The path is a symbolic link.";
        QTest::newRow("FIFO") << "fifo"
                              << "It is not a regular file.";
        QTest::newRow("another user's list") << "owner"
                                             << "It belongs to another user.";
    }
    void writeHiddenRefusesForeignList() {
        QFETCH(QString, Kind);
        QFETCH(QString, Reason);
        if (Kind == "owner" && ::geteuid() != 0)
            QSKIP("giving the list to another user needs root");
        const QString Base = Fresh("hiddenforeign");
        const QString Elsewhere = Fresh("hiddenforeign-elsewhere") + "/list";
        const QString List = Base + "/.hidden";
        WriteFile(Base + "/target", "x");
        if (Kind == "link") {
            WriteFile(Elsewhere, "other\n");
            QVERIFY(QFile::link(Elsewhere, List));
        } else if (Kind == "fifo") {
            QCOMPARE(::mkfifo(Enc(List).constData(), 0644), 0);
        } else {
            WriteFile(List, "other\n");
            QCOMPARE(::chown(Enc(List).constData(), 65534, 65534), 0);
        }
        struct stat Before;
        QCOMPARE(::lstat(Enc(List).constData(), &Before), 0);

        QCOMPARE(MessageOf([&] { Fs::SetFileAttributes(Base + "/target", Attr::Hidden); }),
                 QStringLiteral("Cannot open file \"%1\". %2").arg(List, Reason));

        struct stat After;
        QCOMPARE(::lstat(Enc(List).constData(), &After), 0);
        QCOMPARE(After.st_ino, Before.st_ino);
        QCOMPARE(After.st_mode, Before.st_mode);
        QCOMPARE(After.st_uid, Before.st_uid);
        if (Kind == "link")
            QCOMPARE(ReadFile(Elsewhere), QByteArray("other\n"));
        if (Kind == "owner")
            QCOMPARE(ReadFile(List), QByteArray("other\n"));
        QCOMPARE(Fs::GetFileAttributes(Base + "/target") & Attr::Hidden, 0u);
        QCOMPARE(
            QDir(Base).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
            QStringList({".hidden", "target"}));
    }

    // A link swapped in for the list after it was read is replaced as a link by the new list, never
    // written through.
    void writeHiddenReplacesALinkSwappedIn() {
        const QString Base = Fresh("hiddenswap");
        const QString Elsewhere = Fresh("hiddenswap-elsewhere") + "/list";
        const QString List = Base + "/.hidden";
        WriteFile(Elsewhere, "other\n");
        WriteFile(List, "kept\n");
        WriteFile(Base + "/target", "x");
        bool Swapped = false;
        SetFileStepHookForTest([&](const char* Step, const QString& Path) {
            if (QByteArray(Step) != "EditHiddenList:replace" || Path != List)
                return;
            Swapped = ::unlink(Enc(List).constData()) == 0 && QFile::link(Elsewhere, List);
        });
        const bool Done = Fs::SetFileAttributes(Base + "/target", Attr::Hidden);
        SetFileStepHookForTest(nullptr);
        QVERIFY(Swapped);
        QVERIFY(Done);
        QCOMPARE(ReadFile(Elsewhere), QByteArray("other\n"));
        QVERIFY(!QFileInfo(List).isSymLink());
        QCOMPARE(ReadFile(List), QByteArray("kept\ntarget\n"));
    }

    void writeHiddenRefusesLineBreaks() {
        // Listing "a\nb" would hide "a" and "b" instead; such a name cannot be hidden by the list.
        const QString Base = Fresh("hiddenbreak");
        WriteFile(Base + "/victim", "x");
        WriteFile(Base + "/new\nvictim", "x");
        WriteFile(Base + "/cr\r", "x");
        QVERIFY(!Fs::SetFileAttributes(Base + "/new\nvictim", Attr::Hidden));
        QVERIFY(!Fs::SetFileAttributes(Base + "/cr\r", Attr::Hidden));
        QVERIFY(!Fs::PathExists(Base + "/.hidden"));
        QCOMPARE(Fs::GetFileAttributes(Base + "/victim") & Attr::Hidden, 0u);
        QVERIFY(Fs::SetFileAttributes(Base + "/new\nvictim", 0)); // nothing to clear
    }

    void writeSystem() {
        if (!FXattrs)
            QSKIP("no user extended attributes on this file system");
        const QString Base = Fresh("writesystem");
        const QString Path = Base + "/file";
        WriteFile(Path, "x", 0444);
        // Set together with read-only: the attribute is written although the file has no write bit.
        QVERIFY(Fs::SetFileAttributes(Path, Attr::System | Attr::ReadOnly | Attr::Hidden));
        QVERIFY(HasXattr(Path));
        QCOMPARE(ModeOf(Path), mode_t(0444));
        QCOMPARE(Low(Fs::GetFileAttributes(Path)), Attr::System | Attr::ReadOnly | Attr::Hidden);
        QVERIFY(Fs::SetFileAttributes(Path, Attr::ReadOnly));
        QVERIFY(!HasXattr(Path));
        QCOMPARE(ModeOf(Path), mode_t(0444));
        QCOMPARE(Low(Fs::GetFileAttributes(Path)), Attr::ReadOnly);
        QVERIFY(!Fs::PathExists(Base + "/.hidden"));
        // Folders carry it too.
        QVERIFY(QDir().mkdir(Base + "/folder"));
        QVERIFY(Fs::SetFileAttributes(Base + "/folder", Attr::Directory | Attr::System));
        QCOMPARE(Low(Fs::GetFileAttributes(Base + "/folder")), Attr::Directory | Attr::System);
    }

    void writeLinkAndMissing() {
        const QString Base = Fresh("writelink");
        WriteFile(Base + "/target", "x", 0644);
        QVERIFY(QFile::link(Base + "/target", Base + "/link"));
        // Only the link's own hidden bit is set; the file it points at keeps its mode and attributes.
        QVERIFY(Fs::SetFileAttributes(Base + "/link", Attr::Hidden | Attr::ReadOnly | Attr::System));
        QCOMPARE(ModeOf(Base + "/target"), mode_t(0644));
        QVERIFY(!HasXattr(Base + "/target"));
        QCOMPARE(ReadFile(Base + "/.hidden"), QByteArray("link\n"));
        QCOMPARE(Low(Fs::GetFileAttributes(Base + "/target")), 0u);
        QVERIFY(!Fs::SetFileAttributes(Base + "/missing", 0));
        QVERIFY(!Fs::SetFileAttributes(Base + "/missing", Attr::Hidden));
        QVERIFY(!Fs::PathExists(Base + "/missing"));
    }

    // --- listing ---------------------------------------------------------------------------------

    void listFolder() {
        const QString Base = Fresh("list");
        WriteFile(Base + "/plain.txt", "12345");
        WriteFile(Base + "/.dot", "");
        WriteFile(Base + "/listed", "ab", 0444);
        WriteFile(Base + "/.hidden", "listed\nsub\n");
        QVERIFY(QDir().mkdir(Base + "/sub"));
        QVERIFY(QDir().mkdir(Base + "/sub/inner"));
        QVERIFY(QFile::link(Base + "/sub", Base + "/link-to-folder"));
        QVERIFY(QFile::link(Base + "/plain.txt", Base + "/link-to-file"));
        QVERIFY(QFile::link(Base + "/gone", Base + "/dangling"));
        QCOMPARE(::mkfifo(Enc(Base + "/fifo").constData(), 0600), 0);
        WriteFile(Base + QString::fromUtf8("/Ünïcødé файл"), "u");

        // The file system's own order.
        QStringList RawOrder;
        DIR* D = ::opendir(Enc(Base).constData());
        QVERIFY(D);
        while (const dirent* E = ::readdir(D)) {
            const QByteArray N(E->d_name);
            if (N != "." && N != "..")
                RawOrder << QFile::decodeName(N);
        }
        ::closedir(D);

        const QList<TDirEntry> Entries = Fs::ListFolder(Base);
        QStringList Names;
        for (const TDirEntry& E : Entries)
            Names << E.Name;
        QCOMPARE(Names, RawOrder);
        QCOMPARE(Names.size(), 10);

        QHash<QString, TDirEntry> ByName;
        for (const TDirEntry& E : Entries)
            ByName.insert(E.Name, E);
        auto Check = [&](const QString& Name, TEntryKind Kind, uint32_t LowBits, int64_t Size) {
            QVERIFY2(ByName.contains(Name), qPrintable(Name));
            const TDirEntry& E = ByName[Name];
            QCOMPARE(E.Kind, Kind);
            QCOMPARE(Low(E.Attributes), LowBits);
            QCOMPARE(E.Size, Size);
            QCOMPARE(E.Attributes, Fs::GetFileAttributes(Base + "/" + Name));
        };
        Check("plain.txt", TEntryKind::File, 0, 5);
        Check(".dot", TEntryKind::File, Attr::Hidden, 0);
        Check("listed", TEntryKind::File, Attr::Hidden | Attr::ReadOnly, 2);
        Check(".hidden", TEntryKind::File, Attr::Hidden, 11);
        Check("sub", TEntryKind::Directory, Attr::Directory | Attr::Hidden, 0);
        Check("link-to-folder", TEntryKind::SymLink, 0, 0);
        Check("link-to-file", TEntryKind::SymLink, 0, 0);
        Check("dangling", TEntryKind::SymLink, 0, 0);
        Check("fifo", TEntryKind::Other, 0, 0);
        Check(QString::fromUtf8("Ünïcødé файл"), TEntryKind::File, 0, 1);
        QCOMPARE(Perm(ByName["listed"].Attributes), 0444u);
    }

    void listFolderFailures() {
        const QString Base = Fresh("listfail");
        WriteFile(Base + "/file", "x");
        QVERIFY(MessageOf([&] {
                    Fs::ListFolder(Base + "/missing");
                }).startsWith(QStringLiteral("Cannot open folder \"%1/missing\". ").arg(Base)));
        QVERIFY(MessageOf([&] { Fs::ListFolder(Base + "/file"); }).contains(SystemErrorText(ENOTDIR)));
        QVERIFY(Fs::ListFolder(Fresh("listempty")).isEmpty());
        // A name that is not UTF-8 cannot be named again through a QString: refuse, never guess.
        const QByteArray Bad = Enc(Base) + "/bad\xff\xfe";
        const int Fd = ::open(Bad.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        QVERIFY(Fd >= 0);
        ::close(Fd);
        QVERIFY(MessageOf([&] { Fs::ListFolder(Base); }).contains("not valid UTF-8"));
        QCOMPARE(::unlink(Bad.constData()), 0);
        QCOMPARE(Fs::ListFolder(Base).size(), 1);
    }

    // --- paths and folders -----------------------------------------------------------------------

    void fullPath_data() {
        QTest::addColumn<QString>("Input");
        QTest::addColumn<QString>("Expected"); // "~" stands for the current folder
        QTest::newRow("absolute") << "/usr/lib"
                                  << "/usr/lib";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("trailing slash") << "/usr/lib/"
                                        << "/usr/lib";
        QTest::newRow("doubled slashes") << "//usr///lib"
                                         << "/usr/lib";
        QTest::newRow("dot segments") << "/usr/./lib/."
                                      << "/usr/lib";
        QTest::newRow("dot-dot") << "/usr/lib/../share"
                                 << "/usr/share";
        QTest::newRow("dot-dot above root") << "/../../etc"
                                            << "/etc";
        QTest::newRow("dot-dot to root") << "/usr/.."
                                         << "/";
        QTest::newRow("names with dots kept") << "/a/..b/.c/...d"
                                              << "/a/..b/.c/...d";
        QTest::newRow("relative") << "a/b"
                                  << "~/a/b";
        QTest::newRow("relative dot") << "."
                                      << "~";
        QTest::newRow("relative dot-dot") << "a/../../b"
                                          << "~/../b";
        QTest::newRow("backslash is a name character") << "/a\\b"
                                                       << "/a\\b";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fullPath() {
        QFETCH(QString, Input);
        QFETCH(QString, Expected);
        if (Expected.startsWith('~')) {
            // Lexical: the current folder's own normalised form, then the rest.
            QString Cwd = QDir::currentPath();
            Expected = Expected.mid(1);
            if (Expected.startsWith("/.."))
                Expected = QFileInfo(Cwd).path() + Expected.mid(3);
            else
                Expected = Cwd + Expected;
        }
        QCOMPARE(Fs::FullPath(Input), Expected);
    }

    void folders() {
        const QString Base = Fresh("folders");
        QVERIFY(Fs::ForceDirectories(Base + "/a/b/c"));
        QVERIFY(Fs::DirectoryExists(Base + "/a/b/c"));
        QVERIFY(Fs::ForceDirectories(Base + "/a/b/c/")); // exists already
        QVERIFY(Fs::ForceDirectories(Base + "/a/./b/../b/d"));
        QVERIFY(Fs::DirectoryExists(Base + "/a/b/d"));
        WriteFile(Base + "/file", "x");
        QVERIFY(!Fs::ForceDirectories(Base + "/file"));
        QVERIFY(!Fs::ForceDirectories(Base + "/file/below"));
        QCOMPARE(ReadFile(Base + "/file"), QByteArray("x"));
        QVERIFY(!Fs::ForceDirectories(QString()));

        // DeleteFile takes files and links only, never a folder; a link goes, its target stays.
        QVERIFY(!Fs::DeleteFile(Base + "/a/b/c"));
        QVERIFY(Fs::DirectoryExists(Base + "/a/b/c"));
        QVERIFY(QFile::link(Base + "/file", Base + "/link"));
        QVERIFY(Fs::DeleteFile(Base + "/link"));
        QVERIFY(Fs::FileExists(Base + "/file"));
        WriteFile(Base + "/readonly", "x", 0444);
        QVERIFY(Fs::DeleteFile(Base + "/readonly"));
        QVERIFY(!Fs::DeleteFile(Base + "/readonly"));
        QCOMPARE(errno, ENOENT);

        // RemoveDir takes empty folders only.
        QVERIFY(!Fs::RemoveDir(Base + "/a/b"));
        QVERIFY(Fs::DirectoryExists(Base + "/a/b/c"));
        QVERIFY(!Fs::RemoveDir(Base + "/file"));
        QVERIFY(Fs::RemoveDir(Base + "/a/b/c"));
        QVERIFY(!Fs::PathExists(Base + "/a/b/c"));
    }

    // --- rename without overwrite ----------------------------------------------------------------

    void renameNoReplace_data() {
        QTest::addColumn<bool>("Fallback");
        QTest::newRow("renameat2") << false;
        QTest::newRow("link and unlink") << true;
    }
    void renameNoReplace() {
        QFETCH(bool, Fallback);
        SetRenameNoReplaceFallbackForTest(Fallback);
        const QString Base = Fresh("rename");
        const QString Exists = SystemErrorText(EEXIST);

        // A file to a free name.
        WriteFile(Base + "/src", "source", 0640);
        Fs::RenameNoReplace(Base + "/src", Base + "/dst");
        QVERIFY(!Fs::PathExists(Base + "/src"));
        QCOMPARE(ReadFile(Base + "/dst"), QByteArray("source"));
        QCOMPARE(ModeOf(Base + "/dst"), mode_t(0640));
        struct stat St;
        QCOMPARE(::stat(Enc(Base + "/dst").constData(), &St), 0);
        QCOMPARE(St.st_nlink, nlink_t(1));

        // Never over anything that exists: a file, a folder (even empty), a dangling link.
        WriteFile(Base + "/src", "source");
        WriteFile(Base + "/file", "keep me");
        QVERIFY(QDir().mkdir(Base + "/emptydir"));
        QVERIFY(QFile::link(Base + "/nowhere", Base + "/dangling"));
        for (const char* Target : {"file", "emptydir", "dangling"}) {
            QCOMPARE(MessageOf([&] { Fs::RenameNoReplace(Base + "/src", Base + "/" + Target); }), Exists);
            QCOMPARE(ReadFile(Base + "/src"), QByteArray("source"));
        }
        QCOMPARE(ReadFile(Base + "/file"), QByteArray("keep me"));
        QVERIFY(Fs::DirectoryExists(Base + "/emptydir"));
        QVERIFY(QFileInfo(Base + "/dangling").isSymLink());
        QVERIFY(!Fs::PathExists(Base + "/nowhere"));

        // A folder with content, to a free name and onto an existing empty folder.
        QVERIFY(Fs::ForceDirectories(Base + "/tree/inner"));
        WriteFile(Base + "/tree/inner/f", "deep");
        QCOMPARE(MessageOf([&] { Fs::RenameNoReplace(Base + "/tree", Base + "/emptydir"); }), Exists);
        QVERIFY(Fs::FileExists(Base + "/tree/inner/f"));
        QCOMPARE(MessageOf([&] { Fs::RenameNoReplace(Base + "/tree", Base + "/file"); }), Exists);
        Fs::RenameNoReplace(Base + "/tree", Base + "/moved");
        QCOMPARE(ReadFile(Base + "/moved/inner/f"), QByteArray("deep"));
        QVERIFY(!Fs::PathExists(Base + "/tree"));

        // A missing source names the system's reason and creates nothing.
        QCOMPARE(MessageOf([&] { Fs::RenameNoReplace(Base + "/absent", Base + "/new"); }), SystemErrorText(ENOENT));
        QVERIFY(!Fs::PathExists(Base + "/new"));
        SetRenameNoReplaceFallbackForTest(false);
    }

    // --- file streams ----------------------------------------------------------------------------

    void streamLocks_data() {
        QTest::addColumn<int>("First");
        QTest::addColumn<int>("Second");
        QTest::addColumn<bool>("Allowed");
        using M = TFileStream::TMode;
        const int Shared = int(M::OpenReadShared), Excl = int(M::CreateExclusive), Rw = int(M::OpenReadWrite);
        QTest::newRow("reader, reader") << Shared << Shared << true;
        QTest::newRow("reader, writer") << Shared << Rw << false;
        QTest::newRow("reader, create") << Shared << Excl << false;
        QTest::newRow("writer, reader") << Rw << Shared << false;
        QTest::newRow("create, reader") << Excl << Shared << false;
        QTest::newRow("writer, writer") << Rw << Rw << false;
        QTest::newRow("create, create") << Excl << Excl << false;
    }
    void streamLocks() {
        QFETCH(int, First);
        QFETCH(int, Second);
        QFETCH(bool, Allowed);
        const QString Path = Fresh("locks") + "/file";
        WriteFile(Path, "precious");
        {
            TFileStream A(Path, TFileStream::TMode(First));
            if (TFileStream::TMode(First) == TFileStream::TMode::CreateExclusive)
                A.WriteBuffer("precious", 8);
            const QString Message = MessageOf([&] { TFileStream B(Path, TFileStream::TMode(Second)); });
            if (Allowed) {
                QCOMPARE(Message, QString());
            } else {
                QCOMPARE(Message,
                         QStringLiteral("Cannot open file \"%1\". The file is in use by another process.").arg(Path));
            }
            // A refused create never truncated the file that is in use.
            QCOMPARE(ReadFile(Path), QByteArray("precious"));
        }
        // The lock goes with the stream.
        TFileStream C(Path, TFileStream::TMode::OpenReadWrite);
    }

    void streamOpenModes() {
        const QString Base = Fresh("modes");
        const QString Path = Base + "/created";
        {
            TFileStream S(Path, TFileStream::TMode::CreateNew);
            QCOMPARE(S.FileName(), Path);
            QVERIFY(::fcntl(S.Handle(), F_GETFD) & FD_CLOEXEC);
            S.WriteBuffer("abcdef", 6);
        }
        QCOMPARE(ModeOf(Path), mode_t(0600));
        QCOMPARE(ReadFile(Path), QByteArray("abcdef"));
        QCOMPARE(MessageOf([&] { TFileStream S(Path, TFileStream::TMode::CreateNew); }),
                 QStringLiteral("Cannot open file \"%1\". %2").arg(Path, SystemErrorText(EEXIST)));
        QCOMPARE(ReadFile(Path), QByteArray("abcdef"));
        {
            TFileStream S(Path, TFileStream::TMode::CreateExclusive); // truncates
            QCOMPARE(S.Size(), 0);
        }
        QCOMPARE(ReadFile(Path), QByteArray());
        {
            const TScopedUmask Mask(004);
            TFileStream S(Base + "/custom", TFileStream::TMode::CreateExclusive, 06644);
        }
        QCOMPARE(ModeOf(Base + "/custom"), mode_t(0640)); // what was asked, less the umask and set-id bits
        QCOMPARE(MessageOf([&] { TFileStream S(Base + "/missing", TFileStream::TMode::OpenReadShared); }),
                 QStringLiteral("Cannot open file \"%1/missing\". %2").arg(Base, SystemErrorText(ENOENT)));
        QCOMPARE(MessageOf([&] { TFileStream S(Base + "/missing", TFileStream::TMode::OpenReadWrite); }),
                 QStringLiteral("Cannot open file \"%1/missing\". %2").arg(Base, SystemErrorText(ENOENT)));
        QVERIFY(!Fs::PathExists(Base + "/missing"));
    }

    void streamRefusesWhatIsNotAFile() {
        const QString Base = Fresh("notfile");
        WriteFile(Base + "/outside", "do not touch");
        QVERIFY(QFile::link(Base + "/outside", Base + "/link"));
        QCOMPARE(MessageOf([&] { TFileStream S(Base + "/link", TFileStream::TMode::CreateExclusive); }),
                 QStringLiteral("Cannot open file \"%1/link\". The path is a symbolic link.").arg(Base));
        QCOMPARE(ReadFile(Base + "/outside"), QByteArray("do not touch"));
        QVERIFY(!MessageOf([&] { TFileStream S(Base + "/link", TFileStream::TMode::CreateNew); }).isEmpty());
        QCOMPARE(ReadFile(Base + "/outside"), QByteArray("do not touch"));
        // A FIFO would block the open or the reads; a folder cannot be read as a file.
        QCOMPARE(::mkfifo(Enc(Base + "/fifo").constData(), 0600), 0);
        QVERIFY(QDir().mkdir(Base + "/folder"));
        for (const char* Name : {"fifo", "folder"})
            for (auto Mode : {TFileStream::TMode::OpenReadShared, TFileStream::TMode::OpenReadWrite,
                              TFileStream::TMode::CreateExclusive})
                QVERIFY(!MessageOf([&] { TFileStream S(Base + "/" + Name, Mode); }).isEmpty());
    }

    void streamReadWriteSeek() {
        const QString Path = Fresh("rw") + "/data";
        // Larger than one copy buffer, with a pattern that shows misplaced bytes.
        QByteArray Data(9 * 1024 * 1024 + 123, Qt::Uninitialized);
        for (qsizetype I = 0; I < Data.size(); ++I)
            Data[I] = static_cast<char>((I * 7919) >> 3);
        {
            TFileStream W(Path, TFileStream::TMode::CreateExclusive);
            W.WriteBuffer(Data.constData(), 4 * 1024 * 1024);
            W.WriteBuffer(Data.constData() + 4 * 1024 * 1024, Data.size() - 4 * 1024 * 1024);
            QCOMPARE(W.Position(), Data.size());
            QCOMPARE(W.Size(), Data.size());
            W.Seek(10);
            W.WriteBuffer("XY", 2);
            QCOMPARE(W.Position(), 12);
            W.Flush();
            W.Close();
            W.Close(); // a second close is harmless
        }
        Data[10] = 'X';
        Data[11] = 'Y';
        QCOMPARE(ReadFile(Path), Data);

        TFileStream R(Path, TFileStream::TMode::OpenReadShared);
        QByteArray Got(Data.size(), '\0');
        R.ReadBuffer(Got.data(), 5);
        R.ReadBuffer(Got.data() + 5, Data.size() - 5);
        QCOMPARE(Got, Data);
        QCOMPARE(R.Read(Got.data(), 100), 0); // end of file
        R.Seek(Data.size() - 3);
        char Tail[8] = {};
        QCOMPARE(R.Read(Tail, sizeof(Tail)), 3);
        QCOMPARE(QByteArray(Tail, 3), Data.right(3));
        QCOMPARE(R.Position(), Data.size());
        QVERIFY(MessageOf([&] { R.Seek(-1); }).startsWith("Stream seek error"));
        QVERIFY(MessageOf([&] { R.WriteBuffer("z", 1); }).startsWith("Stream write error. "));
    }

    // A large file read from end to end leaves the page cache behind the reader when it was not
    // cached before, and stays when it was: the user's cached files are theirs.
    void streamReadLeavesCacheBehind_data() {
        QTest::addColumn<bool>("CachedBefore");
        QTest::newRow("not cached") << false;
        QTest::newRow("cached") << true;
    }
    void streamReadLeavesCacheBehind() {
        QFETCH(bool, CachedBefore);
        const QString Path = Fresh("cache") + "/data";
        QByteArray Data(48 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype I = 0; I < Data.size(); ++I)
            Data[I] = static_cast<char>((I * 7919) >> 5);
        WriteFile(Path, Data);
        {
            const int Fd = ::open(Enc(Path).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(Fd >= 0);
            ::fdatasync(Fd);
            ::posix_fadvise(Fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(Fd);
        }
        const double Start = CachedShare(Path);
        if (Start < 0)
            QSKIP("The page cache cannot be observed on this file system.");
        if (Start > 0.1)
            QSKIP("The file could not be put out of the page cache.");
        if (CachedBefore)
            QCOMPARE(ReadFile(Path), Data);
        QByteArray Got(Data.size(), '\0');
        {
            TFileStream R(Path, TFileStream::TMode::OpenReadShared);
            for (qsizetype Done = 0; Done < Got.size();)
                Done += R.Read(Got.data() + Done, qMin<qsizetype>(4 * 1024 * 1024, Got.size() - Done));
            QCOMPARE(R.Read(Got.data(), 1), 0);
        }
        QVERIFY(Got == Data);
        const double After = CachedShare(Path);
        if (CachedBefore)
            QVERIFY2(After > 0.9, qPrintable(QString::number(After)));
        else // the last few MiB read stay, and a piece under load may too
            QVERIFY2(After < 0.5, qPrintable(QString::number(After)));
    }

    void streamShortRead_data() {
        QTest::addColumn<int>("FileSize");
        QTest::addColumn<int>("Start");
        QTest::addColumn<int>("Count");
        QTest::newRow("one byte short") << 10 << 0 << 11;
        QTest::newRow("empty file") << 0 << 0 << 1;
        QTest::newRow("from the middle") << 100 << 60 << 41;
        QTest::newRow("past the end") << 10 << 20 << 1;
    }
    void streamShortRead() {
        QFETCH(int, FileSize);
        QFETCH(int, Start);
        QFETCH(int, Count);
        const QString Path = Fresh("short") + "/data";
        WriteFile(Path, QByteArray(FileSize, 'k'));
        TFileStream R(Path, TFileStream::TMode::OpenReadShared);
        R.Seek(Start);
        QByteArray Buffer(Count, '\0');
        QCOMPARE(MessageOf([&] { R.ReadBuffer(Buffer.data(), Count); }), QStringLiteral("Stream read error"));
        // Exactly what was there: no more is claimed.
        QCOMPARE(R.Position(), qMax(Start, FileSize));
        R.Seek(Start);
        QCOMPARE(R.Read(Buffer.data(), Count), qint64(qMax(0, FileSize - Start)));
    }

    void streamWriteFailureCarriesSystemMessage() {
        // A file size limit makes the kernel take part of a write and refuse the rest: the loop must
        // go on after the partial write and then report the system's reason.
        const QString Path = Fresh("limit") + "/data";
        struct rlimit Old;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &Old), 0);
        const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit Limited = Old;
        Limited.rlim_cur = 4096;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &Limited), 0);
        QString Message;
        int64_t Position = -1;
        {
            TFileStream W(Path, TFileStream::TMode::CreateExclusive);
            const QByteArray Data(10000, 'w');
            Message = MessageOf([&] { W.WriteBuffer(Data.constData(), Data.size()); });
            Position = W.Position();
        }
        ::setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
        QCOMPARE(Message, QStringLiteral("Stream write error. %1").arg(SystemErrorText(EFBIG)));
        QCOMPARE(Position, 4096);
        QCOMPARE(ReadFile(Path), QByteArray(4096, 'w'));
    }

    void systemErrorText() {
        QCOMPARE(SystemErrorText(ENOENT), QString::fromLocal8Bit(::strerror(ENOENT)));
        QVERIFY(!SystemErrorText(EEXIST).isEmpty());
        QVERIFY(!SystemErrorText(123456).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPlatformFiles)
#include "test_platformfiles.moc"
