#include "commandline/FolderRows.h"

#include "commandline/ConsoleOutput.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/FolderProblem.h"
#include "core/ListFile.h"
#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "folders/ListFileSelection.h"
#include "folders/PathText.h"
#include "folders/SubfolderScan.h"
#include "platform/FileSystem.h"

#include <QBuffer>
#include <QHash>

#include <optional>
#include <set>

namespace {

void AddFolderOption(const FolderOption& folder, FolderRows& rows, ConsoleDialogs& dialogs)
{
    const qsizetype before = rows.list.Count();
    QString root;
    switch (folder.kind) {
    case FolderSource::Folder: {
        const QString path = AbsolutePath(folder.value);
        // A file is its own source, as a dropped file is.
        const bool isFile = IsExistingFile(path);
        root = isFile ? FolderOf(path) : WithClosingSeparator(CollapseBackslashes(path));
        rows.list.Append(isFile ? path : root);
        break;
    }
    case FolderSource::Tree: {
        root = WithClosingSeparator(CollapseBackslashes(AbsolutePath(folder.value)));
        rows.list.Append(root);
        QStringList unreadable;
        rows.list.Append(FoldersBelow(root, dialogs, true, &rows.files, &unreadable));
        // As find does: named, the rest still read, and the run fails in the end.
        for (const QString& denied : unreadable) {
            PrintMessage(QStringLiteral("source: %1: %2").arg(denied, QString::fromStdString(
                std::make_error_code(std::errc::permission_denied).message())));
            dialogs.CountFailure();
        }
        const QStringList tree = rows.list.Rows().mid(before);
        rows.treeRows.unite(QSet<QString>(tree.begin(), tree.end()));
        rows.trees.emplace_back(root, tree);
        break;
    }
    case FolderSource::ListFile:
        if (folder.value == u"-") {
            QString error;
            QByteArray bytes = ReadStandardInput(kListFileByteLimit + 1, error);
            if (!error.isEmpty())
                throw Failure(QStringLiteral("standard input: ") + error);
            QBuffer in(&bytes);
            in.open(QIODevice::ReadOnly);
            LoadListFromDevice(rows.list, in, QStringLiteral("standard input"), dialogs);
        } else {
            const QString path = AbsolutePath(folder.value);
            if (IsBadPath(path))
                dialogs.MsgBox(BadCharactersMessage(path));
            else
                LoadListFromFile(rows.list, path, dialogs);
        }
        break;
    }
    // A list's rows name folders from where the command runs, as paths
    // typed do; plans and messages name them whole.
    for (int row = static_cast<int>(before); folder.kind == FolderSource::ListFile && row < rows.list.Count(); ++row) {
        if (!rows.list.Text(row).trimmed().isEmpty())
            rows.list.SetText(row, AbsolutePath(rows.list.Text(row)));
    }
    for (qsizetype row = before; row < rows.list.Count(); ++row)
        rows.roots.append(root.isEmpty() ? WithClosingSeparator(rows.list.Text(static_cast<int>(row))) : root);
}

// Whether a folder is one of the destinations, or below one, looking up
// its path a folder at a time; each folder is looked at once.
class DestinationTest {
public:
    explicit DestinationTest(const QStringList& destinations)
    {
        for (const QString& folder : destinations) {
            if (const std::optional<platform::FileId> id = platform::IdOf(ToFsPath(folder)))
                destinations_.insert(*id);
        }
    }

    bool Any() const { return !destinations_.empty(); }

    // Whether folder (ending in its separator) is a destination itself.
    bool Is(const QString& folder) { return Verdict(folder) == Found::Itself; }
    // Whether it is a destination or lies below one.
    bool IsOrIsBelow(const QString& folder) { return Verdict(folder) != Found::No; }

private:
    enum class Found { No, Itself, Below };

    Found Verdict(const QString& folder)
    {
        const auto known = verdicts_.constFind(folder);
        if (known != verdicts_.cend())
            return *known;
        Found found = Found::No;
        const std::optional<platform::FileId> id = platform::IdOf(ToFsPath(folder));
        if (id && destinations_.count(*id))
            found = Found::Itself;
        else if (const QString parent = FolderOf(folder.chopped(1)); !parent.isEmpty() && parent != folder)
            found = Verdict(parent) == Found::No ? Found::No : Found::Below;
        verdicts_.insert(folder, found);
        return found;
    }

    std::set<platform::FileId> destinations_;
    QHash<QString, Found> verdicts_;
};

} // namespace

void AddFolders(const std::vector<FolderOption>& folders, FolderRows& rows, ErrorReport& report, ConsoleDialogs& dialogs)
{
    for (const FolderOption& folder : folders)
        report.Step(100, [&] { AddFolderOption(folder, rows, dialogs); });
}

void LeaveOutDestinations(FolderRows& sources, const QStringList& destinations, ConsoleDialogs& dialogs)
{
    DestinationTest test(destinations);
    if (!test.Any())
        return;
    QSet<QString> leftOut;
    const QStringList rows = sources.list.Rows();
    std::vector<int> gone;
    for (int row = 0; row < rows.size(); ++row) {
        if (rows[row].trimmed().isEmpty())
            continue;
        // A file given alone is left out with its folder.
        const QString folder = rows[row].endsWith(NativeSeparator()) ? rows[row] : FolderOf(rows[row]);
        if (!test.IsOrIsBelow(folder))
            continue;
        gone.push_back(row);
        leftOut.insert(rows[row]);
        // Said for a row given as it is, and for the top of what a tree
        // leaves out; the folders found below that are no news.
        if (!sources.treeRows.contains(rows[row]) || !test.IsOrIsBelow(FolderOf(folder.chopped(1)))) {
            using Kind = FolderProblem::Kind;
            dialogs.ReportProblem({FolderProblem::Role::Source, rows[row],
                                   test.Is(folder) ? Kind::IsDestination : Kind::InDestination, {}});
        }
    }
    sources.list.Remove(gone);
    for (auto row = gone.rbegin(); row != gone.rend(); ++row)
        sources.roots.removeAt(*row);
    for (auto& [top, tree] : sources.trees)
        tree.removeIf([&leftOut](const QString& row) { return leftOut.contains(row); });
}
