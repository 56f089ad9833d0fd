#include "device/DeviceFiles.h"

#include "core/PathHelpers.h"
#include "device/Ffmpeg.h"
#include "device/FitPhoto.h"
#include "device/PhotoTreatment.h"
#include "device/Id3v1Tag.h"

#include <QFileInfo>

#include <algorithm>
#include <thread>

namespace {

// Raised whenever the arguments given to ffmpeg change what it writes, so
// that no file converted the old way is taken from the cache.
constexpr int kRecipeVersion = 1;
// The same for what the photo fitting writes.
constexpr int kPhotoRecipeVersion = 1;
// JPEGs of at most this many pixels may fit a frame as they are.
constexpr std::int64_t kCheckedWholePixels = 4'000'000;
// What a photo's new EXIF block may add to a JPEG kept as it is.
constexpr std::uint64_t kExifGrowth = 64 * 1024;

const DeviceProfile& AsIs()
{
    return BuiltInProfiles().front();
}

QString SuffixOf(const DeviceProfile& profile, bool photo)
{
    return photo ? QStringLiteral("jpg") : ConvertedSuffix(*profile.audio);
}

QString PreparedKey(const QString& source, const QString& folder) { return source + QLatin1Char('\n') + folder; }

} // namespace

DeviceFiles::DeviceFiles(Options options)
    : options_(std::move(options)),
      cache_(options_.cacheFolder.isEmpty() ? ConversionCache::DefaultFolder() : options_.cacheFolder),
      cores_(std::max(1U, std::thread::hardware_concurrency()))
{
}

const QString& DeviceFiles::Ffmpeg() const
{
    std::call_once(ffmpegFound_, [this] { ffmpeg_ = FindFfmpeg(options_.ffmpeg); });
    return ffmpeg_;
}

void DeviceFiles::SetProfile(const QString& destinationFolder, const DeviceProfile& profile)
{
    const QString folder = WithClosingSeparator(destinationFolder);
    const auto same = std::find_if(profiles_.begin(), profiles_.end(), [&](const auto& kept) { return kept.first == folder; });
    if (same != profiles_.end())
        same->second = profile;
    else
        profiles_.emplace_back(folder, profile);
    if (profile.photos)
        ReadyPhotoDecoders();
}

const DeviceProfile& DeviceFiles::ProfileOf(const QString& folder) const
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

bool DeviceFiles::AnyConverts() const
{
    return std::any_of(profiles_.begin(), profiles_.end(), [](const auto& kept) { return !kept.second.IsAsIs(); });
}

AudioFacts DeviceFiles::AudioFactsOf(const QString& source)
{
    {
        const std::lock_guard lock(mutex_);
        if (const auto known = audio_.constFind(source); known != audio_.constEnd())
            return *known;
    }
    AudioFacts facts = ReadAudioFacts(source);
    const std::lock_guard lock(mutex_);
    audio_.insert(source, facts);
    return facts;
}

PhotoFacts DeviceFiles::PhotoFactsOf(const QString& source)
{
    {
        const std::lock_guard lock(mutex_);
        if (const auto known = photos_.constFind(source); known != photos_.constEnd())
            return *known;
    }
    PhotoFacts facts = ReadPhotoFacts(source);
    // A JPEG small enough to be copied as it is is checked whole here:
    // libjpeg shows one cut short without an error. A larger one is checked
    // as it is made anew.
    if (facts.format == u"jpeg" && std::int64_t {facts.width} * facts.height <= kCheckedWholePixels && !JpegHasEnd(source))
        facts.problem = kJpegCutShort;
    const std::lock_guard lock(mutex_);
    photos_.insert(source, facts);
    return facts;
}

DeviceFiles::Fit DeviceFiles::FitFor(const QString& source, const DeviceProfile& profile)
{
    // A photo's header is read first: it is cheap, and no photo is audio.
    if (profile.photos) {
        const PhotoFacts photo = PhotoFactsOf(source);
        if (photo.IsPhoto())
            return {PhotoTreatmentOf(photo, *profile.photos), true};
    }
    if (profile.audio)
        return {TreatmentOf(AudioFactsOf(source), *profile.audio), false};
    return {};
}

Treatment DeviceFiles::TreatmentFor(const QString& source, const QString& folder)
{
    return FitFor(source, ProfileOf(folder)).treatment;
}

bool DeviceFiles::NeedsFfmpeg(const QString& source, const QString& folder)
{
    const Fit fit = FitFor(source, ProfileOf(folder));
    return !fit.photo && fit.treatment != Treatment::Copy;
}

QString DeviceFiles::NameFor(const QString& source, const QString& name, const QString& folder)
{
    const DeviceProfile& profile = ProfileOf(folder);
    const Fit fit = FitFor(source, profile);
    if (fit.treatment != Treatment::Convert)
        return name;
    return fit.photo ? FittedPhotoName(name) : ConvertedName(name, *profile.audio);
}

std::uint64_t DeviceFiles::SizeIn(const QString& source, std::uint64_t size, const QString& folder)
{
    const DeviceProfile& profile = ProfileOf(folder);
    const Fit fit = FitFor(source, profile);
    if (fit.treatment == Treatment::Copy)
        return size;
    // Made on an earlier night, its real size is known.
    if (fit.photo || !Ffmpeg().isEmpty()) {
        const QString key = ConversionCache::KeyOf(source, Recipe(profile, fit));
        if (const std::optional<std::uint64_t> made = cache_.SizeOf(key, SuffixOf(profile, fit.photo)))
            return *made;
    }
    if (!fit.photo)
        return TreatedSizeBound(AudioFactsOf(source), *profile.audio, fit.treatment, size);
    return fit.treatment == Treatment::Convert ? EstimatedPhotoBytes(PhotoFactsOf(source), *profile.photos)
                                               : size + kExifGrowth;
}

std::uint64_t DeviceFiles::SizeOnDevices(const QString& source, std::uint64_t size)
{
    if (profiles_.empty())
        return size;
    std::uint64_t largest = 0;
    for (const auto& destination : profiles_)
        largest = std::max(largest, SizeIn(source, size, destination.first));
    return largest;
}

QString DeviceFiles::Recipe(const DeviceProfile& profile, Fit fit)
{
    const int treatment = static_cast<int>(fit.treatment);
    if (fit.photo)
        return QStringLiteral("photo\n%1\n%2\n%3").arg(kPhotoRecipeVersion).arg(treatment).arg(PhotoFields(*profile.photos));
    {
        const std::lock_guard lock(mutex_);
        if (ffmpegVersion_.isEmpty())
            ffmpegVersion_ = FfmpegVersionLine(Ffmpeg());
    }
    return QStringLiteral("%1\n%2\n%3\n%4").arg(kRecipeVersion).arg(treatment).arg(ConversionFields(*profile.audio), ffmpegVersion_);
}

DeviceFiles::Prepared DeviceFiles::Made(const QString& key, const QString& suffix,
                                        const std::function<QString(const QString&)>& make)
{
    if (key.isEmpty())
        return {{}, QStringLiteral("the file cannot be read")};
    if (std::optional<QString> found = cache_.Find(key, suffix))
        return {*found, {}};
    const QString temporary = cache_.NewTemporary();
    cores_.acquire();
    const QString failure = make(temporary);
    cores_.release();
    if (!failure.isEmpty()) {
        QFile::remove(temporary);
        return {{}, failure};
    }
    ++conversions_;
    const std::optional<QString> stored = cache_.Store(key, suffix, temporary);
    if (!stored)
        return {{}, QStringLiteral("the file made could not be kept in %1").arg(cache_.Folder())};
    return {*stored, {}};
}

DeviceFiles::Prepared DeviceFiles::Prepare(const QString& source, const QString& folder)
{
    const DeviceProfile& profile = ProfileOf(folder);
    const Fit fit = FitFor(source, profile);
    if (fit.treatment == Treatment::Copy)
        return {source, {}};
    if (!fit.photo && Ffmpeg().isEmpty())
        return {{}, FfmpegMissingText()};
    const QString key = ConversionCache::KeyOf(source, Recipe(profile, fit));
    const QString suffix = SuffixOf(profile, fit.photo);
    Prepared made;
    if (fit.photo) {
        const PhotoFacts facts = PhotoFactsOf(source);
        made = Made(key, suffix, [&](const QString& temporary) {
            return FitPhoto(source, facts, *profile.photos, fit.treatment, temporary);
        });
    } else {
        const AudioFacts facts = AudioFactsOf(source);
        const AudioRules& rules = *profile.audio;
        made = Made(key, suffix, [&](const QString& temporary) {
            const QString failure = RunFfmpeg(Ffmpeg(), ConversionArguments(source, temporary, facts, rules, fit.treatment),
                                              temporary, ConversionTimeLimit(facts));
            if (failure.isEmpty() && suffix == u"mp3" && rules.tags == TagVersion::Id3v23AndV1
                && !WriteLatin1Id3v1(temporary, facts.tags))
                return QStringLiteral("its ID3v1 tag could not be written");
            return failure;
        });
    }
    if (made.failure.isEmpty()) {
        const std::lock_guard lock(mutex_);
        prepared_.insert(PreparedKey(source, WithClosingSeparator(folder)), made.path);
    }
    return made;
}

QString DeviceFiles::PreparedPath(const QString& source, const QString& folder) const
{
    const std::lock_guard lock(mutex_);
    return prepared_.value(PreparedKey(source, WithClosingSeparator(folder)), source);
}

int DeviceFiles::TrimCache()
{
    if (!AnyConverts())
        return 0;
    cache_.SweepTemporaries();
    return cache_.Trim(options_.cacheCap);
}
