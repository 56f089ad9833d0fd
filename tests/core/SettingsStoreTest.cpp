#include "core/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// The program never writes settings; the tests play the user who did.
void Store(const QString& name, const QVariant& value)
{
    QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, SettingsStore::kApplicationKey,
                       SettingsStore::kSection);
    settings.setValue(name, value);
    settings.sync();
    ASSERT_EQ(settings.status(), QSettings::NoError);
}

void Forget(const QString& name)
{
    QSettings(QSettings::defaultFormat(), QSettings::UserScope, SettingsStore::kApplicationKey, SettingsStore::kSection)
        .remove(name);
}

} // namespace

TEST(SettingsStore, AbsentGivesTheDefaultPresentGivesTheText)
{
    Forget(QStringLiteral("Text1"));
    EXPECT_EQ(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")), QStringLiteral("100"));

    Store(QStringLiteral("Text1"), QStringLiteral("25"));
    EXPECT_EQ(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")), QStringLiteral("25"));

    Store(QStringLiteral("Text1"), QString());
    EXPECT_EQ(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")), QString());

    Store(QStringLiteral("Text1"), QStringLiteral("1,5 files"));
    EXPECT_EQ(SettingsStore::Read(QStringLiteral("Text1"), QStringLiteral("100")), QStringLiteral("1,5 files"));
    Forget(QStringLiteral("Text1"));
}

TEST(SettingsStore, ValuesAreAddressedByKeySectionAndName)
{
    Store(QStringLiteral("LastFolderDot"), QStringLiteral("/srv/music"));
    EXPECT_EQ(SettingsStore::GetSetting(QStringLiteral("Marrowind"), QStringLiteral("Quorvex"),
                                        QStringLiteral("LastFolderDot"), QString()),
              QStringLiteral("/srv/music"));
    EXPECT_EQ(SettingsStore::GetSetting(QStringLiteral("Marrowind"), QStringLiteral("Other"),
                                        QStringLiteral("LastFolderDot"), QStringLiteral("none")),
              QStringLiteral("none"));
    Forget(QStringLiteral("LastFolderDot"));
}

TEST(SettingsStore, TestsNeverTouchTheRealUsersSettings)
{
    const QString location = QDir::cleanPath(SettingsStore::Location(SettingsStore::kApplicationKey,
                                                                      SettingsStore::kSection));
    const QString home = QDir::cleanPath(QDir::homePath());
    EXPECT_FALSE(location.startsWith(home + QStringLiteral("/.config"))) << location.toStdString();
    EXPECT_TRUE(location.startsWith(QDir::cleanPath(QDir::tempPath()))) << location.toStdString();
}
