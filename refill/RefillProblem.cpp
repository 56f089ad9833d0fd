#include "refill/RefillProblem.h"

Weight WeightOf(RefillProblem::Kind kind)
{
    using Kind = RefillProblem::Kind;
    switch (kind) {
    case Kind::WaitingForFolder:
    case Kind::NoLocksKept:
    case Kind::TreeWithoutFiles:
    case Kind::FewerToDrawFrom:
    case Kind::ReadThroughCache:
    case Kind::CycleWaiting:
        return Weight::Note;
    // The rows that differ, or were bound into a folder not made, fail the
    // run themselves; a copy left out of a playlist is still copied; a fresh
    // cycle is no failure.
    case Kind::CopiesDiffer:
    case Kind::FolderNotMade:
    case Kind::NamesRefused:
    case Kind::PlaylistLeftOut:
    case Kind::CycleUnreadable:
    case Kind::CycleDamaged:
        return Weight::Warning;
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
        break;
    }
    return Weight::Failure;
}
