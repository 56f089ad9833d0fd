#include "refill/RefillSettings.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

std::optional<std::uint64_t> ParseSize(const QString& text)
{
    static const QRegularExpression size(QStringLiteral("^\\s*(\\d+(?:\\.\\d*)?|\\.\\d+)\\s*([kmgt]?)(?:i?b)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = size.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int power = QStringLiteral(" kmgt").indexOf(match.captured(2).toLower());
    const double bytes = match.captured(1).toDouble() * std::pow(1024.0, power > 0 ? power : 0);
    if (!(bytes < 18e18))
        return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

std::optional<std::uint64_t> ParseStars(const QString& text)
{
    static const QRegularExpression stars(QStringLiteral("^\\s*(\\d)(?:\\.(0|5))?\\s*$"));
    const QRegularExpressionMatch match = stars.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const std::uint64_t halves = match.captured(1).toULongLong() * 2 + (match.captured(2) == u"5" ? 1 : 0);
    if (halves < 1 || halves > 10)
        return std::nullopt;
    return halves;
}

QString StarsText(std::uint64_t halfStars)
{
    return QString::number(halfStars / 2) + (halfStars % 2 ? QStringLiteral(".5") : QString());
}

SettingsClash ClashOf(const RefillSettings& settings)
{
    if (settings.wholeFolders && (settings.repeats || settings.balance))
        return SettingsClash::WholeFoldersWithRepeats;
    if (settings.wholeFolders && std::any_of(settings.destinations.begin(), settings.destinations.end(),
                                             [](const FolderOption& folder) { return folder.kind == FolderSource::Tree; }))
        return SettingsClash::WholeFoldersWithDestTree;
    if (settings.repeats && settings.cycle)
        return SettingsClash::CycleWithRepeats;
    if (settings.repeats && (settings.maxBytes || settings.fill) && !settings.count)
        return SettingsClash::BudgetWithRepeats;
    return SettingsClash::None;
}

bool KeepsNames(const RefillSettings& settings)
{
    return settings.keepExisting || (settings.refresh && !settings.skipExisting);
}

bool IsPlaylistName(const QString& name)
{
    static const QRegularExpression playlist(QStringLiteral("^[^/\\\\:*?\"<>|\\x00-\\x1f]+\\.m3u8?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return playlist.match(name).hasMatch() && !name.startsWith(u'.');
}
