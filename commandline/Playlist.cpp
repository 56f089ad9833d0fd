#include "commandline/Playlist.h"

#include "commandline/ConsoleOutput.h"
#include "copyrun/DestinationLocks.h"
#include "core/PathHelpers.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QSet>

#include <filesystem>
#include <fstream>

namespace {

void SayFailure(const QString& path, const std::error_code& error, ConsoleDialogs& dialogs)
{
    PrintMessage(QStringLiteral("playlist: %1: %2").arg(path, QString::fromStdString(error.message())));
    dialogs.CountFailure();
}

} // namespace

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

QByteArray PlaylistText(const QStringList& entries)
{
    QByteArray text = QByteArray("#EXTM3U\r\n") + kPlaylistMark + "\r\n";
    for (const QString& entry : entries) {
        QByteArray line;
        for (const QString& name : entry.split(NativeSeparator()))
            line += (line.isEmpty() ? "" : "/") + NameBytes(name);
        text += line + "\r\n";
    }
    return text;
}

QString WritePlaylistAside(const QString& path, const QStringList& entries, ConsoleDialogs& dialogs)
{
    const QString written = FolderOf(path) + QStringLiteral(".quorvex-playlist.new");
    const QByteArray text = PlaylistText(entries);
    std::error_code error;
    // One left by a run that was stopped goes first: fusefat does not empty
    // a file opened to be written afresh.
    std::filesystem::remove(ToFsPath(written), error);
    std::ofstream out(ToFsPath(written), std::ios::binary | std::ios::trunc);
    out.write(text.constData(), text.size());
    out.close();
    if (!out) {
        SayFailure(path, std::error_code(errno ? errno : EIO, std::generic_category()), dialogs);
        std::filesystem::remove(ToFsPath(written), error);
        return {};
    }
    return written;
}

bool PutPlaylistInPlace(const QString& written, const QString& path, ConsoleDialogs& dialogs)
{
    std::error_code error;
    std::filesystem::rename(ToFsPath(written), ToFsPath(path), error);
    if (error) {
        SayFailure(path, error, dialogs);
        std::filesystem::remove(ToFsPath(written), error);
        return false;
    }
    platform::FlushFolder(ToFsPath(FolderOf(path)));
    return true;
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
        std::error_code error;
        const auto status = std::filesystem::symlink_status(ToFsPath(path), error);
        if (std::filesystem::exists(status) && !removable(path)
            && !(std::filesystem::is_regular_file(status) && IsQuorvexPlaylist(path)))
            others.append(folder);
    }
    return others;
}
