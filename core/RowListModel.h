#pragma once

#include "core/ListRows.h"

#include <QAbstractListModel>
#include <QStringList>

#include <vector>

// The rows of one list of the window: rows given as text alone in the
// folder lists, copy rows in the copy list. The model owns them; there is no
// second copy elsewhere.
class RowListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit RowListModel(QString header, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QString Header() const { return header_; }

    int Count() const { return static_cast<int>(rows_.Count()); }
    bool IsEmpty() const { return rows_.IsEmpty(); }
    // Rows are addressed from 0.
    QString Text(int row) const { return rows_.Text(row); }
    // Every row's text.
    QStringList Rows() const { return rows_.Texts(); }
    // The rows themselves: a shared copy costs nothing.
    const ListRows& AllRows() const { return rows_; }
    const CopyRow& CopyRowAt(int row) const { return rows_.CopyRowAt(row); }
    const QList<CopyRow>& CopyRows() const { return rows_.CopyRows(); }
    // Changes with every change of the rows: lets long work that yields tell
    // whether the rows it read are still the rows.
    quint64 Revision() const { return revision_; }

    void Append(const QString& text);
    void Append(const QStringList& texts);
    void Append(const QList<CopyRow>& rows);
    // The row becomes one given as text alone.
    void SetText(int row, const QString& text);
    void Remove(int row);
    // Removes the rows at the given positions, which stand in ascending order.
    void Remove(const std::vector<int>& ascendingRows);
    void Clear();
    // Replaces every row at once.
    void SetRows(const QStringList& texts);
    void SetRows(const CopyPlan& plan);

private:
    void Reset(ListRows rows);

    QString header_;
    ListRows rows_;
    quint64 revision_ = 0;
};
