#pragma once

#include "locker/uLocker.h"

#include <QString>

#include <functional>

// The hide, restore and import transaction that the window and kvlocker share. Once an operation
// has started, no path is resolved again: the item's folder is held open, and every rename or
// delete first checks that the name still refers to the very object that was opened or packed. A
// source is deleted only after a verified locker is on disk under its final name, the source was
// taken out of its place in one rename, and it was found unchanged since it was packed.

enum class TOutcome { Done, Cancelled, WrongSecret, Damaged, Exists, Changed, IoError };

struct TWorkflowResult {
    TOutcome Kind = TOutcome::IoError;
    QString Text;         // why it failed, translated; empty when done
    QString Warning;      // done, but something beside it did not work (shown after the fact)
    bool Skipped = false; // restore: the conflict prompt left the item alone
    QString ItemPath;     // restore and import: where the item now is
    bool Ok() const { return Kind == TOutcome::Done; }
};

struct TWorkflowCallbacks {
    TLockerProgressProc Progress;
    TLockerCancelFunc Cancel;
};

// Packs Path (a full path) into Path + ".kvlocker", then deletes Path. StrongHide also gives the
// locker the system attribute.
TWorkflowResult HideItem(const QString& Path, const QString& Password, bool StrongHide,
                         const TWorkflowCallbacks& Callbacks = {});

// The user's answer when the item and its locker both exist.
enum class TConflictChoice { Replace, KeepItem, Skip };
using TConflictPrompt = std::function<TConflictChoice(const QString& Path)>;

// Rebuilds Path from Path + ".kvlocker", then deletes the locker. When both exist, Prompt decides.
// On failure, the locker is hidden again (with the system attribute under StrongHide).
TWorkflowResult RestoreItem(const QString& Path, const QString& Password, bool StrongHide,
                            const TConflictPrompt& Prompt, const TWorkflowCallbacks& Callbacks = {});

// Rebuilds the item of the locker at LockerPath beside it, under the name it was packed with, and
// deletes the locker. Never over anything already there (Exists). ItemPath names the item.
TWorkflowResult ImportLocker(const QString& LockerPath, const QString& Secret,
                             const TWorkflowCallbacks& Callbacks = {});

// Writes a new verified locker for Source at LockerPath under a private temporary name, flushed,
// then named: replacing an existing file only with Replace. The recovery code comes back in
// RecoveryCode.
TWorkflowResult PublishLocker(const QString& Source, const QString& LockerPath, const QString& Password, bool Replace,
                              QString& RecoveryCode, const TWorkflowCallbacks& Callbacks = {});

// Finishes or undoes what ended operations left in Folder (a full path): temporary files and
// staging folders go; an item set aside comes back under its name, unless its deletion had begun
// and its locker verifies under Password, when the deletion is finished. Errors are ignored: the
// next operation tries again.
void SettleLeftovers(const QString& Folder, const QString& Password);

// The hidden attribute (and system with UseSystem) on Path, or neither; raises "Path not found: %s"
// when the path cannot be queried, and the system's message when the change is refused.
void SetHiddenAttributes(const QString& Path, bool Hide, bool UseSystem);
