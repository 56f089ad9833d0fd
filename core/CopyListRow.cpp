#include "core/CopyListRow.h"

#include "core/PathHelpers.h"

CopyRow CopyRowTo(const QString& source, const QString& destination)
{
    return {source, FolderOf(destination), FileNameOf(destination)};
}

QString CopyRowText(const CopyRow& row)
{
    QString text;
    text.reserve(row.source.size() + kWillBeCopiedTo.size() + row.folder.size() + row.name.size());
    text.append(row.source).append(kWillBeCopiedTo).append(row.folder).append(row.name);
    return text;
}

void CopyPlan::Append(CopyRow row)
{
    texts.append(CopyRowText(row));
    rows.append(std::move(row));
}
