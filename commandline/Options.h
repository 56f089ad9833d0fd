#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

class QCommandLineParser;

// The command line's options: what was typed, checked, as plain values.

enum class FolderSource { Folder, Tree, ListFile };

struct FolderOption {
    FolderSource kind;
    QString value; // "-" for a list read from standard input
};

// --exclude or --only: thins the files to draw from, in the order typed.
struct NameFilter {
    bool keepMatching;
    QString pattern;
};

struct Options {
    std::vector<FolderOption> sources;
    std::vector<FolderOption> destinations;
    std::vector<NameFilter> filters;
    std::optional<std::uint64_t> count;
    std::optional<std::uint32_t> seed;
    std::optional<std::uint64_t> maxBytes;
    bool repeats = false;
    bool balance = false;
    bool cycle = false;
    QString cycleName;
    bool skipExisting = false;
    bool keepExisting = false;
    bool refresh = false; // removes the last --refresh run's unchanged copies first
    bool fill = false;    // draws as much as fits on every destination
    bool wait = false;    // waits for a destination another run holds
    bool wholeFolders = false; // draws folders, each copied whole
    bool numbered = false;     // names start with their place in the draw
    QString playlist;          // the playlist's name in each destination, if any
    bool verify = false;       // reads every copy back from its device
    bool dryRun = false;
    bool quiet = false;
    bool verbose = false;
    QString savePlan;
    QString plan; // "-" for standard input
};

// A mistake in the arguments: nothing is read or copied. Its text is meant
// for the user.
class UsageError {
public:
    explicit UsageError(QString text) : text(std::move(text)) {}
    QString text;
};

// One row of the option table.
struct OptionRow {
    QStringList names;
    const char* valueName; // nullptr for a switch
    const char* description;
};

const std::vector<OptionRow>& OptionTable();

// Adds the table's options to the parser.
void AddOptions(QCommandLineParser& parser);

// The options the parser read, checked. Throws UsageError.
Options OptionsOf(const QCommandLineParser& parser, const QStringList& arguments);

// The usage error for arguments the parser refused: an unknown option, named
// as typed, or an option of the window.
QString RefusedArgumentsText(const QCommandLineParser& parser, const QStringList& arguments);

// True when an argument starts an option that is not one of Qt's own window
// options (-platform, -session, -style, ...), which the window takes.
bool HasOptionOfItsOwn(const QStringList& arguments);

// A path as typed, made absolute from where the command runs and written
// with the system's separators (on Windows "C:/music" is "C:\\music").
QString AbsolutePath(const QString& path);

// A size such as 700M or 14.5G (powers of 1024); empty when it is none.
std::optional<std::uint64_t> ParseSize(const QString& text);

// What the closing lines of --help say.
extern const char* const kHelpEpilogue;
