#pragma once

#include "core/ProblemSink.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <system_error>
#include <vector>

// What the refill meets along the way, as facts: what kind, which file or
// folder, the system's error where it told one. Each face words them its
// own way: the command line in one line each, the window in its message
// boxes.

// Why a destination's refresh record cannot be trusted.
struct RecordRefusal {
    enum class Why {
        None,
        NotOurs,       // not a record that quorvex writes
        NotAPlainFile, // a folder, a link, a device stands in its place
        Unreadable,    // error tells why
        TooLarge,      // past kRefreshRecordLimit
        DamagedLine,   // line cannot be read
        ForeignPath,   // line names a path (named) outside its folder
    };
    Why why = Why::None;
    qsizetype line = 0; // counted from 1
    QString named;
    std::error_code error;

    bool Refused() const { return why != Why::None; }
};

struct RefillProblem {
    enum class Kind {
        // The folders named; destination tells which list path is in.
        FolderMissing,       // no such folder
        NotAFolder,          // a file stands at path
        FolderUnreadable,    // its listing is refused (error)
        SourceWithoutFiles,  // no file to draw in path
        SourceIsDestination, // left out of the sources
        SourceInDestination, // left out of the sources
        // The lists of folders (list files, standard input).
        ListMissing,    // path names no file
        ListTooLarge,   // nothing was read of it
        ListNulLines,   // its lines (lines) that hold a NUL byte were left out
        ListUnreadable, // standard input could not be read: description says why
        ListPathRefused, // the list's path holds characters that no name can hold
        // The draw.
        NumberBelowOne, // nothing is drawn
        TooManyRows,    // the plan would pass count rows: nothing is drawn
        // A step of a procedure failed unexpectedly (step), and the procedure
        // went on.
        StepFailed,
        // Destinations.
        FolderInUse,      // another run holds path: left to it
        WaitingForFolder, // another run holds path: waited for
        NoLocksKept,      // path's file system keeps no locks (error): written unlocked
        FreeSpaceUnknown, // path's free space cannot be told: nothing fits there
        // The draw.
        TreeWithoutFiles, // no folder of the tree path holds a file
        NothingFitsInSize,      // no file fits in count bytes (maxBytes)
        NothingFitsInFreeSpace, // no file fits in the destinations' free space
        FewerToDrawFrom,  // only count files (or folders) to draw from; with a least rating, description names it
        // The library index.
        IndexSetAside, // damaged: set aside as path, and made anew
        IndexNotSaved, // path could not be kept (description says why): the draw goes on from the tags read
        // The refresh record at path.
        RecordRefused,     // in a plan only: nothing is removed there
        RecordSetAside,    // set aside; nothing was removed
        RecordNotSetAside, // and could not be set aside (error); nothing was removed
        RecordNotWritten,  // error
        NotRemoved,        // the recorded copy or folder path stays (error)
        // What the refill makes.
        FolderNotMade,      // error
        NamesRefused,       // the device of the destination path refuses names with letters beyond ASCII
        PlaylistNotOurs,    // a file of the user's stands at the playlist's path: its destination is left alone
        PlaylistNotWritten, // error
        PlaylistLeftOut,    // count copies' names cannot stand in the playlist at path: left out of it
        // The copies read back from the device that holds path.
        CopiesDiffer,     // a copy differed from its source
        ReadThroughCache, // the file system reads only through the cache
        // The cycle's state file at path.
        CycleWaiting,       // another run holds it: waited for
        CycleUnreadable,    // error; a fresh cycle starts
        CycleDamaged,       // a fresh cycle starts
        CycleFolderNotMade, // path is the state folder
        CycleNotWritten,    // error
        // The devices, before anything is copied: the run copies nothing.
        ProfileRefused, // the profile file path cannot be used: description says why
        FfmpegMissing,  // files must be converted and no ffmpeg is found: description says how to get it
        LimitCut,       // path's device counts no more: count drawn files were left out; description names the limit
        PhotoLeftOut,   // the photo made for path takes more than its guess and the room left: not copied
    };

    RefillProblem(Kind kind, QString path = {}, std::error_code error = {})
        : kind(kind), path(std::move(path)), error(error)
    {
    }

    Kind kind;
    QString path;
    std::error_code error;
    std::optional<std::uint64_t> holder; // the other run's process, where the system tells
    std::uint64_t count = 0;
    RecordRefusal refusal; // with the record's kinds
    bool destination = false;       // with the folders' kinds
    std::vector<qsizetype> lines;   // ListNulLines: counted from 1
    QString description;            // ListUnreadable
    StepFailure step;               // StepFailed
};

// The facts the procedures below the refill report, as the refill's
// problems, and back: a face hands a problem that was one of them to a
// ProblemSink of its own, which words it as it always has.
RefillProblem ProblemOf(const FolderProblem& problem);
RefillProblem ProblemOf(const ListFileProblem& problem);
RefillProblem ProblemOf(const DrawProblem& problem);
RefillProblem ProblemOf(const StepFailure& failure);
std::optional<ListFileProblem> ListFileProblemOf(const RefillProblem& problem);
// True when problem was one of those facts, and so handed to sink.
bool HandBack(const RefillProblem& problem, ProblemSink& sink);

// How much a problem weighs: a note is news only (and a quiet face keeps
// it to itself), a warning is always said, a failure fails the run too.
enum class Weight { Note, Warning, Failure };
Weight WeightOf(RefillProblem::Kind kind);

// The face's ear for the refill's problems.
class RefillReport {
public:
    virtual ~RefillReport() = default;
    virtual void Tell(const RefillProblem& problem) = 0;
};

// Tells report what the procedures below the refill meet.
class ProblemsTold final : public ProblemSink {
public:
    explicit ProblemsTold(RefillReport& report) : report_(report) {}
    void ReportProblem(const FolderProblem& problem) override { report_.Tell(ProblemOf(problem)); }
    void ReportListFileProblem(const ListFileProblem& problem) override { report_.Tell(ProblemOf(problem)); }
    void ReportDrawProblem(const DrawProblem& problem) override { report_.Tell(ProblemOf(problem)); }
    void ReportStepFailure(const StepFailure& failure) override { report_.Tell(ProblemOf(failure)); }

private:
    RefillReport& report_;
};
