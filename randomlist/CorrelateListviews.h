#pragma once

#include "RandomFileList.h"

#include "app/CopyListRow.h"

#include <QString>
#include <QStringList>

class Dialogs;
class RandomSource;


// The name a drawn file gets in a destination: its own name, or for a
// repeated pick k the name with k before its extension (sun.jpg -> sun1.jpg,
// archive.tar.gz -> archive.tar1.gz, README -> README1, .profile -> 1.profile).
QString DestinationFileName(const QString& fileName, std::uint32_t repeat);

// Draws a selection and pairs every drawn file with every destination
// folder: the copy-list rows, each drawn file with each destination in
// destination order.
QStringList CorrelateListviews(const SelectionRequest& request, const QStringList& destinationRows,
                               RandomSource& random, Dialogs& dialogs);

// Pairs a selection with the destination folders.
QStringList PairWithDestinations(const Selection& selection, const QStringList& destinationRows);
