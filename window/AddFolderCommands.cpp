// The window's handlers that add folders to the source and destination lists:
// one folder, a folder with all folders below it, or the folders listed in
// text files. Every one of them ends with a rebuild of the copy list.

#include "window/Form1.h"

#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/ListFile.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "core/SettingsStore.h"
#include "folders/FileChecks.h"
#include "folders/ListFileSelection.h"
#include "folders/PathText.h"
#include "folders/SubfolderScan.h"

#include <QPushButton>

namespace {

const QString kPickerTitle = QStringLiteral("Please select folder:");
const QString kFilesTitle = QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
const QString kFilesFilter = QStringLiteral("All Files (*.*)");
const QString kDestinationNotice = QStringLiteral("Load a list of destination folders from a text file.");

// The picked folder as a row: normalised, with a closing separator.
QString FolderRow(const QString& chosen)
{
    return WithClosingSeparator(CollapseBackslashes(chosen));
}

QString PickFolder(Dialogs& dialogs)
{
    // Read afresh every time: the user may change it while the program runs.
    const QString start = SettingsStore::Read(QStringLiteral("LastFolderDot"), QString());
    return dialogs.BrowseForFolder(kPickerTitle, start);
}

} // namespace

void Form1::AddFolder(int buttonNumber, RowListModel& list)
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(buttonNumber));
    QString chosen;
    report.Step(100, [&] { chosen = PickFolder(dialogs_); });
    if (report.Test(102, [&] { return !chosen.isEmpty(); })) {
        report.Step(104, [&] { BeginBusy(); });
        report.Step(106, [&] { list.Append(FolderRow(chosen)); });
        report.Step(108, [&] { EndBusy(); });
    }
    RebuildWithBusyPointer(report, 110);
}

void Form1::AddFolderWithSubfolders(int buttonNumber, RowListModel& list)
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(buttonNumber));
    QString chosen;
    report.Step(100, [&] { chosen = PickFolder(dialogs_); });
    if (report.Test(102, [&] { return !chosen.isEmpty(); })) {
        QString top;
        QStringList below;
        report.Step(104, [&] { BeginBusy(); });
        report.Step(106, [&] {
            top = WithClosingSeparator(chosen);
            list.Append(top);
        });
        report.Step(108, [&] { below = FoldersBelow(top, dialogs_); });
        report.Step(110, [&] { list.Append(below); });
        report.Step(112, [&] { EndBusy(); });
    }
    RebuildWithBusyPointer(report, 114);
}

void Form1::LoadFoldersFromFiles(int buttonNumber, RowListModel& list)
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(buttonNumber));
    if (&list == DestinationList)
        report.Step(100, [&] { dialogs_.MsgBox(kDestinationNotice); });
    QStringList chosen;
    report.Step(102, [&] { chosen = dialogs_.OpenFiles(kFilesTitle, kFilesFilter); });
    if (report.Test(104, [&] { return !SelectionFitsDialog(chosen); })) {
        report.Step(106, [&] { dialogs_.MsgBox(kTooManyFilesMessage); });
        return;
    }
    for (const QString& path : PathsToLoad(chosen)) {
        if (report.Test(108, [&] { return IsBadPath(path); }))
            report.Step(110, [&] { dialogs_.MsgBox(BadCharactersMessage(path)); });
        else
            report.Step(112, [&] { LoadListFromFile(list, path, dialogs_); });
    }
    RebuildWithBusyPointer(report, 114);
}

void Form1::PushButton8_Click() { AddFolder(8, *SourceList); }

void Form1::PushButton3_Click() { AddFolder(3, *DestinationList); }

void Form1::PushButton6_Click() { AddFolderWithSubfolders(6, *SourceList); }

void Form1::PushButton5_Click() { AddFolderWithSubfolders(5, *DestinationList); }

void Form1::PushButton1_Click() { LoadFoldersFromFiles(1, *SourceList); }

void Form1::PushButton10_Click() { LoadFoldersFromFiles(10, *DestinationList); }
