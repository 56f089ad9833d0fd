#pragma once

#include "tags/AudioFacts.h"
#include "device/ConversionCache.h"
#include "device/DeviceProfile.h"
#include "tags/PhotoFacts.h"
#include "device/Treatment.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <semaphore>

// What becomes of each drawn file on a device of a profile, and the file
// made for it: which are copied as they are and which converted (songs) or
// made anew (photos), under which name, how much room each takes, and, at
// the copy, the file made itself: from the cache, by ffmpeg or by the photo
// making. What a file is, is read once a run: in this process, else by
// ffprobe where its name or first bytes say audio. Prepare may be called
// from several threads at once.
class FileTreatments {
public:
    struct Options {
        QString ffmpeg;      // the one chosen, or empty to look for it
        QString cacheFolder; // empty: the default
        std::uint64_t cacheCap = ConversionCache::kDefaultCap;
    };

    explicit FileTreatments(Options options);

    // Readies on the calling thread what making files for profile needs:
    // the photo decoders, before the copy's workers fit photos.
    void ReadyFor(const DeviceProfile& profile);

    // What becomes of the file, and whether as a photo.
    struct Fit {
        Treatment treatment = Treatment::Copy;
        bool photo = false;
    };
    Fit FitFor(const QString& source, const DeviceProfile& profile);
    // True when the file is a song ffmpeg converts or rewrites.
    bool NeedsFfmpeg(const QString& source, const DeviceProfile& profile);
    // The name a drawn file takes: name, or name with the extension of the
    // file made (.mp3, .m4a, .jpg).
    QString NameFor(const QString& source, const QString& name, const DeviceProfile& profile);
    // The most the file (of size bytes) takes; a photo made anew, the size
    // it is guessed to take until it is made.
    std::uint64_t SizeIn(const QString& source, std::uint64_t size, const DeviceProfile& profile);

    // ffmpeg as found; empty when there is none. Looked for once, when first
    // asked: a run that converts nothing never looks.
    const QString& Ffmpeg() const;

    struct Prepared {
        QString path;    // the file to copy
        QString failure; // why there is none
    };
    // The source fitted to the profile: converted (or taken from the cache,
    // where it was converted before). A song made must hold sound, or it
    // fails and nothing of it is kept.
    Prepared Prepare(const QString& source, const DeviceProfile& profile);

    // Once the run is over: the cache kept within its cap, and the
    // temporaries of runs that died swept. How many entries went.
    int TrimCache();
    // How many files ffmpeg converted and the photo fitting made this run.
    int Conversions() const { return conversions_; }

private:
    AudioFacts AudioFactsOf(const QString& source);
    AudioFacts ProbedFactsOf(const QString& path);
    const QString& Ffprobe() const;
    PhotoFacts PhotoFactsOf(const QString& source);
    QString Recipe(const DeviceProfile& profile, Fit fit);
    QString MakeSong(const QString& source, const AudioRules& rules, Treatment treatment, const QString& target);
    // The file made by make (which writes the temporary it is given, or says
    // why not), or the one made before for key.
    Prepared Made(const QString& key, const QString& suffix, const std::function<QString(const QString&)>& make);

    Options options_;
    mutable std::once_flag ffmpegFound_;
    mutable QString ffmpeg_;
    mutable std::once_flag ffprobeFound_;
    mutable QString ffprobe_;
    QString ffmpegVersion_;
    ConversionCache cache_;
    std::mutex mutex_;
    QHash<QString, AudioFacts> audio_;
    QHash<QString, PhotoFacts> photos_;
    std::atomic<int> conversions_ {0};
    // One conversion a core: the copies ahead run on a few workers, and
    // ffmpeg keeps a core busy each.
    std::counting_semaphore<> cores_;
};
