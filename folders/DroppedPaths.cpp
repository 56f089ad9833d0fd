#include "folders/DroppedPaths.h"

#include "folders/FileChecks.h"
#include "folders/PathText.h"
#include "folders/SubfolderScan.h"

#include "core/Dialogs.h"
#include "core/PathHelpers.h"
#include "core/SystemNames.h"
#include "platform/FileSystem.h"

namespace {

// Attributes exactly archive plus hidden: such files are left out of drops.
constexpr int kArchiveAndHidden = 34;

void AddFilesOfFolder(const QString& folder, QStringList& rows)
{
    for (const QString& name : GetFilesInFolder(folder, QStringLiteral("*.*"))) {
        if (name.startsWith(u'~') || IsSystemFileName(ToFsPath(name).native()))
            continue;
        const QString path = folder + NativeSeparator() + name;
        if (IsExistingFile(path) && platform::FileAttributes(ToFsPath(path)) != kArchiveAndHidden)
            rows.append(CollapseBackslashes(path));
    }
}

} // namespace

QStringList RowsForDroppedPaths(const QStringList& droppedPaths, Dialogs& dialogs)
{
    QStringList rows;
    for (const QString& dropped : droppedPaths) {
        if (!IsFolder(dropped)) {
            rows.append(dropped);
            continue;
        }
        QStringList collection {WithClosingSeparator(dropped)};
        GetSubDirectories2016(collection, true, dialogs);
        for (const QString& entry : collection)
            AddFilesOfFolder(entry.chopped(1), rows);
    }
    return rows;
}
