#pragma once

#include <QString>

class Dialogs;
class QIODevice;
class RowListModel;

// Appends one row per line of a list file to the list, after the rows it
// already holds. A line ends at CR or CR LF; a lone LF inside a line splits it
// into further rows. Nothing is trimmed and empty lines give empty rows.
// A missing file shows "File not found" and leaves the list alone; a file that
// cannot be opened or read throws Failure, keeping the rows read before.
void LoadListFromFile(RowListModel& list, const QString& path, Dialogs& dialogs);

// The same rules on an open device.
void AppendListRows(QIODevice& device, RowListModel& list);
