#include "folders/FileChecks.h"

#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <QRegularExpression>

#include <system_error>

bool HasWildcards(const QString& path)
{
#ifdef Q_OS_WIN
    return path.contains(u'?') || path.contains(u'*');
#else
    static_cast<void>(path);
    return false;
#endif
}

bool IsExistingFile(const QString& path)
{
    if (path.isEmpty() || HasWildcards(path))
        return false;
    return platform::IsRegularFile(ToFsPath(path));
}

bool IsBadPath(const QString& path)
{
    if (path.isEmpty())
        return true;
    std::error_code error;
    static_cast<void>(std::filesystem::status(ToFsPath(path), error));
    return static_cast<bool>(error);
}

QStringList GetFilesInFolder(const QString& folder, const QString& pattern)
{
    const QString withSeparator = WithClosingSeparator(folder);
    const bool everything = pattern == QLatin1String("*.*") || pattern == QLatin1String("*");
#ifdef Q_OS_WIN
    const auto caseOption = QRegularExpression::CaseInsensitiveOption;
#else
    const auto caseOption = QRegularExpression::NoPatternOption;
#endif
    const QRegularExpression match(
        QRegularExpression::wildcardToRegularExpression(pattern),
        caseOption);

    QStringList names;
    platform::FolderReader reader(ToFsPath(withSeparator));
    platform::FolderEntry entry;
    while (reader.Next(entry)) {
        if (entry.kind == platform::EntryKind::Folder)
            continue;
        const QString name = FromFsName(entry.name);
        if (!everything && !match.match(name).hasMatch())
            continue;
        if (IsExistingFile(withSeparator + name))
            names.append(name);
    }
    return names;
}
