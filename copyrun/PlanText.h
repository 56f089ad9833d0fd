#pragma once

#include "core/CopyListRow.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Copy-list rows as lines of UTF-8 text: what a dry run prints and a saved
// plan holds, "source will be copied to destination". Exactly one
// " will be copied to " stands in a line: where a path holds those words
// itself, their first space is written escaped, so a line reads back as the
// row it came from.
//
// On POSIX a name may hold bytes that UTF-8 cannot carry, or a line break;
// such a byte, every control character (C1 ones byte by byte of their UTF-8
// form, since a terminal takes U+009B for an escape) and that space are
// written "\xHH" (two hex digits), and a backslash itself "\\". Every other
// character is written as it is. On Windows, where "\" separates folders and
// names are UTF-16 without line breaks, paths are written as they are, with
// "|", which no Windows name holds, for that space.
QByteArray PlanLine(const CopyRow& row);

// A path as a plan line writes it.
QByteArray PlanPath(const QString& path);

// The path PlanPath wrote; empty when it names a path with a NUL.
std::optional<QString> PathOfPlanPath(const QByteArray& text);

// The row a plan line holds (without its line end); empty when the line does
// not hold exactly one " will be copied to " or names a path with a NUL.
// A backslash that starts no escape stays as it is.
std::optional<CopyRow> RowOfPlanLine(const QByteArray& line);
