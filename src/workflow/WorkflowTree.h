#pragma once

#include "locker/uLocker.h"
#include "platform/PlatformDirHandle.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

// The pieces the transactions share: an item's place held open, the checks before and after
// packing, and deletion through held descriptors of exactly what was packed.

inline constexpr char CrLf[] = "\r\n";
inline constexpr char LockerSuffix[] = ".kvlocker";

struct TWorkflowResult;
struct TWorkflowCallbacks;
enum class TOutcome;
// A result of Kind with Text, and one that is done (with where the item now is).
TWorkflowResult Failed(TOutcome Kind, const QString& Text);
TWorkflowResult Finished(const QString& ItemPath = QString());
// Whether Stop was pressed.
bool Cancelled(const TWorkflowCallbacks& Callbacks);

// The folder that holds an item, opened once (a link in the path the user named is followed here,
// and never again), and the item's name in it.
struct TItemPlace {
    QString Path; // full path, for messages
    QString Name;
    TDirHandle Parent;
};
TItemPlace OpenPlace(const QString& Path);

// A listed item's place with its locker beside it (Name + ".kvlocker"), the folder's leftovers
// settled first: where every hide and restore begins.
struct TListedItem : TItemPlace {
    QString LockerName;
    QString LockerPath;
};
TListedItem OpenListedItem(const QString& Path, const QString& Password);

// The first entry of Name (inside Parent) that could not be deleted once the item is packed,
// with the reason, as "<path>\r\n<reason>"; empty when everything can go. Nothing is written.
QString FindUndeletable(const TDirHandle& Parent, const QString& Name);

// Compares the tree AsideName (inside Parent, where it was renamed to after packing) with Packed,
// as CreateVerifiedLocker recorded it. Empty when every entry is the one packed and unchanged and
// nothing was added; else the path (under ShownRoot) of the first entry that differs.
QString FindChanged(const TDirHandle& Parent, const QString& AsideName, const QList<TEntryInfo>& Packed,
                    const QString& ShownRoot);

// Deletes the tree AsideName inside Parent through descriptors. Packed given: only entries that
// still match it. ChangedSince > 0 (no record survived): only entries changed before that time
// (coarse clock, ns). What stays is listed (paths under ShownRoot, with the reason); when nothing
// does, AsideName itself is gone.
QStringList DeleteAside(const TDirHandle& Parent, const QString& AsideName, const QList<TEntryInfo>* Packed,
                        int64_t ChangedSince, const QString& ShownRoot);

// Deletes the locker LockerName inside Folder only if that name still refers to the file Opened:
// it is renamed to a private name first, checked there, and only then unlinked; on a mismatch it
// is renamed back and an error raised.
void DeleteLockerChecked(const TDirHandle& Folder, const QString& LockerName, const TFileIdentity& Opened);

// Whether the tree Name inside Folder holds every entry of Entries (same paths, kinds and sizes).
// Missing receives the first that it lacks.
bool HoldsAll(const TDirHandle& Folder, const QString& Name, const QList<TEntryInfo>& Entries, QString& Missing);

// SettleLeftovers on a folder held open.
void SettleLeftoversIn(const TDirHandle& Folder, const QString& Password);

// Work's result, or an error that escaped it as an I/O failure with its message.
TWorkflowResult GuardedWork(const std::function<TWorkflowResult()>& Work);
