#include "refill/FolderRows.h"

#include "core/Failure.h"
#include "core/FolderProblem.h"
#include "core/ListFile.h"
#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "folders/ListFileSelection.h"
#include "folders/PathText.h"
#include "folders/SubfolderScan.h"
#include "platform/FileSystem.h"
#include "refill/RefillProblem.h"

#include <QBuffer>
#include <QHash>

#include <optional>
#include <set>

namespace {

void AddFolderOption(const FolderOption& folder, const RefillSettings& settings, FolderRows& rows, RefillReport& report)
{
    ProblemsTold problems(report);
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
        std::vector<DeniedFolder> unreadable;
        rows.list.Append(FoldersBelow(root, problems, true, &rows.files, &unreadable));
        // As find does: named, the rest still read, and the run fails in the end.
        for (const DeniedFolder& denied : unreadable)
            report.Tell({RefillProblem::Kind::FolderUnreadable, denied.path, denied.error});
        const QStringList tree = rows.list.Rows().mid(before);
        rows.treeRows.unite(QSet<QString>(tree.begin(), tree.end()));
        rows.trees.emplace_back(root, tree);
        break;
    }
    case FolderSource::ListFile:
        if (folder.value == u"-") {
            if (!settings.standardInputError.isEmpty())
                throw Failure(QStringLiteral("standard input: ") + settings.standardInputError);
            QByteArray bytes = settings.standardInput;
            QBuffer in(&bytes);
            in.open(QIODevice::ReadOnly);
            LoadListFromDevice(rows.list, in, QStringLiteral("standard input"), problems);
        } else {
            const QString path = AbsolutePath(folder.value);
            if (IsBadPath(path))
                report.Tell({RefillProblem::Kind::ListPathRefused, path});
            else
                LoadListFromFile(rows.list, path, problems);
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

} // namespace

void AddFolders(const std::vector<FolderOption>& folders, const RefillSettings& settings, FolderRows& rows,
                RefillReport& report)
{
    for (const FolderOption& folder : folders) {
        // A list that cannot be read is said; the other folders are still drawn from.
        try {
            AddFolderOption(folder, settings, rows, report);
        } catch (const Failure& failure) {
            RefillProblem unreadable {RefillProblem::Kind::ListUnreadable, folder.value};
            unreadable.description = failure.description();
            report.Tell(unreadable);
        }
    }
}
