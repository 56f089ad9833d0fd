#include "refill/DestinationChecks.h"

#include "core/PathHelpers.h"
#include "platform/FileSystem.h"
#include "refill/RefillProblem.h"

#include <QHash>

#include <filesystem>
#include <optional>
#include <set>

namespace {

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

QStringList ExistingFolders(const QStringList& folders, RefillReport& report)
{
    QStringList existing;
    for (const QString& folder : folders) {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(ToFsPath(folder), error);
        if (folder.trimmed().isEmpty() || std::filesystem::is_directory(status)) {
            existing.append(folder);
            continue;
        }
        using Kind = RefillProblem::Kind;
        const Kind kind = std::filesystem::exists(status) ? Kind::NotAFolder
            : status.type() == std::filesystem::file_type::not_found ? Kind::FolderMissing
                                                                     : Kind::FolderUnreadable;
        RefillProblem problem {kind, WithClosingSeparator(folder), error};
        problem.destination = true;
        report.Tell(problem);
    }
    return existing;
}

void LeaveOutDestinations(FolderRows& sources, const QStringList& destinations, RefillReport& report)
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
            using Kind = RefillProblem::Kind;
            report.Tell({test.Is(folder) ? Kind::SourceIsDestination : Kind::SourceInDestination, rows[row]});
        }
    }
    sources.list.Remove(gone);
    for (auto row = gone.rbegin(); row != gone.rend(); ++row)
        sources.roots.removeAt(*row);
    for (auto& [top, tree] : sources.trees)
        tree.removeIf([&leftOut](const QString& row) { return leftOut.contains(row); });
}
