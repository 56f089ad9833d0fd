#include "copyrun/ReadBack.h"

#include "core/Parallel.h"
#include "core/PathHelpers.h"
#include "folders/PathText.h"
#include "platform/DeviceReadBack.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QSet>

#include <map>

namespace {

const QString kCopyDiffersMessage = QStringLiteral("The copy on the device differs from the source.");

struct Copy {
    const CopyRow* row;
    QString written;
    platform::DeviceReadBack found;
};

// The copies written, by the file system they lie on.
std::map<std::uint64_t, std::vector<Copy>> CopiesByDevice(const QList<CopyRow>& rows, const QStringList& written)
{
    QHash<QString, const CopyRow*> rowOf;
    for (const CopyRow& row : rows) {
        if (!row.IsBlank())
            rowOf.insert(CollapseBackslashes(row.Destination()), &row);
    }
    std::map<std::uint64_t, std::vector<Copy>> byDevice;
    QHash<QString, std::uint64_t> deviceOf; // by destination folder
    for (const QString& path : written) {
        const CopyRow* row = rowOf.value(path);
        if (row == nullptr)
            continue;
        auto device = deviceOf.find(row->folder);
        if (device == deviceOf.end())
            device = deviceOf.insert(row->folder, platform::FileSystemOf(ToFsPath(row->folder)).value_or(0));
        byDevice[*device].push_back({row, path, {}});
    }
    return byDevice;
}

CopyOutcome FailureOf(const platform::DeviceReadBack& found)
{
    CopyOutcome outcome;
    if (found.copyError || found.sourceError) {
        outcome.failure = CopyOutcome::Failure::System;
        outcome.error = found.copyError ? found.copyError : found.sourceError;
        outcome.reason = QString::fromStdString(outcome.error.message());
    } else {
        outcome.failure = CopyOutcome::Failure::CopyDiffers;
        outcome.reason = kCopyDiffersMessage;
    }
    return outcome;
}

} // namespace

ReadBackSummary ReadBackCopies(const QList<CopyRow>& rows, const QStringList& written)
{
    ReadBackSummary summary;
    QSet<QString> differing;
    QSet<QString> throughCache;
    for (auto& [device, copies] : CopiesByDevice(rows, written)) {
        const auto readBack = [&copies](std::size_t i) {
            copies[i].found = platform::ReadBackAndCompare(ToFsPath(copies[i].written), ToFsPath(copies[i].row->source));
        };
        if (platform::WritesOneAtATime(ToFsPath(copies.front().row->folder))) {
            for (std::size_t i = 0; i < copies.size(); ++i)
                readBack(i);
        } else {
            ForEachInParallel(copies.size(), readBack);
        }
        for (const Copy& copy : copies) {
            const QString& folder = copy.row->folder;
            if (copy.found.throughCache && !throughCache.contains(folder)) {
                throughCache.insert(folder);
                summary.throughCache.append(folder);
            }
            if (copy.found.same) {
                ++summary.verified;
                continue;
            }
            summary.failed.emplace_back(*copy.row, FailureOf(copy.found));
            // A copy that cannot be trusted goes; one whose source went is kept.
            if (!copy.found.sourceError) {
                const std::filesystem::path path = ToFsPath(copy.written);
                if (!platform::RemoveFile(path) && platform::MakeNormal(path))
                    platform::RemoveFile(path);
                summary.removed.append(copy.written);
            }
            if (!copy.found.copyError && !copy.found.sourceError && !differing.contains(folder)) {
                differing.insert(folder);
                summary.differing.append(folder);
            }
        }
    }
    return summary;
}
