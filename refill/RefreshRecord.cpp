#include "refill/RefreshRecord.h"

#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <QList>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// The first form kept no file numbers nor fingerprints, the second no
// folders; they are read for one run more, and written in the third.
enum class Form { First, Second, Third };
constexpr char kFirstHeading[] = "# quorvex: the copies the last --refresh run made here, removed by the next one";
constexpr char kSecondHeading[] = "# quorvex --refresh record 2: size, time, file number, fingerprint and name of each copy";
constexpr char kHeading[] = "# quorvex --refresh record 3: kind (file, made folder, playlist), size, time, file "
                            "number, fingerprint and path of each entry";

// A recorded name is one plain name in its folder.
bool IsPlainName(const QString& name)
{
#ifdef Q_OS_WIN
    // "C:name" leads to another drive's folder, "name:stream" into a file.
    if (name.contains(u':'))
        return false;
#endif
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0))
        && !name.contains(NativeSeparator());
}

// A recorded path leads below its folder, never elsewhere, whatever the
// record holds: plain names joined by "/" (no root, drive, "." or "..").
// The path with the system's separators, or nothing.
std::optional<QString> PathBelow(const QString& path)
{
    const QStringList names = path.split(u'/');
    if (!std::all_of(names.begin(), names.end(), IsPlainName))
        return std::nullopt;
    return names.join(NativeSeparator());
}

std::optional<std::uint64_t> Unsigned(const QByteArray& field, int base = 10)
{
    bool number = false;
    const qulonglong value = field.toULongLong(&number, base);
    return number && !field.startsWith('+') && !field.startsWith('-') ? std::optional<std::uint64_t>(value)
                                                                     : std::nullopt;
}

constexpr char kKindLetters[] = "fdp"; // by RecordedKind

// One line: "size<TAB>seconds<TAB>name" in the first form;
// "size<TAB>seconds<TAB>number or -<TAB>fingerprint<TAB>name" in the second;
// in the third the kind's letter, a tab, and the second's fields with the
// path below the folder. Names are written %XX but for letters, digits and
// "-._~" (and the path's "/").
std::optional<RecordedCopy> ParseLine(QList<QByteArray> fields, Form form)
{
    RecordedCopy copy;
    if (form == Form::Third) {
        const char* kind = fields.isEmpty() || fields[0].size() != 1 ? nullptr : std::strchr(kKindLetters, fields[0][0]);
        if (kind == nullptr || *kind == 0)
            return std::nullopt;
        copy.kind = static_cast<RecordedKind>(kind - kKindLetters);
        fields.removeFirst();
    }
    if (fields.size() != (form == Form::First ? 3 : 5))
        return std::nullopt;
    bool seconds = false;
    const std::optional<std::uint64_t> size = Unsigned(fields[0]);
    copy.modifiedSeconds = fields[1].toLongLong(&seconds);
    if (!size || !seconds)
        return std::nullopt;
    copy.size = *size;
    if (form != Form::First) {
        if (fields[2] != "-" && !(copy.number = Unsigned(fields[2])))
            return std::nullopt;
        if (fields[3].size() != 16 || !(copy.fingerprint = Unsigned(fields[3], 16)))
            return std::nullopt;
    }
    copy.name = NameOfBytes(QByteArray::fromPercentEncoding(fields.back()));
    return copy;
}

QByteArray PathBytes(const QString& path)
{
    QByteArray bytes;
    for (const QString& name : path.split(NativeSeparator()))
        bytes += (bytes.isEmpty() ? "" : "/") + NameBytes(name).toPercentEncoding();
    return bytes;
}

// The record a file's bytes hold. A last line cut short (a stick pulled
// while it was written) is left out, and the rest read.
RecordReading ParseRecord(const QByteArray& text)
{
    RecordReading reading;
    const qsizetype whole = text.lastIndexOf('\n') + 1;
    QList<QByteArray> lines = text.left(whole).split('\n');
    lines.removeLast(); // what follows the last line end: nothing, or a line cut short
    if (lines.isEmpty()) {
        // Not even the heading arrived whole.
        if (!QByteArray(kHeading).startsWith(text) && !QByteArray(kSecondHeading).startsWith(text)
            && !QByteArray(kFirstHeading).startsWith(text))
            reading.refusal.why = RecordRefusal::Why::NotOurs;
        return reading;
    }
    const Form form = lines[0] == kFirstHeading ? Form::First : lines[0] == kSecondHeading ? Form::Second : Form::Third;
    if (form == Form::Third && lines[0] != kHeading) {
        reading.refusal.why = RecordRefusal::Why::NotOurs;
        return reading;
    }
    reading.copies.reserve(lines.size() - 1);
    for (qsizetype line = 1; line < lines.size(); ++line) {
        std::optional<RecordedCopy> copy = ParseLine(lines[line].split('\t'), form);
        if (!copy) {
            reading = {{}, {RecordRefusal::Why::DamagedLine, line + 1, {}, {}}};
            return reading;
        }
        // Before the third form, a name was one plain name.
        const std::optional<QString> path = form == Form::Third ? PathBelow(copy->name)
            : IsPlainName(copy->name) ? std::optional(copy->name) : std::nullopt;
        if (!path) {
            reading = {{}, {RecordRefusal::Why::ForeignPath, line + 1, copy->name, {}}};
            return reading;
        }
        copy->name = *path;
        reading.copies.push_back(std::move(*copy));
    }
    return reading;
}

QByteArray RecordText(const std::vector<RecordedCopy>& copies)
{
    QByteArray text = QByteArray(kHeading) + '\n';
    for (const RecordedCopy& copy : copies) {
        text += QByteArray(1, kKindLetters[static_cast<int>(copy.kind)]) + '\t' + QByteArray::number(copy.size) + '\t' + QByteArray::number(copy.modifiedSeconds) + '\t'
            + (copy.number ? QByteArray::number(*copy.number) : QByteArray("-")) + '\t'
            + QByteArray::number(copy.fingerprint.value_or(0), 16).rightJustified(16, '0') + '\t'
            + PathBytes(copy.name) + '\n';
    }
    return text;
}

} // namespace

RecordReading ReadRecord(const QString& folder)
{
    const QString path = folder + QLatin1String(kRefreshRecordName);
    const std::filesystem::file_status status = StatusAt(path);
    if (!std::filesystem::exists(status))
        return {};
    if (!std::filesystem::is_regular_file(status))
        return {{}, {RecordRefusal::Why::NotAPlainFile, 0, {}, {}}};
    std::ifstream in(ToFsPath(path), std::ios::binary);
    QByteArray text(kRefreshRecordLimit + 1, Qt::Uninitialized);
    in.read(text.data(), text.size());
    if (in.bad() || !in.is_open())
        return {{}, {RecordRefusal::Why::Unreadable, 0, {}, std::error_code(errno, std::generic_category())}};
    if (in.gcount() > kRefreshRecordLimit)
        return {{}, {RecordRefusal::Why::TooLarge, 0, {}, {}}};
    text.truncate(in.gcount());
    return ParseRecord(text);
}

std::error_code WriteRecord(const QString& folder, const std::vector<RecordedCopy>& copies)
{
    const std::filesystem::path record = ToFsPath(folder + QLatin1String(kRefreshRecordName));
    std::filesystem::path aside = record;
    aside += ".new";
    const QByteArray text = RecordText(copies);
    const std::error_code error = platform::WriteFileWhole(record, aside, {text.constData(), std::size_t(text.size())});
    if (!error)
        platform::MarkHidden(record);
    return error;
}

std::error_code SetRecordAside(const QString& folder)
{
    const std::filesystem::path record = ToFsPath(folder + QLatin1String(kRefreshRecordName));
    std::filesystem::path aside = record;
    aside += kRefusedRecordSuffix;
    std::error_code error;
    std::filesystem::rename(record, aside, error);
    if (!error)
        platform::MarkHidden(aside);
    return error;
}
