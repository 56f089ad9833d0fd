#include "core/CopyListRow.h"

#include "core/PathHelpers.h"

CopyRow CopyRowTo(const QString& source, const QString& destination)
{
    return {source, FolderOf(destination), FileNameOf(destination)};
}

QString CopyRowText(const CopyRow& row)
{
    QString text;
    text.reserve(CopyRowTextLength(row));
    text.append(row.source).append(row.converted ? kWillBeConvertedTo : kWillBeCopiedTo).append(row.folder).append(row.name);
    return text;
}

qsizetype CopyRowTextLength(const CopyRow& row)
{
    return row.source.size() + (row.converted ? kWillBeConvertedTo : kWillBeCopiedTo).size() + row.folder.size()
        + row.name.size();
}

QStringList CopyPlan::Texts() const
{
    QStringList texts;
    texts.reserve(rows.size());
    for (const CopyRow& row : rows)
        texts.append(CopyRowText(row));
    return texts;
}
