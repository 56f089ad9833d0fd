#pragma once

#include "device/DeviceProfile.h"
#include "device/ProfileFile.h"

#include <QString>

#include <variant>
#include <vector>

// Where the user's own profiles are: <config>/devices, each NAME.ini.
QString UserProfileFolder();

// A stick's own profile in a destination folder.
QString StickProfileFile(const QString& destinationFolder);

// Whether --device's argument names a file (it ends in .ini or holds a
// folder separator) rather than a profile by name.
bool NamesProfileFile(const QString& argument);

// The profile --device names: a file, or a name among the user's own
// profiles and then the built-in ones. A name not found is an error that
// lists none of them; the caller says where to look.
std::variant<DeviceProfile, ProfileError> ProfileNamed(const QString& argument);

// Every profile by name: the user's own first, then the built-in ones that
// no own profile of that name replaces. Profile files that cannot be read
// are in errors.
std::vector<DeviceProfile> AllProfiles(std::vector<ProfileError>& errors);

// The profile a destination gets: the one chosen, or else the stick's own
// file in it, or else as-is; the stick file's error when it is refused.
std::variant<DeviceProfile, ProfileError> ProfileForDestination(const std::optional<DeviceProfile>& chosen,
                                                                 const QString& destinationFolder);
