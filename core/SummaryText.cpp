#include "core/SummaryText.h"

void SummaryText::SetRows(ListRows rows)
{
    std::swap(rows_, rows);
    emit Changed();
    ReleaseInBackground(std::move(rows));
}

void SummaryText::SetNotes(const QStringList& notes)
{
    notes_ = notes;
    emit Changed();
}

void SummaryText::Clear()
{
    notes_.clear();
    SetRows(ListRows());
}

QString SummaryText::Line(qsizetype line) const
{
    return line < notes_.size() ? notes_[line] : rows_.Text(line - notes_.size());
}

qsizetype SummaryText::LineLength(qsizetype line) const
{
    return line < notes_.size() ? notes_[line].size() : rows_.TextLength(line - notes_.size());
}

QString SummaryText::Text() const
{
    qsizetype size = 0;
    for (qsizetype line = 0; line < LineCount(); ++line)
        size += LineLength(line) + 2;
    QString text;
    text.reserve(size);
    for (qsizetype line = 0; line < LineCount(); ++line) {
        text += Line(line);
        text += QStringLiteral("\r\n");
    }
    return text;
}
