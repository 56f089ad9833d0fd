#pragma once

#include "core/CopyListRow.h"

#include <QList>
#include <QStringList>

#include <vector>

// The rows of one list of the window. A copy row shows a text made from what
// it copies, made whenever it is asked for: a plan of hundreds of thousands
// of rows holds no texts beside its rows. A row given as text alone (a
// folder list's rows) keeps its own text and copies nothing.
class ListRows {
public:
    ListRows() = default;
    explicit ListRows(const QStringList& texts);
    explicit ListRows(QList<CopyRow> rows) : rows_(std::move(rows)) {}

    qsizetype Count() const { return rows_.size(); }
    bool IsEmpty() const { return rows_.isEmpty(); }
    // Rows are addressed from 0.
    QString Text(qsizetype row) const;
    qsizetype TextLength(qsizetype row) const;
    QStringList Texts() const;
    // A blank CopyRow for a row given as text alone.
    const CopyRow& CopyRowAt(qsizetype row) const { return rows_.at(row); }
    const QList<CopyRow>& CopyRows() const { return rows_; }

    void Append(const QString& text);
    void Append(const CopyRow& row);
    void Reserve(qsizetype count) { rows_.reserve(count); }
    // The row becomes one given as text alone.
    void SetText(qsizetype row, const QString& text);
    void RemoveAt(qsizetype row);
    // The rows but those at the given positions, which stand in ascending order.
    ListRows Without(const std::vector<int>& ascendingRows) const;

private:
    QString OwnText(qsizetype row) const { return texts_.isEmpty() ? QString() : texts_.at(row); }

    QList<CopyRow> rows_;
    // Beside rows_, each row's own text, null for a copy row; left empty
    // while no row has a text of its own.
    QStringList texts_;
};

// Lets go of rows on a thread of its own: freeing the strings of a list of
// hundreds of thousands of rows takes about as long as drawing them, and the
// window need not wait for it. Small lists are let go of at once.
void ReleaseInBackground(ListRows rows);
