#include "randomlist/RandomFileList.h"

#include "randomlist/Draw.h"
#include "randomlist/MasterFileList.h"

#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/FolderProblem.h"
#include "core/Parallel.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/SystemNames.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <set>

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

// What one source row holds. The rows are read on a few threads at once;
// what is found is then taken in row order.
struct RowListing {
    bool isFile = false; // the row names a file (a dropped file), a source of its own
    std::vector<platform::NativeString> names; // its plain files, in listing order
    std::vector<std::uint32_t> order;          // names' positions in the order they are taken
    const std::vector<float>* weights = nullptr; // the names' weights, where the request gives them
    std::error_code noFolder; // why there is no folder to list: missing, or refused
    QString failure; // why the listing failed, other than for a missing folder
};

bool NamesAFile(const QString& row)
{
    return !row.endsWith(NativeSeparator()) && platform::IsRegularFile(ToFsPath(row));
}

// The folder's plain files: no folders, hidden or system files, files the
// system keeps for itself (Thumbs.db), or anything else that is not a
// regular file. A folder read before (listed) is not read again.
RowListing ReadRow(const QString& row, bool inByteOrder, std::vector<platform::NativeString>* listed)
{
    RowListing listing;
    if (listed) {
        listing.names = std::move(*listed);
    } else {
        listing.isFile = NamesAFile(row);
        if (listing.isFile)
            return listing;
        const QString folder = WithClosingSeparator(row);
        platform::FolderReader reader(ToFsPath(folder));
        if (reader.OpenError()) {
            if (MeansNoFolder(reader.OpenError()))
                listing.noFolder = reader.OpenError();
            else
                listing.failure = QString::fromStdString(reader.OpenError().message()) + QStringLiteral(": ") + folder;
            return listing;
        }
        platform::FolderEntry entry;
        while (reader.Next(entry)) {
            if (IsPlainFile(entry))
                listing.names.push_back(std::move(entry.name));
        }
        if (reader.ReadError())
            listing.failure = QString::fromStdString(reader.ReadError().message()) + QStringLiteral(": ") + folder;
    }
    listing.order.resize(listing.names.size());
    std::iota(listing.order.begin(), listing.order.end(), 0u);
    if (inByteOrder) {
        std::sort(listing.order.begin(), listing.order.end(),
                  [&names = listing.names](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
    }
    return listing;
}

std::vector<RowListing> ReadRows(const QStringList& rows, bool inByteOrder, FolderFiles* listed,
                                 const QHash<QString, std::vector<float>>* weights)
{
    std::vector<RowListing> listings(static_cast<std::size_t>(rows.size()));
    // Looked up before the threads start: the map is not for sharing.
    // A folder listed twice is read again the second time: its names were moved.
    std::vector<std::vector<platform::NativeString>*> known(listings.size(), nullptr);
    std::set<const void*> taken;
    for (std::size_t row = 0; listed && row < known.size(); ++row) {
        const auto found = listed->find(rows[static_cast<qsizetype>(row)]);
        if (found != listed->end() && taken.insert(&found.value()).second)
            known[row] = &found.value();
    }
    // The weights stand beside the names as listed: a folder read anew has none.
    std::vector<const std::vector<float>*> knownWeights(listings.size(), nullptr);
    for (std::size_t row = 0; weights && row < known.size(); ++row) {
        const auto found = weights->constFind(rows[static_cast<qsizetype>(row)]);
        if (known[row] && found != weights->cend() && found->size() == known[row]->size())
            knownWeights[row] = &found.value();
    }
    ForEachInParallel(listings.size(), [&](std::size_t row) {
        // A blank row (an empty line of a list file) names no folder; taken
        // as one it would mean the root of the file system.
        if (rows[static_cast<qsizetype>(row)].trimmed().isEmpty())
            return;
        try {
            listings[row] = ReadRow(rows[static_cast<qsizetype>(row)], inByteOrder, known[row]);
            listings[row].weights = knownWeights[row];
        } catch (...) {
            listings[row].failure = QStringLiteral("The folder could not be read: ") + rows[static_cast<qsizetype>(row)];
        }
    });
    return listings;
}

// A source folder that gave no file, and why.
FolderProblem NoFilesProblem(const QString& folder, const std::error_code& noFolder)
{
    using Kind = FolderProblem::Kind;
    const Kind kind = !noFolder ? Kind::Empty : platform::IsNotFound(noFolder) ? Kind::Missing : Kind::Unreadable;
    return {FolderProblem::Role::Source, folder, kind, noFolder};
}

// The files to draw from: the fresh ones, and those the request holds back
// for when the fresh ones are too few.
struct DrawLists {
    explicit DrawLists(bool weighted) : fresh(weighted), held(weighted) {}

    MasterFileList fresh;
    MasterFileList held;

    std::uint32_t Count() const { return fresh.Count() + held.Count(); }
};

// Adds what a folder row held and accept takes; true when it held any file.
bool AddListing(const QString& folder, const RowListing& listing, DrawLists& files,
                const std::function<bool(platform::NativeStringView)>& accept,
                const std::function<bool(const QString&)>& heldBack, bool wholeFolders, float otherWeight)
{
    if (std::uint64_t(files.Count()) + listing.names.size() > std::numeric_limits<std::uint32_t>::max())
        throw Failure(QStringLiteral("Too many files in the source folders"));
    files.fresh.BeginFolder(folder);
    if (heldBack)
        files.held.BeginFolder(folder);
    // A folder drawn whole is held back whole.
    const bool folderHeld = wholeFolders && heldBack && heldBack(folder);
    for (const std::uint32_t name : listing.order) {
        const float weight = listing.weights ? (*listing.weights)[name] : otherWeight;
        if (!(weight > 0) || (accept && !accept(listing.names[name])))
            continue;
        const bool held = wholeFolders ? folderHeld : heldBack && heldBack(folder + FromFsName(listing.names[name]));
        (held ? files.held : files.fresh).AddName(listing.names[name], weight);
    }
    if (!listing.failure.isEmpty())
        throw Failure(listing.failure);
    return !listing.names.empty();
}

std::uint64_t MaxEntries(const SelectionRequest& request)
{
    return request.maxRows / std::max<std::uint64_t>(1, request.destinationCount);
}

// Drawn files are looked at before they are taken.
bool LooksAtDrawnFiles(const SelectionRequest& request) { return request.maxBytes || request.fits; }

// Without a limit on the number, a size budget decides how many files there are.
bool IsUnlimited(const SelectionRequest& request)
{
    return LooksAtDrawnFiles(request) && std::isinf(request.numberOfFiles);
}

bool TooManyRows(std::uint32_t fileCount, const SelectionRequest& request)
{
    return !IsUnlimited(request) && SelectionSize(fileCount, request) > MaxEntries(request);
}

// The picked files' paths. A draw from a whole library makes hundreds of
// thousands of them, each a string of its own: they are made on a few
// threads at once.
Selection Picked(const MasterFileList& files, const std::vector<RepeatPick>& picks)
{
    Selection selection(picks.size());
    ForEachRangeInParallel(picks.size(), kPathsPerThread, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            selection[i] = {files.Path(picks[i].position), picks[i].repeat};
    });
    return selection;
}

// The weights of a list's files, for a weighted draw.
PositionWeight WeightsOf(const MasterFileList& files)
{
    return [&files](std::uint32_t position) { return static_cast<double>(files.Weight(position)); };
}

// Picks of positions drawn once each.
std::vector<RepeatPick> FirstPicks(const std::vector<std::uint32_t>& positions)
{
    std::vector<RepeatPick> picks;
    picks.reserve(positions.size());
    for (const std::uint32_t position : positions)
        picks.push_back({position, 0});
    return picks;
}

// The size a drawn file takes on the destinations; empty when it cannot be read.
std::optional<std::uint64_t> SizeToCount(const SelectionRequest& request, const QString& path)
{
    const std::optional<platform::FileFacts> facts = platform::FactsOf(ToFsPath(path));
    if (!facts)
        return std::nullopt;
    return request.sizeOnDestinations ? request.sizeOnDestinations(path, facts->size) : facts->size;
}

// Draws count files as usual, passing over every drawn file larger than the
// bytes left (when there is a budget) or that the request's own test
// refuses; each drawn file takes its size from the bytes left.
Selection DrawWithinBudget(const MasterFileList& files, const SelectionRequest& request, std::uint64_t count,
                           std::optional<std::uint64_t>& bytesLeft, RandomSource& random)
{
    const auto fits = [&](std::uint32_t position) {
        const QString path = files.Path(position);
        const std::optional<std::uint64_t> size = SizeToCount(request, path);
        if (!size || (bytesLeft && *size > *bytesLeft))
            return false;
        if (request.fits && !request.fits(path, *size))
            return false;
        if (bytesLeft)
            *bytesLeft -= *size;
        return true;
    };
    // Fewer files than asked for, and no budget: every file that fits, in
    // listing order, as without the test.
    if (!bytesLeft && !IsUnlimited(request) && !request.allowRepeats && !request.balance && files.Count() < count) {
        Selection selection;
        for (std::uint32_t position = 0; position < files.Count(); ++position) {
            if (fits(position))
                selection.push_back({files.Path(position), 0});
        }
        return selection;
    }
    // Even with fewer files than asked for, they are drawn: in listing order
    // the budget would always be filled from the same first files.
    if (request.balance && files.Weighted())
        return Picked(files, DrawBalancedWeighted(files.FolderStarts(), files.Count(), count, request.allowRepeats, random,
                                                  WeightsOf(files), fits));
    if (request.balance)
        return Picked(files, DrawBalanced(files.FolderStarts(), files.Count(), count, request.allowRepeats, random, fits));
    if (files.Weighted())
        return Picked(files, DrawWeighted(files.Count(), count, request.allowRepeats, random, WeightsOf(files), fits));
    return Picked(files, DrawAccepted(files.Count(), count, request.allowRepeats, random, fits));
}

// Draws up to numberOfFiles files (at most most) from one list.
Selection DrawFrom(const MasterFileList& files, const SelectionRequest& request, double numberOfFiles,
                   std::uint64_t most, std::optional<std::uint64_t>& bytesLeft, RandomSource& random)
{
    if (LooksAtDrawnFiles(request))
        return DrawWithinBudget(files, request, std::min(DrawCount(numberOfFiles), most), bytesLeft, random);
    const std::uint32_t fileCount = files.Count();
    const std::uint64_t count = DrawCount(numberOfFiles);
    if (request.balance && files.Weighted())
        return Picked(files, DrawBalancedWeighted(files.FolderStarts(), fileCount, count, request.allowRepeats, random,
                                                  WeightsOf(files)));
    if (request.balance)
        return Picked(files, DrawBalanced(files.FolderStarts(), fileCount, count, request.allowRepeats, random));
    if (!request.allowRepeats && fileCount < numberOfFiles) {
        // Fewer files than asked for: every file once, in listing order.
        std::vector<std::uint32_t> every(fileCount);
        std::iota(every.begin(), every.end(), 0u);
        return Picked(files, FirstPicks(every));
    }
    if (files.Weighted())
        return Picked(files, DrawWeighted(fileCount, count, request.allowRepeats, random, WeightsOf(files)));
    if (request.allowRepeats)
        return Picked(files, DrawWithRepeats(fileCount, count, random));
    return Picked(files, FirstPicks(DrawWithoutRepeats(fileCount, count, random)));
}

// A folder of a list: its files' positions, first to one past the last.
struct FolderSpan {
    std::uint32_t begin;
    std::uint32_t end;
};

// The folders holding files; a folder listed twice is one.
std::vector<FolderSpan> FoldersWithFiles(const MasterFileList& files)
{
    std::vector<FolderSpan> folders;
    std::set<QString> seen;
    const std::vector<std::uint32_t>& starts = files.FolderStarts();
    for (std::size_t folder = 0; folder < starts.size(); ++folder) {
        const std::uint32_t end = folder + 1 < starts.size() ? starts[folder + 1] : files.Count();
        if (end > starts[folder] && seen.insert(FolderOf(files.Path(starts[folder]))).second)
            folders.push_back({starts[folder], end});
    }
    return folders;
}

// The files of the folders drawn from one list, and how many of its
// folders were drawn and were there.
struct FolderDraw {
    Selection selection;
    std::size_t drawn = 0;
    std::size_t folders = 0;
};

// Draws up to count folders of one list, each whole; a folder that does
// not fit the bytes left or the request's test is passed over.
FolderDraw DrawFolders(const MasterFileList& files, const SelectionRequest& request, std::uint64_t count,
                       std::optional<std::uint64_t>& bytesLeft, RandomSource& random)
{
    const std::vector<FolderSpan> folders = FoldersWithFiles(files);
    const auto fits = [&](std::uint32_t folder) {
        if (!LooksAtDrawnFiles(request))
            return true;
        std::vector<SizedFile> sized;
        std::uint64_t bytes = 0;
        for (std::uint32_t position = folders[folder].begin; position < folders[folder].end; ++position) {
            const QString path = files.Path(position);
            const std::optional<std::uint64_t> size = SizeToCount(request, path);
            if (!size)
                return false;
            bytes += *size;
            sized.push_back({path, *size});
        }
        if (bytesLeft && bytes > *bytesLeft)
            return false;
        if (request.folderFits && !request.folderFits(FolderOf(sized.front().path), sized))
            return false;
        if (bytesLeft)
            *bytesLeft -= bytes;
        return true;
    };
    FolderDraw draw;
    draw.folders = folders.size();
    const auto folderCount = static_cast<std::uint32_t>(folders.size());
    // A folder weighs the mean of its files.
    const auto meanWeight = [&](std::uint32_t folder) {
        double sum = 0;
        for (std::uint32_t position = folders[folder].begin; position < folders[folder].end; ++position)
            sum += files.Weight(position);
        return sum / (folders[folder].end - folders[folder].begin);
    };
    const std::vector<RepeatPick> picks = files.Weighted()
        ? DrawWeighted(folderCount, count, false, random, meanWeight, fits)
        : DrawAccepted(folderCount, count, false, random, fits);
    draw.drawn = picks.size();
    for (const RepeatPick& pick : picks) {
        for (std::uint32_t position = folders[pick.position].begin; position < folders[pick.position].end; ++position)
            draw.selection.push_back({files.Path(position), 0});
    }
    return draw;
}

// The whole-folder draw: the fresh folders first, then, once every fresh
// one is drawn, the held-back ones.
Selection DrawWholeFolders(const DrawLists& files, const SelectionRequest& request, RandomSource& random)
{
    std::optional<std::uint64_t> bytesLeft = request.maxBytes;
    const std::uint64_t count = DrawCount(request.numberOfFiles);
    FolderDraw fresh = DrawFolders(files.fresh, request, count, bytesLeft, random);
    if (files.held.Count() > 0 && fresh.drawn == fresh.folders && fresh.drawn < count) {
        Selection more = DrawFolders(files.held, request, count - fresh.drawn, bytesLeft, random).selection;
        fresh.selection.insert(fresh.selection.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    return fresh.selection;
}

Selection Draw(const DrawLists& files, const SelectionRequest& request, RandomSource& random)
{
    if (request.wholeFolders)
        return DrawWholeFolders(files, request, random);
    std::optional<std::uint64_t> bytesLeft = request.maxBytes;
    Selection selection = DrawFrom(files.fresh, request, request.numberOfFiles, MaxEntries(request), bytesLeft, random);
    // The held-back files come in only once every fresh one is drawn; a
    // fresh one passed over for the budget still keeps them out.
    const double rest = request.numberOfFiles - static_cast<double>(selection.size());
    if (files.held.Count() > 0 && selection.size() == files.fresh.Count() && rest >= 1.0) {
        Selection more = DrawFrom(files.held, request, rest, MaxEntries(request) - selection.size(), bytesLeft, random);
        selection.insert(selection.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    return selection;
}

} // namespace

Selection randomFileList(const SelectionRequest& request, RandomSource& random, ProblemSink& problems)
{
    ErrorReport report(problems, ProcedureLabels::RandomFileList());
    // Without a single draw to make, the folders need not be read at all.
    if (report.Test(100, [&] { return DrawCount(request.numberOfFiles) == 0; })) {
        report.Step(102, [&] { problems.ReportDrawProblem({DrawProblem::Kind::NumberBelowOne}); });
        return {};
    }
    DrawLists files(request.weights != nullptr);
    std::vector<RowListing> listings;
    // With repeats every file is fresh at every draw.
    const std::function<bool(const QString&)> heldBack = request.allowRepeats ? nullptr : request.heldBack;
    report.Step(104, [&] { listings = ReadRows(request.sourceRows, request.namesInByteOrder, request.listed, request.weights); });
    for (qsizetype position = 0; position < request.sourceRows.size() && position < qsizetype(listings.size()); ++position) {
        const QString& row = request.sourceRows[position];
        const RowListing& listing = listings[static_cast<std::size_t>(position)];
        if (row.trimmed().isEmpty())
            continue;
        const QString folder = WithClosingSeparator(row);
        bool found = false;
        std::function<bool(platform::NativeStringView)> accept;
        if (request.accepts)
            accept = [&request, position](platform::NativeStringView name) { return request.accepts(position, name); };
        // A row that names a file (a dropped file) is a source of that file.
        if (report.Test(106, [&] { return listing.isFile; })) {
            report.Step(108, [&] {
                if (request.wholeFolders)
                    return;
                if (!accept || accept(ToFsPath(row).filename().native()))
                    (heldBack && heldBack(row) ? files.held : files.fresh).AddFile(row, request.otherWeight);
                found = true;
            });
            continue;
        }
        report.Step(110, [&] { found = AddListing(folder, listing, files, accept, heldBack, request.wholeFolders, request.otherWeight); });
        if (report.Test(112, [&] { return !found; }))
            report.Step(114, [&] { problems.ReportProblem(NoFilesProblem(folder, listing.noFolder)); });
    }

    Selection selection;
    if (report.Test(116, [&] { return !request.wholeFolders && TooManyRows(files.Count(), request); })) {
        report.Step(118, [&] { problems.ReportDrawProblem({DrawProblem::Kind::TooManyRows, request.maxRows}); });
        return selection;
    }
    report.Step(120, [&] { selection = Draw(files, request, random); });
    // Drawn whole, folders tell their rows only once drawn.
    if (request.wholeFolders && selection.size() > MaxEntries(request)) {
        problems.ReportDrawProblem({DrawProblem::Kind::TooManyRows, request.maxRows});
        selection.clear();
    }
    return selection;
}
