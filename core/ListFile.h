#pragma once

#include <QString>

#include <vector>

class Dialogs;
class QIODevice;
class RowListModel;

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
// A missing file shows "File not found" and leaves the list alone; refused
// lines and a file past the limit are told in a warning; a file that cannot be
// opened or read throws Failure, keeping the rows read before.
void LoadListFromFile(RowListModel& list, const QString& path, Dialogs& dialogs);

// The same from an open device (standard input), named in messages as name.
void LoadListFromDevice(RowListModel& list, QIODevice& device, const QString& name, Dialogs& dialogs);

// The same rules on an open device, without the messages.
ListRefusals AppendListRows(QIODevice& device, RowListModel& list);
