#include "refill/FolderRows.h"

#include "core/Dialogs.h"
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

void AddFolderOption(const FolderOption& folder, const RefillSettings& settings, FolderRows& rows, Dialogs& dialogs)
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
        std::vector<DeniedFolder> unreadable;
        rows.list.Append(FoldersBelow(root, dialogs, true, &rows.files, &unreadable));
        // As find does: named, the rest still read, and the run fails in the end.
        for (const DeniedFolder& denied : unreadable)
            dialogs.ReportProblem({FolderProblem::Role::Source, denied.path, FolderProblem::Kind::Unreadable, denied.error});
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

} // namespace

void AddFolders(const std::vector<FolderOption>& folders, const RefillSettings& settings, FolderRows& rows,
                ErrorReport& report, Dialogs& dialogs)
{
    for (const FolderOption& folder : folders)
        report.Step(100, [&] { AddFolderOption(folder, settings, rows, dialogs); });
}
