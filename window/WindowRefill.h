#pragma once

#include "refill/RefillProblem.h"
#include "refill/RefillSettings.h"
#include "window/RefillChoices.h"

#include <QString>
#include <QStringList>

#include <vector>

class Dialogs;
class ProblemSink;
class RefillRun;
struct CopyRow;
template <typename T> class QList;

// The window's refill: its lists and Refill Settings as a refill's
// settings, and as the command line that runs the same refill unattended.

// What the window holds that a refill asks for.
struct WindowLists {
    RefillChoices choices;
    QStringList sourceRows;
    QStringList destinationRows;
    double numberOfFiles = 0; // as the number box reads
    bool repeats = false;     // the duplicates option
};

// The sources as the command line names them: each row one folder (or
// file), but a row whose every subfolder (as the subfolder scan finds them
// now, one at least) is also a row is one tree, and its subfolders' rows
// are left out, so that albums added there later join the draw.
std::vector<FolderOption> FoldedSources(const QStringList& rows, ProblemSink& problems);

// The refill the window asks for, and its command line.
struct RefillCommandLine {
    RefillSettings settings;
    QString text;    // empty when its list files could not be written
    QString failure; // then why
};

// The command runs program. Where a folder's name cannot travel as text
// (its bytes are not UTF-8, or on Windows it holds a %) or the line would
// pass 8,000 characters, the folders go into list files in the state
// folder, listFileStem-sources.txt and listFileStem-destinations.txt, which
// the command (and the settings) name.
RefillCommandLine CommandLineOf(const WindowLists& lists, const QString& program, ProblemSink& problems,
                                const QString& listFileStem = QStringLiteral("command"));

// Why the command line would refuse the settings with the duplicates
// option; empty when it takes them.
QString ClashMessage(SettingsClash clash);

// The summary's lines on what the refill does besides the rows, for each
// destination: the copies it replaces, how it fills, its playlist, the
// read back.
QStringList RefillNotes(const RefillRun& run, const QList<CopyRow>& rows);

// The refill's problems. What the folder lists and the draw meet is said at
// once, as the window's own commands say it; the rest is kept until it is
// shown: one message box for each kind, naming its folders and files, and
// for a plain copy list the folders in use as a plain copy says them.
// Notes are news the window keeps to itself.
class WindowRefillReport final : public RefillReport {
public:
    explicit WindowRefillReport(Dialogs& dialogs) : dialogs_(dialogs) {}
    void Tell(const RefillProblem& problem) override;
    void ShowAll(bool plainCopyList);

private:
    Dialogs& dialogs_;
    std::vector<RefillProblem> problems_;
};
