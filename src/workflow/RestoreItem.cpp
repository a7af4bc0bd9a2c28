// A locker back into its item: extracted out of sight, put in place in one step, and the locker
// deleted only while its name still leads to the very file that was decrypted.
#include "workflow/uWorkflow.h"

#include "platform/KelvarnError.h"
#include "translation/translation.h"
#include "workflow/WorkflowTree.h"

#include <sys/stat.h>

namespace {

TWorkflowResult ExtractFailed(const TLockerResult& Result, const TWorkflowCallbacks& Callbacks) {
    if (Cancelled(Callbacks))
        return Failed(TOutcome::Cancelled, Result.MessageText);
    return Failed(Result.WrongSecret ? TOutcome::WrongSecret : TOutcome::Damaged, Result.MessageText);
}

} // namespace

void SettleLeftoversIn(const TDirHandle& Folder, const QString& Password) {
    std::vector<TJournalEntry> Asides;
    try {
        RemoveLeftovers(Folder, &Asides);
    } catch (const EKelvarnError&) {
        // Left for the next operation.
    }
    for (TJournalEntry& Entry : Asides) {
        const TLeftoverRecord& Record = Entry.Record();
        struct stat St;
        if (!Folder.StatChild(Record.Name, St) || IdentityOf(St) != Record.Identity) {
            Entry.Finish(); // gone, or the name is someone else's now
            continue;
        }
        try {
            // Its deletion had begun, after it was found equal to what was packed: finished once
            // the locker is known to hold it, and only for what had not changed since.
            if (Record.DeletingSince > 0) {
                const QString Locker = Record.ItemName + QLatin1String(LockerSuffix);
                QString Message;
                const std::unique_ptr<TFileStream> Stream = Folder.OpenFileForReading(Locker);
                if (VerifyLocker(*Stream, Password, Message) &&
                    DeleteAside(Folder, Record.Name, nullptr, Record.DeletingSince, Folder.ChildPath(Record.ItemName))
                        .isEmpty()) {
                    Entry.Finish();
                    continue;
                }
            }
        } catch (const EKelvarnError&) {
        }
        try {
            Folder.RenameNoReplace(Record.Name, Folder, Record.ItemName);
            Entry.Finish();
        } catch (const EKelvarnError&) {
            Entry.Release();
        }
    }
}

namespace {

// Conflict "No": the locker goes only when the item already there holds every entry of it.
TWorkflowResult KeepItemDropLocker(const TItemPlace& Place, const QString& LockerName, const QString& Password,
                                   const TWorkflowCallbacks& Callbacks) {
    const std::unique_ptr<TFileStream> Stream = Place.Parent.OpenFileForReading(LockerName);
    TLockerStaging Staging;
    const TLockerResult Result = Staging.Extract(Place.Parent, *Stream, Password, Callbacks.Progress, Callbacks.Cancel);
    if (!Result.Success)
        return ExtractFailed(Result, Callbacks);
    const QList<TEntryInfo> Entries = Staging.StagedEntries();
    Staging.Discard();
    QString Missing;
    if (!HoldsAll(Place.Parent, Place.Name, Entries, Missing))
        return Failed(TOutcome::Exists,
                      Translate("The locker was kept, because the existing item does not hold everything in it:") +
                          QLatin1String(CrLf) + Missing);
    SetHiddenAttributes(Place.Parent.ChildPath(LockerName), false, false);
    DeleteLockerChecked(Place.Parent, LockerName, Staging.LockerIdentity());
    TWorkflowResult Done = Finished(Place.Path);
    Done.Skipped = true;
    return Done;
}

} // namespace

void SettleLeftovers(const QString& Folder, const QString& Password) {
    try {
        SettleLeftoversIn(TDirHandle::Open(Folder, true), Password);
    } catch (const EKelvarnError&) {
    }
}

static TWorkflowResult RestoreItemUnguarded(const QString& Path, const QString& Password, bool StrongHide,
                                            const TConflictPrompt& Prompt, const TWorkflowCallbacks& Callbacks) {
    if (Password.isEmpty())
        return Failed(TOutcome::IoError, Translate("General password is not set."));
    const TListedItem Place = OpenListedItem(Path, Password);
    const QString& LockerName = Place.LockerName;
    const QString& LockerPath = Place.LockerPath;

    struct stat St;
    if (!Place.Parent.StatChild(LockerName, St) || !S_ISREG(St.st_mode))
        return Failed(TOutcome::IoError, Translate("Locker file not found: ") + LockerPath);
    bool Replace = false;
    TFileIdentity Existing;
    if (Place.Parent.StatChild(Place.Name, St)) {
        const TConflictChoice Choice = Prompt ? Prompt(Place.Path) : TConflictChoice::Skip;
        if (Choice == TConflictChoice::Skip) {
            TWorkflowResult Skipped = Finished();
            Skipped.Skipped = true;
            return Skipped;
        }
        if (Choice == TConflictChoice::KeepItem)
            return KeepItemDropLocker(Place, LockerName, Password, Callbacks);
        Replace = true;
        Existing = IdentityOf(St);
    }

    SetHiddenAttributes(LockerPath, false, false);
    auto HideAgain = [&] {
        try {
            SetHiddenAttributes(LockerPath, true, StrongHide);
        } catch (const EKelvarnError&) {
        }
    };
    TLockerStaging Staging;
    try {
        const std::unique_ptr<TFileStream> Stream = Place.Parent.OpenFileForReading(LockerName);
        const TLockerResult Result =
            Staging.Extract(Place.Parent, *Stream, Password, Callbacks.Progress, Callbacks.Cancel);
        if (!Result.Success) {
            HideAgain();
            return ExtractFailed(Result, Callbacks);
        }
        if (Cancelled(Callbacks)) {
            Staging.Discard();
            HideAgain();
            return Failed(TOutcome::Cancelled, Translate("Operation cancelled by user."));
        }
        // The user's item is never gone before the new one is in place: exchanged in one step.
        if (Replace)
            Staging.ExchangeIntoPlace(Place.Name, Existing);
        else
            Staging.MoveIntoPlace(Place.Name);
    } catch (const EKelvarnError& Error) {
        try {
            Staging.Discard();
        } catch (const EKelvarnError&) {
        }
        HideAgain();
        return Failed(TOutcome::IoError, Error.Message());
    }

    TWorkflowResult Done = Finished(Place.Path);
    try {
        DeleteLockerChecked(Place.Parent, LockerName, Staging.LockerIdentity());
    } catch (const EKelvarnError& Error) {
        // The item is back and whole; the locker stays, hidden again, and the row shows both.
        HideAgain();
        Done = Failed(TOutcome::IoError, Error.Message());
        Done.ItemPath = Place.Path;
    }
    try {
        Staging.Discard(); // the replaced item, now staged
    } catch (const EKelvarnError& Error) {
        Done.Warning = Translate("The item was restored, but the item it replaced could not be deleted in full:") +
                       QLatin1String(CrLf) + Error.Message();
    }
    return Done;
}

static TWorkflowResult ImportLockerUnguarded(const QString& LockerPath, const QString& Secret,
                                             const TWorkflowCallbacks& Callbacks) {
    const TItemPlace Place = OpenPlace(LockerPath);
    SettleLeftoversIn(Place.Parent, Secret);
    const std::unique_ptr<TFileStream> Stream = Place.Parent.OpenFileForReading(Place.Name);
    TLockerStaging Staging;
    const TLockerResult Result = Staging.Extract(Place.Parent, *Stream, Secret, Callbacks.Progress, Callbacks.Cancel);
    if (!Result.Success) {
        TWorkflowResult Failure = ExtractFailed(Result, Callbacks);
        if (Failure.Text.isEmpty())
            Failure.Text = Translate("Failed to import locker file.");
        return Failure;
    }
    // The item comes back under the name it was packed with, which a renamed locker no longer shows.
    const QString Restored = Place.Parent.ChildPath(Staging.RootName());
    struct stat St;
    if (Place.Parent.StatChild(Staging.RootName(), St)) {
        Staging.Discard();
        return Failed(TOutcome::Exists,
                      Translate("Nothing was imported, because this item already exists beside the locker file:") +
                          QLatin1String(CrLf) + Restored);
    }
    Staging.MoveIntoPlace();
    TWorkflowResult Done = Finished(Restored);
    try {
        SetHiddenAttributes(LockerPath, false, false);
    } catch (const EKelvarnError&) {
        // Only a line of the folder's hidden list may stay behind.
    }
    try {
        DeleteLockerChecked(Place.Parent, Place.Name, Staging.LockerIdentity());
    } catch (const EKelvarnError& Error) {
        Done.Kind = TOutcome::IoError;
        Done.Text = Error.Message();
    }
    return Done;
}

TWorkflowResult RestoreItem(const QString& Path, const QString& Password, bool StrongHide,
                            const TConflictPrompt& Prompt, const TWorkflowCallbacks& Callbacks) {
    return GuardedWork([&] { return RestoreItemUnguarded(Path, Password, StrongHide, Prompt, Callbacks); });
}

TWorkflowResult ImportLocker(const QString& LockerPath, const QString& Secret, const TWorkflowCallbacks& Callbacks) {
    return GuardedWork([&] { return ImportLockerUnguarded(LockerPath, Secret, Callbacks); });
}
