#include "window/ListRowRemoval.h"

#include "core/RowListModel.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

void RemoveSelectedRow(const QAbstractItemView& view, RowListModel& rows)
{
    if (rows.IsEmpty() || view.selectionModel() == nullptr)
        return;
    const QModelIndexList selected = view.selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    rows.Remove(selected.first().row());
}
