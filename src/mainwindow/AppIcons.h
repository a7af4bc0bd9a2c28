#pragma once

#include <QIcon>
#include <QString>

// Makes the resources of the windows (icons, style) reachable; the program and the window tests
// call it once before any window is made.
void InitGuiResources();

// Our artwork by name ("hide", "lock", ...), drawn from SVG at whatever size and pixel ratio the
// screen asks for. The application icon is "nvlkelvarn".
QIcon AppIcon(const QString& Name);
