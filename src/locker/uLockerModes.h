#pragma once

#include <cstdint>

// How an item's type and permissions are stored, and what is restored from them.

// The attributes to store for an item listed with Attributes (low bits, permissions in the high 16):
// the high 16 bits become the full st_mode, type bits included.
int32_t StoredAttributes(uint32_t Attributes, bool IsDir);
// The permissions to restore from stored attributes. The high 16 bits count as a mode only when their
// type bits name the entry's own kind (a locker from elsewhere may use those bits for other things,
// as Windows does for cloud-file states); they are then masked to 0777, never set-id or sticky.
// Otherwise the owner gets read and write, and search for a folder. For a file, read-only (bit 0x1)
// removes every write bit and its absence adds the owner's; a folder's read-only bit means nothing
// on Windows, so a folder keeps what its mode says.
uint32_t RestoredMode(int32_t Attributes, bool IsDir);
