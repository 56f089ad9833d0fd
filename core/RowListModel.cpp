#include "core/RowListModel.h"

#include "core/PathHelpers.h"

RowListModel::RowListModel(QString header, QObject* parent)
    : QAbstractListModel(parent), header_(std::move(header))
{
}

int RowListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant RowListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // The row keeps the names as the file system holds them; the list shows
    // them readably.
    if (role == Qt::DisplayRole)
        return ReadableText(Text(index.row()));
    if (role == Qt::EditRole)
        return Text(index.row());
    return {};
}

QVariant RowListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return header_;
    return {};
}

void RowListModel::Append(const QString& text) { Append(QStringList {text}); }

void RowListModel::Append(const QStringList& texts)
{
    if (texts.isEmpty())
        return;
    ++revision_;
    beginInsertRows({}, Count(), Count() + static_cast<int>(texts.size()) - 1);
    for (const QString& text : texts)
        rows_.Append(text);
    endInsertRows();
}

void RowListModel::Append(const QList<CopyRow>& rows)
{
    if (rows.isEmpty())
        return;
    ++revision_;
    beginInsertRows({}, Count(), Count() + static_cast<int>(rows.size()) - 1);
    for (const CopyRow& row : rows)
        rows_.Append(row);
    endInsertRows();
}

void RowListModel::SetText(int row, const QString& text)
{
    ++revision_;
    rows_.SetText(row, text);
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void RowListModel::Remove(int row)
{
    ++revision_;
    beginRemoveRows({}, row, row);
    rows_.RemoveAt(row);
    endRemoveRows();
}

void RowListModel::Remove(const std::vector<int>& ascendingRows)
{
    // A few rows go one by one, from the last up, so the view keeps its
    // place; many rows are dropped in one pass over the list.
    constexpr std::size_t kOneByOne = 64;
    if (ascendingRows.size() <= kOneByOne) {
        for (auto row = ascendingRows.rbegin(); row != ascendingRows.rend(); ++row)
            Remove(*row);
        return;
    }
    Reset(rows_.Without(ascendingRows));
}

void RowListModel::Clear() { Reset(ListRows()); }

void RowListModel::SetRows(const QStringList& texts) { Reset(ListRows(texts)); }

void RowListModel::SetRows(const CopyPlan& plan) { Reset(ListRows(plan.rows)); }

void RowListModel::Reset(ListRows rows)
{
    ++revision_;
    beginResetModel();
    std::swap(rows_, rows);
    endResetModel();
    ReleaseInBackground(std::move(rows));
}
