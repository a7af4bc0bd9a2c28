#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Replaces the content of Path with Bytes so that a crash, a power cut or a full disk at any moment
// leaves either the old file or the new one whole, never a mix or a truncated file: the bytes go to
// a temporary file in the same folder, reach the disk, and only then is it renamed over Path.
// A file created here gets Mode (owner-only by default). Raises EKelvarnError with the system's
// message on failure; the temporary file is removed and the old file is untouched.
void ReplaceFileContents(const QString& Path, const QByteArray& Bytes, mode_t Mode = 0600);
