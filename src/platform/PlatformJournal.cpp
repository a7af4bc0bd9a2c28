#include "platform/PlatformJournal.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformDirHandle.h"
#include "platform/PlatformEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString StateBase() {
    const QString State = qEnvironmentVariable("XDG_STATE_HOME");
    if (!State.isEmpty() && QDir::isAbsolutePath(State))
        return State;
    const QString Home = qEnvironmentVariable("HOME");
    if (!Home.isEmpty() && QDir::isAbsolutePath(Home))
        return Home + QStringLiteral("/.local/state");
    return AppConfigFolder() + QStringLiteral("/state");
}

const char* KindWord(TLeftoverKind Kind) {
    switch (Kind) {
    case TLeftoverKind::TemporaryFile:
        return "tmp";
    case TLeftoverKind::StagingFolder:
        return "staging";
    case TLeftoverKind::Aside:
        return "aside";
    }
    return "tmp";
}

QByteArray Hex(const QString& Text) {
    return QFile::encodeName(Text).toHex();
}

QString Unhex(const QByteArray& Hexed) {
    return QFile::decodeName(QByteArray::fromHex(Hexed));
}

QByteArray IdentityLine(const char* Key, const TFileIdentity& Id) {
    return QByteArray(Key) + ' ' + QByteArray::number(static_cast<qulonglong>(Id.Dev)) + ' ' +
           QByteArray::number(static_cast<qulonglong>(Id.Ino)) + '\n';
}

// Later lines win; a torn last line (no newline) is ignored. False when the record is not whole.
bool ParseRecord(const QByteArray& Content, TLeftoverRecord& Record) {
    bool HasKind = false, HasFolder = false, HasName = false;
    qsizetype Start = 0;
    for (;;) {
        const qsizetype End = Content.indexOf('\n', Start);
        if (End < 0)
            break;
        const QList<QByteArray> Words = Content.mid(Start, End - Start).split(' ');
        Start = End + 1;
        if (Words.isEmpty())
            continue;
        const QByteArray& Key = Words.first();
        if (Key == "kind" && Words.size() == 2) {
            HasKind = true;
            if (Words[1] == "tmp")
                Record.Kind = TLeftoverKind::TemporaryFile;
            else if (Words[1] == "staging")
                Record.Kind = TLeftoverKind::StagingFolder;
            else if (Words[1] == "aside")
                Record.Kind = TLeftoverKind::Aside;
            else
                return false;
        } else if ((Key == "folder" || Key == "identity") && Words.size() == 3) {
            TFileIdentity& Id = Key == "folder" ? Record.Folder : Record.Identity;
            Id.Dev = Words[1].toULongLong();
            Id.Ino = Words[2].toULongLong();
            HasFolder = HasFolder || Key == "folder";
        } else if (Key == "path" && Words.size() == 2) {
            Record.FolderPath = Unhex(Words[1]);
        } else if (Key == "name" && Words.size() == 2) {
            Record.Name = Unhex(Words[1]);
            HasName = !Record.Name.isEmpty();
        } else if (Key == "item" && Words.size() == 2) {
            Record.ItemName = Unhex(Words[1]);
        } else if (Key == "deleting" && Words.size() == 2) {
            Record.DeletingSince = Words[1].toLongLong();
        }
    }
    return HasKind && HasFolder && HasName;
}

void WriteAll(int Fd, const QByteArray& Bytes, const QString& Path) {
    qsizetype Done = 0;
    while (Done < Bytes.size()) {
        const ssize_t Got = ::write(Fd, Bytes.constData() + Done, static_cast<size_t>(Bytes.size() - Done));
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got <= 0)
            throw EKelvarnError(
                QStringLiteral("Cannot write the journal \"%1\". %2").arg(Path, SystemErrorText(errno)));
        Done += Got;
    }
}

bool TryLock(int Fd) {
    for (;;) {
        if (::flock(Fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

QString PrivateName(const char* Kind) {
    return QStringLiteral(".kvlocker-%1-%2")
        .arg(QLatin1String(Kind))
        .arg(QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, u'0'));
}

QString TJournalEntry::FolderPath() {
    const QString Folder = StateBase() + QLatin1Char('/') + ApplicationTitle() + QStringLiteral("/journal");
    if (!QDir().mkpath(Folder))
        throw EKelvarnError(QStringLiteral("Cannot create the folder \"%1\".").arg(Folder));
    // Private: the names and places of the user's hidden items are in it.
    ::chmod(QFile::encodeName(Folder).constData(), 0700);
    return Folder;
}

TJournalEntry::TJournalEntry(const TDirHandle& Folder, TLeftoverKind Kind, const QString& Name, const QString& ItemName,
                             const TFileIdentity& Identity, bool Durable) {
    FRecord.Kind = Kind;
    FRecord.Folder = Folder.Identity();
    FRecord.FolderPath = Folder.Path();
    FRecord.Name = Name;
    FRecord.ItemName = ItemName;
    FRecord.Identity = Identity;
    const QString Journal = FolderPath();
    for (int Attempt = 0; Attempt < 16 && FFd < 0; ++Attempt) {
        FFile = Journal + QLatin1Char('/') +
                QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, u'0') +
                QStringLiteral(".rec");
        FFd = ::open(QFile::encodeName(FFile).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (FFd < 0 && errno != EEXIST)
            break;
    }
    if (FFd < 0)
        throw EKelvarnError(QStringLiteral("Cannot write the journal \"%1\". %2").arg(Journal, SystemErrorText(errno)));
    TryLock(FFd);
    QByteArray Lines = QByteArray("kind ") + KindWord(Kind) + '\n' + IdentityLine("folder", FRecord.Folder) + "path " +
                       Hex(FRecord.FolderPath) + '\n' + "name " + Hex(Name) + '\n';
    if (!ItemName.isEmpty())
        Lines += "item " + Hex(ItemName) + '\n';
    if (Identity.Ino != 0)
        Lines += IdentityLine("identity", Identity);
    try {
        Append(Lines);
        if (Durable) {
            if (::fsync(FFd) != 0)
                throw EKelvarnError(
                    QStringLiteral("Cannot write the journal \"%1\". %2").arg(FFile, SystemErrorText(errno)));
            const int Dir = ::open(QFile::encodeName(Journal).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (Dir >= 0) {
                ::fsync(Dir);
                ::close(Dir);
            }
        }
    } catch (...) {
        Finish();
        throw;
    }
}

TJournalEntry::~TJournalEntry() {
    Release();
}

TJournalEntry::TJournalEntry(TJournalEntry&& Other) noexcept
    : FRecord(std::move(Other.FRecord)), FFile(std::move(Other.FFile)), FFd(Other.FFd) {
    Other.FFd = -1;
}

TJournalEntry& TJournalEntry::operator=(TJournalEntry&& Other) noexcept {
    if (this != &Other) {
        Release();
        FRecord = std::move(Other.FRecord);
        FFile = std::move(Other.FFile);
        FFd = Other.FFd;
        Other.FFd = -1;
    }
    return *this;
}

void TJournalEntry::Append(const QByteArray& Lines) {
    if (FFd < 0)
        return;
    if (::lseek(FFd, 0, SEEK_END) < 0)
        throw EKelvarnError(QStringLiteral("Cannot write the journal \"%1\". %2").arg(FFile, SystemErrorText(errno)));
    WriteAll(FFd, Lines, FFile);
}

void TJournalEntry::SetIdentity(const TFileIdentity& Identity) {
    FRecord.Identity = Identity;
    // A line that did not make it only costs the clean-up of this one leftover.
    try {
        Append(IdentityLine("identity", Identity));
    } catch (const EKelvarnError&) {
    }
}

int64_t TJournalEntry::MarkDeleting() {
    // File times come from the coarse clock: anything changed from now on is stamped at or after this.
    struct timespec Now;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &Now);
    FRecord.DeletingSince = static_cast<int64_t>(Now.tv_sec) * 1000000000 + Now.tv_nsec;
    // Without the line, a crash puts the item back rather than finish its deletion: the safe side.
    try {
        Append("deleting " + QByteArray::number(static_cast<qlonglong>(FRecord.DeletingSince)) + '\n');
    } catch (const EKelvarnError&) {
    }
    return FRecord.DeletingSince;
}

void TJournalEntry::Finish() {
    if (FFd < 0)
        return;
    ::unlink(QFile::encodeName(FFile).constData());
    Release();
}

void TJournalEntry::Release() {
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
}

std::vector<TJournalEntry> TJournalEntry::LeftoversIn(const TDirHandle& Folder) {
    std::vector<TJournalEntry> Found;
    const TFileIdentity Here = Folder.Identity();
    const QString Journal = FolderPath();
    const QStringList Names = QDir(Journal).entryList({QStringLiteral("*.rec")}, QDir::Files | QDir::Hidden);
    for (const QString& Name : Names) {
        TJournalEntry Entry;
        Entry.FFile = Journal + QLatin1Char('/') + Name;
        Entry.FFd = ::open(QFile::encodeName(Entry.FFile).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (Entry.FFd < 0)
            continue;
        if (!TryLock(Entry.FFd))
            continue; // its owner is at work
        QByteArray Content;
        char Buffer[4096];
        for (ssize_t Got; (Got = ::read(Entry.FFd, Buffer, sizeof Buffer)) != 0;) {
            if (Got < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            Content.append(Buffer, Got);
        }
        if (!ParseRecord(Content, Entry.FRecord)) {
            // A record torn before it was whole was written before anything was made.
            if (Content.isEmpty() || !Content.endsWith('\n') || Content.count('\n') < 4)
                Entry.Finish();
            continue;
        }
        if (Entry.FRecord.Folder == Here)
            Found.push_back(std::move(Entry));
    }
    return Found;
}
