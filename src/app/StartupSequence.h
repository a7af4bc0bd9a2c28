#pragma once

#include <functional>

class TfrmMain;

// The program from start to end, after the application object exists: style, title, catalogue,
// update check, settings, password gate, windows, event loop. Returns the exit status: 0 on every
// normal end, 1 (after an error box) when an error escapes the sequence.
int RunStartup();

// Test seam: called with the main window once it is shown, before the event loop runs.
void SetMainWindowShownHook(std::function<void(TfrmMain*)> Hook);
