#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// The dialog's text, composed by CheckForNewVersion.
extern QString NewVersionMessage;
// The program must end when the update dialog closes: a mandatory update, or Update Now chosen.
extern bool ExitAfterUpdateDialog;
// Abort was pressed during the download.
extern bool DownloadCancelRequested;

// Asks the maker's server whether a newer version exists. True when an update is to be offered;
// false on every failure. Never raises and never shows anything.
bool CheckForNewVersion();

// The User-Agent of every request to the maker's server.
QString UpdateUserAgent();

// The server of the version page, the changes page and the package, without a trailing "/":
// KELVARN_UPDATE_URL when set, else the maker's web site. An empty text when KELVARN_UPDATE_URL
// names an address we do not fetch from (anything but https, or http to a loopback host).
QString UpdateBaseAddress();
QUrl UpdateResourceUrl(const QString& Path);

// The text of a page as lines: UTF-8, a byte-order mark dropped, lines ending in CR LF, LF or CR.
QStringList TextLinesOf(const QByteArray& Page);
// Latest and minimum of a version line "24/23"; false unless both are plain decimal numbers.
bool ParseVersionLine(const QString& Line, QString& LatestText, int& Latest, int& Minimum);
// "24" → "2.4": a point before the last digit.
QString DisplayVersion(const QString& LatestText);

// Test seams: the time-out of the check (0 restores 10000 ms) and the module state back to a fresh
// start.
void SetVersionCheckTimeout(int Ms);
void ResetUpdateState();
