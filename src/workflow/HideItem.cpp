// One item into its locker: packed, checked and published; then taken out of its place in one
// rename, compared with what was packed, and only then deleted, through held descriptors.
#include "workflow/uWorkflow.h"

#include "platform/KelvarnError.h"
#include "translation/translation.h"
#include "workflow/WorkflowTree.h"

#include <sys/stat.h>

namespace {

// A failed locker operation's kind, from what is known without looking at the disk again.
TOutcome KindOf(const TLockerResult& Result, const TWorkflowCallbacks& Callbacks) {
    if (Cancelled(Callbacks))
        return TOutcome::Cancelled;
    if (Result.WrongSecret)
        return TOutcome::WrongSecret;
    return TOutcome::IoError;
}

// The new locker goes again, but only while its name still leads to the file that was written.
void RemoveNewLocker(const TDirHandle& Folder, const QString& LockerName, const TFileIdentity& Written) {
    struct stat St;
    if (Folder.StatChild(LockerName, St) && IdentityOf(St) == Written)
        Folder.Unlink(LockerName);
}

} // namespace

void SetHiddenAttributes(const QString& Path, bool Hide, bool UseSystem) {
    uint32_t Attributes = Fs::GetFileAttributes(Path);
    if (Attributes == Attr::Invalid)
        throw EKelvarnError(Translate("Path not found: %s").replace(QStringLiteral("%s"), Path));
    if (Hide) {
        Attributes |= Attr::Hidden;
        if (UseSystem)
            Attributes |= Attr::System;
    } else {
        Attributes &= ~(Attr::Hidden | Attr::System);
    }
    // The permission bits are passed back unchanged so that nothing but the two flags moves.
    if (!Fs::SetFileAttributes(Path, Attributes))
        throw EKelvarnError(SystemErrorText(errno));
}

static TWorkflowResult PublishLockerUnguarded(const QString& Source, const QString& LockerPath, const QString& Password,
                                              bool Replace, QString& RecoveryCode,
                                              const TWorkflowCallbacks& Callbacks) {
    const TItemPlace Locker = OpenPlace(LockerPath);
    const TItemPlace Item = OpenPlace(Source);
    TPendingFile Temporary(Locker.Parent);
    const TLockerResult Result = CreateVerifiedLocker(Item.Parent, Item.Name, Temporary.Stream(), Password,
                                                      Callbacks.Progress, Callbacks.Cancel, nullptr);
    if (!Result.Success)
        return Failed(KindOf(Result, Callbacks), Result.MessageText);
    if (Cancelled(Callbacks))
        return Failed(TOutcome::Cancelled, Translate("Operation cancelled by user."));
    Temporary.Commit(Locker.Name, Replace);
    RecoveryCode = Result.RecoveryCode;
    return Finished();
}

static TWorkflowResult HideItemUnguarded(const QString& Path, const QString& Password, bool StrongHide,
                                         const TWorkflowCallbacks& Callbacks) {
    if (Password.isEmpty())
        return Failed(TOutcome::IoError, Translate("General password is not set."));
    const TListedItem Place = OpenListedItem(Path, Password);
    const QString& LockerName = Place.LockerName;
    const QString& LockerPath = Place.LockerPath;

    struct stat St;
    if (Place.Parent.StatChild(LockerName, St) && S_ISREG(St.st_mode))
        return Failed(TOutcome::Exists, Translate("Locker already exists: ") + LockerPath);
    if (!Place.Parent.StatChild(Place.Name, St))
        return Failed(TOutcome::IoError, Translate("Path not found: ") + Place.Path);
    if (S_ISLNK(St.st_mode))
        return Failed(TOutcome::IoError,
                      Translate("A symbolic link cannot be put in a locker.") + QLatin1String(CrLf) + Place.Path);
    // What could not be deleted afterwards is refused now, before anything is written.
    const QString Undeletable = FindUndeletable(Place.Parent, Place.Name);
    if (!Undeletable.isEmpty())
        return Failed(TOutcome::IoError,
                      Translate("An entry of this item cannot be deleted, so the item was not hidden:") +
                          QLatin1String(CrLf) + Undeletable);

    // Written, checked and flushed through one descriptor under a private name, and named only then.
    TPendingFile Temporary(Place.Parent);
    QList<TEntryInfo> Packed;
    const TLockerResult Result = CreateVerifiedLocker(Place.Parent, Place.Name, Temporary.Stream(), Password,
                                                      Callbacks.Progress, Callbacks.Cancel, &Packed);
    if (!Result.Success)
        return Failed(KindOf(Result, Callbacks), Result.MessageText);
    if (Cancelled(Callbacks))
        return Failed(TOutcome::Cancelled, Translate("Operation cancelled by user."));
    RunFileStepHook("Hide:flush", LockerPath);
    Temporary.Commit(LockerName, false);
    RunFileStepHook("Hide:flushed", LockerPath);
    const TFileIdentity Written = Temporary.Identity();
    const TEntryInfo& Root = Packed.first();

    // Out of its place in one step, so that nothing reaches it by its path any more, recorded first
    // so that a crash never strands it under the private name.
    const QString Aside = PrivateName("aside");
    TJournalEntry Entry(Place.Parent, TLeftoverKind::Aside, Aside, Place.Name, Root.Identity, true);
    auto Abandon = [&](TOutcome Kind, const QString& Text) {
        RemoveNewLocker(Place.Parent, LockerName, Written);
        Entry.Finish();
        return Failed(Kind, Text);
    };
    const QString ChangedText = Translate("This item changed while it was being hidden; nothing was deleted.");
    RunFileStepHook("Hide:aside", Place.Path);
    if (!Place.Parent.StatChild(Place.Name, St) || IdentityOf(St) != Root.Identity)
        return Abandon(TOutcome::Changed, ChangedText + QLatin1String(CrLf) + Place.Path);
    try {
        Place.Parent.RenameNoReplace(Place.Name, Place.Parent, Aside);
    } catch (const EKelvarnError& Error) {
        return Abandon(TOutcome::IoError, Error.Message());
    }
    auto PutBack = [&] {
        try {
            Place.Parent.RenameNoReplace(Aside, Place.Parent, Place.Name);
            Entry.Finish();
            return QString();
        } catch (const EKelvarnError& Error) {
            // Stays recorded: the next operation in this folder brings it back.
            Entry.Release();
            return QString(QLatin1String(CrLf) + Error.Message());
        }
    };
    RunFileStepHook("Hide:compare", Place.Path);
    const QString Changed = FindChanged(Place.Parent, Aside, Packed, Place.Path);
    if (!Changed.isEmpty()) {
        const QString NotBack = PutBack();
        RemoveNewLocker(Place.Parent, LockerName, Written);
        return Failed(TOutcome::Changed, ChangedText + QLatin1String(CrLf) + Changed + NotBack);
    }

    Entry.MarkDeleting();
    RunFileStepHook("Hide:delete", Place.Path);
    const QStringList Kept = DeleteAside(Place.Parent, Aside, &Packed, 0, Place.Path);
    if (!Kept.isEmpty()) {
        // Never success while plaintext stays: what is left goes back under its name, beside the
        // locker that holds it all.
        const QString NotBack = PutBack();
        return Failed(TOutcome::IoError,
                      Translate("Some entries could not be deleted; they were put back and the locker was kept:") +
                          QLatin1String(CrLf) + Kept.mid(0, 10).join(QLatin1String(CrLf)) + NotBack);
    }
    Entry.Finish();
    TWorkflowResult Done = Finished();
    try {
        SetHiddenAttributes(LockerPath, true, StrongHide);
    } catch (const EKelvarnError& Error) {
        Done.Warning = Translate("The item was hidden, but its locker could not be hidden from file managers:") +
                       QLatin1String(CrLf) + LockerPath + QLatin1String(CrLf) + Error.Message();
    }
    return Done;
}

TWorkflowResult PublishLocker(const QString& Source, const QString& LockerPath, const QString& Password, bool Replace,
                              QString& RecoveryCode, const TWorkflowCallbacks& Callbacks) {
    return GuardedWork(
        [&] { return PublishLockerUnguarded(Source, LockerPath, Password, Replace, RecoveryCode, Callbacks); });
}

TWorkflowResult HideItem(const QString& Path, const QString& Password, bool StrongHide,
                         const TWorkflowCallbacks& Callbacks) {
    return GuardedWork([&] { return HideItemUnguarded(Path, Password, StrongHide, Callbacks); });
}
