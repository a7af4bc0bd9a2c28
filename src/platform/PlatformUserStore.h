#pragma once

#include <QString>

// The per-user store of small preferences (the Linux counterpart of the registry key
// HKEY_CURRENT_USER\Software\<application title>): an INI file in AppConfigFolder().

// Full path of the store file.
QString UserStorePath();

// True with Value set when the store holds Name as text. False when the store or the value is
// missing or the store cannot be read. A value that exists but is not text raises EKelvarnError.
bool ReadUserStoreString(const QString& Name, QString& Value);

// Stores Name := Value, creating the store (and its folder) when missing. False when that fails;
// nothing is raised.
bool WriteUserStoreString(const QString& Name, const QString& Value);
