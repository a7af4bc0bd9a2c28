#pragma once

// Helpers shared by the file-layer sources; not part of the layer's interface.

#include "platform/PlatformFiles.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <cstdint>
#include <dirent.h>
#include <sys/stat.h>

namespace PlatformFilesInternal {

// The bytes the kernel sees for Path. False (errno = EINVAL) when Path holds a NUL character, which
// would silently cut the path short at the system call.
bool EncodePath(const QString& Path, QByteArray& Out);

// The test seam of SetRenameNoReplaceFallbackForTest, for every rename without overwrite.
bool RenameFallbackForced();

// Name of the file-manager list of hidden names inside a folder.
inline constexpr char HiddenListName[] = ".hidden";

// The names listed in Folder's ".hidden" file (raw bytes, one per line); empty when there is none.
QSet<QByteArray> ReadHiddenNames(const QByteArray& Folder);
// The same for the list at ListPath relative to DirFd (HiddenListName inside a held folder).
QSet<QByteArray> ReadHiddenNamesAt(int DirFd, const QByteArray& ListPath);

// Folder and last component of a lexically normalised absolute path ("/" has an empty name).
void SplitFullPath(const QByteArray& Full, QByteArray& Folder, QByteArray& Name);

// Attribute bits from an lstat result. Hidden is decided by the caller (it needs the folder's list);
// System is read from the extended attribute of EncodedPath, unless ReadSystem is false.
uint32_t AttributesFromStat(const struct stat& St, const QByteArray& EncodedPath, bool Hidden, bool ReadSystem = true);

// The entries of an open folder listing (hidden ones included, "." and ".." left out). Folder names
// the folder in messages. With HiddenNames, each entry's attributes are filled in (AttributePrefix
// leads to it for its extended attributes); without, they stay 0. Raises on a name that is not
// valid UTF-8 and on read errors. Without FilesSystem, a regular file's system attribute is not
// read.
QList<TDirEntry> ReadFolderEntries(DIR* Dir, const QString& Folder, const QSet<QByteArray>* HiddenNames,
                                   const QByteArray& AttributePrefix, bool FilesSystem = true);

} // namespace PlatformFilesInternal
