#include "device/Ffprobe.h"

#include "device/Ffmpeg.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A tag's value whatever the case of its key: APEv2 and Vorbis comments
// keep the case they were written in.
QString TagValue(const QJsonObject& tags, const QStringList& keys)
{
    for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
        if (keys.contains(tag.key(), Qt::CaseInsensitive))
            return tag.value().toString();
    }
    return {};
}

AudioTags TagsOf(const QJsonObject& tags)
{
    AudioTags read;
    read.title = TagValue(tags, {"title"});
    read.artist = TagValue(tags, {"artist"});
    read.album = TagValue(tags, {"album"});
    read.albumArtist = TagValue(tags, {"album_artist", "album artist", "albumartist"});
    read.genre = TagValue(tags, {"genre"});
    read.year = LeadingNumber(TagValue(tags, {"date", "year"}));
    read.track = LeadingNumber(TagValue(tags, {"track", "tracknumber"}));
    read.disc = LeadingNumber(TagValue(tags, {"disc", "discnumber"}));
    return read;
}

// ffprobe prints most numbers as text.
double Number(const QJsonValue& value)
{
    return value.isString() ? value.toString().toDouble() : value.toDouble();
}

} // namespace

AudioFacts AudioFactsOfProbe(const QByteArray& json)
{
    const QJsonObject probe = QJsonDocument::fromJson(json).object();
    const QJsonObject format = probe.value("format").toObject();
    AudioFacts facts;
    for (const QJsonValue& value : probe.value("streams").toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value("codec_type").toString();
        // Named as a song, garbage is taken for a stream of that format, of
        // no sample rate and no channels: no sound a player can read.
        if (type == u"audio" && !facts.IsAudio() && Number(stream.value("sample_rate")) > 0
            && stream.value("channels").toInt() > 0) {
            facts.codec = stream.value("codec_name").toString(QStringLiteral("unknown"));
            facts.container = format.value("format_name").toString().section(u',', 0, 0);
            facts.sampleRate = static_cast<int>(Number(stream.value("sample_rate")));
            facts.channels = stream.value("channels").toInt();
            const double bitRate = stream.contains("bit_rate") ? Number(stream.value("bit_rate")) : Number(format.value("bit_rate"));
            facts.bitRate = static_cast<int>(bitRate / 1000);
            const double seconds = stream.contains("duration") ? Number(stream.value("duration")) : Number(format.value("duration"));
            facts.lengthMs = static_cast<std::int64_t>(seconds * 1000);
        } else if (type == u"video" && stream.value("disposition").toObject().value("attached_pic").toInt() == 1
                   && !facts.cover) {
            PictureFacts cover;
            cover.width = stream.value("width").toInt();
            cover.height = stream.value("height").toInt();
            cover.jpeg = stream.value("codec_name").toString() == u"mjpeg";
            facts.cover = cover;
        }
    }
    if (facts.IsAudio())
        facts.tags = TagsOf(format.value("tags").toObject());
    else
        facts.cover.reset();
    return facts;
}

std::optional<AudioFacts> ProbeAudioFacts(const QString& ffprobe, const QString& path)
{
    const ToolRun run = RunTool(QStringLiteral("ffprobe"), ffprobe,
                                {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                 QStringLiteral("-print_format"), QStringLiteral("json"), QStringLiteral("-show_format"),
                                 QStringLiteral("-show_streams"), path},
                                ConversionTimeLimit(AudioFacts {}));
    if (!run.started)
        return std::nullopt;
    if (!run.failure.isEmpty())
        return AudioFacts {};
    return AudioFactsOfProbe(run.output);
}
