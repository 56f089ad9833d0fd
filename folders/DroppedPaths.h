#pragma once

#include <QStringList>

class Dialogs;

// The source-list rows for paths dropped from the file manager. A dropped
// file is its own row, as delivered. A dropped folder gives a row for each
// file in it and in every folder below it that the subfolder scan accepts,
// in the scan's order, leaving out names starting with "~", entries that do
// not open as files, and files that are hidden and archive and nothing
// else. The folders found for one drop are gathered in one collection, so a
// second folder in the same drop lists the first one's files again.
QStringList RowsForDroppedPaths(const QStringList& droppedPaths, Dialogs& dialogs);

// Attributes exactly archive plus hidden: such files are left out of drops.
inline constexpr int kArchiveAndHidden = 34;
