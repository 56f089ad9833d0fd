#include "device/NameLength.h"

namespace {

// Where a file's extension starts; its length when it has none. A dot in
// front (".profile") starts no extension, and neither does one that would
// leave no room for a stem.
qsizetype ExtensionAt(const QString& name, int limit)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && name.size() - dot < limit / 2 ? dot : name.size();
}

// The first count code units of text, less a lone half of a surrogate pair
// and the blanks and dots it would end in.
QString CutTo(const QString& text, qsizetype count)
{
    QString cut = text.left(count);
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    while (!cut.isEmpty() && (cut.back() == u' ' || cut.back() == u'.'))
        cut.chop(1);
    return cut;
}

} // namespace

QString NameWithin(const QString& name, int limit, bool hasExtension)
{
    if (name.size() <= limit)
        return name;
    const qsizetype extension = hasExtension ? ExtensionAt(name, limit) : name.size();
    const QString suffix = name.mid(extension);
    return CutTo(name.left(extension), limit - suffix.size()) + suffix;
}

QString NumberedNameWithin(const QString& name, std::uint32_t number, int limit)
{
    const qsizetype extension = ExtensionAt(name, limit);
    const QString suffix = QString::number(number) + name.mid(extension);
    return CutTo(name.left(extension), limit - suffix.size()) + suffix;
}
