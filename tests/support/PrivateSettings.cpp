#include "PrivateSettings.h"

#include <QSettings>
#include <QStandardPaths>

PrivateSettings::PrivateSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
}
