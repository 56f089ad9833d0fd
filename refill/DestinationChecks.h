#pragma once

#include "refill/FolderRows.h"

#include <QString>
#include <QStringList>

class RefillReport;

// What a destination must be before the refill plans for it or writes
// there: a folder that is there, and that is no source (that no other run
// is filling, RefillLocks sees to).

// The folders that are there. One that is not (a stick that is not
// mounted) is told and left out: never made, which on an unmounted stick
// would fill the system's own disk.
QStringList ExistingFolders(const QStringList& folders, RefillReport& report);

// Leaves out of the sources every destination folder and all below it,
// told by identity (a link, another writing): a mix folder inside the
// library is not drawn from again. Each is told once, as a note.
void LeaveOutDestinations(FolderRows& sources, const QStringList& destinations, RefillReport& report);
