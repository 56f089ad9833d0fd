#include "copyrun/CopyOneFile.h"

#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "folders/PathText.h"
#include "platform/FileSystem.h"


namespace {

CopyOutcome Failed(CopyOutcome::Failure failure, const QString& reason, std::error_code error = {})
{
    return {CopyOutcome::Result::Failed, reason, {}, failure, error};
}

const QString kFolderMissing = QStringLiteral("The destination folder does not exist.");

} // namespace

std::variant<CopyOutcome, CopyTarget> CheckCopy(const QString& source, const QString& destination, bool checkFolder)
{
    if (source.trimmed().isEmpty() || destination.trimmed().isEmpty())
        return Failed(CopyOutcome::Failure::Blank, QStringLiteral("The source or the destination is blank."));
    const QString from = CollapseBackslashes(source);
    const QString to = CollapseBackslashes(destination);
    CopyTarget target {ToFsPath(from), ToFsPath(to), to, {}, false, checkFolder};

    // One look at each side tells whether the source is a file, whether the
    // destination exists and whether both are the same file.
    const std::optional<platform::FileState> sourceState =
        HasWildcards(from) ? std::nullopt : platform::RegularFileState(target.from);
    if (!sourceState)
        return Failed(CopyOutcome::Failure::NoSource, QStringLiteral("The source file does not exist or cannot be opened."));
    const std::optional<platform::FileId> destinationId = platform::IdOf(target.to);
    if (destinationId == sourceState->id)
        return CopyOutcome {CopyOutcome::Result::SameFile, {}, {}, {}, {}};
    if (checkFolder && !destinationId && !IsFolder(FolderOf(to)))
        return Failed(CopyOutcome::Failure::NoFolder, kFolderMissing);
    target.source = *sourceState;
    target.replacing = destinationId.has_value();
    return target;
}

CopyOutcome OutcomeOf(const platform::CopyFailure& failure, const CopyTarget& target)
{
    if (!failure)
        return {CopyOutcome::Result::Copied, {}, target.written, {}, {}};
    if (failure.sourceChanged)
        return Failed(CopyOutcome::Failure::SourceChanged, QStringLiteral("The source changed while it was being copied."));
    if (!target.folderChecked && failure.error == std::errc::no_such_file_or_directory
        && !IsFolder(FolderOf(target.written)))
        return Failed(CopyOutcome::Failure::NoFolder, kFolderMissing, failure.error);
    const QString reason = QString::fromStdString(failure.error.message());
    if (failure.nameRefused) {
        return Failed(CopyOutcome::Failure::NameRefused,
                      QStringLiteral("The destination does not accept the file name \"%1\" (%2).")
                          .arg(FileNameOf(target.written), reason),
                      failure.error);
    }
    return Failed(CopyOutcome::Failure::System, reason + u'.', failure.error);
}

CopyOutcome CopyOneFile(const QString& source, const QString& destination, const platform::CopyProgress& onProgress)
{
    const std::variant<CopyOutcome, CopyTarget> checked = CheckCopy(source, destination);
    if (const CopyOutcome* ended = std::get_if<CopyOutcome>(&checked))
        return *ended;
    const CopyTarget& target = std::get<CopyTarget>(checked);
    return OutcomeOf(platform::CopyFileReplacing(target.from, target.to, target.replacing, onProgress), target);
}
