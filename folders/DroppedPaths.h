#pragma once

#include <QStringList>

class Dialogs;

// The source-list rows for paths dropped from the file manager. A dropped
// file is its own row, as delivered. A dropped folder gives a row for each
// file in it and in every folder below it that the subfolder scan accepts,
// in the scan's order, leaving out names starting with "~", the files
// systems keep for themselves (Thumbs.db), entries that do not open as
// files, and files that are hidden and archive and nothing else. Each
// dropped folder's files come once, in the order dropped.
QStringList RowsForDroppedPaths(const QStringList& droppedPaths, Dialogs& dialogs);

