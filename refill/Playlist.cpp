#include "refill/Playlist.h"

#include "copyrun/DestinationLocks.h"
#include "core/PathHelpers.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"
#include "refill/RefillProblem.h"

#include <QHash>
#include <QSet>

#include <filesystem>
#include <fstream>


namespace {

// The playlist's second line, by which a later run knows the file for one
// it may replace.
constexpr char kPlaylistMark[] = "# written by quorvex; its next run replaces it";

// True when path is a playlist that quorvex wrote: its second line is the mark.
bool IsQuorvexPlaylist(const QString& path)
{
    // The mark stands in the first few hundred bytes, whatever else the file holds.
    std::ifstream in(ToFsPath(path), std::ios::binary);
    QByteArray head(512, Qt::Uninitialized);
    in.read(head.data(), head.size());
    head.truncate(in.gcount());
    const QList<QByteArray> lines = head.split('\n');
    return lines.size() > 2 && lines[1].chopped(lines[1].endsWith('\r') ? 1 : 0) == kPlaylistMark;
}

// Whether a path below the playlist's folder can stand as its line: a
// reader ends the line at a line break or carriage return, and strips
// blanks and tabs from its end.
bool FitsALine(const QString& entry)
{
    return !entry.contains(u'\n') && !entry.contains(u'\r') && !entry.endsWith(u' ') && !entry.endsWith(u'\t');
}

// The playlist's text: "#EXTM3U", the mark, then one line for each entry (a
// path below the playlist's folder). A line that starts with # would be a
// comment, and readers strip blanks and tabs from its start: such a line
// starts with ./ instead.
QByteArray PlaylistText(const QStringList& entries)
{
    QByteArray text = QByteArray("#EXTM3U\r\n") + kPlaylistMark + "\r\n";
    for (const QString& entry : entries) {
        QByteArray line;
        for (const QString& name : entry.split(NativeSeparator()))
            line += (line.isEmpty() ? "" : "/") + NameBytes(name);
        if (line.startsWith('#') || line.startsWith(' ') || line.startsWith('\t'))
            line.prepend("./");
        text += line + "\r\n";
    }
    return text;
}

} // namespace

bool WritePlaylist(const QString& path, QStringList entries, RefillReport& report)
{
    const qsizetype named = entries.size();
    entries.removeIf([](const QString& entry) { return !FitsALine(entry); });
    if (entries.size() < named) {
        RefillProblem leftOut {RefillProblem::Kind::PlaylistLeftOut, path};
        leftOut.count = static_cast<std::uint64_t>(named - entries.size());
        report.Tell(leftOut);
    }
    const QByteArray text = PlaylistText(entries);
    const std::error_code error = platform::WriteFileWhole(
        ToFsPath(path), ToFsPath(FolderOf(path) + QStringLiteral(".quorvex-playlist.new")),
        {text.constData(), std::size_t(text.size())});
    if (error)
        report.Tell({RefillProblem::Kind::PlaylistNotWritten, path, error});
    return !error;
}

std::vector<PlannedPlaylist> PlaylistsFor(const QList<CopyRow>& rows, const QStringList& written, const QString& name)
{
    const QSet<QString> arrived(written.begin(), written.end());
    std::vector<PlannedPlaylist> playlists;
    QHash<QString, std::size_t> playlistOf;
    for (const QString& folder : DestinationFoldersOf(rows)) {
        playlistOf.insert(folder, playlists.size());
        playlists.push_back({folder + name, {}});
    }
    for (const CopyRow& row : rows) {
        if (!row.IsBlank() && arrived.contains(CollapseBackslashes(row.Destination())))
            playlists[playlistOf.value(row.folder)].entries.append(row.name);
    }
    return playlists;
}

QStringList DestinationsWithOthersPlaylist(const QList<CopyRow>& rows, const QString& name,
                                           const std::function<bool(const QString&)>& removable)
{
    QStringList others;
    for (const QString& folder : DestinationFoldersOf(rows)) {
        const QString path = folder + name;
        const std::filesystem::file_status status = StatusAt(path);
        if (std::filesystem::exists(status) && !removable(path)
            && !(std::filesystem::is_regular_file(status) && IsQuorvexPlaylist(path)))
            others.append(folder);
    }
    return others;
}
