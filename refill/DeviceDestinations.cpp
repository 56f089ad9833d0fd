#include "refill/DeviceDestinations.h"

#include "core/PathHelpers.h"
#include "device/Ffmpeg.h"
#include "device/ProfileLookup.h"
#include "platform/FileSystem.h"
#include "platform/Volume.h"
#include "randomlist/CorrelateListviews.h"
#include "refill/FillBudget.h"
#include "refill/Refresh.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <filesystem>

namespace {

const DeviceProfile& AsIs()
{
    return BuiltInProfiles().front();
}

QString PreparedKey(const QString& source, const QString& folder) { return source + QLatin1Char('\n') + folder; }

// The profile the settings choose for every destination: the one the face
// read, else the one they name, read now; none where they name none.
std::variant<std::optional<DeviceProfile>, ProfileError> ChosenProfile(const RefillSettings& settings)
{
    if (settings.deviceProfile)
        return settings.deviceProfile;
    if (settings.device.isEmpty())
        return std::optional<DeviceProfile>();
    std::variant<DeviceProfile, ProfileError> named = ProfileNamed(settings.device);
    if (const ProfileError* error = std::get_if<ProfileError>(&named))
        return *error;
    return std::optional(std::get<DeviceProfile>(std::move(named)));
}

} // namespace

DeviceDestinations::DeviceDestinations(const RefillSettings& settings, const Refresh& records, RefillReport& report)
    : settings_(settings), records_(records), report_(report),
      treatments_({settings.ffmpeg, {}, settings.cacheSize.value_or(ConversionCache::kDefaultCap)})
{
}

void DeviceDestinations::SetUp(const QStringList& destinations)
{
    destinations_ = destinations;
    profiles_.clear();
    std::variant<std::optional<DeviceProfile>, ProfileError> chosen = ChosenProfile(settings_);
    if (const ProfileError* error = std::get_if<ProfileError>(&chosen)) {
        Refuse(*error);
        return;
    }
    const std::optional<std::pair<int, int>> frame = FrameSizeOf(settings_.frame);
    for (const QString& folder : destinations) {
        std::variant<DeviceProfile, ProfileError> profile =
            ProfileForDestination(std::get<std::optional<DeviceProfile>>(chosen), folder);
        if (const ProfileError* error = std::get_if<ProfileError>(&profile)) {
            Refuse(*error);
            continue;
        }
        DeviceProfile& fitted = std::get<DeviceProfile>(profile);
        if (frame)
            fitted = WithFrame(std::move(fitted), frame->first, frame->second);
        treatments_.ReadyFor(fitted);
        profiles_.emplace_back(WithClosingSeparator(folder), std::move(fitted));
    }
}

void DeviceDestinations::Refuse(const ProfileError& error)
{
    RefillProblem refused {RefillProblem::Kind::ProfileRefused, error.file};
    refused.description = error.Text();
    report_.Tell(refused);
    stopped_ = true;
}

QSet<QString> DeviceDestinations::ClaimedNames(const CopyPlan& plan)
{
    QSet<QString> claimed;
    for (const CopyRow& row : plan.rows)
        claimed.insert(row.Destination().toCaseFolded());
    return claimed;
}

bool DeviceDestinations::AnyConverts() const
{
    return std::any_of(profiles_.begin(), profiles_.end(), [](const auto& kept) { return !kept.second.IsAsIs(); });
}

const DeviceProfile& DeviceDestinations::ProfileOf(const QString& folder) const
{
    // The destination that holds the folder most closely: one may lie in another.
    const QString within = WithClosingSeparator(folder);
    const DeviceProfile* found = &AsIs();
    qsizetype longest = -1;
    for (const auto& [destination, profile] : profiles_) {
        if (within.startsWith(destination) && destination.size() > longest) {
            found = &profile;
            longest = destination.size();
        }
    }
    return *found;
}

void DeviceDestinations::FitDrawnPlan(CopyPlan& plan)
{
    if (stopped_)
        return;
    MarkAndRename(plan);
    RequireFfmpeg(plan);
    FitFoldersToLimits(plan);
    FitNamesToLimits(plan);
    KeepWithinCounts(plan);
}

void DeviceDestinations::FitSavedPlan(CopyPlan& plan)
{
    if (stopped_)
        return;
    KeepWithinCounts(plan);
    RequireFfmpeg(plan);
}

// The rows a device does not take as they are are marked, and those
// converted take the new extension: a name that is then taken, by another
// row or by a file the run keeps, takes a number as a clash does.
void DeviceDestinations::MarkAndRename(CopyPlan& plan)
{
    if (!AnyConverts())
        return;
    QSet<QString> claimed = ClaimedNames(plan);
    const QChar separator = NativeSeparator();
    for (CopyRow& row : plan.rows) {
        if (row.IsBlank())
            continue;
        const DeviceProfile& profile = ProfileOf(row.folder);
        const Treatment treatment = treatments_.FitFor(row.source, profile).treatment;
        if (treatment == Treatment::Copy)
            continue;
        row.converted = true;
        const qsizetype leafAt = row.name.lastIndexOf(separator) + 1;
        const QString below = row.name.left(leafAt);
        const QString fitted = treatments_.NameFor(row.source, row.name.mid(leafAt), profile);
        if (treatment != Treatment::Convert || below + fitted == row.name)
            continue;
        claimed.remove(row.Destination().toCaseFolded());
        std::uint32_t number = 0;
        row.name = below + FreeNumberedName(fitted, number, [&](const QString& name) {
            const QString path = row.folder + below + name;
            return claimed.contains(path.toCaseFolded()) || IsKeptFile(path);
        });
        claimed.insert(row.Destination().toCaseFolded());
    }
}

// Songs to convert need an ffmpeg; without one, none of the plan is copied.
void DeviceDestinations::RequireFfmpeg(const CopyPlan& plan)
{
    if (stopped_ || std::none_of(plan.rows.begin(), plan.rows.end(), [&](const CopyRow& row) { return ConvertsSong(row); }))
        return;
    if (!treatments_.Ffmpeg().isEmpty())
        return;
    RefillProblem missing {RefillProblem::Kind::FfmpegMissing};
    missing.description = FfmpegMissingText();
    report_.Tell(missing);
    stopped_ = true;
}

// A file in a destination that the run must not replace.
bool DeviceDestinations::IsKeptFile(const QString& path) const
{
    if (!KeepsNames(settings_))
        return false;
    const std::filesystem::file_status status = StatusAt(path);
    return std::filesystem::exists(status) && !std::filesystem::is_directory(status) && !records_.IsRemovable(path);
}

std::uint64_t DeviceDestinations::SizeOnDevices(const QString& source, std::uint64_t size) const
{
    if (profiles_.empty())
        return size;
    std::uint64_t largest = 0;
    for (const auto& [folder, profile] : profiles_)
        largest = std::max(largest, treatments_.SizeIn(source, size, profile));
    return largest;
}

std::vector<PlannedSize> DeviceDestinations::PlannedSizes(const QList<CopyRow>& rows) const
{
    std::map<QString, PlannedSize> perFolder;
    for (const CopyRow& row : rows) {
        PlannedSize& size = perFolder[row.folder];
        size.folder = row.folder;
        ++size.files;
        if (const auto facts = platform::FactsOf(ToFsPath(row.source)))
            size.bytes += row.converted ? treatments_.SizeIn(row.source, facts->size, ProfileOf(row.folder)) : facts->size;
    }
    std::vector<PlannedSize> sizes;
    for (auto& [folder, size] : perFolder)
        sizes.push_back(std::move(size));
    return sizes;
}

bool DeviceDestinations::ConvertsSong(const CopyRow& row) const
{
    return row.converted && treatments_.NeedsFfmpeg(row.source, ProfileOf(row.folder));
}

bool DeviceDestinations::MakesPhoto(const CopyRow& row) const
{
    if (!row.converted)
        return false;
    const FileTreatments::Fit fit = treatments_.FitFor(row.source, ProfileOf(row.folder));
    return fit.photo && fit.treatment != Treatment::Copy;
}

// With a budget, a photo counts by its guessed size until it is made: one
// made larger takes the difference from what its destination folder has
// left beyond the plan, or is left out, and no other file takes its place.
CopyAhead::Preparation* DeviceDestinations::ReadyForCopy(const QList<CopyRow>& rows)
{
    if (!AnyConverts())
        return nullptr;
    copyRows_ = rows;
    guessed_.clear();
    roomLeft_.clear();
    if (!settings_.maxBytes && !settings_.fill)
        return this;
    for (int i = 0; i < rows.size(); ++i) {
        const CopyRow& row = rows[i];
        const std::optional<platform::FileFacts> facts = platform::FactsOf(ToFsPath(row.source));
        if (MakesPhoto(row) && facts)
            guessed_[i] = static_cast<std::int64_t>(treatments_.SizeIn(row.source, facts->size, ProfileOf(row.folder)));
    }
    for (const PlannedSize& size : PlannedSizes(rows)) {
        std::int64_t budget = static_cast<std::int64_t>(settings_.maxBytes.value_or(0));
        if (!settings_.maxBytes) {
            const std::optional<platform::VolumeFacts> volume = platform::VolumeOf(ToFsPath(size.folder));
            budget = volume ? static_cast<std::int64_t>(volume->freeBytes) - static_cast<std::int64_t>(FillBudget::kReserve)
                                + static_cast<std::int64_t>(size.bytes)
                            : 0;
        }
        roomLeft_[size.folder] = budget - static_cast<std::int64_t>(size.bytes);
    }
    return this;
}

CopyAhead::PreparedSource DeviceDestinations::Prepare(const QString& source, const QString& destination)
{
    const QString folder = FolderOf(destination);
    const FileTreatments::Prepared prepared = treatments_.Prepare(source, ProfileOf(folder));
    if (prepared.failure.isEmpty()) {
        const std::lock_guard lock(preparedMutex_);
        prepared_.insert(PreparedKey(source, WithClosingSeparator(folder)), prepared.path);
    }
    return {prepared.path, prepared.failure};
}

bool DeviceDestinations::Admit(int position, const QString& made)
{
    const auto guess = guessed_.find(position);
    if (guess == guessed_.end())
        return true;
    const std::int64_t size = QFileInfo(made).size();
    std::int64_t& room = roomLeft_[copyRows_[position].folder];
    if (size - guess->second > room) {
        RefillProblem leftOut {RefillProblem::Kind::PhotoLeftOut, copyRows_[position].Destination()};
        leftOut.count = static_cast<std::uint64_t>(size);
        report_.Tell(leftOut);
        return false;
    }
    room -= size - guess->second;
    return true;
}

QList<CopyRow> DeviceDestinations::AsCopied(QList<CopyRow> rows) const
{
    const std::lock_guard lock(preparedMutex_);
    for (CopyRow& row : rows) {
        if (row.converted)
            row.source = prepared_.value(PreparedKey(row.source, WithClosingSeparator(FolderOf(row.Destination()))), row.source);
    }
    return rows;
}

void DeviceDestinations::TrimCache()
{
    if (AnyConverts())
        treatments_.TrimCache();
}
