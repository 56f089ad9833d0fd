#pragma once

#include "core/CopyListRow.h"

#include <QSet>
#include <QString>
#include <QStringList>

class RefillReport;

// The folders a run makes below its destinations for the rows whose names
// lead through folders (--whole-folders). Only ever below a destination
// that is there: the destination itself is never made.

// The folders the rows' names lead through that are not there yet, each
// once, outermost first, as full paths with their closing separator.
QStringList FoldersToMake(const QList<CopyRow>& rows);

// Makes them, outermost first. A folder that cannot be made is said, and
// no folder below it is tried: one line for all of them.
struct FoldersMade {
    QStringList made;
    QSet<QString> notMade; // the outermost of those that could not be made
};
FoldersMade MakeFolders(const QStringList& folders, RefillReport& report);

// How many of the rows lead into one of the folders.
int RowsInto(const QList<CopyRow>& rows, const QSet<QString>& folders);

// Removes the made folders that hold nothing (the copies bound for them
// failed), innermost first. The folders still there.
QStringList RemoveEmptyFolders(const QStringList& made);
