#pragma once

#include "core/CopyListRow.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <system_error>
#include <utility>
#include <vector>

// The folders a run makes below its destinations for the rows whose names
// lead through folders (--whole-folders). Only ever below a destination
// that is there: the destination itself is never made.

// The folders the rows' names lead through that are not there yet, each
// once, outermost first, as full paths with their closing separator.
QStringList FoldersToMake(const QList<CopyRow>& rows);

// Makes them, outermost first. Below a folder that cannot be made no
// folder is tried: it alone is to be said.
struct FoldersMade {
    QStringList made;
    QSet<QString> notMade; // the outermost of those that could not be made
    std::vector<std::pair<QString, std::error_code>> failures; // each of them, and why
};
FoldersMade MakeFolders(const QStringList& folders);

// Whether the error is a device's refusal of a name that holds letters
// beyond ASCII (FAT mounted with a narrow character set, FUSE FAT drivers).
bool RefusesLettersBeyondAscii(const QString& name, const std::error_code& error);

// How many of the rows lead into one of the folders.
int RowsInto(const QList<CopyRow>& rows, const QSet<QString>& folders);

// Removes the made folders that hold nothing (the copies bound for them
// failed), innermost first. The folders still there.
QStringList RemoveEmptyFolders(const QStringList& made);
