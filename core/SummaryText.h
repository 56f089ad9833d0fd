#pragma once

#include "core/ListRows.h"

#include <QObject>
#include <QStringList>

// The text of the copy list summary: one line per copy-list row, each
// followed by CR LF. It shares the rows rather than copying them, and makes
// a line's text only when asked for it.
class SummaryText final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const ListRows& Rows() const { return rows_; }
    QStringList Lines() const { return rows_.Texts(); }
    void SetRows(ListRows rows);
    void SetLines(const QStringList& lines) { SetRows(ListRows(lines)); }
    void Clear();
    // The whole text, as the box holds it.
    QString Text() const;

signals:
    void Changed();

private:
    ListRows rows_;
};
