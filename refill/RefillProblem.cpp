#include "refill/RefillProblem.h"

#include <array>
#include <utility>

namespace {

using Kind = RefillProblem::Kind;

// The folder problems' kinds beside the refill's.
constexpr std::array<std::pair<FolderProblem::Kind, Kind>, 6> kFolderKinds {{
    {FolderProblem::Kind::Missing, Kind::FolderMissing},
    {FolderProblem::Kind::NotAFolder, Kind::NotAFolder},
    {FolderProblem::Kind::Unreadable, Kind::FolderUnreadable},
    {FolderProblem::Kind::Empty, Kind::SourceWithoutFiles},
    {FolderProblem::Kind::IsDestination, Kind::SourceIsDestination},
    {FolderProblem::Kind::InDestination, Kind::SourceInDestination},
}};

constexpr std::array<std::pair<ListFileProblem::Kind, Kind>, 3> kListKinds {{
    {ListFileProblem::Kind::Missing, Kind::ListMissing},
    {ListFileProblem::Kind::TooLarge, Kind::ListTooLarge},
    {ListFileProblem::Kind::NulLines, Kind::ListNulLines},
}};

template <typename Table, typename From>
auto Beside(const Table& table, From kind)
{
    for (const auto& [theirs, ours] : table) {
        if (theirs == kind)
            return ours;
    }
    return table.front().second;
}

template <typename Table>
auto TheirsOf(const Table& table, Kind kind) -> std::optional<decltype(table.front().first)>
{
    for (const auto& [theirs, ours] : table) {
        if (ours == kind)
            return theirs;
    }
    return std::nullopt;
}

} // namespace

RefillProblem ProblemOf(const FolderProblem& problem)
{
    RefillProblem told {Beside(kFolderKinds, problem.kind), problem.folder, problem.error};
    told.destination = problem.role == FolderProblem::Role::Destination;
    return told;
}

RefillProblem ProblemOf(const ListFileProblem& problem)
{
    RefillProblem told {Beside(kListKinds, problem.kind), problem.name};
    told.lines = problem.lines;
    return told;
}

RefillProblem ProblemOf(const DrawProblem& problem)
{
    if (problem.kind == DrawProblem::Kind::NumberBelowOne)
        return {Kind::NumberBelowOne};
    RefillProblem told {Kind::TooManyRows};
    told.count = problem.maxRows;
    return told;
}

RefillProblem ProblemOf(const StepFailure& failure)
{
    RefillProblem told {Kind::StepFailed};
    told.step = failure;
    return told;
}

std::optional<ListFileProblem> ListFileProblemOf(const RefillProblem& problem)
{
    if (const auto listKind = TheirsOf(kListKinds, problem.kind))
        return ListFileProblem {*listKind, problem.path, problem.lines};
    return std::nullopt;
}

bool HandBack(const RefillProblem& problem, ProblemSink& sink)
{
    if (const auto folderKind = TheirsOf(kFolderKinds, problem.kind)) {
        sink.ReportProblem({problem.destination ? FolderProblem::Role::Destination : FolderProblem::Role::Source,
                            problem.path, *folderKind, problem.error});
    } else if (const std::optional<ListFileProblem> list = ListFileProblemOf(problem)) {
        sink.ReportListFileProblem(*list);
    } else if (problem.kind == Kind::NumberBelowOne || problem.kind == Kind::TooManyRows) {
        sink.ReportDrawProblem({problem.kind == Kind::NumberBelowOne ? DrawProblem::Kind::NumberBelowOne
                                                                     : DrawProblem::Kind::TooManyRows,
                                problem.count});
    } else if (problem.kind == Kind::StepFailed) {
        sink.ReportStepFailure(problem.step);
    } else {
        return false;
    }
    return true;
}

Weight WeightOf(RefillProblem::Kind kind)
{
    switch (kind) {
    case Kind::SourceWithoutFiles:
    case Kind::SourceIsDestination:
    case Kind::SourceInDestination:
    case Kind::WaitingForFolder:
    case Kind::NoLocksKept:
    case Kind::TreeWithoutFiles:
    case Kind::FewerToDrawFrom:
    case Kind::ReadThroughCache:
    case Kind::CycleWaiting:
    case Kind::LimitCut:
    case Kind::PhotoLeftOut:
        return Weight::Note;
    // The rows that differ, or were bound into a folder not made, fail the
    // run themselves; a copy left out of a playlist is still copied; a fresh
    // cycle is no failure.
    case Kind::ListMissing:
    case Kind::ListPathRefused:
    case Kind::NumberBelowOne:
    case Kind::TooManyRows:
    case Kind::CopiesDiffer:
    case Kind::FolderNotMade:
    case Kind::NamesRefused:
    case Kind::PlaylistLeftOut:
    case Kind::CycleUnreadable:
    case Kind::CycleDamaged:
    case Kind::IndexSetAside:
    case Kind::IndexNotSaved:
        return Weight::Warning;
    case Kind::FolderMissing:
    case Kind::NotAFolder:
    case Kind::FolderUnreadable:
    case Kind::ListTooLarge:
    case Kind::ListNulLines:
    case Kind::ListUnreadable:
    case Kind::StepFailed:
    case Kind::FolderInUse:
    case Kind::FreeSpaceUnknown:
    case Kind::NothingFitsInSize:
    case Kind::NothingFitsInFreeSpace:
    case Kind::RecordRefused:
    case Kind::RecordSetAside:
    case Kind::RecordNotSetAside:
    case Kind::RecordNotWritten:
    case Kind::NotRemoved:
    case Kind::PlaylistNotOurs:
    case Kind::PlaylistNotWritten:
    case Kind::CycleFolderNotMade:
    case Kind::CycleNotWritten:
    case Kind::ProfileRefused:
    case Kind::FfmpegMissing:
        break;
    }
    return Weight::Failure;
}
