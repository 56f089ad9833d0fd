#include "copyrun/PlanText.h"

#include "core/PathHelpers.h"
#include "platform/NameCodec.h"

#include <algorithm>
#include <string>

#ifdef Q_OS_WIN

QByteArray PlanLine(const QString& row) { return row.toUtf8(); }

QString RowOfPlanLine(const QByteArray& line) { return QString::fromUtf8(line); }

#else

namespace {

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

} // namespace

QByteArray PlanLine(const QString& row)
{
    // Most rows need no escape at all.
    if (std::all_of(row.begin(), row.end(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() != 0x7F && c != u'\\' && !platform::IsEscapedByte(c.unicode());
        }))
        return row.toUtf8();
    QByteArray line;
    line.reserve(row.size() + 8);
    for (qsizetype i = 0; i < row.size(); ++i) {
        const char16_t unit = row[i].unicode();
        if (platform::IsEscapedByte(unit))
            AppendEscaped(line, static_cast<unsigned char>(unit & 0xFF));
        else if (unit < 0x20 || unit == 0x7F)
            AppendEscaped(line, static_cast<unsigned char>(unit));
        else if (unit == u'\\')
            line.append("\\\\");
        else if (unit < 0x80)
            line.append(static_cast<char>(unit));
        else if (row[i].isHighSurrogate() && i + 1 < row.size() && row[i + 1].isLowSurrogate())
            line.append(QStringView(row).mid(i++, 2).toUtf8());
        else
            line.append(QStringView(row).mid(i, 1).toUtf8());
    }
    return line;
}

QString RowOfPlanLine(const QByteArray& line)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(line.size()));
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '\\') {
            bytes.push_back('\\');
            ++i;
        } else if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x' && HexValue(line[i + 2]) >= 0
                   && HexValue(line[i + 3]) >= 0) {
            bytes.push_back(static_cast<char>(HexValue(line[i + 2]) * 16 + HexValue(line[i + 3])));
            i += 3;
        } else {
            bytes.push_back(line[i]);
        }
    }
    return FromFsName(bytes);
}

#endif
