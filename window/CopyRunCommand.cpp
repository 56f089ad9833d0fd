// "4. Start Copying Files": carries out the copy list with progress, a
// plain one as it stands or the plan "3." drew as a refill, through the
// refill's one carry-out, then says how it went.

#include "window/Form1.h"

#include "copyrun/CopyRun.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/EventYield.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "refill/RefillRun.h"
#include "window/ProgressBarObserver.h"
#include "window/TextProgressBar.h"

#include <QScopedValueRollback>

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
    CarryOutCopyList(report);
    report.Step(126, [&] { EndBusy(); });
    report.Step(128, [&] {
        ProgressBar1->setValue(0);
        ProgressBar1->SetText(kIdleProgressText);
    });
    report.Step(130, [&] { dialogs_.MsgBox(QStringLiteral("Done.")); });
}

void Form1::CarryOutCopyList(ErrorReport& report)
{
    // The plan is this command's while it yields: a rebuild meanwhile draws
    // a plan of its own.
    std::unique_ptr<RefillRun> run = refillPlan_ ? std::move(refillPlan_) : RefillRun::ForCopyList(refillReport_);
    // A folder that another run (a cron job, another window) is filling is
    // left to it; the locks go once the copies are on their devices.
    report.Step(106, [&] {
        run->Recheck(*CopyList);
        if (!run->IsPlainCopyList()) {
            Summary->SetRows(CopyList->AllRows());
            Summary->SetNotes(RefillNotes(*run, CopyList->CopyRows()));
        }
    });
    RefillOutcome outcome;
    ProgressBarObserver progress(*ProgressBar1, run->IsPlainCopyList());
    report.Step(108, [&] {
        outcome = run->CarryOut(*CopyList, progress, *flusher_, ProcedureLabels::PushButtonClick(2));
    });
    // The locks go before any message.
    run->ReleaseLocks();
    const bool plain = run->IsPlainCopyList();
    if (!plain && !refillPlan_)
        refillPlan_ = std::move(run);
    ShowCopyOutcome(outcome, plain, report);
}

void Form1::ShowCopyOutcome(const RefillOutcome& outcome, bool plainCopyList, ErrorReport& report)
{
    report.Step(110, [&] { refillReport_.ShowAll(plainCopyList); });
    if (report.Test(116, [&] { return outcome.run.sameFiles > 0; }))
        report.Step(118, [&] { dialogs_.MsgBox(kSameFilesMessage); });
    if (report.Test(120, [&] { return outcome.failures.failed > 0; }))
        report.Step(122, [&] { dialogs_.MsgBox(FailedRowsMessage(outcome.failures)); });
    for (const QString& failure : outcome.flushFailures)
        report.Step(124, [&] { dialogs_.MsgBox(failure); });
}
