#include "device/DeviceFiles.h"

#include "core/PathHelpers.h"
#include "device/Ffmpeg.h"
#include "device/Id3v1Tag.h"

#include <QFileInfo>

#include <algorithm>
#include <thread>

namespace {

// Raised whenever the arguments given to ffmpeg change what it writes, so
// that no file converted the old way is taken from the cache.
constexpr int kRecipeVersion = 1;

const DeviceProfile& AsIs()
{
    return BuiltInProfiles().front();
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

AudioFacts DeviceFiles::FactsOf(const QString& source)
{
    {
        const std::lock_guard lock(mutex_);
        if (const auto known = facts_.constFind(source); known != facts_.constEnd())
            return *known;
    }
    AudioFacts facts = ReadAudioFacts(source);
    const std::lock_guard lock(mutex_);
    facts_.insert(source, facts);
    return facts;
}

Treatment DeviceFiles::TreatmentFor(const QString& source, const QString& folder)
{
    const DeviceProfile& profile = ProfileOf(folder);
    if (profile.IsAsIs())
        return Treatment::Copy;
    return TreatmentOf(FactsOf(source), *profile.audio);
}

QString DeviceFiles::NameFor(const QString& source, const QString& name, const QString& folder)
{
    if (TreatmentFor(source, folder) != Treatment::Convert)
        return name;
    return ConvertedName(name, *ProfileOf(folder).audio);
}

std::uint64_t DeviceFiles::SizeIn(const QString& source, std::uint64_t size, const QString& folder)
{
    const Treatment treatment = TreatmentFor(source, folder);
    if (treatment == Treatment::Copy)
        return size;
    const AudioRules& rules = *ProfileOf(folder).audio;
    // Converted on an earlier night, its real size is known.
    if (!Ffmpeg().isEmpty()) {
        const QString key = ConversionCache::KeyOf(source, Recipe(rules, treatment));
        if (const std::optional<std::uint64_t> converted = cache_.SizeOf(key, ConvertedSuffix(rules)))
            return *converted;
    }
    return TreatedSizeBound(FactsOf(source), rules, treatment, size);
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

QString DeviceFiles::Recipe(const AudioRules& rules, Treatment treatment)
{
    {
        const std::lock_guard lock(mutex_);
        if (ffmpegVersion_.isEmpty())
            ffmpegVersion_ = FfmpegVersionLine(Ffmpeg());
    }
    return QStringLiteral("%1\n%2\n%3\n%4").arg(kRecipeVersion).arg(static_cast<int>(treatment)).arg(ConversionFields(rules), ffmpegVersion_);
}

DeviceFiles::Prepared DeviceFiles::Prepare(const QString& source, const QString& folder)
{
    const DeviceProfile& profile = ProfileOf(folder);
    const AudioFacts facts = FactsOf(source);
    const Treatment treatment = profile.IsAsIs() ? Treatment::Copy : TreatmentOf(facts, *profile.audio);
    if (treatment == Treatment::Copy)
        return {source, {}};
    if (Ffmpeg().isEmpty())
        return {{}, FfmpegMissingText()};
    const AudioRules& rules = *profile.audio;
    const QString suffix = ConvertedSuffix(rules);
    const QString key = ConversionCache::KeyOf(source, Recipe(rules, treatment));
    if (key.isEmpty())
        return {{}, QStringLiteral("the file cannot be read")};
    std::optional<QString> converted = cache_.Find(key, suffix);
    if (!converted) {
        const QString temporary = cache_.NewTemporary();
        cores_.acquire();
        const QString failure = RunFfmpeg(Ffmpeg(), ConversionArguments(source, temporary, facts, rules, treatment),
                                          temporary, ConversionTimeLimit(facts));
        cores_.release();
        if (!failure.isEmpty())
            return {{}, failure};
        ++conversions_;
        if (suffix == QLatin1String("mp3") && rules.tags == TagVersion::Id3v23AndV1
            && !WriteLatin1Id3v1(temporary, facts.tags)) {
            QFile::remove(temporary);
            return {{}, QStringLiteral("its ID3v1 tag could not be written")};
        }
        converted = cache_.Store(key, suffix, temporary);
        if (!converted)
            return {{}, QStringLiteral("the converted file could not be kept in %1").arg(cache_.Folder())};
    }
    const std::lock_guard lock(mutex_);
    prepared_.insert(PreparedKey(source, WithClosingSeparator(folder)), *converted);
    return {*converted, {}};
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
