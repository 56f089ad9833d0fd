#pragma once

#include <QString>

#include <vector>

class Dialogs;
class RowListModel;
class SummaryText;

// Removes every copy-list row whose text contains (RemoveItemsWith) or does
// not contain (RemoveItemsWithout) the filter text, ignoring case, then
// rebuilds the summary from the rows that remain.
void RemoveItemsWith(RowListModel& list, const QString& filterText, SummaryText& summary, Dialogs& dialogs);
void RemoveItemsWithout(RowListModel& list, const QString& filterText, SummaryText& summary, Dialogs& dialogs);

// The positions of the rows to remove, in ascending order. The scan lets
// window events run now and then; when the rows change meanwhile (a rebuild,
// a clear, a deletion), it starts again on the rows as they are now, so the
// positions always belong to the current rows.
std::vector<int> MarkRows(const RowListModel& list, const QString& filterText, bool removeMatching);
