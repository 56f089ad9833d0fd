#pragma once

#include "core/CopyListRow.h"

#include <QString>
#include <QStringList>

class RefillReport;

// The folders a run makes below its destinations for the rows whose names
// lead through folders (--whole-folders). Only ever below a destination
// that is there: the destination itself is never made.

// The folders the rows' names lead through that are not there yet, each
// once, outermost first, as full paths with their closing separator.
QStringList FoldersToMake(const QList<CopyRow>& rows);

// Makes them, outermost first; one that cannot be made is said, and the
// rows bound for it fail at their turn. The folders made.
QStringList MakeFolders(const QStringList& folders, RefillReport& report);

// Removes the made folders that hold nothing (the copies bound for them
// failed), innermost first. The folders still there.
QStringList RemoveEmptyFolders(const QStringList& made);
