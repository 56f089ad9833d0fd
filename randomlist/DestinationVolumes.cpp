#include "randomlist/DestinationVolumes.h"

#include "core/PathHelpers.h"

#include "platform/Volume.h"

#include <QHash>

#include <algorithm>

namespace {

// Past this many, the window's message counts the passed-over files rather
// than naming them, so that it still fits on the screen.
constexpr qsizetype kNamedInMessage = 10;

bool IsRefusedInWindowsNames(QChar c)
{
    return c.unicode() < 0x20 || QStringView(u"?*:\"<>|\\").contains(c);
}

// A folder as people write it: without its closing separator, unless it is
// a root ("/", "C:\").
QString FolderForMessage(const QString& folder)
{
    const QChar separator = NativeSeparator();
    if (folder.size() <= 1 || !folder.endsWith(separator))
        return folder;
    const QString bare = folder.chopped(1);
    return bare.endsWith(u':') ? folder : bare;
}

} // namespace

QString WindowsFileName(const QString& name)
{
    QString mapped = name;
    for (qsizetype i = 0; i < mapped.size(); ++i) {
        if (mapped[i].isHighSurrogate() && i + 1 < mapped.size() && mapped[i + 1].isLowSurrogate())
            ++i; // a whole character beyond U+FFFF
        else if (mapped[i].isSurrogate() || IsRefusedInWindowsNames(mapped[i]))
            mapped[i] = u'_'; // a half one stands for a byte that is no UTF-8, which such names cannot hold
    }
    while (mapped.endsWith(u'.') || mapped.endsWith(u' '))
        mapped.chop(1);
    return mapped.isEmpty() ? QStringLiteral("_") : mapped;
}

QString AsciiName(const QString& name)
{
    // Letters that decomposition leaves whole.
    static const QHash<char16_t, const char*> spelt {
        {u'ø', "o"},  {u'Ø', "O"},  {u'ß', "ss"}, {u'æ', "ae"}, {u'Æ', "AE"}, {u'œ', "oe"}, {u'Œ', "OE"},
        {u'đ', "d"},  {u'Đ', "D"},  {u'ł', "l"},  {u'Ł', "L"},  {u'þ', "th"}, {u'Þ', "Th"}, {u'ð', "d"},
        {u'Ð', "D"},  {u'ı', "i"},
    };
    QString plain;
    plain.reserve(name.size());
    // A byte that is no UTF-8 stands alone; it is no letter to decompose.
    const QString decomposed = name.normalized(QString::NormalizationForm_KD);
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const QChar c = decomposed[i];
        if (c.unicode() < 0x80) {
            plain += c;
        } else if (const auto found = spelt.constFind(c.unicode()); found != spelt.cend()) {
            plain += QLatin1String(*found);
        } else if (c.isHighSurrogate() && i + 1 < decomposed.size() && decomposed[i + 1].isLowSurrogate()) {
            const char32_t point = QChar::surrogateToUcs4(c, decomposed[++i]);
            if (QChar::category(point) < QChar::Mark_NonSpacing || QChar::category(point) > QChar::Mark_Enclosing)
                plain += u'_';
        } else if (!c.isMark()) {
            plain += u'_';
        }
    }
    return plain;
}

QString NameUnder(NameRule rule, const QString& name)
{
    switch (rule) {
    case NameRule::AsIs: return name;
    case NameRule::Windows: return WindowsFileName(name);
    case NameRule::Ascii: return AsciiName(name);
    case NameRule::AsciiWindows: return WindowsFileName(AsciiName(name));
    }
    return name;
}

QString TooLargeNote(const QString& file, const PassedOverFiles& passed)
{
    return QStringLiteral("%1 is too large for the %2 file system of %3: passed over")
        .arg(FileNameOf(file), passed.typeName, passed.folder);
}

QString TooLargeMessage(const PassedOverFiles& passed)
{
    const qsizetype count = passed.files.size();
    if (count == 1) {
        return QStringLiteral("%1 is too large for the %2 file system of %3 and was passed over.")
            .arg(FileNameOf(passed.files.front()), passed.typeName, passed.folder);
    }
    QString message = QStringLiteral("%1 files are too large for the %2 file system of %3 and were passed over:")
                          .arg(count)
                          .arg(passed.typeName, passed.folder);
    for (qsizetype i = 0; i < std::min(count, kNamedInMessage); ++i)
        message += QStringLiteral("\r") + FileNameOf(passed.files[i]);
    if (count > kNamedInMessage)
        message += QStringLiteral("\r... and %1 more.").arg(count - kNamedInMessage);
    return message;
}

DestinationVolumes DestinationVolumes::WithAsciiNames() const
{
    DestinationVolumes ascii = *this;
    for (NameRule& rule : ascii.rules_)
        rule = rule == NameRule::Windows || rule == NameRule::AsciiWindows ? NameRule::AsciiWindows : NameRule::Ascii;
    return ascii;
}

DestinationVolumes::DestinationVolumes(const QStringList& folders)
{
    QHash<QString, std::optional<platform::VolumeFacts>> learnt;
    rules_.reserve(static_cast<std::size_t>(folders.size()));
    for (const QString& folder : folders) {
        auto known = learnt.find(folder);
        if (known == learnt.end())
            known = learnt.insert(folder, platform::VolumeOf(ToFsPath(folder)));
        const std::optional<platform::VolumeFacts>& facts = *known;
        const bool learnable = facts && !facts->typeName.empty();
        rules_.push_back(learnable && facts->windowsNames ? NameRule::Windows : NameRule::AsIs);
        if (learnable && facts->maxFileSize && (!maxFileSize_ || *facts->maxFileSize < *maxFileSize_)) {
            maxFileSize_ = facts->maxFileSize;
            limitType_ = QString::fromStdString(facts->typeName);
            limitFolder_ = FolderForMessage(folder);
        }
    }
}
