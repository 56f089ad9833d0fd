#pragma once

#include "core/CopyListRow.h"

#include <QAbstractListModel>
#include <QStringList>

#include <vector>

// The rows of one list of the window: each row holds the text it shows and,
// in the copy list, what it copies (a blank CopyRow in the folder lists).
// The model owns them; there is no second copy elsewhere.
class RowListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    explicit RowListModel(QString header, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QString Header() const { return header_; }

    int Count() const { return static_cast<int>(rows_.size()); }
    bool IsEmpty() const { return rows_.isEmpty(); }
    // Rows are addressed from 0.
    const QString& Text(int row) const { return rows_.at(row); }
    const QStringList& Rows() const { return rows_; }
    const CopyRow& CopyRowAt(int row) const { return copyRows_.at(row); }
    const QList<CopyRow>& CopyRows() const { return copyRows_; }
    // Changes with every change of the rows: lets long work that yields tell
    // whether the rows it read are still the rows.
    quint64 Revision() const { return revision_; }

    void Append(const QString& text);
    void Append(const QStringList& texts);
    // Copy rows, each showing its own text.
    void Append(const QList<CopyRow>& rows);
    void SetText(int row, const QString& text);
    void Remove(int row);
    // Removes the rows at the given positions, which stand in ascending order.
    void Remove(const std::vector<int>& ascendingRows);
    void Clear();
    // Replaces every row at once.
    void SetRows(QStringList texts);
    void SetRows(CopyPlan plan);

private:
    QString header_;
    QStringList rows_;
    QList<CopyRow> copyRows_; // beside rows_, one for each
    quint64 revision_ = 0;
};
