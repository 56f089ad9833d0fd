#include "refill/MadeFolders.h"

#include "core/PathHelpers.h"
#include "refill/RefillProblem.h"

#include <QSet>

#include <algorithm>
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

FoldersMade MakeFolders(const QStringList& folders)
{
    FoldersMade result;
    for (const QString& folder : folders) {
        if (std::any_of(result.notMade.cbegin(), result.notMade.cend(),
                        [&](const QString& outer) { return folder.startsWith(outer); }))
            continue;
        std::error_code error;
        if (std::filesystem::create_directory(ToFsPath(folder), error)) {
            result.made.append(folder);
        } else if (error) {
            result.notMade.insert(folder);
            result.failures.emplace_back(folder, error);
        }
    }
    return result;
}

int RowsInto(const QList<CopyRow>& rows, const QSet<QString>& folders)
{
    if (folders.isEmpty())
        return 0;
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](const CopyRow& row) {
        const QString destination = row.Destination();
        return std::any_of(folders.cbegin(), folders.cend(), [&](const QString& folder) { return destination.startsWith(folder); });
    }));
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

bool RefusesLettersBeyondAscii(const QString& name, const std::error_code& error)
{
    const bool wide = std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() >= 0x80; });
    if (!wide || !error)
        return false;
#ifdef Q_OS_WIN
    if (error.category() == std::system_category() && error.value() == 123) // ERROR_INVALID_NAME
        return true;
#endif
    return error == std::errc::operation_not_permitted || error == std::errc::invalid_argument
        || error == std::errc::illegal_byte_sequence;
}
