#pragma once

#include "core/ListRows.h"

#include <QObject>
#include <QStringList>

// The text of the copy list summary: one line per copy-list row, each
// followed by CR LF, after the notes on what a refill does besides. It
// shares the rows rather than copying them, and makes a line's text only
// when asked for it.
class SummaryText final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const ListRows& Rows() const { return rows_; }
    // Every line: the notes, then the rows.
    QStringList Lines() const { return notes_ + rows_.Texts(); }
    qsizetype LineCount() const { return notes_.size() + rows_.Count(); }
    QString Line(qsizetype line) const;
    qsizetype LineLength(qsizetype line) const;
    // The rows change; the notes stay.
    void SetRows(ListRows rows);
    void SetLines(const QStringList& lines) { SetRows(ListRows(lines)); }
    void SetNotes(const QStringList& notes);
    const QStringList& Notes() const { return notes_; }
    // No notes and no rows.
    void Clear();
    // The whole text, as the box holds it.
    QString Text() const;

signals:
    void Changed();

private:
    QStringList notes_;
    ListRows rows_;
};
