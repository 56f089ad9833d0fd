#pragma once

#include "core/CopyListRow.h"
#include "refill/RefillSettings.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

class RefillReport;

// What --cycle keeps between runs: the files drawn so far in the current
// cycle over one set of sources and filters (and cycle name), in a file of
// the user's state folder. The destinations take no part, so two sticks
// filled from one library share a cycle.
class CycleState {
public:
    // The state kept for the settings. No file yet is a fresh cycle; a
    // damaged one is told and is a fresh cycle too. Unless the run is a dry
    // one, the state file's lock (RefillLocks) is taken first and held until
    // the run ends, so that two runs at once never draw a file twice in one
    // cycle.
    CycleState(const RefillSettings& settings, RefillReport& report);

    // The state file of the settings' cycle.
    static QString StateFileOf(const RefillSettings& settings);
    QString StateFile() const { return file_; }

    // True when path (a file, or with --whole-folders a folder with its
    // closing separator) was drawn earlier in this cycle. Asked of every file the
    // sources hold; the drawn files never asked about are gone, and forgotten.
    bool Drawn(const QString& path);

    // For a plan drawn without the lock (the window's), once the lock is
    // taken before the copy: reads the state again, since a run in between
    // may have drawn too. The files it drew were there; for the rest, what
    // the draw saw holds.
    void ReadAgain();

    // Takes in a run's rows: a file counts as drawn once it arrived in at
    // least one destination (copied there, or there already as the same
    // file). A run that also drew files drawn before has started a new cycle,
    // which then holds only those of them that arrived.
    void Record(const QList<CopyRow>& rows, const QStringList& written);

    // Writes the state whole or not at all; false (and told) when it could
    // not be written.
    bool Save() const;

private:
    // Reads the state file; what it lists, or nothing (and told).
    QSet<QByteArray> Read() const;

    RefillReport& report_;
    QString file_;
    QString key_;
    bool wholeFolders_; // a folder counts as drawn once one of its files arrived
    QSet<QByteArray> drawn_;      // the paths, as the state file holds them
    QSet<QByteArray> stillThere_; // the drawn ones the sources still hold
    QSet<QByteArray> next_;       // what Save writes
};

