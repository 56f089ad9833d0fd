// Adopting a saved plan: thinned by the filters, kept to the destinations
// that are there and free, its names folded to ASCII where asked for.

#include "refill/RefillRun.h"

#include "core/PathHelpers.h"
#include "folders/PathText.h"
#include "randomlist/CorrelateListviews.h"
#include "refill/DestinationChecks.h"
#include "refill/FileFilter.h"

#include <QSet>

void RefillRun::AdoptSavedPlan(CopyPlan& plan)
{
    const FileFilter filter(settings_.filters);
    if (!filter.IsEmpty()) {
        plan.rows.removeIf([&filter](const CopyRow& row) {
            return !filter.Accepts(FileNameOf(row.source), row.source);
        });
    }
    plan_.destinations = LockAndRead(ExistingFolders(DestinationFoldersOf(plan.rows), *this), !settings_.dryRun);
    plan_.plannedFor = plan_.destinations;
    const QSet<QString> kept(plan_.destinations.begin(), plan_.destinations.end());
    plan.rows.removeIf([&kept](const CopyRow& row) { return !row.IsBlank() && !kept.contains(row.folder); });
    if (settings_.asciiNames)
        FoldPlanNames(plan);
    devices_.SetUp(plan_.destinations);
    devices_.FitSavedPlan(plan);
    if (devices_.StopTheRun())
        plan.rows.clear();
}

// A saved plan's names in plain ASCII; two that fold alike in one
// destination take numbers, as clashing names do.
void RefillRun::FoldPlanNames(CopyPlan& plan)
{
    QSet<QString> claimed;
    for (CopyRow& row : plan.rows) {
        if (row.IsBlank())
            continue;
        QStringList parts = row.name.split(NativeSeparator());
        for (QString& part : parts)
            part = AsciiName(part);
        const QString folder = parts.size() > 1 ? parts.mid(0, parts.size() - 1).join(NativeSeparator()) + NativeSeparator() : QString();
        std::uint32_t number = 0;
        row.name = folder + FreeNumberedName(parts.back(), number, [&](const QString& name) {
            return claimed.contains((row.folder + folder + name).toCaseFolded());
        });
        claimed.insert((row.folder + row.name).toCaseFolded());
    }
}
