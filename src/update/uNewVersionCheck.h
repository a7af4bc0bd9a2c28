#pragma once

// Asks the maker's server whether a newer version exists. True when an update is to be offered;
// false on every failure. Never raises and never shows anything.
bool CheckForNewVersion();
