#include "device/ProfileLookup.h"

#include "core/PathHelpers.h"
#include "core/StateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

const QString kProfileSuffix = QStringLiteral(".ini");

// The folder that holds the window's refill.ini.
QString ConfigFolder()
{
    // Honoured on every system, so that a test can point it elsewhere.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(config))
        return QDir(config).filePath(QStringLiteral("Quorvex"));
#ifdef Q_OS_WIN
    // The window's application name, which a command-line run does not set.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Quorvex"));
#else
    return QDir(UserHomeFolder()).filePath(QStringLiteral(".config/Quorvex"));
#endif
}

std::optional<DeviceProfile> BuiltInNamed(const QString& name)
{
    for (const DeviceProfile& profile : BuiltInProfiles()) {
        if (profile.name == name)
            return profile;
    }
    return std::nullopt;
}

// The names of the profile files in the user's folder, sorted. Only a
// lower-case .ini is listed, as that is what a name is looked up by.
QStringList OwnProfileNames(std::vector<ProfileError>& errors)
{
    const QString folder = UserProfileFolder();
    QStringList names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(ToFsPath(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        const QString file = FromFsName(entry->path().filename().native());
        std::error_code kind;
        if (file.endsWith(kProfileSuffix) && file.size() > kProfileSuffix.size() && !entry->is_directory(kind))
            names.append(file.chopped(kProfileSuffix.size()));
    }
    // No folder is no profiles of one's own.
    if (error && error != std::errc::no_such_file_or_directory)
        errors.push_back({folder, 0, {}, QString::fromStdString(error.message())});
    std::sort(names.begin(), names.end());
    return names;
}

QString OwnProfileFile(const QString& name) { return UserProfileFolder() + NativeSeparator() + name + kProfileSuffix; }

} // namespace

QString UserProfileFolder()
{
    return QDir::toNativeSeparators(QDir(ConfigFolder()).filePath(QStringLiteral("devices")));
}

QString StickProfileFile(const QString& destinationFolder)
{
    return WithClosingSeparator(destinationFolder) + QStringLiteral(".quorvex-device.ini");
}

bool NamesProfileFile(const QString& argument)
{
#ifdef Q_OS_WIN
    if (argument.contains(u'\\'))
        return true;
#endif
    return argument.endsWith(kProfileSuffix, Qt::CaseInsensitive) || argument.contains(u'/');
}

std::variant<DeviceProfile, ProfileError> ProfileNamed(const QString& argument)
{
    if (NamesProfileFile(argument))
        return ReadProfileFile(argument, QFileInfo(argument).completeBaseName());
    // The user's own file of a name replaces the built-in one.
    if (const QString file = OwnProfileFile(argument); PathExists(file))
        return ReadProfileFile(file, argument);
    if (std::optional<DeviceProfile> builtIn = BuiltInNamed(argument))
        return *builtIn;
    return ProfileError {{}, 0, {}, QStringLiteral("no device profile named \"%1\"").arg(ReadableText(argument))};
}

std::vector<DeviceProfile> AllProfiles(std::vector<ProfileError>& errors)
{
    std::vector<DeviceProfile> profiles;
    const QStringList own = OwnProfileNames(errors);
    for (const QString& name : own) {
        auto read = ReadProfileFile(OwnProfileFile(name), name);
        if (auto* profile = std::get_if<DeviceProfile>(&read))
            profiles.push_back(std::move(*profile));
        else
            errors.push_back(std::get<ProfileError>(read));
    }
    // An own file that is refused still hides the built-in of its name, as
    // choosing that name gives its error.
    for (const DeviceProfile& builtIn : BuiltInProfiles()) {
        if (!own.contains(builtIn.name))
            profiles.push_back(builtIn);
    }
    return profiles;
}

std::variant<DeviceProfile, ProfileError> ProfileForDestination(const std::optional<DeviceProfile>& chosen,
                                                                const QString& destinationFolder)
{
    if (chosen)
        return *chosen;
    if (const QString file = StickProfileFile(destinationFolder); PathExists(file))
        return ReadProfileFile(file, QStringLiteral("this device's own"));
    return *BuiltInNamed(QString::fromLatin1(kAsIsProfile));
}
