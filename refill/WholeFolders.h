#pragma once

#include "randomlist/CorrelateListviews.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// --whole-folders: each drawn folder arrives whole, in a folder of its own
// below every destination, which keeps its path below the source it came
// from.

// The folders a drawn folder arrives in, outermost first: its path below
// root, or for root itself (a folder given alone) its own name.
QStringList ArrivalFolders(const QString& folder, const QString& root);

// What the naming asks of the destinations.
struct ArrivalLookup {
    // Where a drawn folder arrives, as ArrivalFolders gives it.
    std::function<QStringList(const QString& folder)> arrivalOf;
    // True when a path below a destination holds something that is no
    // folder to copy into: a file, or a link put in a folder's place.
    std::function<bool(const QString& path)> blocked;
    // The names already in these folders that no copy may take (with
    // --keep-existing or --refresh); none otherwise.
    std::function<QSet<QString>(const QStringList& folders)> takenIn;
};

// Names a whole-folder draw: each row's name is the path below its
// destination, the arrival folders and the file's name. Two drawn folders
// bound for one place, or a folder bound for a file's place, take the
// lowest free number after the folder's name ("Album1"). When numbered,
// each drawn folder's outermost folder starts with its place in the draw
// ("01 Album"), and the files keep their own names.
Pairing WholeFolderPairing(ArrivalLookup lookup, bool numbered);
