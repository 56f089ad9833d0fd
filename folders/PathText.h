#pragma once

#include "core/PathHelpers.h"

#include <QString>

// A copy of the path with runs of separators collapsed. Inside the path, each
// pair of separators becomes one, scanning left to right without overlap (a
// run of three becomes two). A path that begins with a run of separators
// keeps exactly two at its start, as a network path does; with "/" a single
// leading separator (the root) stays single.
QString CollapseBackslashes(const QString& path, QChar separator = NativeSeparator());

// True when a folder name holds a character that the code page cannot show
// safely: a code below 32, from 127 to 159, or "?" (which is also what every
// character outside the code page becomes).
bool HasBadNameCharacters(const QString& name);
