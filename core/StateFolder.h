#pragma once

#include <QString>

#include <system_error>

// Where the refill keeps what belongs to the user rather than to a device
// (the cycles, the list files of a copied command line):
// $XDG_STATE_HOME/quorvex, or on Windows %LOCALAPPDATA%\Quorvex, else
// ~/.local/state/quorvex.
QString StateFolder();

// Makes the state folder, and the folders above it, where they are not
// there: the system's error where one could not be made.
std::error_code MakeStateFolder();

// The state folder where XDG_STATE_HOME is not set, as for a program that
// the system's scheduler starts.
QString DefaultStateFolder();

// The user's home folder; where HOME is not set (a program started with
// env -i, as cron does), the account's own, rather than the / Qt would take.
QString UserHomeFolder();
