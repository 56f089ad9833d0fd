#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class ConsoleDialogs;

// --refresh: each destination folder records, in a small hidden file of its
// own, the copies that the last --refresh run put there. The next run
// removes those still as they were, so a fresh mix replaces the last one
// while the user's own files, and copies edited since, stay. The record
// travels with the stick, and a folder filled by two scripts keeps one.

inline constexpr char kRefreshRecordName[] = ".quorvex-refresh";

struct RecordedCopy {
    QString name; // in its folder
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
};

class Refresh {
public:
    // Reads the records of the folders (each ending in its separator). A
    // record that cannot be read is said and removes nothing.
    void Read(const QStringList& folders);

    // The files the last run copied and nobody changed since: what Remove
    // removes.
    QStringList Removable() const;
    bool IsRemovable(const QString& path) const { return removable_.contains(path); }
    // What each removable file takes now.
    std::vector<std::pair<QString, std::uint64_t>> RemovableSizes() const;

    // Removes them; a file that cannot be removed is said and counted as a
    // failure, and stays recorded. Returns how many were removed.
    int Remove(ConsoleDialogs& dialogs);
    int RemovalFailures() const { return removalFailures_; }

    // Writes each folder's new record after the copy: the files written
    // there now (written: their paths), and those that could not be removed.
    // Each record replaces the old one at once, flushed to its device.
    void WriteRecords(const QStringList& written, ConsoleDialogs& dialogs);

private:
    struct Folder {
        QString path;
        std::vector<RecordedCopy> removable;
        std::vector<RecordedCopy> kept; // could not be removed
    };
    std::vector<Folder> folders_;
    QSet<QString> removable_;
    int removalFailures_ = 0;
};
