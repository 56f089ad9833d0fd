#include "refill/MadeFolders.h"

#include "core/PathHelpers.h"
#include "refill/RefillProblem.h"

#include <QSet>

#include <filesystem>

QStringList FoldersToMake(const QList<CopyRow>& rows)
{
    QStringList folders;
    QSet<QString> seen;
    for (const CopyRow& row : rows) {
        if (!row.name.contains(NativeSeparator()))
            continue; // most plans make no folder at all
        const QStringList names = row.name.split(NativeSeparator());
        QString path = row.folder;
        for (qsizetype name = 0; name + 1 < names.size(); ++name) {
            path += names[name] + NativeSeparator();
            if (seen.contains(path))
                continue;
            seen.insert(path);
            if (!IsNameTaken(path))
                folders.append(path);
        }
    }
    return folders;
}

QStringList MakeFolders(const QStringList& folders, RefillReport& report)
{
    QStringList made;
    for (const QString& folder : folders) {
        std::error_code error;
        if (std::filesystem::create_directory(ToFsPath(folder), error)) {
            made.append(folder);
        } else if (error) {
            report.Tell({RefillProblem::Kind::FolderNotMade, folder, error});
        }
    }
    return made;
}

QStringList RemoveEmptyFolders(const QStringList& made)
{
    QStringList left;
    for (auto folder = made.crbegin(); folder != made.crend(); ++folder) {
        std::error_code error;
        // Removes only an empty folder.
        if (!std::filesystem::remove(ToFsPath(*folder), error))
            left.prepend(*folder);
    }
    return left;
}
