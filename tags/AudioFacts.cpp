#include "tags/AudioFacts.h"

#include "tags/ByteReader.h"
#include "tags/PhotoFacts.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#ifdef QUORVEX_HAVE_TAGLIB
#include "tags/TagLibName.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#endif

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <vector>

namespace {

// An ISO base media box: its four-character type, where its contents begin
// and where it ends, as offsets in the file or the bytes it was found in.
struct Box {
    QByteArray type;
    qint64 body = 0;
    qint64 end = 0;
};

// The box whose header is at the start of header (which holds up to 16
// bytes), when it fits in room bytes. A size of 1 is followed by a 64-bit
// size; 0 runs to the end of what holds it.
std::optional<Box> BoxOf(QByteArrayView header, qint64 at, qint64 room)
{
    ByteReader reader(header);
    std::uint64_t size = reader.Number(4);
    Box box;
    box.type = reader.Take(4).toByteArray();
    box.body = at + 8;
    if (size == 1) {
        size = reader.Number(8);
        box.body = at + 16;
    } else if (size == 0) {
        size = static_cast<std::uint64_t>(room);
    }
    if (!reader.Ok() || room < 0 || size < static_cast<std::uint64_t>(box.body - at)
        || size > static_cast<std::uint64_t>(room))
        return {};
    box.end = at + static_cast<qint64>(size);
    return box;
}

// The first box of type among the boxes from at to end of file.
std::optional<Box> FileChild(QFile& file, qint64 at, qint64 end, QByteArrayView type)
{
    while (at < end) {
        if (!file.seek(at))
            return {};
        const std::optional<Box> box = BoxOf(file.read(std::min<qint64>(16, end - at)), at, end - at);
        if (!box)
            return {};
        if (box->type == type)
            return box;
        at = box->end;
    }
    return {};
}

// The box at at in bytes.
std::optional<Box> BytesBoxAt(QByteArrayView bytes, qint64 at)
{
    if (at < 0 || at >= bytes.size())
        return {};
    const qint64 room = bytes.size() - at;
    return BoxOf(bytes.sliced(at, std::min<qint64>(16, room)), at, room);
}

// The first box of type among the boxes from at to the end of bytes.
std::optional<Box> BytesChild(QByteArrayView bytes, qint64 at, QByteArrayView type)
{
    while (at < bytes.size()) {
        const std::optional<Box> box = BytesBoxAt(bytes, at);
        if (!box)
            return {};
        if (box->type == type)
            return box;
        at = box->end;
    }
    return {};
}

// A descriptor's body in an esds box, when the next one carries tag. Its
// size comes in 7-bit groups, at most four.
std::optional<QByteArrayView> Descriptor(ByteReader& reader, std::uint64_t tag)
{
    if (reader.Number(1) != tag)
        return {};
    std::uint64_t size = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t part = reader.Number(1);
        size = size << 7 | (part & 0x7F);
        if ((part & 0x80) == 0)
            break;
    }
    const QByteArrayView body = reader.Take(size);
    return reader.Ok() ? std::optional(body) : std::nullopt;
}

// The object type of an AudioSpecificConfig: five bits, where 31 says six
// more follow.
std::optional<int> ObjectTypeOfConfig(QByteArrayView config)
{
    ByteReader reader(config);
    const std::uint64_t first = reader.Number(1);
    if (!reader.Ok())
        return {};
    if (first >> 3 != 31)
        return static_cast<int>(first >> 3);
    const std::uint64_t second = reader.Number(1);
    if (!reader.Ok())
        return {};
    return 32 + static_cast<int>((first & 0x07) << 3 | second >> 5);
}

// The DecoderConfigDescriptor of the ES_Descriptor an esds box holds.
std::optional<QByteArrayView> DecoderConfigOf(QByteArrayView esds)
{
    ByteReader box(esds);
    box.Skip(4); // version and flags
    const std::optional<QByteArrayView> stream = Descriptor(box, 0x03);
    if (!stream)
        return {};
    ByteReader reader(*stream);
    reader.Skip(2); // ES_ID
    const std::uint64_t flags = reader.Number(1);
    if (flags & 0x80) // a stream it depends on
        reader.Skip(2);
    if (flags & 0x40) // a URL
        reader.Skip(reader.Number(1));
    if (flags & 0x20) // an OCR stream
        reader.Skip(2);
    return Descriptor(reader, 0x04);
}

// The object type of AAC, from the DecoderSpecificInfo a
// DecoderConfigDescriptor holds.
std::optional<int> ObjectTypeOfDecoderConfig(QByteArrayView decoderConfig)
{
    ByteReader reader(decoderConfig);
    const std::uint64_t objectTypeIndication = reader.Number(1);
    // MPEG-4 audio, or MPEG-2 AAC Main, LC or SSR; the rest (MP3, ...) hold no AAC.
    if (objectTypeIndication != 0x40 && (objectTypeIndication < 0x66 || objectTypeIndication > 0x68))
        return {};
    reader.Skip(12); // stream type, buffer size, bit rates
    if (const std::optional<QByteArrayView> specific = Descriptor(reader, 0x05))
        return ObjectTypeOfConfig(*specific);
    // MPEG-2 AAC may go without one: its indication names the profile.
    if (objectTypeIndication != 0x40)
        return static_cast<int>(objectTypeIndication - 0x65);
    return {};
}

// The esds box of an mp4a sample entry (given its contents), directly in it
// or, as QuickTime writes it, inside a wave box.
std::optional<QByteArrayView> EsdsOfSampleEntry(QByteArrayView entry)
{
    ByteReader reader(entry);
    reader.Skip(6 + 2); // reserved, the data reference
    const std::uint64_t version = reader.Number(2);
    reader.Skip(6 + 12); // revision, vendor, channels to the sample rate
    reader.Skip(version == 1 ? 16 : version == 2 ? 36 : 0);
    if (!reader.Ok())
        return {};
    const qint64 children = entry.size() - reader.Left();
    std::optional<Box> esds = BytesChild(entry, children, "esds");
    if (!esds) {
        const std::optional<Box> wave = BytesChild(entry, children, "wave");
        if (wave)
            esds = BytesChild(entry.first(wave->end), wave->body, "esds");
    }
    if (!esds)
        return {};
    return entry.sliced(esds->body, esds->end - esds->body);
}

// The first sample entry of a sample description box's contents.
std::optional<Box> FirstSampleEntry(QByteArrayView descriptions)
{
    ByteReader reader(descriptions);
    reader.Skip(4); // version and flags
    const std::uint64_t count = reader.Number(4);
    if (!reader.Ok() || count == 0)
        return {};
    return BytesBoxAt(descriptions, 8);
}

// A sample description box holds a few entries of a few dozen bytes; more
// than this is no file that plays.
constexpr qint64 kMostSampleDescriptions = 1 << 20;

// The contents of a track's sample description box.
QByteArray SampleDescriptionsOf(QFile& file, const Box& track)
{
    std::optional<Box> box = track;
    for (const char* type : {"mdia", "minf", "stbl", "stsd"}) {
        box = FileChild(file, box->body, box->end, type);
        if (!box)
            return {};
    }
    if (box->end - box->body > kMostSampleDescriptions || !file.seek(box->body))
        return {};
    return file.read(box->end - box->body);
}

std::optional<int> ObjectTypeOfTrack(QFile& file, const Box& track)
{
    const QByteArray descriptions = SampleDescriptionsOf(file, track);
    const std::optional<Box> entry = FirstSampleEntry(descriptions);
    if (!entry || entry->type != "mp4a")
        return {};
    const std::optional<QByteArrayView> esds =
        EsdsOfSampleEntry(QByteArrayView(descriptions).sliced(entry->body, entry->end - entry->body));
    const std::optional<QByteArrayView> decoderConfig = esds ? DecoderConfigOf(*esds) : std::nullopt;
    return decoderConfig ? ObjectTypeOfDecoderConfig(*decoderConfig) : std::nullopt;
}

// The length of the ID3v2 tag a file begins with; 0 when it has none.
qint64 Id3v2Length(QFile& file)
{
    if (!file.seek(0))
        return 0;
    const QByteArray header = file.read(10);
    if (header.size() < 10 || !header.startsWith("ID3"))
        return 0;
    qint64 size = 0;
    for (int i = 6; i < 10; ++i) // synchsafe: seven bits a byte
        size = size << 7 | (header[i] & 0x7F);
    const bool footer = header[5] & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

// What an ADTS frame header says.
struct AdtsFrame {
    qint64 length = 0; // the header included
    int objectType = 0;
    int sampleRate = 0;
    int channels = 0;
};

std::optional<AdtsFrame> AdtsFrameAt(QFile& file, qint64 at)
{
    static constexpr std::array<int, 13> kSampleRates {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                       22050, 16000, 12000, 11025, 8000,  7350};
    if (!file.seek(at))
        return {};
    const QByteArray header = file.read(7);
    if (header.size() < 7)
        return {};
    const auto byte = [&](int i) { return static_cast<unsigned char>(header[i]); };
    // Twelve bits of sync, then layer 0: MPEG audio of layers I to III has another.
    if (byte(0) != 0xFF || (byte(1) & 0xF6) != 0xF0)
        return {};
    const std::size_t rate = (byte(2) >> 2) & 0x0F;
    const int channelConfiguration = (byte(2) & 0x01) << 2 | byte(3) >> 6;
    AdtsFrame frame;
    frame.objectType = (byte(2) >> 6) + 1;
    frame.channels = channelConfiguration == 7 ? 8 : channelConfiguration;
    frame.length = (byte(3) & 0x03) << 11 | byte(4) << 3 | byte(5) >> 5;
    if (rate >= kSampleRates.size() || frame.length < 7)
        return {};
    frame.sampleRate = kSampleRates[rate];
    return frame;
}

// The frames of an ADTS stream from at on, and their bytes.
struct AdtsRun {
    std::int64_t frames = 0;
    qint64 bytes = 0;
};

AdtsRun AdtsRunFrom(QFile& file, qint64 at)
{
    AdtsRun run;
    for (std::optional<AdtsFrame> frame = AdtsFrameAt(file, at); frame && at + frame->length <= file.size();
         frame = AdtsFrameAt(file, at)) {
        ++run.frames;
        run.bytes += frame->length;
        at += frame->length;
    }
    return run;
}

// Raw AAC, which TagLib before 2.0 does not read: its frames are counted
// for the length.
std::optional<AudioFacts> ReadAdts(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 start = Id3v2Length(file);
    const std::optional<AdtsFrame> first = AdtsFrameAt(file, start);
    // A second frame where the first ends tells a stream from bytes that
    // happen to look like a header.
    const std::optional<AdtsFrame> second = first ? AdtsFrameAt(file, start + first->length) : std::nullopt;
    if (!second || second->sampleRate != first->sampleRate)
        return {};
    const AdtsRun run = AdtsRunFrom(file, start);
    AudioFacts facts;
    facts.codec = QStringLiteral("aac");
    facts.container = QStringLiteral("aac");
    facts.sampleRate = first->sampleRate;
    facts.channels = first->channels;
    facts.lengthMs = run.frames * 1024 * 1000 / first->sampleRate; // 1024 samples a frame
    facts.bitRate = facts.lengthMs > 0 ? static_cast<int>(run.bytes * 8 / facts.lengthMs) : 0;
    facts.aacLowComplexity = first->objectType == 2;
    return facts;
}

// Audio that a reader finds but cannot name, or that none here reads. No
// device plays it, so it is converted.
const QString kUnnamedCodec = QStringLiteral("unknown");

// The extensions of songs: a file so named that holds no sound is no song.
const QStringList& SongSuffixes()
{
    static const QStringList suffixes = {
        "mp3", "mp2", "mp1", "mpga", "m4a", "m4b", "aac", "flac", "fla", "ogg", "oga", "opus", "spx", "wav", "wave",
        "aif", "aiff", "aifc", "wma", "ape", "mpc", "mp+", "mpp", "wv", "tta", "dsf", "dff", "ac3", "eac3", "ec3",
        "au", "snd", "caf", "mka", "amr", "shn", "tak", "ofr", "w64", "alac"};
    return suffixes;
}

// The first bytes of audio formats that nothing else begins with.
bool BeginsAsAudio(const QByteArray& head)
{
    static const char* const kMagic[] = {"MAC ", "MPCK", "MP+", "wvpk", "TTA1", "DSD ", "FRM8", ".snd",
                                         "fLaC", "ID3", "caff", "#!AMR", "ajkg", "tBaK", "OFR "};
    for (const char* magic : kMagic) {
        if (head.startsWith(magic))
            return true;
    }
    // AC-3 and E-AC-3 sync words; RIFF WAVE and AIFF forms; Ogg's first page.
    return head.startsWith("\x0B\x77") || (head.startsWith("RIFF") && head.mid(8, 4) == "WAVE")
        || (head.startsWith("FORM") && head.mid(8, 3) == "AIF") || head.startsWith("OggS");
}

#ifdef QUORVEX_HAVE_TAGLIB

// Whether TagLibFile takes the file for one of its kind, by its first bytes.
template <typename TagLibFile>
bool Supports(const NativeName& name)
{
    TagLib::FileStream stream(TagLibName(name), true);
    return stream.isOpen() && TagLibFile::isSupported(&stream);
}

QString Text(const TagLib::String& text) { return QString::fromUtf8(text.toCString(true)); }

// The first value of key; empty when the tags have none.
QString FirstValue(const TagLib::PropertyMap& properties, const char* key)
{
    const auto found = properties.find(key);
    return found == properties.end() || found->second.isEmpty() ? QString() : Text(found->second.front());
}

AudioTags TagsOf(const TagLib::PropertyMap& properties)
{
    AudioTags tags;
    tags.title = FirstValue(properties, "TITLE");
    tags.artist = FirstValue(properties, "ARTIST");
    tags.album = FirstValue(properties, "ALBUM");
    tags.albumArtist = FirstValue(properties, "ALBUMARTIST");
    tags.genre = FirstValue(properties, "GENRE");
    tags.year = LeadingNumber(FirstValue(properties, "DATE"));
    tags.track = LeadingNumber(FirstValue(properties, "TRACKNUMBER"));
    tags.disc = LeadingNumber(FirstValue(properties, "DISCNUMBER"));
    return tags;
}

// A picture of a type that is no JPEG nor PNG still counts, as one of no
// known size.
std::optional<PictureFacts> CoverOf(const TagLib::ByteVector& picture)
{
    if (picture.isEmpty())
        return {};
    const QByteArray bytes = QByteArray::fromRawData(picture.data(), static_cast<qsizetype>(picture.size()));
    PictureFacts unknown;
    unknown.bytes = static_cast<std::uint64_t>(bytes.size());
    return PictureFactsOf(bytes).value_or(unknown);
}

TagLib::ByteVector FirstPicture(const TagLib::ID3v2::Tag& tag)
{
    for (const TagLib::ID3v2::Frame* frame : tag.frameList("APIC")) {
        if (const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
            return picture->picture();
    }
    return {};
}

// Xiph comments carry pictures as METADATA_BLOCK_PICTURE.
TagLib::ByteVector FirstPicture(TagLib::Ogg::XiphComment& comment)
{
    const TagLib::List<TagLib::FLAC::Picture*> pictures = comment.pictureList();
    return pictures.isEmpty() ? TagLib::ByteVector() : pictures.front()->data();
}

// APEv2 tags carry a cover as a binary item: a file name, a zero, the picture.
TagLib::ByteVector FirstPicture(TagLib::APE::Tag* tag)
{
    if (!tag)
        return {};
    const TagLib::APE::ItemListMap& items = tag->itemListMap();
    const auto found = items.find("COVER ART (FRONT)");
    if (found == items.end())
        return {};
    const TagLib::ByteVector data = found->second.binaryData();
    const int nameEnd = data.find('\0');
    return nameEnd < 0 ? TagLib::ByteVector() : data.mid(static_cast<unsigned>(nameEnd) + 1);
}

// Whether TagLib read audio from the file.
bool HoldsAudio(const TagLib::File& file, const TagLib::AudioProperties* properties)
{
    return file.isValid() && properties && properties->sampleRate() > 0;
}

// The facts every kind of file gives alike.
AudioFacts CommonFacts(TagLib::File& file, const TagLib::AudioProperties& properties, const QString& codec,
                       const QString& container)
{
    AudioFacts facts;
    facts.codec = codec;
    facts.container = container;
    facts.sampleRate = properties.sampleRate();
    facts.bitRate = properties.bitrate();
    facts.channels = properties.channels();
    facts.lengthMs = properties.lengthInMilliseconds();
    facts.tags = TagsOf(file.properties());
    facts.rating = SongRatingOf(file);
    return facts;
}

std::optional<AudioFacts> ReadMpeg(const QString& path)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<TagLib::MPEG::File>(name))
        return {};
    TagLib::MPEG::File file(TagLibName(name));
    const TagLib::MPEG::Properties* properties = file.audioProperties();
    // Layers I to III; TagLib 2 also reads ADTS, which ReadAdts names.
    if (!HoldsAudio(file, properties) || properties->layer() < 1 || properties->layer() > 3)
        return {};
    AudioFacts facts =
        CommonFacts(file, *properties, QStringLiteral("mp%1").arg(properties->layer()), QStringLiteral("mp3"));
    if (file.hasID3v2Tag()) {
        facts.id3v2Version = static_cast<int>(file.ID3v2Tag()->header()->majorVersion());
        facts.cover = CoverOf(FirstPicture(*file.ID3v2Tag()));
    }
    facts.id3v1 = file.hasID3v1Tag();
    facts.apeTag = file.hasAPETag();
    return facts;
}

// A FLAC file begins with its stream's marker, after an ID3v2 tag if any:
// TagLib takes the marker anywhere near the start, so that Matroska, which
// holds FLAC's header inside, would pass for FLAC.
bool BeginsAsFlac(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.seek(Id3v2Length(file)) && file.read(4) == "fLaC";
}

std::optional<AudioFacts> ReadFlac(const QString& path)
{
    const NativeName name = NativeNameOf(path);
    if (!BeginsAsFlac(path) || !Supports<TagLib::FLAC::File>(name))
        return {};
    TagLib::FLAC::File file(TagLibName(name));
    if (!HoldsAudio(file, file.audioProperties()))
        return {};
    AudioFacts facts = CommonFacts(file, *file.audioProperties(), QStringLiteral("flac"), QStringLiteral("flac"));
    const TagLib::List<TagLib::FLAC::Picture*> pictures = file.pictureList();
    if (!pictures.isEmpty())
        facts.cover = CoverOf(pictures.front()->data());
    return facts;
}

// Vorbis, Opus and FLAC in Ogg, each with a Xiph comment.
template <typename OggFile>
std::optional<AudioFacts> ReadOgg(const QString& path, const QString& codec)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<OggFile>(name))
        return {};
    OggFile file(TagLibName(name));
    if (!HoldsAudio(file, file.audioProperties()))
        return {};
    AudioFacts facts = CommonFacts(file, *file.audioProperties(), codec, QStringLiteral("ogg"));
    if (file.tag())
        facts.cover = CoverOf(FirstPicture(*file.tag()));
    return facts;
}

std::optional<AudioFacts> ReadVorbis(const QString& path)
{
    return ReadOgg<TagLib::Ogg::Vorbis::File>(path, QStringLiteral("vorbis"));
}

std::optional<AudioFacts> ReadOpus(const QString& path)
{
    return ReadOgg<TagLib::Ogg::Opus::File>(path, QStringLiteral("opus"));
}

std::optional<AudioFacts> ReadOggFlac(const QString& path)
{
    return ReadOgg<TagLib::Ogg::FLAC::File>(path, QStringLiteral("flac"));
}

std::optional<AudioFacts> ReadSpeex(const QString& path)
{
    return ReadOgg<TagLib::Ogg::Speex::File>(path, QStringLiteral("speex"));
}

// Monkey's Audio, Musepack and WavPack, each tagged with APEv2.
template <typename TagLibFile>
std::optional<AudioFacts> ReadApeTagged(const QString& path, const std::function<QString(const TagLibFile&)>& codecOf,
                                        const QString& container)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<TagLibFile>(name))
        return {};
    TagLibFile file(TagLibName(name));
    if (!HoldsAudio(file, file.audioProperties()))
        return {};
    AudioFacts facts = CommonFacts(file, *file.audioProperties(), codecOf(file), container);
    facts.apeTag = file.hasAPETag();
    if (facts.apeTag)
        facts.cover = CoverOf(FirstPicture(file.APETag()));
    return facts;
}

std::optional<AudioFacts> ReadMonkeysAudio(const QString& path)
{
    return ReadApeTagged<TagLib::APE::File>(path, [](const auto&) { return QStringLiteral("ape"); }, QStringLiteral("ape"));
}

std::optional<AudioFacts> ReadMusepack(const QString& path)
{
    return ReadApeTagged<TagLib::MPC::File>(
        path, [](const TagLib::MPC::File& file) { return QStringLiteral("musepack%1").arg(file.audioProperties()->mpcVersion()); },
        QStringLiteral("mpc"));
}

std::optional<AudioFacts> ReadWavPack(const QString& path)
{
    return ReadApeTagged<TagLib::WavPack::File>(path, [](const auto&) { return QStringLiteral("wavpack"); },
                                                QStringLiteral("wv"));
}

std::optional<AudioFacts> ReadTrueAudio(const QString& path)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<TagLib::TrueAudio::File>(name))
        return {};
    TagLib::TrueAudio::File file(TagLibName(name));
    if (!HoldsAudio(file, file.audioProperties()))
        return {};
    AudioFacts facts = CommonFacts(file, *file.audioProperties(), QStringLiteral("tta"), QStringLiteral("tta"));
    if (file.hasID3v2Tag())
        facts.cover = CoverOf(FirstPicture(*file.ID3v2Tag()));
    return facts;
}

QString Mp4Codec(TagLib::MP4::Properties::Codec codec)
{
    switch (codec) {
    case TagLib::MP4::Properties::AAC: return QStringLiteral("aac");
    case TagLib::MP4::Properties::ALAC: return QStringLiteral("alac");
    default: return kUnnamedCodec;
    }
}

std::optional<AudioFacts> ReadMp4(const QString& path)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<TagLib::MP4::File>(name))
        return {};
    TagLib::MP4::File file(TagLibName(name));
    const TagLib::MP4::Properties* properties = file.audioProperties();
    if (!HoldsAudio(file, properties))
        return {};
    AudioFacts facts = CommonFacts(file, *properties, Mp4Codec(properties->codec()), QStringLiteral("mp4"));
    if (file.tag() && file.tag()->contains("covr")) {
        const TagLib::MP4::CoverArtList covers = file.tag()->item("covr").toCoverArtList();
        if (!covers.isEmpty())
            facts.cover = CoverOf(covers.front().data());
    }
    facts.aacLowComplexity = properties->codec() == TagLib::MP4::Properties::AAC && AacObjectTypeOf(path) == 2;
    return facts;
}

// ffprobe's name for integer PCM: pcm_s16le, pcm_s24be, ... Eight bits are
// unsigned in WAV and signed in AIFF.
QString IntegerPcm(int bitsPerSample, bool bigEndian)
{
    const int bytes = (bitsPerSample + 7) / 8;
    if (bytes == 1)
        return bigEndian ? QStringLiteral("pcm_s8") : QStringLiteral("pcm_u8");
    if (bytes < 2 || bytes > 4)
        return kUnnamedCodec;
    return QStringLiteral("pcm_s%1%2").arg(bytes * 8).arg(bigEndian ? QStringLiteral("be") : QStringLiteral("le"));
}

QString FloatPcm(int bitsPerSample, bool bigEndian)
{
    if (bitsPerSample != 32 && bitsPerSample != 64)
        return kUnnamedCodec;
    return QStringLiteral("pcm_f%1%2").arg(bitsPerSample).arg(bigEndian ? QStringLiteral("be") : QStringLiteral("le"));
}

// By the format tag of the fmt chunk; TagLib gives the sub-format of
// WAVE_FORMAT_EXTENSIBLE in its place.
QString WavCodec(int format, int bitsPerSample)
{
    switch (format) {
    case 0x0001: return IntegerPcm(bitsPerSample, false);
    case 0x0002: return QStringLiteral("adpcm_ms");
    case 0x0003: return FloatPcm(bitsPerSample, false);
    case 0x0006: return QStringLiteral("pcm_alaw");
    case 0x0007: return QStringLiteral("pcm_mulaw");
    case 0x0011: return QStringLiteral("adpcm_ima_wav");
    case 0x0050: return QStringLiteral("mp2");
    case 0x0055: return QStringLiteral("mp3");
    default: return kUnnamedCodec;
    }
}

std::optional<AudioFacts> ReadWav(const QString& path)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<TagLib::RIFF::WAV::File>(name))
        return {};
    TagLib::RIFF::WAV::File file(TagLibName(name));
    const TagLib::RIFF::WAV::Properties* properties = file.audioProperties();
    if (!HoldsAudio(file, properties))
        return {};
    AudioFacts facts = CommonFacts(file, *properties, WavCodec(properties->format(), properties->bitsPerSample()),
                                   QStringLiteral("wav"));
    if (file.hasID3v2Tag())
        facts.cover = CoverOf(FirstPicture(*file.ID3v2Tag()));
    return facts;
}

// By the compression type of AIFF-C; plain AIFF is big-endian PCM.
QString AiffCodec(const TagLib::RIFF::AIFF::Properties& properties)
{
    const int bits = properties.bitsPerSample();
    const TagLib::ByteVector type = properties.compressionType();
    const QByteArray compression =
        properties.isAiffC() ? QByteArray(type.data(), static_cast<qsizetype>(type.size())) : QByteArray("NONE");
    if (compression == "NONE" || compression == "twos" || compression == "in24" || compression == "in32")
        return IntegerPcm(bits, true);
    if (compression == "sowt")
        return IntegerPcm(bits, false);
    if (compression.compare("fl32", Qt::CaseInsensitive) == 0 || compression.compare("fl64", Qt::CaseInsensitive) == 0)
        return FloatPcm(bits, true);
    if (compression.compare("alaw", Qt::CaseInsensitive) == 0)
        return QStringLiteral("pcm_alaw");
    if (compression.compare("ulaw", Qt::CaseInsensitive) == 0)
        return QStringLiteral("pcm_mulaw");
    return kUnnamedCodec;
}

std::optional<AudioFacts> ReadAiff(const QString& path)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<TagLib::RIFF::AIFF::File>(name))
        return {};
    TagLib::RIFF::AIFF::File file(TagLibName(name));
    const TagLib::RIFF::AIFF::Properties* properties = file.audioProperties();
    if (!HoldsAudio(file, properties))
        return {};
    AudioFacts facts = CommonFacts(file, *properties, AiffCodec(*properties), QStringLiteral("aiff"));
    if (file.hasID3v2Tag())
        facts.cover = CoverOf(FirstPicture(*file.tag()));
    return facts;
}

QString AsfCodec(TagLib::ASF::Properties::Codec codec)
{
    switch (codec) {
    case TagLib::ASF::Properties::WMA1: return QStringLiteral("wmav1");
    case TagLib::ASF::Properties::WMA2: return QStringLiteral("wmav2");
    case TagLib::ASF::Properties::WMA9Pro: return QStringLiteral("wmapro");
    case TagLib::ASF::Properties::WMA9Lossless: return QStringLiteral("wmalossless");
    default: return kUnnamedCodec;
    }
}

std::optional<AudioFacts> ReadAsf(const QString& path)
{
    const NativeName name = NativeNameOf(path);
    if (!Supports<TagLib::ASF::File>(name))
        return {};
    TagLib::ASF::File file(TagLibName(name));
    const TagLib::ASF::Properties* properties = file.audioProperties();
    if (!HoldsAudio(file, properties))
        return {};
    AudioFacts facts = CommonFacts(file, *properties, AsfCodec(properties->codec()), QStringLiteral("asf"));
    const TagLib::ASF::AttributeList pictures =
        file.tag() ? file.tag()->attribute("WM/Picture") : TagLib::ASF::AttributeList();
    if (!pictures.isEmpty())
        facts.cover = CoverOf(pictures.front().toPicture().picture());
    return facts;
}

#endif

// A reader of one kind of file, which says nothing when the contents are
// not of its kind.
struct Reader {
    const char* suffixes; // the extensions it is tried first for, space-separated
    std::optional<AudioFacts> (*read)(const QString& path);
};

// Those whose test of the contents is strict come first: MPEG's takes any
// two frame headers in a row for a stream.
const std::vector<Reader>& Readers()
{
    static const std::vector<Reader> readers {
#ifdef QUORVEX_HAVE_TAGLIB
        {"flac", ReadFlac},
        {"ogg oga", ReadVorbis},
        {"opus", ReadOpus},
        {"oga", ReadOggFlac},
        {"m4a m4b mp4", ReadMp4},
        {"wav", ReadWav},
        {"aif aiff aifc", ReadAiff},
        {"wma asf", ReadAsf},
        {"spx ogg", ReadSpeex},
        {"ape", ReadMonkeysAudio},
        {"mpc mp+ mpp", ReadMusepack},
        {"wv", ReadWavPack},
        {"tta", ReadTrueAudio},
        {"mp3 mp2 mpga", ReadMpeg},
#endif
        {"aac", ReadAdts},
    };
    return readers;
}

// Every reader, those the extension names first.
std::vector<const Reader*> ReadingOrder(const QString& suffix)
{
    std::vector<const Reader*> order;
    for (const Reader& reader : Readers())
        order.push_back(&reader);
    std::stable_partition(order.begin(), order.end(), [&](const Reader* reader) {
        return !suffix.isEmpty() && QString::fromLatin1(reader->suffixes).split(u' ').contains(suffix);
    });
    return order;
}

// Without TagLib, the extension alone names the codec of the common kinds,
// with no other facts: such a file is then taken for one that does not fit.
AudioFacts FactsByExtension(const QString& path, const QString& suffix)
{
    AudioFacts facts;
#ifndef QUORVEX_HAVE_TAGLIB
    static const QHash<QString, QString> codecs {
        {QStringLiteral("mp3"), QStringLiteral("mp3")},   {QStringLiteral("flac"), QStringLiteral("flac")},
        {QStringLiteral("ogg"), QStringLiteral("vorbis")}, {QStringLiteral("opus"), QStringLiteral("opus")},
        {QStringLiteral("m4a"), QStringLiteral("aac")},   {QStringLiteral("wav"), QStringLiteral("pcm_s16le")},
        {QStringLiteral("wma"), QStringLiteral("wmav2")}, {QStringLiteral("aac"), QStringLiteral("aac")},
    };
    if (QFileInfo(path).isFile())
        facts.codec = codecs.value(suffix);
#else
    Q_UNUSED(path);
    Q_UNUSED(suffix);
#endif
    return facts;
}

} // namespace

AudioFacts ReadAudioFacts(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const Reader* reader : ReadingOrder(suffix)) {
        if (std::optional<AudioFacts> facts = reader->read(path))
            return *std::move(facts);
    }
    return FactsByExtension(path, suffix);
}


unsigned LeadingNumber(const QString& value)
{
    const QString trimmed = value.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && trimmed[digits] >= u'0' && trimmed[digits] <= u'9')
        ++digits;
    return trimmed.first(digits).toUInt();
}

bool NamedAsSong(const QString& path)
{
    return SongSuffixes().contains(QFileInfo(path).suffix().toLower());
}

bool SaysAudio(const QString& path)
{
    if (NamedAsSong(path))
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && BeginsAsAudio(file.read(12));
}

AudioFacts UnreadAudio()
{
    AudioFacts facts;
    facts.codec = kUnnamedCodec;
    return facts;
}

std::optional<PictureFacts> PictureFactsOf(const QByteArray& bytes)
{
    const PhotoFacts photo = PhotoFactsOf(bytes);
    if (photo.format != u"jpeg" && photo.format != u"png")
        return {};
    return PictureFacts {photo.width, photo.height, photo.format == u"jpeg", photo.baseline,
                         static_cast<std::uint64_t>(bytes.size())};
}

std::optional<int> AacObjectTypeOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<Box> movie = FileChild(file, 0, file.size(), "moov");
    if (!movie)
        return {};
    for (std::optional<Box> track = FileChild(file, movie->body, movie->end, "trak"); track;
         track = FileChild(file, track->end, movie->end, "trak")) {
        if (const std::optional<int> type = ObjectTypeOfTrack(file, *track))
            return type;
    }
    return {};
}
