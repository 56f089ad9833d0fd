#pragma once

#include "device/DeviceProfile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What a refill is asked to do, as one plain value: the command line fills
// it from its options, the window from its lists and its Refill Settings.

// How a folder is named: the folder itself (or a file, which is its own
// source), the folder and every folder below it, or a file that lists
// folders, one a line.
enum class FolderSource { Folder, Tree, ListFile };

struct FolderOption {
    FolderSource kind;
    QString value; // "-" for a list read from standard input

    friend bool operator==(const FolderOption&, const FolderOption&) = default;
};

// --exclude or --only: thins the files to draw from, in the order typed.
struct NameFilter {
    bool keepMatching;
    QString pattern;

    friend bool operator==(const NameFilter&, const NameFilter&) = default;
};

struct RefillSettings {
    std::vector<FolderOption> sources;
    std::vector<FolderOption> destinations;
    std::vector<NameFilter> filters;
    std::optional<std::uint64_t> count; // files (or folders) per destination
    std::optional<std::uint64_t> maxBytes;
    bool repeats = false;
    bool balance = false;
    bool cycle = false;
    QString cycleName;
    bool skipExisting = false;
    bool keepExisting = false;
    bool refresh = false;      // removes the last refresh's unchanged copies first
    bool fill = false;         // draws as much as fits on every destination
    bool wait = false;         // waits for a destination another run holds
    bool wholeFolders = false; // draws folders, each copied whole
    bool numbered = false;     // names start with their place in the draw
    QString playlist;          // the playlist's name in each destination, if any
    bool asciiNames = false;   // every name written on a destination in plain ASCII
    bool verify = false;       // reads every copy back from its device
    bool dryRun = false;       // plans only: takes no lock and writes nothing
    QString device;            // the profile (a name or a file) every destination takes; empty: as each device says
    std::optional<DeviceProfile> deviceProfile; // device as the face read it; none: read by the run
    QString frame;             // WIDTHxHEIGHT: the screen photos are fitted to, whatever the profile says; empty: the profile's
    QString ffmpeg;            // the ffmpeg to convert with; empty: looked for
    std::optional<std::uint64_t> cacheSize; // the cap of the converted files kept; none: the default
    bool preferRated = false;  // higher-rated files drawn more often, as the library index knows them
    std::optional<std::uint64_t> minRating; // in half stars: files rated below are left out
    std::optional<std::uint64_t> unratedAs; // in half stars: where unrated files stand; none: 3 stars
    bool indexOnly = false;    // brings the library index up to date for the sources and draws nothing
    // A list file named "-" holds what the face read from its standard
    // input, or could not read (why, as the system says).
    QByteArray standardInput;
    QString standardInputError;

    friend bool operator==(const RefillSettings&, const RefillSettings&) = default;
};

// Two settings that cannot go together, in the order they are looked for.
enum class SettingsClash {
    None,
    WholeFoldersWithRepeats,  // a folder is drawn once, whatever its size: no repeats, no balance
    WholeFoldersWithDestTree, // the folders made would become destinations themselves
    CycleWithRepeats,         // every file once before any comes back
    BudgetWithRepeats,        // with repeats, a size budget needs a count: the same files could be drawn without end
};
SettingsClash ClashOf(const RefillSettings& settings);

// Whether the run keeps the files it finds in its destinations: a name in
// use is then taken. A refresh replaces no one's file, as keepExisting.
bool KeepsNames(const RefillSettings& settings);

// A size such as 700M or 14.5G (powers of 1024); empty when it is none.
std::optional<std::uint64_t> ParseSize(const QString& text);

// Stars in halves, such as 4 or 3.5, from 0.5 to 5, as a number of half
// stars (1 to 10); empty when it is none.
std::optional<std::uint64_t> ParseStars(const QString& text);
// Half stars as the user types them: 4, 3.5.
QString StarsText(std::uint64_t halfStars);

// Where unrated files stand when the settings do not say.
inline constexpr std::uint64_t kUnratedAsDefault = 6;

// Whether a playlist's name is one the refill writes: a plain name in the
// destination's top folder, not hidden, ending in .m3u8 or .m3u, which
// players take for a playlist.
bool IsPlaylistName(const QString& name);
