#pragma once

#include "device/DeviceFiles.h"
#include "device/DeviceProfile.h"
#include "support/TempTree.h"

#include <QDir>

namespace {

DeviceProfile Profile(const char* name)
{
    for (const DeviceProfile& profile : BuiltInProfiles()) {
        if (profile.name == QLatin1String(name))
            return profile;
    }
    return {};
}

// A run's devices: the destination folder dst of the tree takes profile.
struct Night {
    Night(const TempTree& tree, const DeviceProfile& profile, const QString& ffmpeg = {})
        : devices({ffmpeg, tree.Path("cache"), ConversionCache::kDefaultCap}), destination(tree.Path("dst"))
    {
        QDir().mkpath(tree.Path("lib"));
        devices.SetProfile(destination, profile);
    }
    DeviceFiles devices;
    QString destination;
};

// The temporaries a conversion leaves in the cache: none once it is over.
QStringList Temporaries(const QString& cache)
{
    return QDir(cache).entryList({".qvx-*"}, QDir::Files | QDir::Hidden);
}

} // namespace
