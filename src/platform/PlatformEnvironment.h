#pragma once

#include <QString>

// Who and where the program runs: host and login names, the per-user config folder, the program's
// own folder. Tests inject all of them so that nothing touches the real user's files.

// The application title; names the config folder and enters the settings pass phrase.
QString ApplicationTitle(); // "NVL Kelvarn"
// The program's version as shown ("2.3"), and as the update check compares it (23).
QString ProgramVersion();
int ProgramVersionNumber();
// The maker's web site, over HTTPS, without a trailing "/"; the About box and the Help links.
QString MakerWebAddress();

// Host name (gethostname) and login name (password database), or the injected values.
QString ComputerName();
QString UserName();

// The folder that holds settings.dt and the per-user store: "NVL Kelvarn" under $XDG_CONFIG_HOME,
// else under $HOME/.config; the program's folder when neither is known. Or the injected folder.
QString AppConfigFolder();

// Folder of the running program file (QCoreApplication::applicationDirPath when an application
// object exists, else /proc/self/exe's folder).
QString ProgramFolder();

// Test seams: an empty text removes the override.
void SetIdentityOverride(const QString& Computer, const QString& User);
void SetConfigFolderOverride(const QString& Folder);
