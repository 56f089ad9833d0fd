#pragma once

#include "core/CopyListRow.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Saved plans: one row a line (see PlanText.h), after comment lines that
// start with "#"; a row always starts with an absolute path. Where rows
// lead through folders made below their destination (--whole-folders), a
// line "# destination PATH" before them names each destination: a row below
// it makes its folders there, and only there. "# device NAME" names the
// device profile whose conversions the rows' names are made for.

// The rows of a saved plan; path empty: standard input. A line that is no
// row is named with its number and counted in failedLines. Throws Failure
// when the plan cannot be read. device, when given, gets the plan's device.
CopyPlan ReadPlan(const QString& path, int& failedLines, QString* device = nullptr);

// The rows as plan lines, after their destinations' lines where needed.
QByteArray PlanText(const QList<CopyRow>& rows);

// Writes a plan, headed by the seed that drew it and the device chosen for
// it; false (and said) when it
// could not be written.
bool SavePlan(const QString& path, const QList<CopyRow>& rows, std::optional<std::uint32_t> seed,
              const QString& device = {});
