#pragma once

#include "refill/RefillSettings.h"

#include <QStringList>

// The command line's arguments that ask for the refill the settings
// describe, as a face hands it on (to the clipboard, to a scheduler): its
// folders in the order given, its count and every setting, but no seed, so
// that each run draws afresh.
QStringList RefillArguments(const RefillSettings& settings);
