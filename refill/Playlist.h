#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "core/CopyListRow.h"

#include <functional>
#include <vector>

class RefillReport;

// --playlist: an M3U playlist in each destination's top folder, naming the
// copies that arrived, in the draw's order. UTF-8 without a byte-order
// mark, "/" between names and CRLF line ends, which players on every
// system read.

// Writes the playlist whole in its place (written beside it, flushed, and
// renamed); false (and told) when it cannot. Entries whose names no line
// can hold whole are left out, and told once.
bool WritePlaylist(const QString& path, QStringList entries, RefillReport& report);

// A destination's playlist: where it goes, and the copies it names.
struct PlannedPlaylist {
    QString path;
    QStringList entries; // below the destination
};

// The playlist named name of each destination the rows go to: the rows'
// copies that arrived (written), in the rows' order.
std::vector<PlannedPlaylist> PlaylistsFor(const QList<CopyRow>& rows, const QStringList& written, const QString& name);

// The destinations of the rows where a file of the playlist's name is
// there that quorvex did not write, nor will remove first (removable): the
// user's, not to be replaced.
QStringList DestinationsWithOthersPlaylist(const QList<CopyRow>& rows, const QString& name,
                                           const std::function<bool(const QString&)>& removable);
