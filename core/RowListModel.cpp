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
        return ReadableText(rows_.at(index.row()));
    if (role == Qt::EditRole)
        return rows_.at(index.row());
    return {};
}

QVariant RowListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return header_;
    return {};
}

void RowListModel::Append(const QString& text)
{
    ++revision_;
    beginInsertRows({}, Count(), Count());
    rows_.append(text);
    copyRows_.append(CopyRow());
    endInsertRows();
}

void RowListModel::Append(const QStringList& texts)
{
    if (texts.isEmpty())
        return;
    ++revision_;
    beginInsertRows({}, Count(), Count() + static_cast<int>(texts.size()) - 1);
    rows_.append(texts);
    copyRows_.resize(rows_.size());
    endInsertRows();
}

void RowListModel::Append(const QList<CopyRow>& rows)
{
    if (rows.isEmpty())
        return;
    ++revision_;
    beginInsertRows({}, Count(), Count() + static_cast<int>(rows.size()) - 1);
    for (const CopyRow& row : rows)
        rows_.append(CopyRowText(row));
    copyRows_.append(rows);
    endInsertRows();
}

void RowListModel::SetText(int row, const QString& text)
{
    ++revision_;
    rows_[row] = text;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void RowListModel::Remove(int row)
{
    ++revision_;
    beginRemoveRows({}, row, row);
    rows_.removeAt(row);
    copyRows_.removeAt(row);
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
    CopyPlan kept;
    kept.texts.reserve(rows_.size() - static_cast<qsizetype>(ascendingRows.size()));
    kept.rows.reserve(kept.texts.capacity());
    auto removed = ascendingRows.begin();
    for (int row = 0; row < Count(); ++row) {
        if (removed != ascendingRows.end() && *removed == row) {
            ++removed;
        } else {
            kept.texts.append(rows_.at(row));
            kept.rows.append(copyRows_.at(row));
        }
    }
    SetRows(std::move(kept));
}

void RowListModel::Clear() { SetRows(CopyPlan()); }

void RowListModel::SetRows(QStringList texts)
{
    QList<CopyRow> blank(texts.size());
    SetRows(CopyPlan {std::move(texts), std::move(blank)});
}

void RowListModel::SetRows(CopyPlan plan)
{
    Q_ASSERT(plan.texts.size() == plan.rows.size());
    ++revision_;
    beginResetModel();
    rows_ = std::move(plan.texts);
    copyRows_ = std::move(plan.rows);
    endResetModel();
}
