#pragma once

// Lays the whole application out right to left when the current language is written so (Arabic),
// and left to right otherwise.
void ApplyLanguageDirection();
