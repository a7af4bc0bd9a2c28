// What is made under a private name beside the user's items and recorded in the journal first: the
// staging folder, the pending file, and the removal of what ended operations left of them.
#include "platform/PlatformDirHandle.h"

#include "platform/KelvarnError.h"
#include "platform/PlatformJournal.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Without a journal (a home one may not write to), work goes on: what a crash then leaves is only
// litter the program will not recognise, never the user's data.
TJournalEntry RecordIfPossible(const TDirHandle& Folder, TLeftoverKind Kind, const QString& Name) {
    try {
        return TJournalEntry(Folder, Kind, Name);
    } catch (const EKelvarnError&) {
        return TJournalEntry();
    }
}

} // namespace

TStagingFolder::TStagingFolder(const TDirHandle& Parent) : FParent(Parent.Duplicate()) {
    for (int Attempt = 0; Attempt < 32 && !FFolder.IsOpen(); ++Attempt) {
        const QString Name = PrivateName("staging");
        struct stat St;
        if (FParent.StatChild(Name, St))
            continue;
        // Recorded before it exists, so that a crash leaves nothing the next operation does not know.
        TJournalEntry Entry = RecordIfPossible(FParent, TLeftoverKind::StagingFolder, Name);
        try {
            FFolder = FParent.CreateFolder(Name, 0700);
            FName = Name;
            FEntry = std::move(Entry);
            FEntry.SetIdentity(FFolder.Identity());
        } catch (const EKelvarnError&) {
            Entry.Finish();
            if (errno != EEXIST && !FParent.StatChild(Name, St))
                throw;
        }
    }
    if (!FFolder.IsOpen())
        throw EKelvarnError(QStringLiteral("Cannot create a private folder in \"%1\".").arg(FParent.Path()));
}

TStagingFolder::~TStagingFolder() {
    try {
        Remove();
    } catch (...) {
        // A leftover is removed by the next operation in that folder (RemoveLeftovers).
    }
}

void TStagingFolder::MoveOut(const QString& Name, const QString& TargetName) const {
    FFolder.RenameNoReplace(Name, FParent, TargetName);
}

bool TStagingFolder::ExchangeOut(const QString& Name, const QString& TargetName) const {
    return FFolder.Exchange(Name, FParent, TargetName);
}

void TStagingFolder::Remove() {
    if (!FFolder.IsOpen())
        return;
    FFolder.RemoveContents();
    // By name only while the name still leads to our folder; if it was renamed away, it is empty.
    struct stat St;
    if (FParent.StatChild(FName, St) && IdentityOf(St) == FFolder.Identity())
        FParent.RemoveEmptyFolder(FName);
    FFolder = TDirHandle();
    FEntry.Finish();
}

int RemoveLeftovers(const TDirHandle& Folder, std::vector<TJournalEntry>* Asides) {
    int Removed = 0;
    for (TJournalEntry& Entry : TJournalEntry::LeftoversIn(Folder)) {
        const TLeftoverRecord& Record = Entry.Record();
        if (Record.Kind == TLeftoverKind::Aside) {
            if (Asides)
                Asides->push_back(std::move(Entry));
            continue;
        }
        struct stat St;
        if (!Folder.StatChild(Record.Name, St)) {
            Entry.Finish();
            continue;
        }
        if (Record.Identity.Ino == 0) {
            // Ended between making it and recording which it is: it can only be empty then, and an
            // empty thing of the user's is all that is removed.
            const bool IsFile = Record.Kind == TLeftoverKind::TemporaryFile;
            if (St.st_uid == ::geteuid() && S_ISREG(St.st_mode) == IsFile && (!IsFile || St.st_size == 0)) {
                try {
                    if (IsFile)
                        Folder.Unlink(Record.Name);
                    else
                        Folder.RemoveEmptyFolder(Record.Name);
                    ++Removed;
                } catch (const EKelvarnError&) {
                    // Not empty after all, or not ours to remove: it stays.
                }
            }
            Entry.Finish();
            continue;
        }
        // Only the very thing that was made; a name someone else has taken since is not ours.
        if (IdentityOf(St) != Record.Identity) {
            Entry.Finish();
            continue;
        }
        if (Record.Kind == TLeftoverKind::StagingFolder && S_ISDIR(St.st_mode)) {
            const TDirHandle Candidate = Folder.OpenFolder(Record.Name, &Record.Identity);
            Candidate.RemoveContents();
            if (Folder.StatChild(Record.Name, St) && IdentityOf(St) == Candidate.Identity())
                Folder.RemoveEmptyFolder(Record.Name);
        } else if (Record.Kind == TLeftoverKind::TemporaryFile && S_ISREG(St.st_mode)) {
            Folder.Unlink(Record.Name);
        }
        Entry.Finish();
        ++Removed;
    }
    return Removed;
}

TPendingFile::TPendingFile(const TDirHandle& Folder, int Permissions) : FFolder(Folder) {
    for (int Attempt = 0; Attempt < 16 && !FStream; ++Attempt) {
        const QString Name = PrivateName("tmp");
        TJournalEntry Entry = RecordIfPossible(FFolder, TLeftoverKind::TemporaryFile, Name);
        FStream = FFolder.CreateFileIfAbsent(Name, Permissions);
        if (!FStream) {
            Entry.Finish();
            continue;
        }
        FName = Name;
        FEntry = std::move(Entry);
    }
    if (!FStream)
        throw EKelvarnError(QStringLiteral("Cannot create a temporary file in \"%1\".").arg(FFolder.Path()));
    struct stat St;
    if (::fstat(FStream->Handle(), &St) != 0) {
        const int Saved = errno;
        const QString Made = FFolder.ChildPath(FName);
        FStream.reset();
        ::unlinkat(FFolder.Fd(), QFile::encodeName(FName).constData(), 0);
        FEntry.Finish();
        FName.clear();
        throw EKelvarnError(QStringLiteral("Cannot create file \"%1\". %2").arg(Made, SystemErrorText(Saved)));
    }
    FIdentity = IdentityOf(St);
    FEntry.SetIdentity(FIdentity);
}

TPendingFile::~TPendingFile() {
    FStream.reset();
    if (!FName.isEmpty() && LeadsHere(FName) && ::unlinkat(FFolder.Fd(), QFile::encodeName(FName).constData(), 0) != 0)
        return; // stays in the journal, for the next operation in this folder
    FEntry.Finish();
}

bool TPendingFile::LeadsHere(const QString& Name) const {
    struct stat St;
    return FFolder.StatChild(Name, St) && IdentityOf(St) == FIdentity;
}

void TPendingFile::Commit(const QString& FinalName, bool Replace) {
    FStream->Flush();
    if (Replace)
        FFolder.RenameReplace(FName, FFolder, FinalName);
    else
        FFolder.RenameNoReplace(FName, FFolder, FinalName);
    FName.clear();
    FEntry.Finish();
    if (!LeadsHere(FinalName))
        throw EKelvarnError(QStringLiteral("\"%1\" was replaced by another file while it was written.")
                                .arg(FFolder.ChildPath(FinalName)));
    FFolder.Sync();
}
