#pragma once

#include "settings/uSettingsStream.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The settings store: the application password, the strong-hide flag and the list of protected
// paths, kept in settings.dt in the config folder, encrypted and authenticated under keys derived
// from the host name, the login name and the application title.

// Process-wide settings state; owned here, changed by the start-up, SaveFormState and Change Password.
extern QString GeneralPassword;
extern bool StrongHide; // true at process start
extern QStringList PathList;

// What LoadSettings found.
struct TSettingsLoad {
    bool Read = true; // false: the file could not be decoded
    QString KeptAs;   // the full path the undecodable file was moved to; empty when Read
    explicit operator bool() const { return Read; }
};

// Fills the state from settings.dt (or a legacy file). Read when there is no file, an empty file or
// a file that was read. A file that could not be decoded (nothing of it is ever shown) is moved at
// once to the first free name of settings.dt.unreadable, settings.dt.unreadable.1, .2 ..., never
// replacing an earlier one (it may still open under its own host name), and named in KeptAs.
// Raises when the file exists but cannot be opened or read, or cannot be moved aside.
TSettingsLoad LoadSettings();
// Writes the state to settings.dt in the current format, under a fresh salt and nonce, replacing the
// old file atomically. Returns true; raises on any failure, leaving the state as it was.
bool SaveSettings();
// True when Content begins with the current format's magic; such a file is never read as legacy.
bool IsCurrentFormatFile(const QByteArray& Content);

// <config folder>/settings.dt; creates the folder (the outcome shows up when the file is opened).
QString SettingsFilePath();
// Host name, "|", login name, "|", application title, "/settings-v2".
QString SettingsPassPhrase();

// A settings string: Int32 little-endian UTF-8 byte count, then the bytes.
void WriteSettingsString(TSettingsStream& Stream, const QString& Text);
// Raises "Invalid string length in settings." on a negative count; a count beyond the end raises
// the stream's read error before any memory is reserved for it.
QString ReadSettingsString(TSettingsStream& Stream);
// Exactly Count bytes; raises "Invalid byte count in settings." when Count is negative.
QByteArray ReadSettingsBytes(TSettingsStream& Stream, int Count);
QByteArray ConcatBytes(const QByteArray& A, const QByteArray& B);

// The file's fixed values.
namespace SettingsFormat {
constexpr const char* Magic = "KVS2";
constexpr int32_t Version = 2;
constexpr int SaltLength = 16;
constexpr int NonceLength = 16;
constexpr int MacLength = 32;
constexpr int HeaderLength = 4 + 4 + 4 + SaltLength + NonceLength + MacLength; // 76
constexpr int Iterations = 200000;
constexpr const char* UnreadableSuffix = ".unreadable";
} // namespace SettingsFormat
