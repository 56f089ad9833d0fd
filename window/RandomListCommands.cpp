// The window's handlers that rebuild the copy list and filter it.

#include "window/Form1.h"

#include "core/ApplicationTitle.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/NumericValue.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "device/ProfileLookup.h"
#include "randomlist/CopyListFilter.h"
#include "randomlist/CorrelateListviews.h"
#include "refill/RefillRun.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>

#include <algorithm>

namespace {

// A stick that carries a profile of its own is filled as it says, with
// or without a refill setting ticked.
bool AnyStickProfile(const QStringList& destinations)
{
    return std::any_of(destinations.begin(), destinations.end(), [](const QString& folder) {
        return !folder.trimmed().isEmpty() && QFileInfo::exists(StickProfileFile(folder));
    });
}

} // namespace

void Form1::CorrelateListviewsWrapper()
{
    ErrorReport report(dialogs_, ProcedureLabels::CorrelateListviewsWrapper());
    if (report.Test(100, [&] { return SourceList->IsEmpty() || DestinationList->IsEmpty(); }))
        return;
    if (refillChoices_.Any() || AnyStickProfile(DestinationList->Rows())) {
        RefillRebuild(report);
        return;
    }
    refillPlan_.reset();
    CopyPlan rows;
    PassedOverFiles passedOver;
    report.Step(102, [&] {
        SelectionRequest request;
        request.sourceRows = SourceList->Rows();
        request.numberOfFiles = NumericValue(Text1->text());
        request.allowRepeats = Check11->isChecked();
        rows = CorrelateListviews(request, DestinationList->Rows(), random_, dialogs_, QSet<QString>(), &passedOver);
    });
    report.Step(104, [&] {
        CopyList->Clear();
        Summary->Clear();
    });
    report.Step(106, [&] {
        CopyList->SetRows(rows);
        Summary->SetRows(CopyList->AllRows());
    });
    // Said once the list shows the files drawn in their place.
    if (!passedOver.files.isEmpty())
        report.Step(108, [&] { dialogs_.MsgBox(TooLargeMessage(passedOver)); });
}

bool Form1::InputsReady() const
{
    return NumericValue(Text1->text()) > 0 && !SourceList->IsEmpty() && !DestinationList->IsEmpty();
}

void Form1::RebuildWithBusyPointer(ErrorReport& report, int firstStep)
{
    report.Step(firstStep, [&] { BeginBusy(); });
    report.Step(firstStep + 2, [&] { CorrelateListviewsWrapper(); });
    report.Step(firstStep + 4, [&] { EndBusy(); });
}

void Form1::PushButton12_Click()
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(12));
    if (report.Test(100, [&] { return InputsReady(); }))
        RebuildWithBusyPointer(report, 102);
    else
        report.Step(108, [&] { dialogs_.MsgBox(kInputsMissingMessage); });
}

void Form1::Check11_Click()
{
    ErrorReport report(dialogs_, ProcedureLabels::Check11Click());
    if (report.Test(100, [&] { return InputsReady(); }))
        RebuildWithBusyPointer(report, 102);
}

void Form1::FilterCopyList(int buttonNumber, const QString& prompt,
                           void (*filter)(RowListModel&, const QString&, SummaryText&, Dialogs&))
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(buttonNumber));
    QString answer;
    report.Step(100, [&] { answer = dialogs_.InputBox(prompt, ApplicationTitle(), QString()); });
    if (report.Test(102, [&] { return answer.isEmpty(); }))
        return;
    report.Step(104, [&] { BeginBusy(); });
    report.Step(106, [&] { filter(*CopyList, answer, *Summary, dialogs_); });
    if (refillPlan_)
        report.Step(107, [&] { Summary->SetNotes(RefillNotes(*refillPlan_, CopyList->CopyRows())); });
    report.Step(108, [&] { EndBusy(); });
}

void Form1::PushButton11_Click()
{
    FilterCopyList(11, QStringLiteral("Remove entries containing: "), &RemoveItemsWith);
}

void Form1::PushButton13_Click()
{
    FilterCopyList(13, QStringLiteral("Remove entries not containing: "), &RemoveItemsWithout);
}
