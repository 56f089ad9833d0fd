#pragma once

#include <QString>

#include <vector>

class ProblemSink;
class QIODevice;
class RowListModel;
struct ListFileProblem;

// A list file larger than this is refused whole: no list of folders comes
// near it, while a device or pipe that never ends would fill the memory.
inline constexpr qint64 kListFileByteLimit = qint64{64} * 1024 * 1024;

// What reading a list refused.
struct ListRefusals {
    // The numbers (from 1) of the lines that hold a NUL byte, which no path
    // can hold: cut there, the line would name another folder.
    std::vector<qsizetype> nulLines;
    // More than kListFileByteLimit bytes came; no row was added.
    bool tooLarge = false;
};

// Appends one row per line of a list file to the list, after the rows it
// already holds. A line ends at CR or CR LF; a lone LF inside a line splits it
// into further rows. Nothing is trimmed and empty lines give empty rows.
// A line that is not UTF-8 names the path with exactly its bytes when that
// path exists (on POSIX); otherwise it is read as Windows-1252.
// A missing file is told and leaves the list alone; refused lines and a
// file past the limit are told; a file that cannot be opened or read throws
// Failure, keeping the rows read before.
void LoadListFromFile(RowListModel& list, const QString& path, ProblemSink& problems);

// The same from an open device (standard input), named in messages as name.
void LoadListFromDevice(RowListModel& list, QIODevice& device, const QString& name, ProblemSink& problems);

// The same rules on an open device, without the messages.
ListRefusals AppendListRows(QIODevice& device, RowListModel& list);

// The window's words for a list's problem ("File not found" for a missing
// one), and whether they are a warning, which fails a command-line run.
QString ListFileProblemText(const ListFileProblem& problem);
bool IsWarning(const ListFileProblem& problem);
