#pragma once

#include "refill/RefillSettings.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The command line's options that ask for a refill, each beside the
// setting it fills: the one table that the parser, the window's Copy
// Command Line and a schedule's arguments walk. Their help and the
// checks of their values are the command line's.
struct RefillOption {
    enum class Fills {
        Switch, // flag
        Folder, // a folder of folders, of folderKind
        Filter, // a name filter, keeping or leaving out what matches
        Count,  // number, a whole number
        Size,   // number, a size such as 700M
        Name,   // name
        Stars,  // number, stars in halves, as half stars
    };
    const char* longName;
    const char* shortName; // nullptr where it has none
    const char* valueName; // nullptr for a switch
    Fills fills;
    bool RefillSettings::*flag = nullptr;
    std::vector<FolderOption> RefillSettings::*folders = nullptr;
    FolderSource folderKind = FolderSource::Folder;
    bool keepsMatching = false;
    std::optional<std::uint64_t> RefillSettings::*number = nullptr;
    QString RefillSettings::*name = nullptr;
};

const std::vector<RefillOption>& RefillOptions();

// The option of that long name; nullptr when it is no refill option.
const RefillOption* RefillOptionNamed(const QString& longName);

// How the option is typed: its short name where it has one ("-s"), else
// its long one ("--source-tree").
QString TypedName(const RefillOption& option);

// Fills the option's setting with a value the command line has checked
// (a Count or Size as a number); a switch is set.
void Fill(const RefillOption& option, RefillSettings& settings, const QString& value = {},
          std::optional<std::uint64_t> number = std::nullopt);

// The command line's arguments that ask for the refill the settings
// describe, as a face hands it on (to the clipboard, to a scheduler): its
// folders and filters in the order given, then every other setting, but
// no seed, so that each run draws afresh.
QStringList RefillArguments(const RefillSettings& settings);
