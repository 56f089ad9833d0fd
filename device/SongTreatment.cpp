#include "device/SongTreatment.h"

#include <algorithm>

namespace {

// Room for the tags and for a cover whose size is not known before it is
// made: an uncompressed picture of the largest side allowed is more than
// any JPEG of it takes.
constexpr std::uint64_t kTagRoom = 64 * 1024;

bool SampleRateFits(int rate, const AudioRules& rules)
{
    return (rules.minSampleRate == 0 || rate >= rules.minSampleRate)
        && (rules.maxSampleRate == 0 || rate <= rules.maxSampleRate);
}

// AAC plays as AAC-LC in an MP4 file; HE-AAC, or AAC in ADTS, may not.
bool CodecPlays(const AudioFacts& facts, const AudioRules& rules)
{
    if (!rules.plays.contains(facts.codec))
        return false;
    if (facts.codec == QLatin1String("aac"))
        return facts.container == QLatin1String("mp4") && facts.aacLowComplexity;
    return true;
}

// An MP3's ID3v2 tag of the version the device reads; a reader of v2.4
// reads v2.3 too, but v2.2's three-letter frames neither. An MP3 tagged
// only in APEv2 shows nothing, and gets its tags written as ID3v2.
bool TagsFit(const AudioFacts& facts, const AudioRules& rules)
{
    if (facts.container != QLatin1String("mp3"))
        return true; // MP4 and the rest keep tags of their own kind
    if (facts.id3v2Version == 0)
        return !facts.apeTag;
    return rules.tags == TagVersion::Id3v24 ? facts.id3v2Version >= 3 : facts.id3v2Version == 3;
}

bool CoverFits(const AudioFacts& facts, const AudioRules& rules)
{
    if (!facts.cover || !rules.art)
        return true;
    if (*rules.art == 0)
        return false;
    return facts.cover->jpeg && facts.cover->baseline && std::max(facts.cover->width, facts.cover->height) <= *rules.art;
}

} // namespace

Treatment SongTreatmentOf(const AudioFacts& facts, const AudioRules& rules)
{
    if (!facts.problem.isEmpty())
        return Treatment::Refuse;
    if (!facts.IsAudio())
        return Treatment::Copy;
    const bool plays = CodecPlays(facts, rules) && SampleRateFits(facts.sampleRate, rules)
        && (rules.maxBitRate == 0 || facts.bitRate <= rules.maxBitRate);
    if (!plays)
        return Treatment::Convert;
    if (TagsFit(facts, rules) && CoverFits(facts, rules))
        return Treatment::Copy;
    // Only an MP3's tags are rewritten apart from its audio.
    return facts.container == QLatin1String("mp3") ? Treatment::RewriteTags : Treatment::Convert;
}

QString ConvertedSuffix(const AudioRules& rules)
{
    return rules.convertTo == QLatin1String("aac") ? QStringLiteral("m4a") : QStringLiteral("mp3");
}

QString ConvertedName(const QString& name, const AudioRules& rules)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    return stem + QLatin1Char('.') + ConvertedSuffix(rules);
}

std::uint64_t TreatedSizeBound(const AudioFacts& facts, const AudioRules& rules, Treatment treatment,
                               std::uint64_t sourceSize)
{
    if (treatment == Treatment::Copy)
        return sourceSize;
    if (treatment == Treatment::Refuse)
        return 0;
    const std::uint64_t side = static_cast<std::uint64_t>(rules.art.value_or(0));
    std::uint64_t cover = 0;
    if (facts.cover)
        cover = rules.art ? side * side * 3 : facts.cover->bytes;
    if (treatment == Treatment::RewriteTags)
        return sourceSize + kTagRoom + cover;
    // A constant bit rate, with a frame's slack each second and the encoder's
    // delay at either end.
    const std::uint64_t seconds = static_cast<std::uint64_t>(facts.lengthMs) / 1000 + 2;
    const std::uint64_t audio = static_cast<std::uint64_t>(rules.bitRate) * 1000 / 8 * seconds;
    return audio + audio / 50 + kTagRoom + cover;
}

QString ConversionText(const AudioRules& rules)
{
    return QStringLiteral("%1 at %2 kbit/s")
        .arg(rules.convertTo == QLatin1String("aac") ? QStringLiteral("AAC") : QStringLiteral("MP3"))
        .arg(rules.bitRate);
}
