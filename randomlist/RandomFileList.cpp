#include "RandomFileList.h"

#include "Draw.h"
#include "MasterFileList.h"

#include "app/Dialogs.h"
#include "app/ErrorReport.h"
#include "app/Failure.h"
#include "app/PathHelpers.h"
#include "app/ProcedureLabels.h"
#include "app/platform/FileSystem.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// How many entries the selection will hold, before any draw.
std::uint64_t SelectionSize(std::uint32_t fileCount, const SelectionRequest& request)
{
    if (fileCount == 0)
        return 0;
    if (!request.allowRepeats && fileCount < request.numberOfFiles)
        return fileCount;
    return DrawCount(request.numberOfFiles);
}

// A folder that is missing or cannot be read simply has no files; other
// failures of the listing are failures.
bool MeansNoFolder(const std::error_code& error)
{
    return platform::IsNotFound(error) || platform::IsPermissionDenied(error)
        || error == std::errc::filename_too_long || error == std::errc::too_many_symbolic_link_levels;
}

// Adds the folder's plain files (no folders, hidden or system files, or
// anything else that is not a regular file) in listing order. True when it
// found any.
bool ListPlainFiles(const QString& folder, bool inByteOrder, MasterFileList& files)
{
    platform::FolderReader reader(ToFsPath(folder));
    if (reader.OpenError()) {
        if (MeansNoFolder(reader.OpenError()))
            return false;
        throw Failure(QString::fromStdString(reader.OpenError().message()) + QStringLiteral(": ") + folder);
    }
    // Names to be put in byte order wait here; the others go straight in.
    std::vector<platform::NativeString> names;
    std::uint64_t found = 0;
    platform::FolderEntry entry;
    while (reader.Next(entry)) {
        if (entry.kind != platform::EntryKind::File || entry.hidden || entry.system)
            continue;
        if (files.Count() + names.size() >= std::numeric_limits<std::uint32_t>::max())
            throw Failure(QStringLiteral("Too many files in the source folders"));
        ++found;
        if (inByteOrder)
            names.push_back(std::move(entry.name));
        else
            files.AddName(entry.name);
    }
    if (reader.ReadError())
        throw Failure(QString::fromStdString(reader.ReadError().message()) + QStringLiteral(": ") + folder);
    std::sort(names.begin(), names.end());
    for (const platform::NativeString& name : names)
        files.AddName(name);
    return found > 0;
}

std::uint64_t MaxEntries(const SelectionRequest& request)
{
    return request.maxRows / std::max<std::uint64_t>(1, request.destinationCount);
}

// Without a limit on the number, a size budget decides how many files there are.
bool IsUnlimited(const SelectionRequest& request) { return request.maxBytes && std::isinf(request.numberOfFiles); }

bool TooManyRows(std::uint32_t fileCount, const SelectionRequest& request)
{
    return !IsUnlimited(request) && SelectionSize(fileCount, request) > MaxEntries(request);
}

// Draws as usual, passing over every drawn file that would take the total
// past the budget.
Selection DrawWithinBudget(const MasterFileList& files, const SelectionRequest& request, RandomSource& random)
{
    std::uint64_t total = 0;
    const auto fits = [&](std::uint32_t position) {
        const std::optional<platform::FileFacts> facts = platform::FactsOf(ToFsPath(files.Path(position)));
        if (!facts || facts->size > *request.maxBytes - total)
            return false;
        total += facts->size;
        return true;
    };
    Selection selection;
    const std::uint32_t fileCount = files.Count();
    if (!request.allowRepeats && !IsUnlimited(request) && fileCount < request.numberOfFiles) {
        // Fewer files than asked for: every file that fits, in listing order.
        for (std::uint32_t position = 0; position < fileCount; ++position) {
            if (fits(position))
                selection.push_back({files.Path(position), 0});
        }
        return selection;
    }
    const std::uint64_t count = std::min(DrawCount(request.numberOfFiles), MaxEntries(request));
    for (const RepeatPick& pick : DrawAccepted(fileCount, count, request.allowRepeats, random, fits))
        selection.push_back({files.Path(pick.position), pick.repeat});
    return selection;
}

Selection Draw(const MasterFileList& files, const SelectionRequest& request, RandomSource& random)
{
    if (request.maxBytes)
        return DrawWithinBudget(files, request, random);
    Selection selection;
    const std::uint32_t fileCount = files.Count();
    if (request.allowRepeats) {
        for (const RepeatPick& pick : DrawWithRepeats(fileCount, DrawCount(request.numberOfFiles), random))
            selection.push_back({files.Path(pick.position), pick.repeat});
    } else if (fileCount < request.numberOfFiles) {
        // Fewer files than asked for: every file once, in listing order.
        selection.reserve(fileCount);
        for (std::uint32_t position = 0; position < fileCount; ++position)
            selection.push_back({files.Path(position), 0});
    } else {
        for (std::uint32_t position : DrawWithoutRepeats(fileCount, DrawCount(request.numberOfFiles), random))
            selection.push_back({files.Path(position), 0});
    }
    return selection;
}

} // namespace

const QString kNumberBelowOneMessage = QStringLiteral("The number of files to copy must be at least 1.");

QString NoFilesMessage(const QString& folder) { return QStringLiteral("There are no files in folder ") + folder; }

QString TooManyRowsMessage(std::uint64_t maxRows)
{
    return QStringLiteral("The copy list would hold more than %1 rows. Please choose fewer files or fewer "
                          "destination folders.")
        .arg(maxRows);
}

Selection randomFileList(const SelectionRequest& request, RandomSource& random, Dialogs& dialogs)
{
    ErrorReport report(dialogs, ProcedureLabels::RandomFileList());
    // Without a single draw to make, the folders need not be read at all.
    if (report.Test(100, [&] { return DrawCount(request.numberOfFiles) == 0; })) {
        report.Step(102, [&] { dialogs.MsgBox(kNumberBelowOneMessage); });
        return {};
    }
    MasterFileList files;
    for (const QString& row : request.sourceRows) {
        // A blank row (an empty line of a list file) names no folder; taken
        // as one it would mean the root of the file system.
        if (row.trimmed().isEmpty())
            continue;
        QString folder;
        bool found = false;
        report.Step(104, [&] { folder = WithClosingSeparator(row); });
        // A row that names a file (a dropped file) is a source of that file.
        if (report.Test(106, [&] { return !row.endsWith(NativeSeparator()) && platform::IsRegularFile(ToFsPath(row)); })) {
            report.Step(108, [&] {
                files.AddFile(row);
                found = true;
            });
            continue;
        }
        report.Step(110, [&] {
            files.BeginFolder(folder);
            found = ListPlainFiles(folder, request.namesInByteOrder, files);
        });
        if (report.Test(112, [&] { return !found; }))
            report.Step(114, [&] { dialogs.MsgBox(NoFilesMessage(folder)); });
    }

    Selection selection;
    if (report.Test(116, [&] { return TooManyRows(files.Count(), request); })) {
        report.Step(118, [&] { dialogs.MsgBox(TooManyRowsMessage(request.maxRows)); });
        return selection;
    }
    report.Step(120, [&] { selection = Draw(files, request, random); });
    return selection;
}
