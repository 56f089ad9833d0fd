#include "PrivateSettings.h"

#include <QSettings>
#include <QStandardPaths>

PrivateSettings::PrivateSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    // Files, not Windows' registry, which no path can move.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
}
