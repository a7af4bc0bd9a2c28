#include "PathFileOps.h"

#include "KelvarnError.h"
#include "PlatformDirHandle.h"
#include "PlatformFiles.h"
#include "translation.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t HiddenSystemReadOnly = Attr::ReadOnly | Attr::Hidden | Attr::System;

// A read-only folder of the user's is made writable so that its content can go.
void OpenUp(const TDirHandle& Folder) {
    const struct stat St = Folder.Stat();
    if (St.st_uid == ::geteuid() && (St.st_mode & S_IRWXU) != S_IRWXU)
        Folder.SetMode((St.st_mode & 07777) | S_IRWXU);
}

void ClearAttributes(const QString& Path) {
    const uint32_t Attributes = Fs::GetFileAttributes(Path);
    if (Attributes == Attr::Invalid || (Attributes & HiddenSystemReadOnly) == 0)
        return;
    // Only the low bits: the permissions stay as they are, bar the owner's write bit.
    try {
        Fs::SetFileAttributes(Path, (Attributes & 0xFFFFu) & ~HiddenSystemReadOnly);
    } catch (const EKelvarnError&) {
        // A folder's hidden list that is not the user's own file is left as it is.
    }
}

// Depth-first through descriptors, so that an entry swapped for a link meanwhile is removed as a
// link and its target never touched; whatever cannot be listed or removed stays, and the rest goes on.
void DeleteFolderContents(const TDirHandle& Folder) {
    QList<TDirEntry> Entries;
    try {
        Entries = Folder.ListKinds();
    } catch (const EKelvarnError&) {
        return;
    }
    for (const TDirEntry& Entry : std::as_const(Entries)) {
        try {
            if (Entry.Kind == TEntryKind::Directory) {
                RunFileStepHook("DeletePath:descend", Folder.ChildPath(Entry.Name));
                struct stat Now;
                if (Folder.StatChild(Entry.Name, Now) && !S_ISDIR(Now.st_mode)) {
                    // No longer the folder that was listed.
                    Folder.Unlink(Entry.Name);
                    continue;
                }
                {
                    const TDirHandle Child = Folder.OpenFolder(Entry.Name, &Entry.Identity);
                    OpenUp(Child);
                    DeleteFolderContents(Child);
                }
                Folder.RemoveEmptyFolder(Entry.Name);
            } else {
                Folder.Unlink(Entry.Name);
            }
        } catch (const EKelvarnError&) {
        }
    }
}

} // namespace

void ClearAttributesTree(const QString& Path) {
    if (Fs::FileExists(Path)) {
        ClearAttributes(Path);
        return;
    }
    if (!Fs::DirectoryExists(Path))
        return;
    ClearAttributes(Path);
    QList<TDirEntry> Entries;
    try {
        Entries = Fs::ListFolder(Path);
    } catch (const EKelvarnError&) {
        return;
    }
    for (const TDirEntry& Entry : std::as_const(Entries))
        if (Entry.Kind == TEntryKind::File || Entry.Kind == TEntryKind::Directory)
            ClearAttributesTree(Path + QLatin1Char('/') + Entry.Name);
}

void DeletePath(const QString& Path) {
    if (!Fs::FileExists(Path) && !Fs::DirectoryExists(Path))
        return;
    // Only the item's own marks outlive it (its line in the folder's hidden list); what lies below
    // goes with it, and a folder that denies writing is opened up on the way down.
    ClearAttributes(Path);
    if (Fs::FileExists(Path)) {
        if (!Fs::DeleteFile(Path))
            throw EKelvarnError(SystemErrorText(errno));
        return;
    }
    if (!Fs::DirectoryExists(Path))
        return;
    const qsizetype Slash = Path.lastIndexOf(QLatin1Char('/'));
    const TDirHandle Parent = TDirHandle::Open(Slash <= 0 ? QStringLiteral("/") : Path.left(Slash), true);
    const QString Name = Path.mid(Slash + 1);
    try {
        {
            const TDirHandle Folder = Parent.OpenFolder(Name);
            OpenUp(Folder);
            DeleteFolderContents(Folder);
        }
        Parent.RemoveEmptyFolder(Name);
    } catch (const EKelvarnError&) {
    }
}

bool TryDeletePath(const QString& Path) {
    if (!Fs::FileExists(Path) && !Fs::DirectoryExists(Path))
        return true;
    try {
        DeletePath(Path);
    } catch (const EKelvarnError&) {
        return false;
    }
    return true;
}
