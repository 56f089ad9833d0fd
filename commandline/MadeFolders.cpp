#include "commandline/MadeFolders.h"

#include "commandline/ConsoleOutput.h"
#include "core/PathHelpers.h"

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
            std::error_code error;
            if (!std::filesystem::exists(std::filesystem::symlink_status(ToFsPath(path), error)))
                folders.append(path);
        }
    }
    return folders;
}

QStringList MakeFolders(const QStringList& folders, ConsoleDialogs& dialogs)
{
    QStringList made;
    for (const QString& folder : folders) {
        std::error_code error;
        if (std::filesystem::create_directory(ToFsPath(folder), error)) {
            made.append(folder);
        } else if (error) {
            PrintMessage(QStringLiteral("mkdir: %1: %2").arg(folder, QString::fromStdString(error.message())));
            dialogs.CountFailure();
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
