#pragma once

#include "device/FileTreatments.h"
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

// A run's treatments of the files drawn for a device of profile, with its
// cache in the tree.
struct Night {
    Night(const TempTree& tree, const DeviceProfile& profile, const QString& ffmpeg = {})
        : treatments({ffmpeg, tree.Path("cache"), ConversionCache::kDefaultCap}), profile(profile)
    {
        QDir().mkpath(tree.Path("lib"));
        treatments.ReadyFor(profile);
    }
    Treatment TreatmentOf(const QString& source) { return treatments.FitFor(source, profile).treatment; }
    FileTreatments::Prepared Prepare(const QString& source) { return treatments.Prepare(source, profile); }
    QString NameFor(const QString& source, const QString& name) { return treatments.NameFor(source, name, profile); }

    FileTreatments treatments;
    DeviceProfile profile;
};

// The temporaries a conversion leaves in the cache: none once it is over.
QStringList Temporaries(const QString& cache)
{
    return QDir(cache).entryList({".qvx-*"}, QDir::Files | QDir::Hidden);
}

} // namespace
