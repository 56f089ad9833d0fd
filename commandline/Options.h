#pragma once

#include "refill/RefillSettings.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

class QCommandLineParser;

// The command line's options: what was typed, checked, as plain values.

struct Options {
    RefillSettings refill;
    std::optional<std::uint32_t> seed; // chosen afresh when none is given
    bool quiet = false;
    bool verbose = false;
    QString savePlan;
    QString plan; // "-" for standard input
    // The schedule: registered at scheduleAt ("HH:MM") instead of run now,
    // removed, or shown; its name; and the run's line in the refill log.
    QString scheduleAt;
    bool unschedule = false;
    bool showSchedule = false;
    QString scheduleName = QStringLiteral("Refill");
    bool scheduleNamed = false;
    bool log = false;
};

// A mistake in the arguments: nothing is read or copied. Its text is meant
// for the user.
class UsageError {
public:
    explicit UsageError(QString text) : text(std::move(text)) {}
    QString text;
};

// Adds the table's options to the parser.
void AddOptions(QCommandLineParser& parser);

// The names of each option that takes a value, its short name first.
std::vector<QStringList> OptionsTakingAValue();

// The options the parser read, checked. Throws UsageError.
Options OptionsOf(const QCommandLineParser& parser, const QStringList& arguments);

// The usage error for arguments the parser refused: an unknown option, named
// as typed, or an option of the window.
QString RefusedArgumentsText(const QCommandLineParser& parser, const QStringList& arguments);

// True when an argument starts an option that is not one of Qt's own window
// options (-platform, -session, -style, ...), which the window takes.
bool HasOptionOfItsOwn(const QStringList& arguments);

// What the closing lines of --help say.
extern const char* const kHelpEpilogue;
