#include "CopyOneFile.h"

#include "app/PathHelpers.h"
#include "app/platform/FileSystem.h"
#include "folders/FileChecks.h"
#include "folders/PathText.h"

namespace {

CopyOutcome Failed(const QString& reason) { return {CopyOutcome::Result::Failed, reason}; }

} // namespace

CopyOutcome CopyOneFile(const QString& source, const QString& destination, const std::function<void()>& onProgress)
{
    if (source.trimmed().isEmpty() || destination.trimmed().isEmpty())
        return Failed(QStringLiteral("The source or the destination is blank."));
    const QString from = CollapseBackslashes(source);
    const QString to = CollapseBackslashes(destination);
    if (!IsExistingFile(from))
        return Failed(QStringLiteral("The source file does not exist or cannot be opened."));
    if (!IsFolder(FolderOf(to)))
        return Failed(QStringLiteral("The destination folder does not exist."));

    const std::filesystem::path fromPath = ToFsPath(from);
    const std::filesystem::path toPath = ToFsPath(to);
    const std::optional<platform::FileId> sourceId = platform::IdOf(fromPath);
    if (sourceId && sourceId == platform::IdOf(toPath))
        return {CopyOutcome::Result::SameFile, {}};
    if (const std::error_code error = platform::CopyFileReplacing(fromPath, toPath, onProgress))
        return Failed(QString::fromStdString(error.message()) + u'.');
    return {CopyOutcome::Result::Copied, {}};
}
