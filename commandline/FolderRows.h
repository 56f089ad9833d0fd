#pragma once

#include "commandline/Options.h"
#include "core/FolderFiles.h"
#include "core/RowListModel.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class ConsoleDialogs;
class ErrorReport;

// The rows the folder options give, as the window's add commands give them.
struct FolderRows {
    RowListModel list {QStringLiteral("Folders")};
    QStringList roots;       // beside each row: the folder its files' paths are taken below
    QSet<QString> treeRows;  // the rows found in trees
    FolderFiles files;       // the files the trees' scans found, not to be read again
    std::vector<std::pair<QString, QStringList>> trees; // each tree's top and rows
};

// Adds the rows of the folder options, in the order given.
void AddFolders(const std::vector<FolderOption>& folders, FolderRows& rows, ErrorReport& report,
                ConsoleDialogs& dialogs);

// Leaves out of the sources every destination folder and all below it,
// told by identity (a link, another writing): a mix folder inside the
// library is not drawn from again. Each is said once, as a note.
void LeaveOutDestinations(FolderRows& sources, const QStringList& destinations, ConsoleDialogs& dialogs);
