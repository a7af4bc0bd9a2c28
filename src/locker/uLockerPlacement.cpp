// Placement: a staged tree moved, exchanged or merged into its folder, and its folders given their
// stored modes.
#include "locker/uLockerReading.h"

using namespace LockerReading;

namespace {

// Gives the folders of a placed tree their stored modes, deepest first, so that a folder that denies
// writing is closed only once everything below it is in place. Each folder is reached from the root
// one component at a time, never through a link.
void ApplyFolderModes(const TDirHandle& Root, const QHash<QString, uint32_t>& Modes) {
    QList<QString> Paths = Modes.keys();
    std::sort(Paths.begin(), Paths.end(), [](const QString& A, const QString& B) {
        const qsizetype DepthA = A.isEmpty() ? 0 : A.count(QLatin1Char('/')) + 1;
        const qsizetype DepthB = B.isEmpty() ? 0 : B.count(QLatin1Char('/')) + 1;
        return DepthA != DepthB ? DepthA > DepthB : A < B;
    });
    for (const QString& Path : Paths) {
        if (Path.isEmpty()) {
            Root.SetMode(static_cast<mode_t>(Modes.value(Path)));
            continue;
        }
        TDirHandle Folder = Root.Duplicate();
        for (const QString& Part : Path.split(QLatin1Char('/')))
            Folder = Folder.OpenFolder(Part);
        Folder.SetMode(static_cast<mode_t>(Modes.value(Path)));
    }
}

// Everything in the caller's folder that a merge reuses must be the user's own and closed to others:
// a folder someone else made, or may write to, could be swapped or read while the tree goes in.
// A group the user shares with no one (the user-private group that many systems give each user,
// with a umask that lets it write): its write bit lets no one else in.
bool IsPrivateGroup(gid_t Gid) {
    if (Gid != ::getegid())
        return false;
    const group* Group = ::getgrgid(Gid);
    const passwd* User = ::getpwuid(::geteuid());
    if (!Group || !User || QByteArray(Group->gr_name) != QByteArray(User->pw_name))
        return false;
    for (char* const* Member = Group->gr_mem; *Member; ++Member)
        if (QByteArray(*Member) != QByteArray(User->pw_name))
            return false;
    return true;
}

void CheckReusable(const TDirHandle& Folder) {
    const struct stat St = Folder.Stat();
    const bool GroupMayWrite = (St.st_mode & S_IWGRP) != 0 && !IsPrivateGroup(St.st_gid);
    if (St.st_uid != ::geteuid() || (St.st_mode & S_IWOTH) != 0 || GroupMayWrite)
        throw EKelvarnError(
            WithItem(Translate("An existing folder belongs to another user or others may write to it; it is not "
                               "used for the extracted items."),
                     Folder.Path()));
}

void MergeFile(const TDirHandle& From, const QString& Name, const TDirHandle& To, const TFileIdentity& Locker) {
    struct stat St;
    if (To.StatChild(Name, St)) {
        if (S_ISDIR(St.st_mode))
            throw EKelvarnError(
                WithItem(Translate("An existing folder is in the way of a file from the locker."), To.ChildPath(Name)));
        if (IdentityOf(St) == Locker)
            throw EKelvarnError(WithItem(Translate("The locker cannot be extracted over itself."), To.ChildPath(Name)));
    }
    From.RenameReplace(Name, To, Name);
}

// Moves From/Name into To/Name; returns the folder that now holds the merged tree.
TDirHandle MergeFolder(const TDirHandle& From, const QString& Name, const TDirHandle& To, const TFileIdentity& Locker) {
    TDirHandle Source = From.OpenFolder(Name);
    struct stat St;
    if (!To.StatChild(Name, St)) {
        try {
            From.RenameNoReplace(Name, To, Name);
            return Source;
        } catch (const EKelvarnError&) {
            if (!To.StatChild(Name, St))
                throw;
        }
    }
    if (!S_ISDIR(St.st_mode))
        throw EKelvarnError(
            WithItem(Translate("An existing item that is not a folder is in the way of a folder from the locker."),
                     To.ChildPath(Name)));
    const TFileIdentity Seen = IdentityOf(St);
    RunFileStepHook("Merge:reuse", To.ChildPath(Name));
    TDirHandle Target = To.OpenFolder(Name, &Seen);
    CheckReusable(Target);
    for (const TDirEntry& Entry : Source.List()) {
        if (Entry.Kind == TEntryKind::Directory)
            MergeFolder(Source, Entry.Name, Target, Locker);
        else
            MergeFile(Source, Entry.Name, Target, Locker);
    }
    return Target;
}

} // namespace

void TLockerStaging::MoveIntoPlace(const QString& Name) {
    if (!F->Extracted)
        throw EKelvarnError(QStringLiteral("Nothing has been extracted."));
    const QString Target = Name.isEmpty() ? F->RootName : Name;
    if (F->RootIsFolder) {
        // The descriptor follows the folder through the rename.
        const TDirHandle Root = F->Stage->Folder().OpenFolder(F->RootName);
        F->Stage->MoveOut(F->RootName, Target);
        F->Extracted = false;
        ApplyFolderModes(Root, F->FolderModes);
    } else {
        F->Stage->MoveOut(F->RootName, Target);
        F->Extracted = false;
    }
    F->Dest.Sync();
    F->CreatedTop.clear();
    Discard();
}

void TLockerStaging::ExchangeIntoPlace(const QString& Name, const TFileIdentity& Expected) {
    if (!F->Extracted)
        throw EKelvarnError(QStringLiteral("Nothing has been extracted."));
    const TDirHandle& Stage = F->Stage->Folder();
    const QString Shown = F->Dest.ChildPath(Name);
    std::optional<TDirHandle> Root;
    if (F->RootIsFolder)
        Root = Stage.OpenFolder(F->RootName);
    auto IsExpected = [&](const QString& StagedName) {
        struct stat Old;
        return Stage.StatChild(StagedName, Old) && IdentityOf(Old) == Expected;
    };
    const QString Replaced = F->RootName == QLatin1String("old") ? QStringLiteral("old-item") : QStringLiteral("old");
    if (F->Stage->ExchangeOut(F->RootName, Name)) {
        if (!IsExpected(F->RootName)) {
            // Someone put another item under that name since it was looked at: not ours to replace.
            F->Stage->ExchangeOut(F->RootName, Name);
            throw EKelvarnError(QStringLiteral("\"%1\" was replaced by another item while it was in use.").arg(Shown));
        }
    } else if (errno == EINVAL || errno == ENOSYS) {
        // No exchange on this file system: the old item steps into the staging folder first, and
        // comes back if the new one cannot take its place.
        F->Dest.RenameNoReplace(Name, Stage, Replaced);
        if (!IsExpected(Replaced)) {
            Stage.RenameNoReplace(Replaced, F->Dest, Name);
            throw EKelvarnError(QStringLiteral("\"%1\" was replaced by another item while it was in use.").arg(Shown));
        }
        try {
            F->Stage->MoveOut(F->RootName, Name);
        } catch (const EKelvarnError&) {
            Stage.RenameNoReplace(Replaced, F->Dest, Name);
            throw;
        }
    } else {
        throw EKelvarnError(QStringLiteral("Cannot rename \"%1\". %2").arg(Shown, SystemErrorText(errno)));
    }
    F->Extracted = false;
    if (Root)
        ApplyFolderModes(*Root, F->FolderModes);
    F->Dest.Sync();
    F->CreatedTop.clear();
}

void TLockerStaging::MergeIntoPlace() {
    if (!F->Extracted)
        throw EKelvarnError(QStringLiteral("Nothing has been extracted."));
    F->Extracted = false;
    F->CreatedTop.clear();
    const TDirHandle& Stage = F->Stage->Folder();
    if (F->RootIsFolder) {
        const TDirHandle Root = MergeFolder(Stage, F->RootName, F->Dest, F->Locker);
        ApplyFolderModes(Root, F->FolderModes);
    } else {
        MergeFile(Stage, F->RootName, F->Dest, F->Locker);
    }
    F->Dest.Sync();
    Discard();
}
