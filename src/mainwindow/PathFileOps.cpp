#include "PathFileOps.h"

#include "KelvarnError.h"
#include "PlatformFiles.h"
#include "translation.h"

#include <cerrno>

namespace {

constexpr uint32_t HiddenSystemReadOnly = Attr::ReadOnly | Attr::Hidden | Attr::System;

void ClearAttributes(const QString& Path) {
    const uint32_t Attributes = GetFileAttributes(Path);
    if (Attributes == Attr::Invalid || (Attributes & HiddenSystemReadOnly) == 0)
        return;
    // Only the low bits: the permissions stay as they are, bar the owner's write bit.
    SetFileAttributes(Path, (Attributes & 0xFFFFu) & ~HiddenSystemReadOnly);
}

// Depth-first; whatever cannot be listed or removed stays, and the rest goes on.
void DeleteFolderTree(const QString& Folder) {
    QList<TDirEntry> Entries;
    try {
        Entries = ListFolder(Folder);
    } catch (const EKelvarnError&) {
    }
    for (const TDirEntry& Entry : std::as_const(Entries)) {
        const QString Child = Folder + QLatin1Char('/') + Entry.Name;
        if (Entry.Kind == TEntryKind::Directory)
            DeleteFolderTree(Child);
        else
            DeleteFile(Child);
    }
    RemoveDir(Folder);
}

} // namespace

void SetHiddenAttributes(const QString& Path, bool Hide, bool UseSystem) {
    uint32_t Attributes = GetFileAttributes(Path);
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
    if (!SetFileAttributes(Path, Attributes))
        throw EKelvarnError(SystemErrorText(errno));
}

void ClearAttributesTree(const QString& Path) {
    if (FileExists(Path)) {
        ClearAttributes(Path);
        return;
    }
    if (!DirectoryExists(Path))
        return;
    ClearAttributes(Path);
    QList<TDirEntry> Entries;
    try {
        Entries = ListFolder(Path);
    } catch (const EKelvarnError&) {
        return;
    }
    for (const TDirEntry& Entry : std::as_const(Entries))
        if (Entry.Kind == TEntryKind::File || Entry.Kind == TEntryKind::Directory)
            ClearAttributesTree(Path + QLatin1Char('/') + Entry.Name);
}

void DeletePath(const QString& Path) {
    if (!FileExists(Path) && !DirectoryExists(Path))
        return;
    ClearAttributesTree(Path);
    if (FileExists(Path)) {
        if (!DeleteFile(Path))
            throw EKelvarnError(SystemErrorText(errno));
        return;
    }
    if (DirectoryExists(Path))
        DeleteFolderTree(Path);
}

bool TryDeletePath(const QString& Path) {
    if (!FileExists(Path) && !DirectoryExists(Path))
        return true;
    try {
        DeletePath(Path);
    } catch (const EKelvarnError&) {
        return false;
    }
    return true;
}
