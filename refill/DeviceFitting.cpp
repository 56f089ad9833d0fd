// Fitting the draw to the devices: each destination's profile, the names
// of the files converted for it, and whether the run can convert at all.

#include "refill/RefillRun.h"

#include "core/PathHelpers.h"
#include "device/DeviceFiles.h"
#include "device/Ffmpeg.h"
#include "device/NameLength.h"
#include "platform/FileSystem.h"
#include "platform/Volume.h"
#include "device/ProfileLookup.h"
#include "randomlist/CorrelateListviews.h"
#include "refill/DestinationChecks.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

#include <filesystem>
#include <map>
#include <memory>

namespace {

// Where a destination's device is counted from: its volume's root. A
// folder on a fixed disk, where the system says which it is (Windows), or
// on the disk that holds the system or the home folder, stands in for a
// device (one filled before it is copied onto a stick), and is counted
// alone: the rest of that disk is no device's.
std::filesystem::path CountRootOf(const QString& destination)
{
    const std::filesystem::path folder = ToFsPath(destination);
    const std::filesystem::path root = platform::VolumeRootOf(folder);
    if (root.empty() || platform::OnRemovableDrive(folder) == false)
        return folder;
    for (const QString& own : {QDir::rootPath(), QDir::homePath()}) {
        if (platform::VolumeRootOf(ToFsPath(own)) == root)
            return folder;
    }
    return root;
}

// Every destination the plan names, as names are compared on FAT.
QSet<QString> ClaimedNames(const CopyPlan& plan)
{
    QSet<QString> claimed;
    for (const CopyRow& row : plan.rows)
        claimed.insert(row.Destination().toCaseFolded());
    return claimed;
}

} // namespace

void RefillRun::SetUpDevices(const QStringList& destinations)
{
    device_ = std::make_unique<DeviceFiles>(DeviceFiles::Options {
        settings_.ffmpeg, {}, settings_.cacheSize.value_or(ConversionCache::kDefaultCap)});
    std::optional<DeviceProfile> chosen;
    if (!settings_.device.isEmpty()) {
        std::variant<DeviceProfile, ProfileError> named = ProfileNamed(settings_.device);
        if (const ProfileError* error = std::get_if<ProfileError>(&named)) {
            RefuseDevices(*error);
            return;
        }
        chosen = std::get<DeviceProfile>(std::move(named));
    }
    const std::optional<std::pair<int, int>> frame = FrameSizeOf(settings_.frame);
    for (const QString& folder : destinations) {
        const std::variant<DeviceProfile, ProfileError> profile = ProfileForDestination(chosen, folder);
        if (const ProfileError* error = std::get_if<ProfileError>(&profile))
            RefuseDevices(*error);
        else if (frame)
            device_->SetProfile(folder, WithFrame(std::get<DeviceProfile>(profile), frame->first, frame->second));
        else
            device_->SetProfile(folder, std::get<DeviceProfile>(profile));
    }
}

void RefillRun::RefuseDevices(const ProfileError& error)
{
    RefillProblem refused {RefillProblem::Kind::ProfileRefused, error.file};
    refused.description = error.Text();
    Tell(refused);
    devicesRefused_ = true;
}

// The rows a device does not take as they are are marked, and those
// converted take the new extension: a name that is then taken, by another
// row or by a file the run keeps, takes a number as a clash does.
void RefillRun::FitToDevices(CopyPlan& plan)
{
    if (!device_ || !device_->AnyConverts())
        return;
    QSet<QString> claimed = ClaimedNames(plan);
    const QChar separator = NativeSeparator();
    for (CopyRow& row : plan.rows) {
        if (row.IsBlank())
            continue;
        const QString folder = FolderOf(row.Destination());
        const Treatment treatment = device_->TreatmentFor(row.source, folder);
        if (treatment == Treatment::Copy)
            continue;
        row.converted = true;
        const qsizetype leafAt = row.name.lastIndexOf(separator) + 1;
        const QString below = row.name.left(leafAt);
        const QString fitted = device_->NameFor(row.source, row.name.mid(leafAt), folder);
        if (treatment != Treatment::Convert || below + fitted == row.name)
            continue;
        claimed.remove(row.Destination().toCaseFolded());
        std::uint32_t number = 0;
        row.name = below + FreeNumberedName(fitted, number, [&](const QString& name) {
            const QString path = row.folder + below + name;
            return claimed.contains(path.toCaseFolded()) || (KeepsNames() && IsKeptFile(path));
        });
        claimed.insert(row.Destination().toCaseFolded());
    }
    RequireFfmpeg(plan);
}

// How many levels of folders lie above a destination on its device.
int RefillRun::DepthOf(const QString& destination) const
{
    const std::filesystem::path root = CountRootOf(destination);
    int depth = 0;
    for (std::filesystem::path at = ToFsPath(destination).lexically_normal(); at.has_relative_path() && at != root;
         at = at.parent_path()) {
        if (!at.filename().empty())
            ++depth;
    }
    return depth;
}

// A flat draw larger than a folder of the device holds is spread over
// numbered folders (01, 02, ...), each holding at most that many, in the
// draw's order; the user's own files in the destination count, and a
// number in use is passed over. Folders of albums deeper than the device
// reads are folded into one ("Artist/Album" becomes "Artist - Album").
void RefillRun::FitFoldersToLimits(CopyPlan& plan)
{
    if (!device_)
        return;
    const QChar separator = NativeSeparator();
    for (const QString& destination : plan_.destinations) {
        const DeviceLimits& limits = device_->ProfileOf(destination).limits;
        const QString folder = WithClosingSeparator(destination);
        if (limits.depth) {
            const int levels = std::max(1, *limits.depth - DepthOf(destination));
            for (CopyRow& row : plan.rows) {
                QStringList names = row.name.split(separator);
                if (row.folder != folder || names.size() - 1 <= levels)
                    continue;
                const QString leaf = names.takeLast();
                const QStringList folded = names.mid(levels - 1);
                row.name = (names.mid(0, levels - 1) << folded.join(QStringLiteral(" - ")) << leaf).join(separator);
            }
        }
        if (limits.filesPerFolder)
            SpreadOverFolders(plan, folder, *limits.filesPerFolder);
    }
}

void RefillRun::SpreadOverFolders(CopyPlan& plan, const QString& folder, int perFolder)
{
    const QChar separator = NativeSeparator();
    std::vector<CopyRow*> flat;
    for (CopyRow& row : plan.rows) {
        if (row.folder == folder && !row.IsBlank() && !row.name.contains(separator))
            flat.push_back(&row);
    }
    qsizetype own = 0;
    platform::FolderReader reader(ToFsPath(folder));
    platform::FolderEntry entry;
    QSet<QString> present;
    while (reader.Next(entry)) {
        const QString name = FromFsName(entry.name);
        present.insert(name.toCaseFolded());
        if (!plan_.records.IsRemovable(folder + name) && !IsFolder(folder + name))
            ++own;
    }
    if (static_cast<qsizetype>(flat.size()) + own <= perFolder)
        return;
    // Last night's numbered folders, which the refresh empties, are free again.
    const QStringList removable = plan_.records.Removable();
    const QSet<QString> madeBefore(removable.begin(), removable.end());
    const qsizetype count = (static_cast<qsizetype>(flat.size()) + perFolder - 1) / perFolder;
    const int width = std::max<int>(2, QString::number(count).size());
    int number = 0;
    QString numbered;
    for (std::size_t i = 0; i < flat.size(); ++i) {
        if (i % static_cast<std::size_t>(perFolder) == 0) {
            // A number the user's folder or file (or an album) holds is passed over.
            do
                numbered = QStringLiteral("%1").arg(++number, width, 10, QChar(u'0'));
            while ((present.contains(numbered.toCaseFolded()) && !madeBefore.contains(folder + numbered + separator))
                   || std::any_of(plan.rows.begin(), plan.rows.end(), [&](const CopyRow& row) {
                          return row.folder == folder && row.name.startsWith(numbered + separator, Qt::CaseInsensitive);
                      }));
        }
        flat[i]->name = numbered + separator + flat[i]->name;
    }
}

// Names longer than a device shows are cut: each folder made, and each
// file's name before its extension (its new one, after the folding and
// the number in front). A cut name that is then taken takes a number,
// within the limit too.
void RefillRun::FitNamesToLimits(CopyPlan& plan)
{
    if (!device_)
        return;
    QSet<QString> claimed = ClaimedNames(plan);
    const QChar separator = NativeSeparator();
    for (CopyRow& row : plan.rows) {
        const std::optional<int> limit = device_->ProfileOf(row.folder).limits.nameLength;
        if (row.IsBlank() || !limit)
            continue;
        QStringList names = row.name.split(separator);
        const QString leaf = names.takeLast();
        for (QString& folder : names)
            folder = NameWithin(folder, *limit, false);
        const QString below = names.isEmpty() ? QString() : names.join(separator) + separator;
        const QString fitted = NameWithin(leaf, *limit);
        if (below + fitted == row.name)
            continue;
        claimed.remove(row.Destination().toCaseFolded());
        const auto taken = [&](const QString& name) {
            const QString path = row.folder + below + name;
            return claimed.contains(path.toCaseFolded()) || (KeepsNames() && IsKeptFile(path));
        };
        QString name = fitted;
        for (std::uint32_t number = 1; taken(name); ++number)
            name = NumberedNameWithin(leaf, number, *limit);
        row.name = below + name;
        claimed.insert(row.Destination().toCaseFolded());
    }
}


// Files and folders on a destination's device, the copies and folders the
// refresh removes left out, counted no further than needed.
RefillRun::DeviceCounts RefillRun::CountOnDevice(const QString& destination, const DeviceLimits& limits) const
{
    DeviceCounts counts;
    const std::int64_t enough = std::max(limits.files.value_or(0), limits.folders.value_or(0)) + 1;
    std::error_code error;
    for (auto entry = std::filesystem::recursive_directory_iterator(
             CountRootOf(destination), std::filesystem::directory_options::skip_permission_denied, error);
         !error && entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
        const QString path = FromFsName(entry->path().native());
        if (entry->is_directory(error)) {
            if (!plan_.records.IsRemovable(WithClosingSeparator(path)))
                ++counts.folders;
        } else if (!plan_.records.IsRemovable(path)) {
            ++counts.files;
        }
        if (counts.files >= enough && counts.folders >= enough)
            break;
    }
    return counts;
}

// The draw stops, on each destination, where its device's count of files
// or folders would be passed: its own files count, and so do the playlist
// and the record the run writes. A drawn folder is kept or left out whole.
void RefillRun::KeepWithinCounts(CopyPlan& plan)
{
    if (!device_)
        return;
    for (const QString& destination : plan_.destinations) {
        const DeviceLimits& limits = device_->ProfileOf(destination).limits;
        if (!limits.files && !limits.folders)
            continue;
        const QString folder = WithClosingSeparator(destination);
        const DeviceCounts held = CountOnDevice(destination, limits);
        std::int64_t files = held.files + (settings_.playlist.isEmpty() ? 0 : 1) + (settings_.refresh ? 1 : 0);
        std::int64_t folders = held.folders;
        QSet<QString> madeFolders;
        QString cutBy;
        std::uint64_t cut = 0;
        QString group;     // the drawn folder of the rows kept last
        bool keeping = true;
        for (qsizetype i = 0; i < plan.rows.size();) {
            const CopyRow& row = plan.rows[i];
            if (row.folder != folder) {
                ++i;
                continue;
            }
            // A drawn folder's rows are taken together.
            const bool sameGroup = settings_.wholeFolders && FolderOf(row.source) == group;
            group = FolderOf(row.source);
            QStringList newFolders;
            const QStringList below = row.name.split(NativeSeparator()).mid(0, row.name.count(NativeSeparator()));
            QString path = folder;
            for (const QString& name : below) {
                path += name + NativeSeparator();
                if (!madeFolders.contains(path.toCaseFolded()) && !PathExists(path))
                    newFolders.append(path.toCaseFolded());
            }
            if (keeping && !sameGroup) {
                const std::int64_t groupFiles = settings_.wholeFolders
                    ? std::count_if(plan.rows.begin() + i, plan.rows.end(), [&](const CopyRow& other) {
                          return other.folder == folder && FolderOf(other.source) == group;
                      })
                    : 1;
                if (limits.files && files + groupFiles > *limits.files)
                    cutBy = QStringLiteral("%1 files in all").arg(*limits.files);
                else if (limits.folders && folders + newFolders.size() > *limits.folders)
                    cutBy = QStringLiteral("%1 folders in all").arg(*limits.folders);
                keeping = cutBy.isEmpty();
            }
            if (!keeping) {
                plan.rows.removeAt(i);
                ++cut;
                continue;
            }
            ++files;
            folders += newFolders.size();
            for (const QString& made : newFolders)
                madeFolders.insert(made);
            ++i;
        }
        if (cut > 0) {
            RefillProblem limited {RefillProblem::Kind::LimitCut, destination};
            limited.count = cut;
            limited.description = cutBy;
            Tell(limited);
            limitCuts_.push_back(limited);
        }
    }
}

// Songs to convert need an ffmpeg; without one, none of the plan is copied.
void RefillRun::RequireFfmpeg(const CopyPlan& plan)
{
    if (devicesRefused_ || !device_
        || std::none_of(plan.rows.begin(), plan.rows.end(), [&](const CopyRow& row) { return ConvertsSong(row); }))
        return;
    if (!device_->Ffmpeg().isEmpty())
        return;
    RefillProblem missing {RefillProblem::Kind::FfmpegMissing};
    missing.description = FfmpegMissingText();
    Tell(missing);
    devicesRefused_ = true;
}

// A file in a destination that the run must not replace.
bool RefillRun::IsKeptFile(const QString& path) const
{
    const std::filesystem::file_status status = StatusAt(path);
    return std::filesystem::exists(status) && !std::filesystem::is_directory(status) && !plan_.records.IsRemovable(path);
}

const DeviceProfile& RefillRun::ProfileOf(const QString& folder) const
{
    static const DeviceFiles asIs({});
    return (device_ ? *device_ : asIs).ProfileOf(folder);
}

bool RefillRun::ConvertsSong(const CopyRow& row) const
{
    return row.converted && device_ && device_->NeedsFfmpeg(row.source, FolderOf(row.Destination()));
}

CopyAhead::PrepareSource RefillRun::SourcePreparer()
{
    if (!device_ || !device_->AnyConverts())
        return {};
    return [device = device_.get()](const QString& source, const QString& destination) {
        const DeviceFiles::Prepared prepared = device->Prepare(source, FolderOf(destination));
        return CopyAhead::PreparedSource {prepared.path, prepared.failure};
    };
}

// With a budget, a photo counts by its guessed size until it is made: one
// made larger takes the difference from what its destination folder has
// left beyond the plan, or is left out, and no other file takes its place.
// rows are the copy list's, by position.
std::function<bool(int position, const QString& made)> RefillRun::PhotoAdmission(const QList<CopyRow>& rows)
{
    if (!device_ || !device_->AnyConverts() || (!settings_.maxBytes && !settings_.fill))
        return {};
    auto guessed = std::make_shared<std::map<int, std::int64_t>>();
    for (int i = 0; i < rows.size(); ++i) {
        const CopyRow& row = rows[i];
        const std::optional<platform::FileFacts> facts = platform::FactsOf(ToFsPath(row.source));
        if (row.converted && !ConvertsSong(row) && facts)
            (*guessed)[i] = static_cast<std::int64_t>(device_->SizeIn(row.source, facts->size, FolderOf(row.Destination())));
    }
    auto left = std::make_shared<std::map<QString, std::int64_t>>();
    for (const PlannedSize& size : PlannedSizes(rows)) {
        std::int64_t budget = static_cast<std::int64_t>(settings_.maxBytes.value_or(0));
        if (!settings_.maxBytes) {
            const std::optional<platform::VolumeFacts> volume = platform::VolumeOf(ToFsPath(size.folder));
            budget = volume ? static_cast<std::int64_t>(volume->freeBytes) - static_cast<std::int64_t>(FillBudget::kReserve)
                                + static_cast<std::int64_t>(size.bytes)
                            : 0;
        }
        (*left)[size.folder] = budget - static_cast<std::int64_t>(size.bytes);
    }
    return [this, rows, guessed, left](int position, const QString& made) {
        const auto guess = guessed->find(position);
        if (guess == guessed->end())
            return true;
        const std::int64_t size = QFileInfo(made).size();
        std::int64_t& room = (*left)[rows[position].folder];
        if (size - guess->second > room) {
            RefillProblem leftOut {RefillProblem::Kind::PhotoLeftOut, rows[position].Destination()};
            leftOut.count = static_cast<std::uint64_t>(size);
            Tell(leftOut);
            return false;
        }
        room -= size - guess->second;
        return true;
    };
}

// The rows as their copies were made: a converted file's from what ffmpeg wrote.
QList<CopyRow> RefillRun::AsCopied(QList<CopyRow> rows) const
{
    if (!device_)
        return rows;
    for (CopyRow& row : rows) {
        if (row.converted)
            row.source = device_->PreparedPath(row.source, FolderOf(row.Destination()));
    }
    return rows;
}
