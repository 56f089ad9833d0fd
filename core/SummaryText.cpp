#include "core/SummaryText.h"

void SummaryText::SetRows(ListRows rows)
{
    std::swap(rows_, rows);
    emit Changed();
    ReleaseInBackground(std::move(rows));
}

void SummaryText::Clear() { SetRows(ListRows()); }

QString SummaryText::Text() const
{
    qsizetype size = 0;
    for (qsizetype line = 0; line < rows_.Count(); ++line)
        size += rows_.TextLength(line) + 2;
    QString text;
    text.reserve(size);
    for (qsizetype line = 0; line < rows_.Count(); ++line) {
        text += rows_.Text(line);
        text += QStringLiteral("\r\n");
    }
    return text;
}
