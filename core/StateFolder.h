#pragma once

#include <QString>

// Where the refill keeps what belongs to the user rather than to a device
// (the cycles, the list files of a copied command line):
// $XDG_STATE_HOME/quorvex, or on Windows %LOCALAPPDATA%\Quorvex, else
// ~/.local/state/quorvex.
QString StateFolder();

// The state folder where XDG_STATE_HOME is not set, as for a program that
// the system's scheduler starts.
QString DefaultStateFolder();
