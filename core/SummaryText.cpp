#include "core/SummaryText.h"

void SummaryText::SetLines(QStringList lines)
{
    lines_ = std::move(lines);
    emit Changed();
}

void SummaryText::Clear() { SetLines({}); }

QString SummaryText::Text() const
{
    qsizetype size = 0;
    for (const QString& line : lines_)
        size += line.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString& line : lines_) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}
