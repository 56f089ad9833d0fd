#pragma once

#include "refill/RefillProblem.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <system_error>
#include <vector>

// The record that --refresh keeps in each destination folder, in a small
// hidden file of its own: the copies its runs made there, as they were
// made. It travels with the stick, and a folder filled by two scripts keeps
// one.

inline constexpr char kRefreshRecordName[] = ".quorvex-refresh";
inline constexpr char kRefusedRecordSuffix[] = ".refused";
// Tens of thousands of copies fit; a record past it is no record of ours.
inline constexpr qint64 kRefreshRecordLimit = 4 * 1024 * 1024;

// What a record's entry is: a copy, a folder a run made for copies, or the
// playlist a run wrote.
enum class RecordedKind { File, Folder, Playlist };

struct RecordedCopy {
    QString name; // its path below the folder, with the system's separators
    RecordedKind kind = RecordedKind::File;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    // Its inode or file id, where the file system keeps it across mounts and
    // the copy was made when the record was written.
    std::optional<std::uint64_t> number;
    // Of its content (FingerprintOf); records of the first form, and
    // folders, hold none.
    std::optional<std::uint64_t> fingerprint;
};

// A record as read: its copies, or why it cannot be trusted.
struct RecordReading {
    std::vector<RecordedCopy> copies;
    RecordRefusal refusal; // none when it was read
};

// The record of a folder (ending in its separator). None at all is an empty
// record.
RecordReading ReadRecord(const QString& folder);

// Writes a folder's record beside the old one, flushes it to its device and
// puts it in place at once: at every moment the folder holds the old record
// or the new, whole.
std::error_code WriteRecord(const QString& folder, const std::vector<RecordedCopy>& copies);

// Moves a refused record out of the way, under the name with ".refused"
// added, replacing one set aside before.
std::error_code SetRecordAside(const QString& folder);
