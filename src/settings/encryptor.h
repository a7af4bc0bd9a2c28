#pragma once

#include "settings/uSettingsStream.h"

#include <QString>

#include <cstdint>

// The older settings format, read only: the record scrambled by a byte inversion and a rolling-key
// cipher, with no magic and no authentication.

struct TLegacyKey {
    uint16_t Multiplier;
    uint16_t Addend;
    uint16_t InitialState;
};
// Files in the older format can be read only with the values they were written with.
inline constexpr TLegacyKey LegacySettingsKey{52845, 22719, 55665};

// Replaces every byte by its complement, in place, and leaves the stream at its start.
void InvertStreamBytes(TSettingsStream& Stream);

// Dest[i] = Source[i] XOR the state's high byte; the state advances on the output byte:
// State := ((Out + (State AND 0xFF)) AND 0xFF) * Multiplier + Addend (mod 65536).
// False, with nothing written, when the lengths differ.
bool RollingKeyCipher(const uint8_t* Source, int64_t SourceLength, uint8_t* Dest, int64_t DestLength, TLegacyKey Key);

// Reads a legacy settings file into GeneralPassword, StrongHide and PathList (empty entries kept).
// True when read; raises on a file it cannot open or decode, keeping what was assigned before.
bool LoadLegacySettings(const QString& Path);
