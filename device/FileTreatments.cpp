#include "device/FileTreatments.h"

#include "device/Ffmpeg.h"
#include "device/Ffprobe.h"
#include "device/Id3v1Tag.h"
#include "device/PhotoMaking.h"
#include "device/PhotoTreatment.h"
#include "device/SongTreatment.h"

#include <QFile>

#include <algorithm>
#include <thread>

namespace {

// Raised whenever the arguments given to ffmpeg change what it writes, so
// that no file converted the old way is taken from the cache. 2: what ffmpeg
// makes is checked for sound before it is kept, and the entries of earlier
// nights were not.
constexpr int kRecipeVersion = 2;
// The same for what the photo fitting writes.
constexpr int kPhotoRecipeVersion = 1;
// JPEGs of at most this many pixels may fit a frame as they are.
constexpr std::int64_t kCheckedWholePixels = 4'000'000;
// What a photo's new EXIF block may add to a JPEG kept as it is.
constexpr std::uint64_t kExifGrowth = 64 * 1024;

const QString kHoldsNoSound = QStringLiteral("it is named as a song but holds no sound that a player can read");

QString SuffixOf(const DeviceProfile& profile, bool photo)
{
    return photo ? QStringLiteral("jpg") : ConvertedSuffix(*profile.audio);
}

} // namespace

FileTreatments::FileTreatments(Options options)
    : options_(std::move(options)),
      cache_(options_.cacheFolder.isEmpty() ? ConversionCache::DefaultFolder() : options_.cacheFolder),
      cores_(std::max(1U, std::thread::hardware_concurrency()))
{
}

const QString& FileTreatments::Ffmpeg() const
{
    std::call_once(ffmpegFound_, [this] { ffmpeg_ = FindFfmpeg(options_.ffmpeg); });
    return ffmpeg_;
}

const QString& FileTreatments::Ffprobe() const
{
    std::call_once(ffprobeFound_, [this] { ffprobe_ = FindFfprobe(Ffmpeg()); });
    return ffprobe_;
}

void FileTreatments::ReadyFor(const DeviceProfile& profile)
{
    if (profile.photos)
        ReadyPhotoDecoders();
}

AudioFacts FileTreatments::AudioFactsOf(const QString& source)
{
    {
        const std::lock_guard lock(mutex_);
        if (const auto known = audio_.constFind(source); known != audio_.constEnd())
            return *known;
    }
    AudioFacts facts = ReadAudioFacts(source);
    if (!facts.IsAudio() && SaysAudio(source)) {
        facts = ProbedFactsOf(source);
        if (!facts.IsAudio() && NamedAsSong(source))
            facts.problem = kHoldsNoSound;
    }
    const std::lock_guard lock(mutex_);
    audio_.insert(source, facts);
    return facts;
}

// Without an ffprobe to ask, audio no reader here takes counts as one to
// convert, so that a run without ffmpeg says so.
AudioFacts FileTreatments::ProbedFactsOf(const QString& path)
{
    if (Ffprobe().isEmpty())
        return UnreadAudio();
    return ProbeAudioFacts(Ffprobe(), path).value_or(UnreadAudio());
}

PhotoFacts FileTreatments::PhotoFactsOf(const QString& source)
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

FileTreatments::Fit FileTreatments::FitFor(const QString& source, const DeviceProfile& profile)
{
    // A photo's header is read first: it is cheap, and no photo is audio.
    if (profile.photos) {
        const PhotoFacts photo = PhotoFactsOf(source);
        if (photo.IsPhoto())
            return {PhotoTreatmentOf(photo, *profile.photos), true};
    }
    if (profile.audio)
        return {SongTreatmentOf(AudioFactsOf(source), *profile.audio), false};
    return {};
}

bool FileTreatments::NeedsFfmpeg(const QString& source, const DeviceProfile& profile)
{
    const Fit fit = FitFor(source, profile);
    return !fit.photo && (fit.treatment == Treatment::Convert || fit.treatment == Treatment::RewriteTags);
}

QString FileTreatments::NameFor(const QString& source, const QString& name, const DeviceProfile& profile)
{
    const Fit fit = FitFor(source, profile);
    if (fit.treatment != Treatment::Convert)
        return name;
    return fit.photo ? FittedPhotoName(name) : ConvertedName(name, *profile.audio);
}

std::uint64_t FileTreatments::SizeIn(const QString& source, std::uint64_t size, const DeviceProfile& profile)
{
    const Fit fit = FitFor(source, profile);
    if (fit.treatment == Treatment::Copy)
        return size;
    if (fit.treatment == Treatment::Refuse)
        return 0;
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

QString FileTreatments::Recipe(const DeviceProfile& profile, Fit fit)
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

FileTreatments::Prepared FileTreatments::Made(const QString& key, const QString& suffix,
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

// ffmpeg may end well having written no sound at all (a track of next to
// no samples): what it made is read back before it is kept.
QString FileTreatments::MakeSong(const QString& source, const AudioRules& rules, Treatment treatment,
                                 const QString& target)
{
    const AudioFacts facts = AudioFactsOf(source);
    const QString failure = RunFfmpeg(Ffmpeg(), ConversionArguments(source, target, facts, rules, treatment), target,
                                      ConversionTimeLimit(facts));
    if (!failure.isEmpty())
        return failure;
    AudioFacts made = ReadAudioFacts(target);
    if (!made.IsAudio() && !Ffprobe().isEmpty())
        made = ProbeAudioFacts(Ffprobe(), target).value_or(AudioFacts {});
    if (!made.IsAudio() || made.lengthMs <= 0)
        return QStringLiteral("what ffmpeg made of it holds no sound");
    if (ConvertedSuffix(rules) == u"mp3" && rules.tags == TagVersion::Id3v23AndV1 && !WriteLatin1Id3v1(target, facts.tags))
        return QStringLiteral("its ID3v1 tag could not be written");
    return {};
}

FileTreatments::Prepared FileTreatments::Prepare(const QString& source, const DeviceProfile& profile)
{
    const Fit fit = FitFor(source, profile);
    if (fit.treatment == Treatment::Copy)
        return {source, {}};
    if (fit.treatment == Treatment::Refuse)
        return {{}, AudioFactsOf(source).problem};
    if (!fit.photo && Ffmpeg().isEmpty())
        return {{}, FfmpegMissingText()};
    const QString key = ConversionCache::KeyOf(source, Recipe(profile, fit));
    const QString suffix = SuffixOf(profile, fit.photo);
    if (fit.photo) {
        const PhotoFacts facts = PhotoFactsOf(source);
        return Made(key, suffix, [&](const QString& temporary) {
            return MakePhoto(source, facts, *profile.photos, fit.treatment, temporary);
        });
    }
    return Made(key, suffix, [&](const QString& temporary) {
        return MakeSong(source, *profile.audio, fit.treatment, temporary);
    });
}

int FileTreatments::TrimCache()
{
    cache_.SweepTemporaries();
    return cache_.Trim(options_.cacheCap);
}
