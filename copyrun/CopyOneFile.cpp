#include "copyrun/CopyOneFile.h"

#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"


namespace {

CopyOutcome Failed(const QString& reason) { return {CopyOutcome::Result::Failed, reason, {}}; }

} // namespace

CopyOutcome CopyOneFile(const QString& source, const QString& destination, const platform::CopyProgress& onProgress)
{
    if (source.trimmed().isEmpty() || destination.trimmed().isEmpty())
        return Failed(QStringLiteral("The source or the destination is blank."));
    const QString from = CollapseBackslashes(source);
    const QString to = CollapseBackslashes(destination);
    const std::filesystem::path fromPath = ToFsPath(from);
    const std::filesystem::path toPath = ToFsPath(to);

    // One look at each side tells whether the source is a file, whether the
    // destination exists and whether both are the same file.
    const std::optional<platform::FileId> sourceId =
        HasWildcards(from) ? std::nullopt : platform::RegularFileId(fromPath);
    if (!sourceId)
        return Failed(QStringLiteral("The source file does not exist or cannot be opened."));
    const std::optional<platform::FileId> destinationId = platform::IdOf(toPath);
    if (destinationId == sourceId)
        return {CopyOutcome::Result::SameFile, {}, {}};
    if (!destinationId && !IsFolder(FolderOf(to)))
        return Failed(QStringLiteral("The destination folder does not exist."));
    if (const platform::CopyFailure failure =
            platform::CopyFileReplacing(fromPath, toPath, destinationId.has_value(), onProgress)) {
        if (failure.sourceChanged)
            return Failed(QStringLiteral("The source changed while it was being copied."));
        const QString reason = QString::fromStdString(failure.error.message());
        if (failure.nameRefused) {
            return Failed(QStringLiteral("The destination does not accept the file name \"%1\" (%2).")
                              .arg(FileNameOf(to), reason));
        }
        return Failed(reason + u'.');
    }
    return {CopyOutcome::Result::Copied, {}, to};
}
