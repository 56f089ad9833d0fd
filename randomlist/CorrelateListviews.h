#pragma once

#include "randomlist/DestinationVolumes.h"
#include "randomlist/RandomFileList.h"

#include "core/CopyListRow.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class ProblemSink;
class RandomSource;


// The name a drawn file gets in a destination: its own name, or for a
// repeated pick k the name with k before its extension (sun.jpg -> sun1.jpg,
// archive.tar.gz -> archive.tar1.gz, README -> README1, .profile -> 1.profile).
QString DestinationFileName(const QString& fileName, std::uint32_t repeat);

// The first of fileName's numbered names from number on (fileName itself
// for 0, then sun1.jpg, sun2.jpg, ...) that isTaken leaves free; number is
// left at its number, so that a search for the next one goes on from there.
template <typename IsTaken>
QString FreeNumberedName(const QString& fileName, std::uint32_t& number, IsTaken&& isTaken)
{
    for (;; ++number) {
        QString name = DestinationFileName(fileName, number);
        if (!isTaken(name))
            return name;
    }
}

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
// When numbered, each name starts with its place in the draw (PlaceInDraw),
// so that a player that sorts by name plays the draw's order.
QStringList DestinationNames(const Selection& selection, const QStringList& destinationFolders = {},
                             const QSet<QString>& takenNames = {}, NameRule rule = NameRule::AsIs,
                             bool numbered = false);

// The place of a drawn file (from 0) among count as its name starts with
// it: from 1, zero-padded to count's width, then a blank ("007 ").
QString PlaceInDraw(std::size_t position, std::size_t count);

// Names a selection's files in the destination folders: the plan's rows.
using Pairing = std::function<CopyPlan(const Selection& selection, const QStringList& folders,
                                       const DestinationVolumes& volumes)>;

// Draws a selection and pairs every drawn file with every destination
// folder: the copy-list rows, each drawn file with each destination in
// destination order. A drawn file larger than a destination's file system
// holds is passed over, and another drawn in its place; when passedOver is
// given, it receives those files.
CopyPlan CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                            RandomSource& random, ProblemSink& problems, const QSet<QString>& takenNames = {},
                            PassedOverFiles* passedOver = nullptr);
// The same with the files named by pairing. With whole folders, a folder
// holding a file that some destination cannot hold is passed over.
CopyPlan CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                            RandomSource& random, ProblemSink& problems, const Pairing& pairing,
                            PassedOverFiles* passedOver = nullptr);

// Pairs every drawn file with every folder, in destination order. Each
// folder gets the names planned for its file system's rule, which
// namesOfRule gives, in selection order, for all the folders of that rule
// at once, so that they are the same in each.
CopyPlan PairByRule(const Selection& selection, const QStringList& folders, const DestinationVolumes& volumes,
                    const std::function<QStringList(NameRule, const QStringList&)>& namesOfRule);

// PairByRule with the files' own names (see DestinationNames).
CopyPlan PairWithFolders(const Selection& selection, const QStringList& folders, const DestinationVolumes& volumes,
                         const QSet<QString>& takenNames, bool numbered = false);

// Pairs a selection with the destination folders; each destination's names
// are planned for its own file system.
CopyPlan PairWithDestinations(const Selection& selection, const QStringList& destinationRows,
                              const QSet<QString>& takenNames = {});
