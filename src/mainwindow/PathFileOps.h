#pragma once

#include "uWorkflow.h"

#include <QString>

// File-system helpers of the hide and restore workflow, on the Windows-style attribute bits that
// the platform layer maps onto POSIX (hidden: a leading "." or the folder's .hidden list; system:
// an extended attribute; read-only: no write permission).

// Clears read-only, hidden and system on Path and everything below it. Symbolic links are never
// followed; errors are ignored.
void ClearAttributesTree(const QString& Path);

// Permanently deletes a file, or a folder with its whole tree. A symbolic link inside the tree is
// removed itself, its target is never touched. A file that cannot be deleted raises the system's
// message; inside a folder, entries that cannot be removed are skipped (and their parents stay).
void DeletePath(const QString& Path);

// DeletePath, with false instead of an error; true when nothing was there.
bool TryDeletePath(const QString& Path);
