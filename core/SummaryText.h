#pragma once

#include <QObject>
#include <QStringList>

// The text of the copy list summary: one line per copy-list row, each
// followed by CR LF. It shares the rows' strings rather than copying them.
class SummaryText final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const QStringList& Lines() const { return lines_; }
    void SetLines(QStringList lines);
    void Clear();
    // The whole text, as the box holds it.
    QString Text() const;

signals:
    void Changed();

private:
    QStringList lines_;
};
