#pragma once

#include <QString>

// The locker of a listed path: its full path with ".kvlocker" appended, nothing else changed, so
// /data/Photos has /data/Photos.kvlocker. Raises "Invalid source path." for an empty or blank path.
QString LockerPathFor(const QString& Path);

// The absolute form a listed path takes: relative paths resolved against the current folder, "."
// and ".." folded, and trailing separators removed (but "/" kept), so that a locker is never
// placed inside the tree it packs. Raises as LockerPathFor.
QString ListedPathFor(const QString& Path);

// The rule of the Status column: a path is hidden exactly when a regular file sits at its locker
// path (a folder there does not count; the listed path itself plays no part).
bool IsPathHidden(const QString& Path);
