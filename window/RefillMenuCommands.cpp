// The Refill menu, and the generate and copy commands when a refill setting
// is ticked: the plan is drawn and carried out as the command line's refill.

#include "window/Form1.h"

#include "copyrun/CopyRun.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/NumericValue.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "randomlist/DestinationVolumes.h"
#include "refill/RefillRun.h"
#include "window/ProgressBarObserver.h"
#include "refill/RefillOptions.h"
#include "window/RefillChoicesDialog.h"
#include "window/ScheduleDialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>

namespace {

// The program a copied command line names: this one, or on Windows its
// console twin beside it, for which a terminal waits.
QString ThisProgram()
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/quorvex.com"));
#else
    return QCoreApplication::applicationFilePath();
#endif
}

} // namespace

void Form1::LoadRefillChoices()
{
    bool damaged = false;
    refillChoices_ = ::LoadRefillChoices(RefillChoicesFile(), damaged);
    if (damaged) {
        dialogs_.MsgBox(QStringLiteral("The refill settings in %1 are damaged, so the defaults are used.")
                            .arg(QDir::toNativeSeparators(RefillChoicesFile())));
    }
}

void Form1::mnuRefillSettings_Click()
{
    RefillChoicesDialog dialog(refillChoices_, this);
    if (!dialogs_.RunDialog(dialog))
        return;
    refillChoices_ = dialog.Choices();
    if (!SaveRefillChoices(RefillChoicesFile(), refillChoices_)) {
        dialogs_.MsgBox(QStringLiteral("The refill settings could not be kept in %1; they hold until Quorvex ends.")
                            .arg(QDir::toNativeSeparators(RefillChoicesFile())));
    }
}

RefillCommandLine Form1::CommandLineOfLists(const QString& program, const QString& listFileStem)
{
    WindowLists lists {refillChoices_, SourceList->Rows(), DestinationList->Rows(), NumericValue(Text1->text()),
                       Check11->isChecked()};
    return CommandLineOf(lists, commandProgram_.isEmpty() ? program : commandProgram_, dialogs_, listFileStem);
}

void Form1::mnuCopyCommandLine_Click()
{
    if (!InputsReady()) {
        dialogs_.MsgBox(kInputsMissingMessage);
        return;
    }
    BeginBusy();
    const RefillCommandLine command = CommandLineOfLists(ThisProgram());
    EndBusy();
    if (!command.failure.isEmpty()) {
        dialogs_.MsgBox(QStringLiteral("The command's list of folders could not be written:\r\r") + command.failure);
        return;
    }
    QGuiApplication::clipboard()->setText(command.text);
}

void Form1::mnuSchedule_Click()
{
    if (!InputsReady()) {
        dialogs_.MsgBox(kInputsMissingMessage);
        return;
    }
    BeginBusy();
    // Its own list files, which no copied command line overwrites later.
    const RefillCommandLine command = CommandLineOfLists(ScheduledProgram(), QStringLiteral("schedule"));
    std::unique_ptr<Scheduler> system = scheduler_ ? nullptr : SystemScheduler();
    EndBusy();
    if (!command.failure.isEmpty()) {
        dialogs_.MsgBox(QStringLiteral("The command's list of folders could not be written:\r\r") + command.failure);
        return;
    }
    if (const QString clash = ClashMessage(ClashOf(command.settings)); !clash.isEmpty()) {
        dialogs_.MsgBox(clash);
        return;
    }
    ScheduleDialog dialog(scheduler_ ? *scheduler_ : *system, dialogs_,
                          commandProgram_.isEmpty() ? ScheduledProgram() : commandProgram_,
                          RefillArguments(command.settings), this);
    dialogs_.RunDialog(dialog);
}

void Form1::RefillRebuild(ErrorReport& report)
{
    refillPlan_.reset();
    CopyList->Clear();
    Summary->Clear();
    RefillCommandLine command;
    report.Step(110, [&] { command = CommandLineOfLists(ThisProgram()); });
    if (!command.failure.isEmpty()) {
        report.Step(112, [&] { dialogs_.MsgBox(QStringLiteral("The list of folders could not be written:\r\r") + command.failure); });
        return;
    }
    if (const QString clash = ClashMessage(ClashOf(command.settings)); !clash.isEmpty()) {
        report.Step(114, [&] { dialogs_.MsgBox(clash); });
        return;
    }
    // Drawn as a plan only: "4." takes the locks and looks again.
    command.settings.dryRun = true;
    auto run = std::make_unique<RefillRun>(command.settings, refillReport_);
    report.Step(116, [&] {
        CopyList->SetRows(run->Draw(random_, NumericValue(Text1->text())));
        run->LeaveOutRefusedRows(*CopyList);
        Summary->SetRows(CopyList->AllRows());
        Summary->SetNotes(RefillNotes(*run, CopyList->CopyRows()));
    });
    refillPlan_ = std::move(run);
    report.Step(118, [&] { refillReport_.ShowAll(false); });
    if (!refillPlan_->PassedOver().files.isEmpty())
        report.Step(120, [&] { dialogs_.MsgBox(TooLargeMessage(refillPlan_->PassedOver())); });
}
