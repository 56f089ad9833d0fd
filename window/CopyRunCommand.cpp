// "4. Start Copying Files": carries out the copy list with progress.

#include "window/Form1.h"

#include "copyrun/CopyRun.h"
#include "copyrun/DestinationLocks.h"
#include "copyrun/DeviceFlush.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/EventYield.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "refill/RefillRun.h"
#include "window/ProgressBarObserver.h"
#include "window/TextProgressBar.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <optional>

namespace {

QString FoldersInUseMessage(const std::vector<FolderInUse>& folders)
{
    QString message = folders.size() == 1
        ? QStringLiteral("Another run is copying into this folder, so nothing was copied there:")
        : QStringLiteral("Other runs are copying into these folders, so nothing was copied there:");
    for (const FolderInUse& folder : folders) {
        message += QStringLiteral("\r\r") + folder.folder;
        if (folder.holder)
            message += QStringLiteral(" (process %1)").arg(*folder.holder);
    }
    return message;
}

} // namespace

void Form1::PushButton2_Click()
{
    // One run at a time: a second one started during the first's yields
    // would copy the same rows into the same files at the same moment.
    if (copyRunning_)
        return;
    const QScopedValueRollback<bool> running(copyRunning_, true);
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(2));
    report.Step(100, [&] { LetWindowEventsRun(); });
    if (report.Test(102, [&] { return CopyList->Count() <= 0; })) {
        report.Step(104, [&] { dialogs_.MsgBox(kNoFilesAddedMessage); });
        return;
    }
    BeginBusy();
    if (refillPlan_)
        RefillCopy(report);
    else
        CopyTheList(report);
    report.Step(126, [&] { EndBusy(); });
    report.Step(128, [&] {
        ProgressBar1->setValue(0);
        ProgressBar1->SetText(kIdleProgressText);
    });
    report.Step(130, [&] { dialogs_.MsgBox(QStringLiteral("Done.")); });
}

void Form1::CopyTheList(ErrorReport& report)
{
    // A folder that another run (a cron job, another window) is filling is
    // left to it; the locks go once the copies are on their devices.
    std::optional<DestinationLocks> locks(std::in_place);
    report.Step(105, [&] { locks->Take(DestinationFoldersOf(CopyList->CopyRows())); });
    const std::vector<FolderInUse> inUse = locks->InUse();
    ProgressBarObserver progress(*ProgressBar1);
    const CopyRunSummary summary = RunCopyList(*CopyList, progress, report, locks->FoldersLeftOut());
    QStringList flushFailures;
    // The window stays live while a slow stick takes its time.
    report.Step(114, [&] {
        const QString lastRow = ProgressBar1->text();
        flushFailures = FlushToDevices(summary.written, *flusher_,
                                       [&](const FlushGroup& group) { ProgressBar1->SetText(FlushingText(group)); });
        ProgressBar1->SetText(lastRow);
    });
    locks.reset();
    if (!inUse.empty())
        report.Step(115, [&] { dialogs_.MsgBox(FoldersInUseMessage(inUse)); });
    if (report.Test(116, [&] { return summary.sameFiles > 0; }))
        report.Step(118, [&] { dialogs_.MsgBox(kSameFilesMessage); });
    if (report.Test(120, [&] { return summary.failed > 0; }))
        report.Step(122, [&] { dialogs_.MsgBox(FailedRowsMessage(summary)); });
    for (const QString& failure : flushFailures)
        report.Step(124, [&] { dialogs_.MsgBox(failure); });
}
