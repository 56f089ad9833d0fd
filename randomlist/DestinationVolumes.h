#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// How a destination's file system takes file names (numbered from 0, so
// that a plan can keep one list of names per rule).
enum class NameRule {
    AsIs = 0,    // any name the system takes; it answers for itself
    Windows = 1, // no ? * : " < > | \ or control characters, no trailing dot or blank
    Ascii = 2,   // plain ASCII (see AsciiName), then as it is
    AsciiWindows = 3, // plain ASCII, then Windows' rules
};
constexpr std::size_t kNameRules = 4;

// A name in plain ASCII, for players that show nothing else: letters lose
// their marks (é is e, Ü is U), the Latin letters that keep theirs through
// decomposition are spelt out (ø o, ß ss, æ ae, œ oe, þ th, ...), and each
// code point still beyond ASCII becomes "_".
QString AsciiName(const QString& name);

// A file name as a file system with Windows' rules takes it: each character
// it refuses becomes "_", trailing dots and blanks are dropped, and a name
// left empty is "_". Song titles hold "?" and ":" often enough that failing
// them on a stick would fail a good part of a draw.
QString WindowsFileName(const QString& name);

// The name a file takes under rule.
QString NameUnder(NameRule rule, const QString& name);

// Drawn files that a destination's file system cannot hold, passed over for
// the whole draw, and the destination that cannot hold them.
struct PassedOverFiles {
    QStringList files; // their paths, each once, in the order they were drawn
    QString typeName;  // "FAT"
    QString folder;    // as the destination row names it, without a closing separator
};

// The command line's note on one passed-over file.
QString TooLargeNote(const QString& file, const PassedOverFiles& passed);

// The window's one message on them all; past a few, the rest are counted.
QString TooLargeMessage(const PassedOverFiles& passed);

// What each destination folder's file system takes, learnt once per folder.
// A folder whose file system cannot be learnt keeps names as they are and
// sets no limit: the system answers when the file is copied.
class DestinationVolumes {
public:
    // folders: the destination folders, each with its closing separator.
    explicit DestinationVolumes(const QStringList& folders);

    NameRule RuleOf(qsizetype folder) const { return rules_[static_cast<std::size_t>(folder)]; }
    // The same destinations, each taking plain ASCII names before its own rule.
    DestinationVolumes WithAsciiNames() const;
    // True when some destination cannot hold a file of any size.
    bool LimitsFileSize() const { return maxFileSize_.has_value(); }
    // True when every destination holds a file of size bytes.
    bool Holds(std::uint64_t size) const { return !maxFileSize_ || size <= *maxFileSize_; }
    // No file yet, and the destination with the smallest limit.
    PassedOverFiles NothingPassedOver() const { return {{}, limitType_, limitFolder_}; }

private:
    std::vector<NameRule> rules_;
    std::optional<std::uint64_t> maxFileSize_;
    QString limitType_;
    QString limitFolder_;
};
