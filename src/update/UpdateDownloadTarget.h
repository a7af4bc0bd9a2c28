#pragma once

#include <QString>

#include <memory>

class QFile;

// Where the downloaded package goes: "nvl_update.deb" in a folder of the user's alone (mode 0700),
// "NVL Kelvarn" under $XDG_CACHE_HOME, else under $HOME/.cache. Never a fixed name in the shared
// /tmp, where another user could plant a link for the download to write through.
QString UpdateDownloadFolder();
QString UpdateDownloadPath();

// Makes the folder private (creating it when missing) and creates or empties the file, open for
// writing. Raises when the folder is not a folder of this user, or the file is a link or no
// regular file.
std::unique_ptr<QFile> CreateDownloadTarget();
