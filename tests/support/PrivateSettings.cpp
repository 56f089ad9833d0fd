#include "PrivateSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>

PrivateSettings::PrivateSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    // Files the program keeps in its own configuration folder go to one of
    // this run's own, which goes with it.
    QCoreApplication::setApplicationName(QStringLiteral("quorvex-test-%1").arg(QCoreApplication::applicationPid()));
    // Files, not Windows' registry, which no path can move.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
}

PrivateSettings::~PrivateSettings()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
}
