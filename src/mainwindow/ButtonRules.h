#pragma once

// Which commands the main window offers: while a batch runs only Stop and About are live; idle,
// the row commands need a selected row and the "All" commands a non-empty list.
struct TCommandStates {
    bool Remove = false;
    bool HideSelected = false; // also unhide selected
    bool HideAll = false;      // also unhide all
    bool AddAndTools = false;  // add file, add folder, import locker, change password
    bool Stop = false;
    bool About = true;
};

TCommandStates CommandStatesFor(bool Busy, bool Selected, int Count);
