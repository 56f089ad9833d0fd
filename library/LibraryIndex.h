#pragma once

#include "core/FolderFiles.h"
#include "library/IndexedFacts.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

struct sqlite3;

// The library index: one SQLite file, library.sqlite in the state folder,
// that keeps each source file's identity (size, modification time to the
// nanosecond, file number) beside what its tags say, so that a draw by
// rating reads again only the files that changed. In WAL mode, so that a
// scheduled run and the window use it at once. It is a cache: one that is
// damaged is set aside and rebuilt, and one that cannot be written leaves
// the run drawing from the tags read in memory.
class LibraryIndex {
public:
    // What bringing the index up to date met, for the run to say once.
    struct Outcome {
        std::uint64_t read = 0;    // files whose tags were read
        std::uint64_t dropped = 0; // files gone from their folders, dropped
        std::uint64_t written = 0; // folders whose record was written anew
        QString setAside;          // the damaged index's new name, when one was set aside and rebuilt
        QString notSaved;          // why the index could not be kept; empty when it was
    };

    // Opens the index in folder, making it where there is none.
    explicit LibraryIndex(const QString& folder);
    ~LibraryIndex();
    LibraryIndex(const LibraryIndex&) = delete;
    LibraryIndex& operator=(const LibraryIndex&) = delete;

    // The file's name in a folder.
    static QString FileIn(const QString& folder);
    static constexpr int kSchemaVersion = 1;
    // Folders compared with the index at a time: what each file is known by
    // is kept only for these.
    static constexpr std::size_t kFoldersAtOnce = 256;

    // Brings the index up to date for the plain files (no hidden or system
    // files) of these folder rows: as listed holds them where a scan read
    // them, else listed here and added to it. Their tags are read on every
    // core where a file is new or changed; the files gone are dropped.
    // Gives each row's facts, at the places of its names in listed. Rows
    // that name a file or a folder that cannot be listed are in neither.
    QHash<QString, std::vector<IndexedFacts>> Update(const QStringList& rows, FolderFiles& listed);

    const Outcome& Result() const { return outcome_; }

    // One folder as an update reads it.
    struct FolderScan;

    // What the index holds of one file; read from its tags where it holds
    // nothing, or cannot be read.
    IndexedFacts Lookup(const QString& path);

private:
    void Open();
    bool OpenAndCheck();
    bool Migrate();
    bool Compare(std::vector<FolderScan>& scans, std::size_t begin, std::size_t end);
    void ReadChanged(std::vector<FolderScan>& scans, std::size_t begin, std::size_t end);
    static QByteArray RecordOf(FolderScan& scan);
    void Save(const std::vector<std::pair<QByteArray, std::optional<QByteArray>>>& writes);
    void SetAside();
    void NotSaved(const QString& why);

    QString path_;
    sqlite3* db_ = nullptr;
    Outcome outcome_;
};

// What a file's tags say, read now: the index's reading of one file.
IndexedFacts ReadIndexedFacts(const QString& path, QString* codec = nullptr);
