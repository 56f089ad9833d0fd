#include "device/ProfileFile.h"

#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QList>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <system_error>
#include <tuple>

namespace {

// A profile is a few lines: anything larger is some other file.
constexpr qint64 kMostBytes = 64 * 1024;

const QString kAudio = QStringLiteral("Audio");
const QString kLimits = QStringLiteral("Limits");
const QString kPhotos = QStringLiteral("Photos");

using NumberReading = std::variant<int, QString>; // a value read, or why it is refused

// Digits only: a sign, a point or a unit ("48k") is refused rather than
// read as far as it goes.
NumberReading Number(const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("no value");
    for (const QChar c : value) {
        if (c < u'0' || c > u'9')
            return QStringLiteral("not a number");
    }
    // Too many digits for an int are beyond every bound anyway.
    bool ok = false;
    const int number = value.toInt(&ok);
    return ok ? number : std::numeric_limits<int>::max();
}

NumberReading NumberFrom(const QString& value, int low, int high)
{
    const NumberReading number = Number(value);
    if (std::holds_alternative<int>(number) && (std::get<int>(number) < low || std::get<int>(number) > high))
        return QStringLiteral("must be from %1 to %2").arg(low).arg(high);
    return number;
}

// Sets a number field, or says why the value is refused.
QString SetNumber(int& field, const QString& value, int low, int high)
{
    const NumberReading number = NumberFrom(value, low, high);
    if (const QString* reason = std::get_if<QString>(&number))
        return *reason;
    field = std::get<int>(number);
    return {};
}

QString SetPlays(AudioRules& rules, const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("no value");
    QStringList codecs;
    for (const QString& item : value.split(u',')) {
        // As ffprobe prints them; MP3 is taken for mp3.
        const QString codec = item.trimmed().toLower();
        if (codec.isEmpty())
            return QStringLiteral("a codec name is missing from the list");
        for (const QChar c : codec) {
            if (!(c >= u'a' && c <= u'z') && !(c >= u'0' && c <= u'9') && c != u'_')
                return QStringLiteral("\"%1\" is not a codec name as ffprobe prints it")
                    .arg(ReadableText(item.trimmed()));
        }
        if (!codecs.contains(codec))
            codecs.append(codec);
    }
    rules.plays = codecs;
    return {};
}

QString SetConvertTo(AudioRules& rules, const QString& value)
{
    const QString codec = value.toLower();
    if (codec != u"mp3" && codec != u"aac")
        return QStringLiteral("must be mp3 or aac");
    rules.convertTo = codec;
    return {};
}

// Only read as a number here: the rates it may take depend on ConvertTo,
// which may come later in the file.
QString SetBitRate(AudioRules& rules, const QString& value)
{
    const NumberReading number = Number(value);
    if (const QString* reason = std::get_if<QString>(&number))
        return *reason;
    rules.bitRate = std::get<int>(number);
    return {};
}

QString SetTags(AudioRules& rules, const QString& value)
{
    static const std::map<QString, TagVersion> names = {
        {QStringLiteral("id3v2.3"), TagVersion::Id3v23},
        {QStringLiteral("id3v2.3+id3v1"), TagVersion::Id3v23AndV1},
        {QStringLiteral("id3v2.4"), TagVersion::Id3v24},
    };
    const auto found = names.find(value.toLower());
    if (found == names.end())
        return QStringLiteral("must be one of id3v2.3, id3v2.3+id3v1, id3v2.4");
    rules.tags = found->second;
    return {};
}

QString SetArt(AudioRules& rules, const QString& value)
{
    int side = 0;
    const QString reason = SetNumber(side, value, 0, 4096);
    if (reason.isEmpty())
        rules.art = side;
    return reason;
}

// A limit: a whole number of at least low, kept as given.
QString SetLimit(std::optional<int>& limit, const QString& value, int low, int high)
{
    int number = 0;
    const QString reason = SetNumber(number, value, low, high);
    if (reason.isEmpty())
        limit = number;
    return reason;
}

QString SetFrame(PhotoRules& rules, const QString& value)
{
    const std::optional<std::pair<int, int>> size = FrameSizeOf(value);
    if (!size)
        return QStringLiteral("must be the screen's WIDTHxHEIGHT in pixels, such as 1024x600");
    std::tie(rules.width, rules.height) = *size;
    return {};
}

QString SetFit(PhotoRules& rules, const QString& value)
{
    const QString fit = value.toLower();
    if (fit != u"inside" && fit != u"fill")
        return QStringLiteral("must be inside or fill");
    rules.fit = fit == u"fill" ? PhotoFit::Fill : PhotoFit::Inside;
    return {};
}

// The formats a frame may show as they are: those the fitting can also
// read, so that a photo it does not show can be made into one it does.
QString SetPhotoPlays(PhotoRules& rules, const QString& value)
{
    static const QStringList known = {QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("bmp"),
                                      QStringLiteral("gif")};
    QStringList formats;
    for (const QString& item : value.split(u',')) {
        QString format = item.trimmed().toLower();
        if (format == u"jpg")
            format = QStringLiteral("jpeg");
        if (!known.contains(format))
            return QStringLiteral("\"%1\" is not one of jpeg, png, bmp, gif").arg(ReadableText(item.trimmed()));
        if (!formats.contains(format))
            formats.append(format);
    }
    if (!formats.contains(QStringLiteral("jpeg")))
        return QStringLiteral("must hold jpeg, which the rest is made into");
    rules.plays = formats;
    return {};
}

QString SetFlag(bool& flag, const QString& value)
{
    const QString word = value.toLower();
    if (word != u"true" && word != u"false")
        return QStringLiteral("must be true or false");
    flag = word == u"true";
    return {};
}

struct Key {
    const QString& section;
    const char* name;
    QString (*setAudio)(AudioRules&, const QString&) = nullptr; // why the value is refused; empty when taken
    QString (*setLimit)(DeviceLimits&, const QString&) = nullptr;
    QString (*setPhotos)(PhotoRules&, const QString&) = nullptr;
};

const std::vector<Key>& Keys()
{
    static const std::vector<Key> keys = {
        {kAudio, "Plays", SetPlays},
        {kAudio, "MinSampleRate", [](AudioRules& r, const QString& v) { return SetNumber(r.minSampleRate, v, 8000, 768000); }},
        {kAudio, "MaxSampleRate", [](AudioRules& r, const QString& v) { return SetNumber(r.maxSampleRate, v, 8000, 768000); }},
        {kAudio, "MaxBitRate", [](AudioRules& r, const QString& v) { return SetNumber(r.maxBitRate, v, 8, 5000); }},
        {kAudio, "ConvertTo", SetConvertTo},
        {kAudio, "BitRate", SetBitRate},
        {kAudio, "Tags", SetTags},
        {kAudio, "Art", SetArt},
        // Room for a number and an extension; FAT's long names stop at 255.
        {kLimits, "Files", nullptr, [](DeviceLimits& l, const QString& v) { return SetLimit(l.files, v, 1, 10000000); }},
        {kLimits, "Folders", nullptr, [](DeviceLimits& l, const QString& v) { return SetLimit(l.folders, v, 1, 10000000); }},
        {kLimits, "FilesPerFolder", nullptr, [](DeviceLimits& l, const QString& v) { return SetLimit(l.filesPerFolder, v, 1, 10000000); }},
        {kLimits, "Depth", nullptr, [](DeviceLimits& l, const QString& v) { return SetLimit(l.depth, v, 1, 100); }},
        {kLimits, "NameLength", nullptr, [](DeviceLimits& l, const QString& v) { return SetLimit(l.nameLength, v, 12, 255); }},
        {kPhotos, "Frame", nullptr, nullptr, SetFrame},
        {kPhotos, "Fit", nullptr, nullptr, SetFit},
        {kPhotos, "Quality", nullptr, nullptr, [](PhotoRules& r, const QString& v) { return SetNumber(r.quality, v, 1, 100); }},
        {kPhotos, "Plays", nullptr, nullptr, SetPhotoPlays},
        {kPhotos, "KeepDate", nullptr, nullptr, [](PhotoRules& r, const QString& v) { return SetFlag(r.keepDate, v); }},
        {kPhotos, "KeepLocation", nullptr, nullptr, [](PhotoRules& r, const QString& v) { return SetFlag(r.keepLocation, v); }},
    };
    return keys;
}

const Key* KeyNamed(const QString& section, const QString& name)
{
    for (const Key& key : Keys()) {
        if (key.section == section && name.compare(QLatin1String(key.name), Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

QString KeyList(const QString& section)
{
    QStringList names;
    for (const Key& key : Keys()) {
        if (key.section == section)
            names.append(QLatin1String(key.name));
    }
    return names.join(QStringLiteral(", "));
}

// A line's text without its comment: no value holds ";" or "#", so a
// comment may also follow a value.
QString Uncommented(const QString& line)
{
    const auto comment = std::find_if(line.begin(), line.end(), [](QChar c) { return c == u';' || c == u'#'; });
    return line.left(comment - line.begin()).trimmed();
}

// The file's lines as bytes, without a leading BOM. The CR of a CRLF goes
// with the blanks each line is trimmed of.
QList<QByteArray> Lines(QByteArray text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    return text.split('\n');
}

std::optional<QString> Utf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The MP3 rates an encoder writes; anything between them is refused by
// ffmpeg, not rounded.
const QList<int>& Mp3BitRates()
{
    static const QList<int> rates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    return rates;
}

QString BitRateProblem(const AudioRules& rules)
{
    if (rules.convertTo == u"aac")
        return rules.bitRate >= 32 && rules.bitRate <= 512 ? QString()
                                                           : QStringLiteral("must be from 32 to 512 for aac");
    if (Mp3BitRates().contains(rules.bitRate))
        return {};
    QStringList rates;
    for (const int rate : Mp3BitRates())
        rates.append(QString::number(rate));
    return QStringLiteral("must be one of MP3's rates: ") + rates.join(QStringLiteral(", "));
}

using GivenLines = std::map<QString, int>; // the keys given ("Section/Key"), by the lines that give them

QString GivenKey(const QString& section, const QString& name) { return section + u'/' + name; }

// Checks of keys against each other, once all are read: the bounds must
// hold one another, and what the rest is converted to must be something
// the device plays, or every converted file would be one it refuses.
std::optional<ProfileError> RulesProblem(const AudioRules& rules, const GivenLines& given, const QString& file)
{
    const auto at = [&](const char* key, const QString& reason) {
        const auto line = given.find(GivenKey(kAudio, QLatin1String(key)));
        return ProfileError {file, line == given.end() ? 0 : line->second, QLatin1String(key), reason};
    };
    if (!given.count(GivenKey(kAudio, QStringLiteral("Plays"))))
        return at("Plays", QStringLiteral("not given: which codecs the device plays"));
    if (const QString reason = BitRateProblem(rules); !reason.isEmpty())
        return at("BitRate", reason);
    if (rules.maxSampleRate > 0 && rules.maxSampleRate < rules.minSampleRate)
        return at("MaxSampleRate", QStringLiteral("must not be below MinSampleRate, %1").arg(rules.minSampleRate));
    if (!rules.plays.contains(rules.convertTo))
        return at("Plays", QStringLiteral("must hold %1, which the rest is converted to").arg(rules.convertTo));
    if (rules.maxBitRate > 0 && rules.maxBitRate < rules.bitRate)
        return at("MaxBitRate",
                  QStringLiteral("must not be below BitRate, %1, at which the rest is converted").arg(rules.bitRate));
    const int rate = ConvertedSampleRate(rules);
    if (rate < rules.minSampleRate || (rules.maxSampleRate > 0 && rate > rules.maxSampleRate)) {
        const QString bounds = rules.maxSampleRate > 0
            ? QStringLiteral("%1 to %2 Hz").arg(rules.minSampleRate).arg(rules.maxSampleRate)
            : QStringLiteral("%1 Hz or more").arg(rules.minSampleRate);
        return at("MinSampleRate",
                  QStringLiteral("the rest cannot be converted to %1 at %2").arg(rules.convertTo, bounds));
    }
    return std::nullopt;
}

// What the lines read so far give.
struct Reading {
    AudioRules rules;
    DeviceLimits limits;
    PhotoRules photos;
    GivenLines given;
    QString section; // the one the lines are in; empty before the first
    QSet<QString> seen; // the sections met
};

// Why a line is refused, and the key it names.
struct Refusal {
    QString key;
    QString reason;
};

std::optional<Refusal> TakeSection(const QString& line, Reading& reading)
{
    const QString section = line.mid(1, line.size() - 2).trimmed();
    reading.section.clear();
    for (const QString& known : {kAudio, kPhotos, kLimits}) {
        if (section.compare(known, Qt::CaseInsensitive) == 0)
            reading.section = known;
    }
    if (reading.section.isEmpty())
        return Refusal {{}, QStringLiteral("unknown section [%1]; a profile has [Audio], [Photos] and [Limits]").arg(ReadableText(section))};
    reading.seen.insert(reading.section);
    return std::nullopt;
}

std::optional<Refusal> TakeKey(const QString& written, const QString& value, int number, Reading& reading)
{
    if (reading.section.isEmpty())
        return Refusal {ReadableText(written), QStringLiteral("outside a section ([Audio], [Photos] or [Limits])")};
    const Key* key = KeyNamed(reading.section, written);
    if (!key)
        return Refusal {ReadableText(written),
                        QStringLiteral("not a key of [%1]: %2").arg(reading.section, KeyList(reading.section))};
    const QString name = QLatin1String(key->name);
    if (const auto first = reading.given.find(GivenKey(key->section, name)); first != reading.given.end())
        return Refusal {name, QStringLiteral("given twice (first on line %1)").arg(first->second)};
    reading.given.emplace(GivenKey(key->section, name), number);
    const QString reason = key->setAudio ? key->setAudio(reading.rules, value)
        : key->setLimit                  ? key->setLimit(reading.limits, value)
                                         : key->setPhotos(reading.photos, value);
    if (!reason.isEmpty())
        return Refusal {name, reason};
    return std::nullopt;
}

// Takes line number, its comment taken off, into reading.
std::optional<Refusal> TakeLine(const QString& line, int number, Reading& reading)
{
    if (line.isEmpty())
        return std::nullopt;
    if (line.startsWith(u'[') && line.endsWith(u']'))
        return TakeSection(line, reading);
    const qsizetype equals = line.indexOf(u'=');
    const QString key = line.left(equals).trimmed();
    if (equals < 0 || key.isEmpty())
        return Refusal {{}, QStringLiteral("not a [section], a key = value or a comment")};
    return TakeKey(key, line.mid(equals + 1).trimmed(), number, reading);
}

// Reads file's bytes, at most one more than a profile may have. Why not,
// in the system's words, when it cannot be read.
QString ReadAtMost(const QString& file, QByteArray& bytes)
{
    const int descriptor = platform::OpenForReading(ToFsPath(file));
    if (descriptor < 0)
        return QString::fromStdString(std::generic_category().message(errno));
    QFile input;
    if (!input.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return input.errorString();
    bytes = input.read(kMostBytes + 1);
    return input.error() == QFileDevice::NoError ? QString() : input.errorString();
}

} // namespace

QString ProfileError::Text() const
{
    QStringList where;
    if (!file.isEmpty())
        where.append(file);
    if (line > 0)
        where.append(QString::number(line));
    QStringList parts;
    if (!where.isEmpty())
        parts.append(where.join(u':'));
    if (!key.isEmpty())
        parts.append(key);
    parts.append(reason);
    return parts.join(QStringLiteral(": "));
}

std::variant<DeviceProfile, ProfileError> ParseProfile(const QByteArray& text, const QString& name, const QString& file)
{
    Reading reading;
    int number = 0;
    for (const QByteArray& bytes : Lines(text)) {
        ++number;
        const std::optional<QString> line = Utf8(bytes);
        std::optional<Refusal> refusal
            = line ? TakeLine(Uncommented(*line), number, reading) : Refusal {{}, QStringLiteral("not UTF-8 text")};
        if (refusal)
            return ProfileError {file, number, refusal->key, refusal->reason};
    }
    if (reading.seen.isEmpty())
        return ProfileError {file, 0, {}, QStringLiteral("no [Audio], [Photos] or [Limits] section")};
    DeviceProfile profile {name, file, std::nullopt, reading.limits, std::nullopt};
    if (reading.seen.contains(kAudio)) {
        if (std::optional<ProfileError> problem = RulesProblem(reading.rules, reading.given, file))
            return *problem;
        profile.audio = reading.rules;
    }
    if (reading.seen.contains(kPhotos))
        profile.photos = reading.photos;
    return profile;
}

std::variant<DeviceProfile, ProfileError> ReadProfileFile(const QString& file, const QString& name)
{
    QByteArray text;
    if (const QString reason = ReadAtMost(file, text); !reason.isEmpty())
        return ProfileError {file, 0, {}, reason};
    if (text.size() > kMostBytes)
        return ProfileError {file, 0, {}, QStringLiteral("larger than 64 KiB, which no profile is")};
    return ParseProfile(text, name, file);
}
