#pragma once

#include <QString>

#include "platform/FileSystem.h"

#include <filesystem>
#include <system_error>
#include <variant>

// What became of one planned copy.
struct CopyOutcome {
    enum class Result { Copied, SameFile, Failed, LeftOut }; // LeftOut: the run chose not to copy it
    // Why a copy failed, for a face to word its own way.
    enum class Failure {
        None,
        Blank,         // the row says nothing of what is copied where
        NoSource,      // the source is not a file that can be opened
        NoFolder,      // the destination's folder does not exist
        SourceChanged, // the source changed while it was copied
        NameRefused,   // the destination's file system refuses the name
        CopyDiffers,   // read back from its device, the copy differs from the source
        NotConverted,  // the source could not be made to fit the device
        System,        // the system's error says why
    };
    Result result = Result::Failed;
    QString reason;  // why it failed, in the window's words
    QString written; // the file written, when copied
    Failure failure = Failure::None;
    std::error_code error; // the system's, where it told one
};

// Copies one file. Both paths are normalised first; the copy happens only
// when the source is an existing file and the destination's folder exists.
// A destination that names the source file itself, however it is written,
// is left alone (SameFile): replacing it would destroy the source. An
// existing destination is replaced only by a complete copy, and a source
// that changes while it is copied (a file still being written) fails the row.
// A large file is copied in pieces, with onProgress told between them.
CopyOutcome CopyOneFile(const QString& source, const QString& destination,
                        const platform::CopyProgress& onProgress = {});

// Where a row's copy goes, once its checks have passed.
struct CopyTarget {
    std::filesystem::path from;
    std::filesystem::path to;
    QString written; // the destination, normalised
    platform::FileState source;
    bool replacing = false;     // the destination exists
    bool folderChecked = false; // else a missing folder is told when the copy fails
};

// The checks CopyOneFile makes before it writes anything: the row's outcome
// when it ends there, otherwise where its copy goes. Without checkFolder, a
// copy already made in the destination's folder is taken to show that it
// exists, and OutcomeOf tells should it have gone since.
std::variant<CopyOutcome, CopyTarget> CheckCopy(const QString& source, const QString& destination,
                                                bool checkFolder = true);

// What a checked row's copy came to.
CopyOutcome OutcomeOf(const platform::CopyFailure& failure, const CopyTarget& target);
