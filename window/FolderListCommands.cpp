// The window's handlers that remove rows from its lists and clear them.
// None of them rebuilds the copy list.

#include "window/Form1.h"

#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "window/ListRowRemoval.h"

#include <QTreeView>

namespace {

void RemoveUnlessBusy(const Form1& form, const QTreeView& view, RowListModel& rows)
{
    if (form.IsBusy())
        return;
    RemoveSelectedRow(view, rows);
}

} // namespace

void Form1::ListView1_DblClick() { RemoveUnlessBusy(*this, *ListView1, *SourceList); }

void Form1::ListView2_DblClick() { RemoveUnlessBusy(*this, *ListView2, *DestinationList); }

void Form1::ListView3_DblClick() { RemoveUnlessBusy(*this, *ListView3, *CopyList); }

// The Delete key removes a row whatever Shift, Ctrl and Alt are doing.
void Form1::ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    if (keyCode == kDeleteKey)
        RemoveUnlessBusy(*this, *ListView1, *SourceList);
}

void Form1::ListView2_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    if (keyCode == kDeleteKey)
        RemoveUnlessBusy(*this, *ListView2, *DestinationList);
}

void Form1::ListView3_KeyDown(int keyCode, Qt::KeyboardModifiers)
{
    if (keyCode == kDeleteKey)
        RemoveUnlessBusy(*this, *ListView3, *CopyList);
}

void Form1::PushButton4_Click()
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(4));
    if (report.Test(100, [&] { return IsBusy(); }))
        return;
    report.Step(102, [&] { SourceList->Clear(); });
}

void Form1::PushButton7_Click()
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(7));
    report.Step(100, [&] { DestinationList->Clear(); });
}

void Form1::PushButton9_Click()
{
    ErrorReport report(dialogs_, ProcedureLabels::PushButtonClick(9));
    report.Step(100, [&] { CopyList->Clear(); });
    report.Step(102, [&] { Summary->Clear(); });
}
