#pragma once

#include "core/CopyListRow.h"
#include "refill/RefreshRecord.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class RefillReport;

// --refresh: the next run removes the copies that the record of each
// destination folder lists (see RefreshRecord), where each is still the copy
// that was made, so that a fresh mix replaces the last one while the user's
// own files, and copies edited since, stay. The record is written before
// the copy and again after it, so that whenever a run stops it lists every
// copy that run or an earlier one made and that may still be there.
class Refresh {
public:
    // A dry run writes nothing, and says that a refused record removes nothing.
    explicit Refresh(bool dryRun) : dryRun_(dryRun) {}

    // Reads the records of the folders, and finds which of their copies are
    // still as made: a look at each, and what it holds read once. A record
    // that cannot be trusted removes nothing, and is set aside by Announce.
    // Then, in a run, Remove, Announce, the copy, WriteRecords.
    void Read(const QStringList& folders, RefillReport& report);

    // The copies found unchanged, and the made folders they leave empty
    // (with their closing separator): what Remove removes.
    QStringList Removable() const;
    bool IsRemovable(const QString& path) const;
    // How many copies (not playlists, not folders) it removes in a folder.
    int RemovableCopiesIn(const QString& folder) const;
    // What each removable file takes now, as (folder, size).
    std::vector<std::pair<QString, std::uint64_t>> RemovableSizes() const;

    // Removes the removable copies; one that cannot be removed is said, fails
    // the run and stays recorded. The old record still lists them all until
    // Announce. Returns how many were removed.
    int Remove(RefillReport& report);

    // After the removals, which make room for it on a full stick, and before
    // any copy or folder is made: writes each folder's record of the copies
    // and made folders that could not be removed, of the folders the run
    // will make (foldersToMake, full paths), and of every copy the plan
    // makes there, as the plan knows them (size, time and fingerprint of its
    // source).
    void Announce(const QList<CopyRow>& plan, const QStringList& foldersToMake, RefillReport& report);

    // After the copy and its flush: writes each folder's record of the copies
    // written now, the folders made for them and still there, the playlists
    // written (all as full paths), and what could not be removed.
    void WriteRecords(const QStringList& written, const QStringList& madeFolders, const QStringList& playlists,
                      RefillReport& report);

private:
    struct Folder {
        QString path; // with its closing separator
        bool lastingNumbers = false;
        RecordRefusal refusal; // why its record was refused
        bool recordFailed = false; // its record could not be written, and that was said
        std::vector<RecordedCopy> removable;   // copies and playlists
        std::vector<RecordedCopy> madeFolders; // as read; then the removable ones, innermost first
        std::vector<RecordedCopy> kept;        // could not be removed
        QHash<QString, RecordedCopy> planned; // this run's copies, by name
    };
    Folder* FindFolder(const QString& folderPath);
    // The destination folder a path lies below.
    Folder* DestinationOf(const QString& path);
    void FindRemovableFolders(Folder& folder);
    void RemoveMadeFolders(Folder& folder, RefillReport& report);
    static RecordedCopy Made(const Folder& folder, const QString& madePath);
    void Write(Folder& folder, const std::vector<RecordedCopy>& copies, RefillReport& report);

    bool dryRun_;
    std::vector<Folder> folders_;
    QHash<QString, std::size_t> folderIndex_; // by path
    QSet<QString> removable_;
};
