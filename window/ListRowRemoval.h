#pragma once

class QAbstractItemView;
class RowListModel;

// Removes the row selected in the view from its rows; nothing when no row is
// selected. The rows after it move up by one.
void RemoveSelectedRow(const QAbstractItemView& view, RowListModel& rows);
