#include "copyrun/CopyOneFile.h"

#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"


namespace {

CopyOutcome Failed(const QString& reason) { return {CopyOutcome::Result::Failed, reason, {}}; }

} // namespace

std::variant<CopyOutcome, CopyTarget> CheckCopy(const QString& source, const QString& destination)
{
    if (source.trimmed().isEmpty() || destination.trimmed().isEmpty())
        return Failed(QStringLiteral("The source or the destination is blank."));
    const QString from = CollapseBackslashes(source);
    const QString to = CollapseBackslashes(destination);
    CopyTarget target {ToFsPath(from), ToFsPath(to), to, {}, false};

    // One look at each side tells whether the source is a file, whether the
    // destination exists and whether both are the same file.
    const std::optional<platform::FileId> sourceId =
        HasWildcards(from) ? std::nullopt : platform::RegularFileId(target.from);
    if (!sourceId)
        return Failed(QStringLiteral("The source file does not exist or cannot be opened."));
    const std::optional<platform::FileId> destinationId = platform::IdOf(target.to);
    if (destinationId == sourceId)
        return CopyOutcome {CopyOutcome::Result::SameFile, {}, {}};
    if (!destinationId && !IsFolder(FolderOf(to)))
        return Failed(QStringLiteral("The destination folder does not exist."));
    target.sourceId = *sourceId;
    target.replacing = destinationId.has_value();
    return target;
}

CopyOutcome OutcomeOf(const platform::CopyFailure& failure, const CopyTarget& target)
{
    if (!failure)
        return {CopyOutcome::Result::Copied, {}, target.written};
    if (failure.sourceChanged)
        return Failed(QStringLiteral("The source changed while it was being copied."));
    const QString reason = QString::fromStdString(failure.error.message());
    if (failure.nameRefused) {
        return Failed(QStringLiteral("The destination does not accept the file name \"%1\" (%2).")
                          .arg(FileNameOf(target.written), reason));
    }
    return Failed(reason + u'.');
}

CopyOutcome CopyOneFile(const QString& source, const QString& destination, const platform::CopyProgress& onProgress)
{
    const std::variant<CopyOutcome, CopyTarget> checked = CheckCopy(source, destination);
    if (const CopyOutcome* ended = std::get_if<CopyOutcome>(&checked))
        return *ended;
    const CopyTarget& target = std::get<CopyTarget>(checked);
    return OutcomeOf(platform::CopyFileReplacing(target.from, target.to, target.replacing, onProgress), target);
}
