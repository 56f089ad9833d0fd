#include "core/SettingsStore.h"

#include "core/Failure.h"

#include <QSettings>

namespace SettingsStore {

// The application key names the store and the section one set of values in it:
// ~/.config/Marrowind/Quorvex.conf on Linux, HKCU\Software\Marrowind\Quorvex on
// Windows. The format is QSettings' default, the native one unless a test
// has chosen files (Windows' registry has no folder to move elsewhere).

QString GetSetting(const QString& applicationKey, const QString& section, const QString& valueName,
                   const QString& defaultValue)
{
    QSettings settings(QSettings::defaultFormat(), QSettings::UserScope, applicationKey, section);
    const QVariant value = settings.value(valueName);
    if (settings.status() != QSettings::NoError)
        throw Failure(QStringLiteral("The settings store could not be read: ") + settings.fileName());
    if (!value.isValid())
        return defaultValue;
    // A configuration file reads an unquoted text with commas as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

QString Read(const QString& valueName, const QString& defaultValue)
{
    return GetSetting(kApplicationKey, kSection, valueName, defaultValue);
}

QString Location(const QString& applicationKey, const QString& section)
{
    return QSettings(QSettings::defaultFormat(), QSettings::UserScope, applicationKey, section).fileName();
}

} // namespace SettingsStore
