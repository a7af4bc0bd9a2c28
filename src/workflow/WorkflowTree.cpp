#include "workflow/WorkflowTree.h"

#include "workflow/uWorkflow.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformThreads.h"
#include "translation/translation.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <vector>

namespace {

int64_t Nanoseconds(const struct timespec& Time) {
    return static_cast<int64_t>(Time.tv_sec) * 1000000000 + static_cast<int64_t>(Time.tv_nsec);
}

QString Below(const QString& Root, const QString& Relative) {
    return Relative.isEmpty() ? Root : Root + QLatin1Char('/') + Relative;
}

// The relative path of Name inside the folder at relative path Prefix ("" for the root).
QString ChildOf(const QString& Prefix, const QString& Name) {
    return Prefix.isEmpty() ? Name : Prefix + QLatin1Char('/') + Name;
}

QString Located(const QString& Path, int Errno) {
    return Path + QLatin1String(CrLf) + SystemErrorText(Errno);
}

// Packed entries by local relative path ("" for a folder root).
QHash<QString, const TEntryInfo*> ByPath(const QList<TEntryInfo>& Packed) {
    QHash<QString, const TEntryInfo*> Map;
    Map.reserve(Packed.size());
    const bool FolderRoot = !Packed.isEmpty() && Packed.first().IsDir;
    for (const TEntryInfo& Entry : Packed)
        Map.insert(FolderRoot ? StoredPathToLocal(Entry.RelativePath) : QString(), &Entry);
    return Map;
}

// The very entry that was packed, unchanged. The root's change time is left out: the rename that
// took it aside changed it.
bool SameAsPacked(const struct stat& St, const TEntryInfo& Entry, bool IsRoot) {
    if (IdentityOf(St) != Entry.Identity || S_ISDIR(St.st_mode) != Entry.IsDir)
        return false;
    if (Entry.IsDir)
        return true;
    return S_ISREG(St.st_mode) && static_cast<int64_t>(St.st_size) == Entry.Size &&
           Nanoseconds(St.st_mtim) == Entry.MtimeNs && (IsRoot || Nanoseconds(St.st_ctim) == Entry.CtimeNs);
}

class TComparer {
public:
    TComparer(const QList<TEntryInfo>& Packed, const QString& ShownRoot) : FMap(ByPath(Packed)), FRoot(ShownRoot) {}

    // Empty when the tree matches; else the first entry that differs.
    QString Run(const TDirHandle& Parent, const QString& Name) {
        struct stat St;
        const TEntryInfo* Root = FMap.value(QString());
        if (!Root || !Parent.StatChild(Name, St) || !SameAsPacked(St, *Root, true))
            return FRoot;
        if (!Root->IsDir)
            return QString();
        const QString Differs = Walk(Parent.OpenFolder(Name, &Root->Identity), QString());
        if (!Differs.isEmpty())
            return Differs;
        // Everything present was packed; what was packed and is gone is a change too.
        if (FSeen + 1 != FMap.size())
            for (auto It = FMap.cbegin(); It != FMap.cend(); ++It)
                if (!It.key().isEmpty() && !FFound.contains(It.key()))
                    return Below(FRoot, It.key());
        return QString();
    }

private:
    QString Walk(const TDirHandle& Folder, const QString& Prefix) {
        for (const TDirEntry& Item : Folder.ListKinds()) {
            const QString Relative = ChildOf(Prefix, Item.Name);
            const TEntryInfo* Entry = FMap.value(Relative);
            struct stat St;
            if (!Entry || !Folder.StatChild(Item.Name, St) || !SameAsPacked(St, *Entry, false))
                return Below(FRoot, Relative);
            ++FSeen;
            FFound.insert(Relative);
            if (Entry->IsDir) {
                const QString Differs = Walk(Folder.OpenFolder(Item.Name, &Entry->Identity), Relative);
                if (!Differs.isEmpty())
                    return Differs;
            }
        }
        return QString();
    }

    QHash<QString, const TEntryInfo*> FMap;
    QSet<QString> FFound;
    qsizetype FSeen = 0;
    QString FRoot;
};

// Deletes a tree through descriptors. The files of a large folder are shared with a helper thread:
// where each unlink waits for the device (online discard, network storage), two in flight take
// about half the time, and the kernel's work for the rest overlaps too.
class TDeleter {
public:
    TDeleter(const QList<TEntryInfo>* Packed, int64_t ChangedSince, const QString& ShownRoot)
        : FChangedSince(ChangedSince), FRoot(ShownRoot) {
        if (Packed)
            FMap = ByPath(*Packed);
        FCheck = Packed != nullptr;
    }
    ~TDeleter() { FHelper.StopAndJoin(); }
    TDeleter(const TDeleter&) = delete;
    TDeleter& operator=(const TDeleter&) = delete;

    QStringList Run(const TDirHandle& Parent, const QString& Name) {
        struct stat St;
        if (!Parent.StatChild(Name, St))
            return {};
        if (!Deletable(St, QString(), true)) {
            KeepChanged(QString());
            return FKept;
        }
        Remove(Parent, Name, St, QString(), true);
        return FKept;
    }

private:
    // Fewer files than this in a folder are not worth a hand-over.
    static constexpr qsizetype ShareFrom = 16;

    // A file that stays, and why: the system's error, or 0 when it changed after it was packed.
    struct TStay {
        QString Relative;
        int Errno;
    };
    // A share of one folder's files, handed to the helper.
    struct TShare {
        int DirFd = -1;
        const QList<TDirEntry>* Items = nullptr;
        const QList<qsizetype>* Files = nullptr;
        qsizetype From = 0;
        qsizetype To = 0;
        const QString* Prefix = nullptr;
        std::vector<TStay> Stays;
        QList<qsizetype> Folders; // found to be folders since the listing: the walker's to do
        bool Pending = false;
    };

    // Only reads: the helper calls it too.
    bool Deletable(const struct stat& St, const QString& Relative, bool IsRoot) const {
        if (FCheck) {
            const TEntryInfo* Entry = FMap.value(Relative);
            if (!Entry || !SameAsPacked(St, *Entry, IsRoot))
                return false;
        }
        // Without a record, only what is older than the start of the deletion was compared.
        return !(FChangedSince > 0 && !S_ISDIR(St.st_mode) && Nanoseconds(St.st_ctim) >= FChangedSince);
    }

    void KeepChanged(const QString& Relative) {
        FKept.append(Below(FRoot, Relative) + QLatin1String(CrLf) + Translate("It changed after it was packed."));
    }

    // Unlinks the files Files[From, To) of Items in the folder DirFd that may go.
    void RemoveFiles(TShare& Share) const {
        for (qsizetype I = Share.From; I < Share.To; ++I) {
            const qsizetype Index = Share.Files->at(I);
            const QString& Name = Share.Items->at(Index).Name;
            const QByteArray Encoded = QFile::encodeName(Name);
            struct stat St;
            if (::fstatat(Share.DirFd, Encoded.constData(), &St, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone already
            if (S_ISDIR(St.st_mode)) {
                Share.Folders.append(Index);
                continue;
            }
            const QString Relative = ChildOf(*Share.Prefix, Name);
            if (!Deletable(St, Relative, false))
                Share.Stays.push_back({Relative, 0});
            else if (::unlinkat(Share.DirFd, Encoded.constData(), 0) != 0 && errno != ENOENT)
                Share.Stays.push_back({Relative, errno});
        }
    }

    void HelperLoop() {
        std::unique_lock<std::mutex> Guard(FHelper.Lock);
        for (;;) {
            FHelper.Changed.wait(Guard, [this] { return FHelper.Stopping() || FShared.Pending; });
            if (FHelper.Stopping())
                return;
            Guard.unlock();
            RemoveFiles(FShared);
            Guard.lock();
            FShared.Pending = false;
            FHelper.Wake();
        }
    }

    // Files of the folder Sub, the second half on the helper's thread when there are enough; false
    // when one stays. Folders found among them since the listing are added to Folders.
    bool RemoveFilesOf(const TDirHandle& Sub, const QList<TDirEntry>& Items, const QList<qsizetype>& Files,
                       const QString& Relative, QList<qsizetype>& Folders) {
        TShare Own;
        Own.DirFd = Sub.Fd();
        Own.Items = &Items;
        Own.Files = &Files;
        Own.Prefix = &Relative;
        Own.To = Files.size();
        const bool Share = Files.size() >= ShareFrom && FHelper.StartOnce([this] { HelperLoop(); });
        if (Share) {
            Own.To = Files.size() / 2;
            {
                const std::lock_guard<std::mutex> Guard(FHelper.Lock);
                FShared = Own;
                FShared.From = Own.To;
                FShared.To = Files.size();
                FShared.Pending = true;
            }
            FHelper.Wake();
        }
        RemoveFiles(Own);
        if (Share) {
            std::unique_lock<std::mutex> Guard(FHelper.Lock);
            FHelper.Changed.wait(Guard, [this] { return !FShared.Pending; });
            Own.Stays.insert(Own.Stays.end(), FShared.Stays.begin(), FShared.Stays.end());
            Own.Folders += FShared.Folders;
        }
        for (const TStay& Stay : Own.Stays) {
            if (Stay.Errno == 0)
                KeepChanged(Stay.Relative);
            else
                FKept.append(Located(Below(FRoot, Stay.Relative), Stay.Errno));
        }
        Folders += Own.Folders;
        return Own.Stays.empty();
    }

    // True when the entry is gone.
    bool Remove(const TDirHandle& Folder, const QString& Name, const struct stat& St, const QString& Relative,
                bool IsRoot) {
        if (!S_ISDIR(St.st_mode)) {
            if (::unlinkat(Folder.Fd(), QFile::encodeName(Name).constData(), 0) == 0 || errno == ENOENT)
                return true;
            FKept.append(Located(Below(FRoot, Relative), errno));
            return false;
        }
        bool Emptied = true;
        try {
            const TDirHandle Sub =
                Folder.OpenFolder(Name, IsRoot || !FCheck ? nullptr : &FMap.value(Relative)->Identity);
            const struct stat Own = Sub.Stat();
            // A folder of the user's that denies writing is opened up: it is about to go.
            if (Own.st_uid == ::geteuid() && (Own.st_mode & S_IRWXU) != S_IRWXU)
                ::fchmod(Sub.Fd(), (Own.st_mode & 07777) | S_IRWXU);
            RunFileStepHook("Delete:descend", Below(FRoot, Relative));
            const QList<TDirEntry> Items = Sub.ListKinds();
            QList<qsizetype> Files;
            QList<qsizetype> Folders;
            for (qsizetype I = 0; I < Items.size(); ++I)
                (Items[I].Kind == TEntryKind::Directory ? Folders : Files).append(I);
            Emptied = RemoveFilesOf(Sub, Items, Files, Relative, Folders);
            for (const qsizetype Index : Folders) {
                const QString& ItemName = Items[Index].Name;
                const QString Child = ChildOf(Relative, ItemName);
                struct stat ItemSt;
                if (!Sub.StatChild(ItemName, ItemSt))
                    continue;
                if (!Deletable(ItemSt, Child, false)) {
                    KeepChanged(Child);
                    Emptied = false;
                } else if (!Remove(Sub, ItemName, ItemSt, Child, false)) {
                    Emptied = false;
                }
            }
        } catch (const EKelvarnError& Error) {
            FKept.append(Below(FRoot, Relative) + QLatin1String(CrLf) + Error.Message());
            return false;
        }
        if (!Emptied)
            return false;
        if (::unlinkat(Folder.Fd(), QFile::encodeName(Name).constData(), AT_REMOVEDIR) == 0 || errno == ENOENT)
            return true;
        FKept.append(Located(Below(FRoot, Relative), errno));
        return false;
    }

    QHash<QString, const TEntryInfo*> FMap;
    bool FCheck = false;
    int64_t FChangedSince = 0;
    QString FRoot;
    QStringList FKept;
    TWorkerThread FHelper;
    TShare FShared; // under FHelper.Lock while Pending
};

// Whether an entry in the folder Dir (whose attributes are DirSt) can be removed by this user.
// Who may remove entries from a folder, asked once per folder.
struct TFolderRights {
    bool Writable = false; // write and search on it, or it is the user's own
    bool Sticky = false;
    uid_t Owner = 0;
};

TFolderRights RightsOf(int DirFd, uid_t Owner, mode_t Mode) {
    TFolderRights Rights;
    Rights.Writable = ::faccessat(DirFd, ".", W_OK | X_OK, AT_EACCESS) == 0 || Owner == ::geteuid();
    Rights.Sticky = (Mode & S_ISVTX) != 0;
    Rights.Owner = Owner;
    return Rights;
}

// Why Name in the folder could not be removed, or 0; one statx tells the kind, the owner, the device
// and the immutable and append-only flags. Sx receives what it found.
int RemovalBlocked(int DirFd, const TFolderRights& Rights, const QByteArray& Name, dev_t Device,
                   struct statx& Sx) {
    if (::statx(DirFd, Name.constData(), AT_SYMLINK_NOFOLLOW,
                STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO, &Sx) != 0)
        return errno;
    if (makedev(Sx.stx_dev_major, Sx.stx_dev_minor) != Device)
        return EBUSY; // a mount point inside
    if (!Rights.Writable)
        return EACCES;
    // In a sticky folder only the owner of the entry or of the folder may remove it.
    if (Rights.Sticky && ::geteuid() != 0 && Sx.stx_uid != ::geteuid() && Rights.Owner != ::geteuid())
        return EPERM;
    if (Sx.stx_attributes & Sx.stx_attributes_mask & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND))
        return EPERM;
    return 0;
}

QString FindUndeletableIn(const TDirHandle& Folder, const TFolderRights& Rights, const QString& Path,
                          dev_t Device) {
    for (const TDirEntry& Item : Folder.ListKinds()) {
        struct statx Sx;
        if (const int Blocked = RemovalBlocked(Folder.Fd(), Rights, QFile::encodeName(Item.Name), Device, Sx))
            return Located(Path + QLatin1Char('/') + Item.Name, Blocked);
        if (S_ISDIR(Sx.stx_mode)) {
            const TDirHandle Sub = Folder.OpenFolder(Item.Name, &Item.Identity);
            const QString Found = FindUndeletableIn(Sub, RightsOf(Sub.Fd(), Sx.stx_uid, Sx.stx_mode),
                                                    Path + QLatin1Char('/') + Item.Name, Device);
            if (!Found.isEmpty())
                return Found;
        }
    }
    return QString();
}

} // namespace

TItemPlace OpenPlace(const QString& Path) {
    TItemPlace Place;
    Place.Path = Fs::FullPath(Path);
    const qsizetype Slash = Place.Path.lastIndexOf(QLatin1Char('/'));
    Place.Name = Place.Path.mid(Slash + 1);
    if (Place.Name.isEmpty())
        throw EKelvarnError(Translate("Invalid source path."));
    Place.Parent = TDirHandle::Open(Slash <= 0 ? QStringLiteral("/") : Place.Path.left(Slash), true);
    return Place;
}

TListedItem OpenListedItem(const QString& Path, const QString& Password) {
    TListedItem Item;
    static_cast<TItemPlace&>(Item) = OpenPlace(Path);
    Item.LockerName = Item.Name + QLatin1String(LockerSuffix);
    Item.LockerPath = Item.Parent.ChildPath(Item.LockerName);
    SettleLeftoversIn(Item.Parent, Password);
    return Item;
}

QString FindUndeletable(const TDirHandle& Parent, const QString& Name) {
    const QString Path = Parent.ChildPath(Name);
    const struct stat ParentSt = Parent.Stat();
    struct statx Sx;
    if (const int Blocked = RemovalBlocked(Parent.Fd(), RightsOf(Parent.Fd(), ParentSt.st_uid, ParentSt.st_mode),
                                           QFile::encodeName(Name), ParentSt.st_dev, Sx))
        return Located(Path, Blocked);
    if (!S_ISDIR(Sx.stx_mode))
        return QString();
    const TDirHandle Folder = Parent.OpenFolder(Name);
    return FindUndeletableIn(Folder, RightsOf(Folder.Fd(), Sx.stx_uid, Sx.stx_mode), Path, ParentSt.st_dev);
}

QString FindChanged(const TDirHandle& Parent, const QString& AsideName, const QList<TEntryInfo>& Packed,
                    const QString& ShownRoot) {
    try {
        return TComparer(Packed, ShownRoot).Run(Parent, AsideName);
    } catch (const EKelvarnError&) {
        return ShownRoot; // could not be read as it was packed: it is not known to be the same
    }
}

QStringList DeleteAside(const TDirHandle& Parent, const QString& AsideName, const QList<TEntryInfo>* Packed,
                        int64_t ChangedSince, const QString& ShownRoot) {
    return TDeleter(Packed, ChangedSince, ShownRoot).Run(Parent, AsideName);
}

void DeleteLockerChecked(const TDirHandle& Folder, const QString& LockerName, const TFileIdentity& Opened) {
    const QString Private = PrivateName("aside");
    TJournalEntry Entry(Folder, TLeftoverKind::Aside, Private, LockerName, Opened, true);
    RunFileStepHook("Locker:aside", Folder.ChildPath(LockerName));
    Folder.RenameNoReplace(LockerName, Folder, Private);
    struct stat St;
    if (!Folder.StatChild(Private, St) || IdentityOf(St) != Opened) {
        // Not the file that was opened and decrypted: it goes back, untouched.
        Folder.RenameNoReplace(Private, Folder, LockerName);
        Entry.Finish();
        throw EKelvarnError(QStringLiteral("\"%1\" was replaced by another item while it was in use.")
                                .arg(Folder.ChildPath(LockerName)));
    }
    Folder.Unlink(Private);
    Entry.Finish();
}

bool HoldsAll(const TDirHandle& Folder, const QString& Name, const QList<TEntryInfo>& Entries, QString& Missing) {
    for (const TEntryInfo& Entry : Entries) {
        // Each entry is looked up from the top, one name at a time, never through a link.
        const QStringList Parts =
            Entry.RelativePath.isEmpty() ? QStringList() : Entry.RelativePath.split(QLatin1Char('/'));
        Missing = Below(Folder.ChildPath(Name), Entry.RelativePath);
        try {
            struct stat St;
            if (Parts.isEmpty()) {
                if (!Folder.StatChild(Name, St) || S_ISDIR(St.st_mode) != Entry.IsDir ||
                    (!Entry.IsDir && St.st_size != Entry.Size))
                    return false;
                continue;
            }
            TDirHandle Current = Folder.OpenFolder(Name);
            for (qsizetype I = 0; I + 1 < Parts.size(); ++I)
                Current = Current.OpenFolder(Parts[I]);
            if (!Current.StatChild(Parts.last(), St) || S_ISDIR(St.st_mode) != Entry.IsDir ||
                (!Entry.IsDir && (!S_ISREG(St.st_mode) || St.st_size != Entry.Size)))
                return false;
        } catch (const EKelvarnError&) {
            return false;
        }
    }
    Missing.clear();
    return true;
}

TWorkflowResult Failed(TOutcome Kind, const QString& Text) {
    TWorkflowResult Result;
    Result.Kind = Kind;
    Result.Text = Text;
    return Result;
}

TWorkflowResult Finished(const QString& ItemPath) {
    TWorkflowResult Result;
    Result.Kind = TOutcome::Done;
    Result.ItemPath = ItemPath;
    return Result;
}

bool Cancelled(const TWorkflowCallbacks& Callbacks) {
    return Callbacks.Cancel && Callbacks.Cancel();
}

TWorkflowResult GuardedWork(const std::function<TWorkflowResult()>& Work) {
    try {
        return Work();
    } catch (const std::exception& Error) {
        return Failed(TOutcome::IoError, ErrorTextOf(Error));
    }
}
