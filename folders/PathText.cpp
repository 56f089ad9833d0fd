#include "folders/PathText.h"

#include "core/Codepage1252.h"

#include <QList>

namespace {

QString CollapsePairs(const QString& text, QChar separator)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        result.append(text[i]);
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator)
            ++i;
    }
    return result;
}

} // namespace

QString CollapseBackslashes(const QString& path, QChar separator)
{
    if (path.isEmpty() || path.front() != separator)
        return CollapsePairs(path, separator);
    qsizetype rest = 1;
    while (rest < path.size() && path[rest] == separator)
        ++rest;
    // On POSIX one leading "/" is the root of every absolute path, not a
    // network prefix to be doubled.
    const qsizetype kept = (separator == u'/' && rest == 1) ? 1 : 2;
    return QString(kept, separator) + CollapsePairs(path.mid(rest), separator);
}

bool HasBadNameCharacters(const QString& name)
{
    for (const uint character : name.toUcs4()) {
        const unsigned char code = Codepage1252::Encode(character);
        if (code < 32 || (code >= 127 && code <= 159) || code == '?')
            return true;
    }
    return false;
}
