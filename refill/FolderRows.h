#pragma once

#include "core/FolderFiles.h"
#include "core/RowListModel.h"
#include "refill/RefillSettings.h"

class RefillReport;

#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>


// The rows the folder options give, as the window's add commands give them.
struct FolderRows {
    RowListModel list {QStringLiteral("Folders")};
    QStringList roots;       // beside each row: the folder its files' paths are taken below
    QSet<QString> treeRows;  // the rows found in trees
    FolderFiles files;       // the files the trees' scans found, not to be read again
    std::vector<std::pair<QString, QStringList>> trees; // each tree's top and rows
};

// Adds the rows of the folder options, in the order given, telling report
// what it meets. A list file named "-" holds the settings' standard input.
void AddFolders(const std::vector<FolderOption>& folders, const RefillSettings& settings, FolderRows& rows,
                RefillReport& report);
