#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Which ID3 tags a device reads.
enum class TagVersion {
    Id3v23,        // ID3v2.3 only
    Id3v23AndV1,   // ID3v2.3, and ID3v1 for units that read nothing else
    Id3v24,        // ID3v2.4
};

// What a device plays of audio, and what the rest becomes.
struct AudioRules {
    QStringList plays;      // codec names as ffprobe prints them: mp3, aac, flac, ...
    int minSampleRate = 0;  // Hz; 0: no bound
    int maxSampleRate = 0;  // Hz; 0: no bound
    int maxBitRate = 0;     // kbit/s; 0: no bound
    QString convertTo = QStringLiteral("mp3"); // mp3 or aac
    int bitRate = 192;      // kbit/s of what is converted
    TagVersion tags = TagVersion::Id3v23AndV1;
    std::optional<int> art; // a cover's largest side in pixels; 0 drops it; none keeps it as it is

    friend bool operator==(const AudioRules&, const AudioRules&) = default;
};

// How a photo is fitted to the screen: whole within it, or cropped about
// its centre to fill it.
enum class PhotoFit { Inside, Fill };

// What a photo frame shows, and how the rest is made to fit its screen.
struct PhotoRules {
    int width = 1024;  // the screen, in pixels
    int height = 600;
    PhotoFit fit = PhotoFit::Inside;
    int quality = 90;  // of the JPEG written
    QStringList plays {QStringLiteral("jpeg")}; // formats shown as they are: jpeg, png, bmp, gif
    bool keepDate = true;
    bool keepLocation = false;

    friend bool operator==(const PhotoRules&, const PhotoRules&) = default;
};

// What a device can count; none: no limit.
struct DeviceLimits {
    std::optional<int> nameLength; // a file's or folder's name, in UTF-16 code units
    std::optional<int> files;      // files on the whole device, of every kind
    std::optional<int> folders;    // folders on the whole device
    std::optional<int> filesPerFolder;
    std::optional<int> depth;      // levels of folders below the device's root

    friend bool operator==(const DeviceLimits&, const DeviceLimits&) = default;
};

// What a device plays: one value, built in or read from a profile file.
struct DeviceProfile {
    QString name;
    QString origin; // "built in", or the file it was read from
    std::optional<AudioRules> audio; // none: every file is copied as it is
    DeviceLimits limits;
    std::optional<PhotoRules> photos; // none: every photo is copied as it is

    // Plays every file: none is converted (its names may still be limited).
    bool IsAsIs() const { return !audio && !photos; }
    friend bool operator==(const DeviceProfile&, const DeviceProfile&) = default;
};

// The profile that copies every file as it is.
inline constexpr const char* kAsIsProfile = "as-is";

// The profiles that come with the program: as-is, car-mp3, player-mp3-aac,
// and the frames frame-800x480, frame-1024x600, frame-1280x800, frame-1920x1080.
const std::vector<DeviceProfile>& BuiltInProfiles();

// One line on what a profile does, for --list-devices and the window.
QString ProfileSummary(const DeviceProfile& profile);

// The fields of a profile that what it converts depends on, as one text:
// part of the key of a converted file in the cache.
QString ConversionFields(const AudioRules& rules);

// What a profile does with photos, in a few words.
QString PhotosText(const PhotoRules& rules);

// The fields of a profile that what it makes of a photo depends on.
QString PhotoFields(const PhotoRules& rules);

// The profile with its photos fitted to a screen of width x height (a
// profile without photos gains the frame's defaults).
DeviceProfile WithFrame(DeviceProfile profile, int width, int height);

// "1024x600" read as a screen's size; none when it is not one.
std::optional<std::pair<int, int>> FrameSizeOf(const QString& text);

// The sample rate a conversion writes: 44.1 kHz, or the device's bound
// where that is lower.
int ConvertedSampleRate(const AudioRules& rules);
