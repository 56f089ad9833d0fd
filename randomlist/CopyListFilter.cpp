#include "randomlist/CopyListFilter.h"

#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/EventYield.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"


namespace {

void Filter(RowListModel& list, const QString& filterText, bool removeMatching, SummaryText& summary,
            Dialogs& dialogs, const QString& label)
{
    ErrorReport report(dialogs, label);
    std::vector<int> marks;
    report.Step(100, [&] { marks = MarkRows(list, filterText, removeMatching); });
    report.Step(102, [&] { list.Remove(marks); });
    report.Step(104, [&] { summary.SetRows(list.AllRows()); });
}

} // namespace

std::vector<int> MarkRows(const RowListModel& list, const QString& filterText, bool removeMatching)
{
    const QString lowered = filterText.toLower();
    std::vector<int> marks;
    ThrottledYield yield;
    for (bool rowsChanged = true; rowsChanged;) {
        rowsChanged = false;
        marks.clear();
        const quint64 revision = list.Revision();
        for (int row = 0; row < list.Count(); ++row) {
            if (yield.Poll() && list.Revision() != revision) {
                rowsChanged = true;
                break;
            }
            if (list.Text(row).toLower().contains(lowered) == removeMatching)
                marks.push_back(row);
        }
    }
    return marks;
}

void RemoveItemsWith(RowListModel& list, const QString& filterText, SummaryText& summary, Dialogs& dialogs)
{
    Filter(list, filterText, true, summary, dialogs, ProcedureLabels::RemoveItemsWith());
}

void RemoveItemsWithout(RowListModel& list, const QString& filterText, SummaryText& summary, Dialogs& dialogs)
{
    Filter(list, filterText, false, summary, dialogs, ProcedureLabels::RemoveItemsWithout());
}
