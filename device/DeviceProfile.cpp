#include "device/DeviceProfile.h"

#include <algorithm>
#include <vector>

namespace {

const QString kBuiltIn = QStringLiteral("built in");

// No frame is smaller, and a larger side is no screen's.
constexpr int kSmallestScreenSide = 16;
constexpr int kLargestScreenSide = 16384;

// What a conversion writes when the device takes it: CD's rate, which
// every encoder and every unit knows.
constexpr int kPreferredRate = 44100;

DeviceProfile AsIs() { return {QString::fromLatin1(kAsIsProfile), kBuiltIn, std::nullopt, {}, std::nullopt}; }

DeviceProfile CarMp3()
{
    AudioRules rules;
    rules.plays = QStringList {QStringLiteral("mp3")};
    rules.minSampleRate = 32000;
    rules.maxSampleRate = 48000;
    rules.maxBitRate = 320;
    rules.convertTo = QStringLiteral("mp3");
    rules.bitRate = 192;
    rules.tags = TagVersion::Id3v23AndV1;
    rules.art = 300;
    DeviceLimits limits;
    limits.nameLength = 64;
    limits.files = 3000;
    limits.folders = 999;
    limits.filesPerFolder = 255;
    limits.depth = 8;
    return {QStringLiteral("car-mp3"), kBuiltIn, rules, limits, std::nullopt};
}

DeviceProfile PlayerMp3Aac()
{
    AudioRules rules;
    rules.plays = QStringList {QStringLiteral("mp3"), QStringLiteral("aac")};
    rules.maxSampleRate = 48000;
    rules.convertTo = QStringLiteral("mp3");
    rules.bitRate = 256;
    rules.tags = TagVersion::Id3v23;
    rules.art = 500;
    return {QStringLiteral("player-mp3-aac"), kBuiltIn, rules, {}, std::nullopt};
}

// One side of a screen: digits only, within the bounds.
std::optional<int> ScreenSide(const QString& digits)
{
    if (digits.isEmpty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const int side = digits.toInt();
    if (side < kSmallestScreenSide || side > kLargestScreenSide)
        return std::nullopt;
    return side;
}

// A frame of that screen showing JPEG, fitting the rest inside it.
DeviceProfile Frame(int width, int height)
{
    PhotoRules photos;
    photos.width = width;
    photos.height = height;
    return {QStringLiteral("frame-%1x%2").arg(width).arg(height), kBuiltIn, std::nullopt, {}, photos};
}

// The rates ffmpeg's encoders write, lowest first: any other fails the
// conversion.
const std::vector<int>& EncoderRates(const QString& convertTo)
{
    static const std::vector<int> mp3 = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    static const std::vector<int> aac
        = {7350, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000};
    return convertTo == QLatin1String("aac") ? aac : mp3;
}

bool RateWithin(int rate, const AudioRules& rules)
{
    return rate >= rules.minSampleRate && (rules.maxSampleRate == 0 || rate <= rules.maxSampleRate);
}

QString TagsName(TagVersion tags)
{
    switch (tags) {
    case TagVersion::Id3v23:
        return QStringLiteral("id3v2.3");
    case TagVersion::Id3v23AndV1:
        return QStringLiteral("id3v2.3+id3v1");
    case TagVersion::Id3v24:
        return QStringLiteral("id3v2.4");
    }
    return {};
}

QString TagsText(TagVersion tags)
{
    switch (tags) {
    case TagVersion::Id3v23:
        return QStringLiteral("ID3v2.3 tags");
    case TagVersion::Id3v23AndV1:
        return QStringLiteral("ID3v2.3 and ID3v1 tags");
    case TagVersion::Id3v24:
        return QStringLiteral("ID3v2.4 tags");
    }
    return {};
}

// "mp3, flac and aac" -> "MP3, FLAC and AAC".
QString CodecsText(const QStringList& codecs)
{
    QStringList names;
    for (const QString& codec : codecs)
        names.append(codec.toUpper());
    const QString last = names.isEmpty() ? QString() : names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// 44100 -> "44.1", 48000 -> "48".
QString Kilo(int hertz) { return QString::number(hertz / 1000.0); }

// What a device takes: "MP3 up to 48 kHz and 320 kbit/s",
// "MP3 at 32 to 48 kHz and up to 320 kbit/s".
QString PlaysText(const AudioRules& rules)
{
    QString rates;
    if (rules.minSampleRate > 0 && rules.maxSampleRate > 0)
        rates = QStringLiteral(" at %1 to %2 kHz").arg(Kilo(rules.minSampleRate), Kilo(rules.maxSampleRate));
    else if (rules.minSampleRate > 0)
        rates = QStringLiteral(" at %1 kHz or more").arg(Kilo(rules.minSampleRate));
    else if (rules.maxSampleRate > 0)
        rates = QStringLiteral(" up to %1 kHz").arg(Kilo(rules.maxSampleRate));
    QString bitRate;
    if (rules.maxBitRate > 0) {
        // "up to" is said once where both bounds are upper ones.
        const bool saidUpTo = rules.minSampleRate == 0 && rules.maxSampleRate > 0;
        bitRate = QStringLiteral("%1%2%3 kbit/s")
                      .arg(rates.isEmpty() ? QString() : QStringLiteral(" and"),
                           saidUpTo ? QStringLiteral(" ") : QStringLiteral(" up to "))
                      .arg(rules.maxBitRate);
    }
    return QStringLiteral("plays ") + CodecsText(rules.plays) + rates + bitRate;
}

QString ArtText(const std::optional<int>& art)
{
    if (!art)
        return QStringLiteral("covers kept as they are");
    if (*art == 0)
        return QStringLiteral("no covers");
    return QStringLiteral("covers at most %1 px").arg(*art);
}

QString LimitsText(const DeviceLimits& limits)
{
    QStringList said;
    if (limits.files)
        said << QStringLiteral("at most %1 files").arg(*limits.files);
    if (limits.folders)
        said << QStringLiteral("%1 folders").arg(*limits.folders);
    if (limits.filesPerFolder)
        said << QStringLiteral("%1 files a folder").arg(*limits.filesPerFolder);
    if (limits.depth)
        said << QStringLiteral("%1 levels of folders").arg(*limits.depth);
    if (limits.nameLength)
        said << QStringLiteral("names of at most %1 characters").arg(*limits.nameLength);
    return said.join(QStringLiteral(", "));
}

} // namespace

const std::vector<DeviceProfile>& BuiltInProfiles()
{
    static const std::vector<DeviceProfile> profiles
        = {AsIs(), CarMp3(), PlayerMp3Aac(), Frame(800, 480), Frame(1024, 600), Frame(1280, 800), Frame(1920, 1080)};
    return profiles;
}

QString ProfileSummary(const DeviceProfile& profile)
{
    const QString limits = LimitsText(profile.limits);
    if (profile.IsAsIs())
        return limits.isEmpty() ? QStringLiteral("copies every file as it is")
                                : QStringLiteral("copies every file as it is, %1").arg(limits);
    QStringList said;
    if (profile.audio) {
        const AudioRules& rules = *profile.audio;
        said << QStringLiteral("%1; converts the rest to %2 at %3 kbit/s, %4, %5")
                    .arg(PlaysText(rules), rules.convertTo.toUpper())
                    .arg(rules.bitRate)
                    .arg(TagsText(rules.tags), ArtText(rules.art));
    }
    if (profile.photos)
        said << PhotosText(*profile.photos);
    if (!limits.isEmpty())
        said << limits;
    return said.join(QStringLiteral("; "));
}

QString PhotosText(const PhotoRules& rules)
{
    QStringList formats;
    for (const QString& format : rules.plays)
        formats.append(format.toUpper());
    return QStringLiteral("shows %1; makes the rest upright JPEGs at quality %2 %3 %4x%5, date %6, location %7")
        .arg(formats.join(QStringLiteral(", ")))
        .arg(rules.quality)
        .arg(rules.fit == PhotoFit::Fill ? QStringLiteral("cropped to fill") : QStringLiteral("fitted inside"))
        .arg(rules.width)
        .arg(rules.height)
        .arg(rules.keepDate ? QStringLiteral("kept") : QStringLiteral("left out"),
             rules.keepLocation ? QStringLiteral("kept") : QStringLiteral("left out"));
}

QString PhotoFields(const PhotoRules& rules)
{
    return QStringLiteral("Frame=%1x%2;Fit=%3;Quality=%4;Plays=%5;KeepDate=%6;KeepLocation=%7")
        .arg(rules.width)
        .arg(rules.height)
        .arg(rules.fit == PhotoFit::Fill ? QStringLiteral("fill") : QStringLiteral("inside"))
        .arg(rules.quality)
        .arg(rules.plays.join(u','))
        .arg(rules.keepDate)
        .arg(rules.keepLocation);
}

DeviceProfile WithFrame(DeviceProfile profile, int width, int height)
{
    PhotoRules photos = profile.photos.value_or(PhotoRules {});
    photos.width = width;
    photos.height = height;
    profile.photos = photos;
    return profile;
}

std::optional<std::pair<int, int>> FrameSizeOf(const QString& text)
{
    const QStringList sides = text.trimmed().toLower().split(u'x');
    if (sides.size() != 2)
        return std::nullopt;
    const std::optional<int> width = ScreenSide(sides[0]);
    const std::optional<int> height = ScreenSide(sides[1]);
    if (!width || !height)
        return std::nullopt;
    return std::pair {*width, *height};
}

QString ConversionFields(const AudioRules& rules)
{
    // Written out by name so that a field added later changes every key
    // rather than making two recipes read alike.
    return QStringLiteral("ConvertTo=%1;BitRate=%2;SampleRate=%3;Tags=%4;Art=%5")
        .arg(rules.convertTo)
        .arg(rules.bitRate)
        .arg(ConvertedSampleRate(rules))
        .arg(TagsName(rules.tags), rules.art ? QString::number(*rules.art) : QStringLiteral("kept"));
}

int ConvertedSampleRate(const AudioRules& rules)
{
    const bool below = rules.maxSampleRate > 0 && rules.maxSampleRate < kPreferredRate;
    const bool above = rules.minSampleRate > kPreferredRate;
    if (!below && !above)
        return kPreferredRate;
    // The rate an encoder writes nearest to 44.1 kHz within the device's
    // bounds: a bound such as 40000 is no rate ffmpeg can write.
    const std::vector<int>& rates = EncoderRates(rules.convertTo);
    if (below) {
        const auto found
            = std::find_if(rates.rbegin(), rates.rend(), [&](int rate) { return RateWithin(rate, rules); });
        if (found != rates.rend())
            return *found;
    } else {
        const auto found = std::find_if(rates.begin(), rates.end(), [&](int rate) { return RateWithin(rate, rules); });
        if (found != rates.end())
            return *found;
    }
    // None fits: ProfileFile refuses such bounds.
    return kPreferredRate;
}
