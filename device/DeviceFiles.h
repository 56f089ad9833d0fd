#pragma once

#include "device/AudioFacts.h"
#include "device/ConversionCache.h"
#include "device/DeviceProfile.h"
#include "device/Fitting.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <atomic>
#include <mutex>
#include <semaphore>
#include <optional>
#include <vector>

// The run's destinations as the devices they are, and the drawn files
// fitted to them: which are copied as they are and which converted, under
// which name, how much room each takes, and, at the copy, the converted
// file itself, from the cache or from ffmpeg. What a file is, is read once
// a run. Prepare may be called from several threads at once.
class DeviceFiles {
public:
    struct Options {
        QString ffmpeg;      // the one chosen, or empty to look for it
        QString cacheFolder; // empty: the default
        std::uint64_t cacheCap = ConversionCache::kDefaultCap;
    };

    explicit DeviceFiles(Options options);

    // The profile of a destination folder and every folder below it.
    void SetProfile(const QString& destinationFolder, const DeviceProfile& profile);
    // That of the destination a folder lies in; as-is for one not set.
    const DeviceProfile& ProfileOf(const QString& folder) const;
    // True when some destination converts what it does not play.
    bool AnyConverts() const;

    Treatment TreatmentFor(const QString& source, const QString& folder);
    // The name a drawn file takes in folder: name, or name with the
    // converted file's extension.
    QString NameFor(const QString& source, const QString& name, const QString& folder);
    // The most the file (of size bytes) takes in folder, and on any destination.
    std::uint64_t SizeIn(const QString& source, std::uint64_t size, const QString& folder);
    std::uint64_t SizeOnDevices(const QString& source, std::uint64_t size);

    // ffmpeg as found; empty when there is none. Looked for once, when first
    // asked: a run that converts nothing never looks.
    const QString& Ffmpeg() const;

    struct Prepared {
        QString path;    // the file to copy
        QString failure; // why there is none
    };
    // The source fitted to the destination of folder: converted (or taken
    // from the cache, where it was converted before).
    Prepared Prepare(const QString& source, const QString& folder);

    // The converted files that the run's copies were made from, by source and
    // folder, so that a copy is read back against what it was copied from.
    QString PreparedPath(const QString& source, const QString& folder) const;

    // Once the run is over: the cache kept within its cap. How many entries went.
    int TrimCache();
    // How many conversions ffmpeg made this run.
    int Conversions() const { return conversions_; }

private:
    AudioFacts FactsOf(const QString& source);
    QString Recipe(const AudioRules& rules, Treatment treatment);

    Options options_;
    mutable std::once_flag ffmpegFound_;
    mutable QString ffmpeg_;
    QString ffmpegVersion_;
    ConversionCache cache_;
    std::vector<std::pair<QString, DeviceProfile>> profiles_; // by folder, with its closing separator
    mutable std::mutex mutex_;
    QHash<QString, AudioFacts> facts_;
    QHash<QString, QString> prepared_; // source + '\n' + destination folder -> file copied
    std::atomic<int> conversions_ {0};
    // One conversion a core: the copies ahead run on a few workers, and
    // ffmpeg keeps a core busy each.
    std::counting_semaphore<> cores_;
};
