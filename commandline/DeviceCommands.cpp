#include "commandline/DeviceCommands.h"

#include "commandline/ConsoleOutput.h"
#include "device/ProfileLookup.h"

int ListDevicesCommand()
{
    std::vector<ProfileError> errors;
    QByteArray text;
    for (const DeviceProfile& profile : AllProfiles(errors))
        text += (profile.name + QLatin1Char('\t') + profile.origin + QLatin1Char('\t') + ProfileSummary(profile)).toUtf8() + '\n';
    const bool written = PrintOut(text);
    for (const ProfileError& error : errors)
        PrintMessage(QStringLiteral("device: %1").arg(error.Text()));
    return written && errors.empty() ? 0 : 1;
}
