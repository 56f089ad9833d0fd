#pragma once

#include <QByteArray>
#include <QString>

// Copy-list rows as lines of UTF-8 text: what a dry run prints and a saved
// plan holds. On POSIX a name may hold bytes that UTF-8 cannot carry, or a
// line break; such a byte, and every control character, is written "\xHH"
// (two hex digits), and a backslash itself "\\". Every other character is
// written as it is. On Windows, where "\" separates folders and names are
// UTF-16 without line breaks, rows are written as they are.
QByteArray PlanLine(const QString& row);

// The row a plan line holds (without its line end). A backslash that starts
// no escape stays as it is.
QString RowOfPlanLine(const QByteArray& line);
