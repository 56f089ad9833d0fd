#pragma once

#include "device/AudioFacts.h"
#include "device/ConversionCache.h"
#include "device/DeviceProfile.h"
#include "device/Fitting.h"
#include "device/PhotoFacts.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <atomic>
#include <functional>
#include <mutex>
#include <semaphore>
#include <optional>
#include <vector>

// The run's destinations as the devices they are, and the drawn files
// fitted to them: which are copied as they are and which converted (songs)
// or made anew (photos), under which name, how much room each takes, and,
// at the copy, the file made itself, from the cache, from ffmpeg or from
// the photo fitting. What a file is, is read once a run. Prepare may be
// called from several threads at once.
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
    // True when the file is converted by ffmpeg for the device of folder.
    bool NeedsFfmpeg(const QString& source, const QString& folder);
    // The name a drawn file takes in folder: name, or name with the
    // extension of the file made (.mp3, .m4a, .jpg).
    QString NameFor(const QString& source, const QString& name, const QString& folder);
    // The most the file (of size bytes) takes in folder, and on any
    // destination; a photo made anew, the size it is guessed to take until
    // it is made.
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
    // How many files ffmpeg converted and the photo fitting made this run.
    int Conversions() const { return conversions_; }

private:
    // What becomes of a file for a device, and whether as a photo.
    struct Fit {
        Treatment treatment = Treatment::Copy;
        bool photo = false;
    };
    Fit FitFor(const QString& source, const DeviceProfile& profile);
    AudioFacts AudioFactsOf(const QString& source);
    PhotoFacts PhotoFactsOf(const QString& source);
    QString Recipe(const DeviceProfile& profile, Fit fit);
    // The file made by make (which writes the temporary it is given, or says
    // why not), or the one made before for key.
    Prepared Made(const QString& key, const QString& suffix, const std::function<QString(const QString&)>& make);

    Options options_;
    mutable std::once_flag ffmpegFound_;
    mutable QString ffmpeg_;
    QString ffmpegVersion_;
    ConversionCache cache_;
    std::vector<std::pair<QString, DeviceProfile>> profiles_; // by folder, with its closing separator
    mutable std::mutex mutex_;
    QHash<QString, AudioFacts> audio_;
    QHash<QString, PhotoFacts> photos_;
    QHash<QString, QString> prepared_; // source + '\n' + destination folder -> file copied
    std::atomic<int> conversions_ {0};
    // One conversion a core: the copies ahead run on a few workers, and
    // ffmpeg keeps a core busy each.
    std::counting_semaphore<> cores_;
};
