#include "mainwindow/ButtonRules.h"

TCommandStates CommandStatesFor(bool Busy, bool Selected, int Count) {
    TCommandStates States;
    States.Remove = !Busy && Selected;
    States.HideSelected = !Busy && Selected;
    States.HideAll = !Busy && Count > 0;
    States.AddAndTools = !Busy;
    States.Stop = Busy;
    States.About = true;
    return States;
}
