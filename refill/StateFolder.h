#pragma once

#include <QString>

// Where the refill keeps what belongs to the user rather than to a device
// (the cycles, the list files of a copied command line):
// $XDG_STATE_HOME/quorvex, or on Windows %LOCALAPPDATA%\Quorvex, else
// ~/.local/state/quorvex.
QString StateFolder();
