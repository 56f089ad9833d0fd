#include "window/RefillChoices.h"

#include "refill/RefillSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <utility>
#include <vector>

namespace {

const QString kGroup = QStringLiteral("Refill");

// The ticks, by their names in the file.
std::vector<std::pair<QString, bool RefillChoices::*>> Ticks()
{
    return {
        {QStringLiteral("fill"), &RefillChoices::fill},
        {QStringLiteral("atMost"), &RefillChoices::atMost},
        {QStringLiteral("wholeFolders"), &RefillChoices::wholeFolders},
        {QStringLiteral("cycle"), &RefillChoices::cycle},
        {QStringLiteral("balance"), &RefillChoices::balance},
        {QStringLiteral("preferRated"), &RefillChoices::preferRated},
        {QStringLiteral("atLeast"), &RefillChoices::atLeast},
        {QStringLiteral("refresh"), &RefillChoices::refresh},
        {QStringLiteral("numbered"), &RefillChoices::numbered},
        {QStringLiteral("playlist"), &RefillChoices::playlist},
        {QStringLiteral("verify"), &RefillChoices::verify},
        {QStringLiteral("asciiNames"), &RefillChoices::asciiNames},
    };
}

} // namespace

bool RefillChoices::Any() const
{
    const auto ticks = Ticks();
    return !device.isEmpty()
        || std::any_of(ticks.begin(), ticks.end(), [this](const auto& tick) { return this->*tick.second; });
}

QString RefillChoicesFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(QStringLiteral("refill.ini"));
}

RefillChoices LoadRefillChoices(const QString& file, bool& damaged)
{
    damaged = false;
    if (!QFileInfo::exists(file))
        return {};
    const QFileInfo info(file);
    QSettings settings(file, QSettings::IniFormat);
    RefillChoices choices;
    // A file that is there holds our group: one that holds something else is no file of ours.
    damaged = !info.isFile() || !info.isReadable() || settings.status() != QSettings::NoError
        || (info.size() > 0 && !settings.childGroups().contains(kGroup));
    settings.beginGroup(kGroup);
    for (const auto& [name, tick] : Ticks()) {
        const QString value = settings.value(name, QStringLiteral("false")).toString();
        damaged = damaged || (value != u"true" && value != u"false");
        choices.*tick = value == u"true";
    }
    choices.maxSize = settings.value(QStringLiteral("maxSize"), choices.maxSize).toString();
    choices.playlistName = settings.value(QStringLiteral("playlistName"), choices.playlistName).toString();
    choices.minRating = settings.value(QStringLiteral("minRating"), choices.minRating).toString();
    choices.unratedAs = settings.value(QStringLiteral("unratedAs"), choices.unratedAs).toString();
    // A profile that is gone is kept all the same: the dialog says so, and
    // the user, not a missing file, drops the choice.
    choices.device = settings.value(QStringLiteral("device")).toString();
    // An unticked setting's box may hold anything, as the dialog keeps it.
    damaged = damaged || (choices.atMost && !SizeProblem(choices.maxSize).isEmpty())
        || (choices.playlist && !PlaylistNameProblem(choices.playlistName).isEmpty())
        || (choices.atLeast && !StarsProblem(choices.minRating).isEmpty())
        || (choices.ByRating() && !StarsProblem(choices.unratedAs).isEmpty());
    return damaged ? RefillChoices() : choices;
}

bool SaveRefillChoices(const QString& file, const RefillChoices& choices)
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(kGroup);
    for (const auto& [name, tick] : Ticks())
        settings.setValue(name, choices.*tick ? QStringLiteral("true") : QStringLiteral("false"));
    settings.setValue(QStringLiteral("maxSize"), choices.maxSize);
    settings.setValue(QStringLiteral("playlistName"), choices.playlistName);
    settings.setValue(QStringLiteral("minRating"), choices.minRating);
    settings.setValue(QStringLiteral("unratedAs"), choices.unratedAs);
    settings.setValue(QStringLiteral("device"), choices.device);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString SizeProblem(const QString& size)
{
    return ParseSize(size) ? QString()
                           : QStringLiteral("\"%1\" is no size. Give a number with K, M, G or T after it, such as "
                                            "700M or 14.5G.").arg(size);
}

QString StarsProblem(const QString& stars)
{
    return ParseStars(stars) ? QString()
                             : QStringLiteral("\"%1\" is no rating. Give stars from 0.5 to 5 in halves, such as 4 or "
                                              "3.5.").arg(stars);
}

QString PlaylistNameProblem(const QString& name)
{
    return IsPlaylistName(name) ? QString()
                                : QStringLiteral("\"%1\" is no playlist's name. Give a name that ends in .m3u8 or "
                                                 ".m3u, such as Quorvex.m3u8, without a folder.").arg(name);
}
