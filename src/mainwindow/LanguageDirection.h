#pragma once

// Lays the whole application out right to left when the current language is written so (Arabic),
// and left to right otherwise; Qt's own texts (file chooser, list headers) follow the language
// where Qt has a catalogue for it.
void ApplyLanguageDirection();
