#include "copyrun/PlanText.h"

#include "core/PathHelpers.h"
#include "platform/NameCodec.h"

#include <algorithm>
#include <string>

namespace {

const QByteArray kJoin = kWillBeCopiedTo.toUtf8();
const QByteArray kConvertedJoin = kWillBeConvertedTo.toUtf8();

#ifdef Q_OS_WIN
const QByteArray kEscapedSpace = QByteArrayLiteral("|");
#else
const QByteArray kEscapedSpace = QByteArrayLiteral("\\x20");
#endif

// The joining words without their closing space: a source that ends in
// them would otherwise make a second join with the real one.
const QByteArray kJoinWords[] = {kJoin.chopped(1), kConvertedJoin.chopped(1)};
const QByteArray kJoinsShare = QByteArrayLiteral(" will be ");

// Escapes the joining words inside one path, so that only the real join is
// left. Most paths hold neither, which one look tells.
QByteArray WithJoinEscaped(QByteArray path)
{
    if (!path.contains(kJoinsShare))
        return path;
    for (const QByteArray& words : kJoinWords) {
        if (path.contains(words))
            path.replace(words, kEscapedSpace + words.mid(1));
    }
    return path;
}

// Where the one join of a line stands, and how long it is; empty when the
// line holds none, or more than one.
std::optional<std::pair<qsizetype, qsizetype>> OnlyJoin(const QByteArray& line, bool& converted)
{
    const qsizetype copied = line.indexOf(kJoin);
    const qsizetype convertedAt = line.indexOf(kConvertedJoin);
    if ((copied < 0) == (convertedAt < 0))
        return std::nullopt;
    converted = convertedAt >= 0;
    const QByteArray& join = converted ? kConvertedJoin : kJoin;
    const qsizetype at = converted ? convertedAt : copied;
    if (line.indexOf(join, at + 1) >= 0)
        return std::nullopt;
    return std::pair(at, join.size());
}

#ifdef Q_OS_WIN

QByteArray EscapedPath(const QString& path) { return path.toUtf8(); }

QString PathOfPlanText(QByteArray text) { return QString::fromUtf8(text.replace('|', ' ')); }

#else

void AppendEscaped(QByteArray& line, unsigned char byte)
{
    static const char kHex[] = "0123456789abcdef";
    line.append("\\x");
    line.append(kHex[byte >> 4]);
    line.append(kHex[byte & 0xF]);
}

int HexValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

bool IsControl(char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F); }

QByteArray EscapedPath(const QString& path)
{
    // Most paths need no escape at all.
    if (std::all_of(path.begin(), path.end(), [](QChar c) {
            return !IsControl(c.unicode()) && c != u'\\' && !platform::IsEscapedByte(c.unicode());
        }))
        return path.toUtf8();
    QByteArray line;
    line.reserve(path.size() + 8);
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i].unicode();
        if (platform::IsEscapedByte(unit)) {
            AppendEscaped(line, static_cast<unsigned char>(unit & 0xFF));
        } else if (unit >= 0x80 && unit <= 0x9F) {
            // U+0080 to U+009F take two bytes in UTF-8: C2 80 to C2 9F.
            AppendEscaped(line, 0xC2);
            AppendEscaped(line, static_cast<unsigned char>(unit));
        } else if (IsControl(unit)) {
            AppendEscaped(line, static_cast<unsigned char>(unit));
        } else if (unit == u'\\') {
            line.append("\\\\");
        } else if (unit < 0x80) {
            line.append(static_cast<char>(unit));
        } else if (path[i].isHighSurrogate() && i + 1 < path.size() && path[i + 1].isLowSurrogate()) {
            line.append(QStringView(path).mid(i++, 2).toUtf8());
        } else {
            line.append(QStringView(path).mid(i, 1).toUtf8());
        }
    }
    return line;
}

QString PathOfPlanText(const QByteArray& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            bytes.push_back('\\');
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexValue(text[i + 2]) >= 0
                   && HexValue(text[i + 3]) >= 0) {
            bytes.push_back(static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3])));
            i += 3;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return FromFsName(bytes);
}

#endif

} // namespace

QByteArray PlanPath(const QString& path) { return WithJoinEscaped(EscapedPath(path)); }

std::optional<QString> PathOfPlanPath(const QByteArray& text)
{
    QString path = PathOfPlanText(text);
    if (path.contains(QChar(0)))
        return std::nullopt;
    return path;
}

QByteArray PlanLine(const CopyRow& row)
{
    return PlanPath(row.source) + (row.converted ? kConvertedJoin : kJoin) + PlanPath(row.Destination());
}

std::optional<CopyRow> RowOfPlanLine(const QByteArray& line)
{
    bool converted = false;
    const std::optional<std::pair<qsizetype, qsizetype>> join = OnlyJoin(line, converted);
    if (!join)
        return std::nullopt;
    const std::optional<QString> source = PathOfPlanPath(line.left(join->first));
    const std::optional<QString> destination = PathOfPlanPath(line.mid(join->first + join->second));
    if (!source || !destination)
        return std::nullopt;
    CopyRow row = CopyRowTo(*source, *destination);
    row.converted = converted;
    return row;
}
