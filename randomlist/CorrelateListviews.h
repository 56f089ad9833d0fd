#pragma once

#include "randomlist/DestinationVolumes.h"
#include "randomlist/RandomFileList.h"

#include "core/CopyListRow.h"

#include <QSet>
#include <QString>
#include <QStringList>

class Dialogs;
class RandomSource;


// The name a drawn file gets in a destination: its own name, or for a
// repeated pick k the name with k before its extension (sun.jpg -> sun1.jpg,
// archive.tar.gz -> archive.tar1.gz, README -> README1, .profile -> 1.profile).
QString DestinationFileName(const QString& fileName, std::uint32_t repeat);

// The names the drawn files take in every destination folder, in selection
// order. A file keeps its own name (or its repeat name) unless an earlier,
// different file of the plan took it; it then takes stem + k + extension
// with the lowest k >= 1 still free, so no file of one run replaces
// another. Names are compared without letter case, as FAT sticks do. One
// file reached under two writings (a doubled separator, a linked folder) is
// one file. A file that lies in one of the destination folders keeps its
// own name, which a different file would otherwise take from it. Names in
// takenNames (files already in a destination) are taken from the start.
// Names are planned as the destinations' file system takes them (rule), and
// compared so: "AC:DC.mp3" and "ac_dc.mp3" meet on a FAT stick.
QStringList DestinationNames(const Selection& selection, const QStringList& destinationFolders = {},
                             const QSet<QString>& takenNames = {}, NameRule rule = NameRule::AsIs);

// Draws a selection and pairs every drawn file with every destination
// folder: the copy-list rows, each drawn file with each destination in
// destination order. A drawn file larger than a destination's file system
// holds is passed over, and another drawn in its place; when passedOver is
// given, it receives those files.
CopyPlan CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                            RandomSource& random, Dialogs& dialogs, const QSet<QString>& takenNames = {},
                            PassedOverFiles* passedOver = nullptr);

// Pairs a selection with the destination folders; each destination's names
// are planned for its own file system.
CopyPlan PairWithDestinations(const Selection& selection, const QStringList& destinationRows,
                              const QSet<QString>& takenNames = {});
