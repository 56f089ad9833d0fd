#include "library/LibraryIndex.h"

#include "core/Parallel.h"
#include "core/PathHelpers.h"
#include "core/SystemNames.h"
#include "tags/AudioFacts.h"
#include "tags/PhotoFacts.h"
#include "tags/Rating.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>

namespace {

// Who a file is: a file whose identity is unchanged holds the same tags.
struct Identity {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t number = 0;

    bool operator==(const Identity&) const = default;
};

// What becomes of a listed file.
enum class Found : std::uint8_t { ToRead, Known, Vanished };

} // namespace

// One source folder row: its names (the listing's), and beside them each
// file's identity, what the index held of it, and what becomes of it.
struct LibraryIndex::FolderScan {
    QString row;
    QString folder; // with its closing separator
    std::vector<platform::NativeString>* names = nullptr;
    bool listedHere = false; // added to the listing by this scan
    bool listed = false;
    bool gone = false; // the folder is not there: what the index held of it is dropped
    std::vector<Identity> identities;
    std::vector<IndexedFacts> facts;
    std::vector<Found> found;
    std::vector<platform::NativeString> dropped;
};

namespace {

std::int64_t ModifiedNs(const platform::FileFacts& facts)
{
    return facts.modifiedSeconds * 1'000'000'000 + facts.modifiedNanoseconds;
}

// Lists the folder's plain files, as a draw lists them, where no scan did,
// and reads each file's identity.
void ScanFolder(LibraryIndex::FolderScan& scan)
{
    const std::filesystem::path folder = ToFsPath(scan.folder);
    if (scan.listedHere) {
        if (!scan.row.endsWith(NativeSeparator()) && platform::IsRegularFile(ToFsPath(scan.row)))
            return; // a file of its own: no folder to keep
        platform::FolderReader reader(folder);
        if (reader.OpenError()) {
            scan.gone = platform::IsNotFound(reader.OpenError());
            return;
        }
        platform::FolderEntry entry;
        while (reader.Next(entry)) {
            if (entry.kind == platform::EntryKind::File && !entry.hidden && !entry.system && !IsSystemFileName(entry.name))
                scan.names->push_back(std::move(entry.name));
        }
        if (reader.ReadError())
            return; // a listing cut short must not drop what it did not see
    }
    scan.listed = true;
    const std::size_t count = scan.names->size();
    scan.identities.resize(count);
    scan.facts.resize(count);
    scan.found.assign(count, Found::ToRead);
    for (std::size_t i = 0; i < count; ++i) {
        if (const std::optional<platform::FileFacts> facts = platform::FactsIn(folder, (*scan.names)[i]))
            scan.identities[i] = {facts->size, ModifiedNs(*facts), facts->number};
        else
            scan.found[i] = Found::Vanished; // gone since it was listed
    }
}

// What the index holds of one file.
struct IndexedRow {
    platform::NativeString name;
    Identity identity;
    IndexedFacts facts;
};

QByteArray NameBytes(const platform::NativeString& name)
{
    return QByteArray(reinterpret_cast<const char*>(name.data()), static_cast<qsizetype>(name.size() * sizeof(name[0])));
}

platform::NativeString NameOfBytes(const void* bytes, int size)
{
    using Char = platform::NativeString::value_type;
    return platform::NativeString(static_cast<const Char*>(bytes), static_cast<std::size_t>(size) / sizeof(Char));
}

// A prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return ok_; }
    sqlite3_stmt* operator*() const { return statement_; }
    void Text(int column, const QByteArray& text)
    {
        sqlite3_bind_text(statement_, column, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void Blob(int column, const QByteArray& blob)
    {
        sqlite3_bind_blob(statement_, column, blob.constData(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    }
    void Number(int column, std::int64_t number) { sqlite3_bind_int64(statement_, column, number); }
    // The next row; false at the end or on a failure, which Done tells apart.
    bool Step()
    {
        last_ = sqlite3_step(statement_);
        return last_ == SQLITE_ROW;
    }
    bool Done() const { return last_ == SQLITE_DONE; }
    void Reset()
    {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

private:
    sqlite3_stmt* statement_ = nullptr;
    bool ok_ = false;
    int last_ = SQLITE_OK;
};

// Codes that tell a file that is no database, or one damaged.
bool IsDamage(int code) { return code == SQLITE_NOTADB || code == SQLITE_CORRUPT; }

bool Execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// The one text a pragma answers; empty where it failed.
QString PragmaAnswer(sqlite3* db, const char* sql)
{
    Statement pragma(db, sql);
    if (!pragma.Ok() || !pragma.Step())
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(*pragma, 0)));
}

// Each step takes the schema one version up, from 0 (a new file).
const char* const kMigrations[] = {
    "CREATE TABLE files ("
    "  folder TEXT NOT NULL,"       // with its closing separator
    "  name BLOB NOT NULL,"         // as the file system gives it
    "  size INTEGER NOT NULL,"
    "  modified_ns INTEGER NOT NULL,"
    "  file_number INTEGER NOT NULL,"
    "  kind INTEGER NOT NULL,"      // 0 other, 1 song, 2 photo
    "  length_ms INTEGER NOT NULL," // 0 where it has none
    "  rating INTEGER NOT NULL,"    // half stars, 1 to 10; 0 unrated
    "  codec TEXT NOT NULL,"
    "  PRIMARY KEY (folder, name)) WITHOUT ROWID;",
};
static_assert(std::size(kMigrations) == LibraryIndex::kSchemaVersion);

const char kColumns[] = "folder, name, size, modified_ns, file_number, kind, length_ms, rating, codec";

} // namespace

IndexedFacts ReadIndexedFacts(const QString& path, QString* codec)
{
    IndexedFacts facts;
    if (NamedAsPhoto(path)) {
        facts.kind = FileKind::Photo;
        facts.rating = ReadPhotoRating(path);
        return facts;
    }
    if (!NamedAsSong(path))
        return facts;
    const AudioFacts audio = ReadAudioFacts(path);
    facts.kind = FileKind::Song;
    facts.rating = audio.rating;
    facts.lengthMs = static_cast<std::uint32_t>(std::clamp<std::int64_t>(audio.lengthMs, 0, std::numeric_limits<std::uint32_t>::max()));
    if (codec)
        *codec = audio.codec;
    return facts;
}

LibraryIndex::LibraryIndex(const QString& folder) : path_(FileIn(folder))
{
    if (QDir().mkpath(folder))
        Open();
    else
        NotSaved(QStringLiteral("its folder cannot be made"));
}

LibraryIndex::~LibraryIndex() { sqlite3_close(db_); }

QString LibraryIndex::FileIn(const QString& folder) { return QDir(folder).filePath(QStringLiteral("library.sqlite")); }

void LibraryIndex::NotSaved(const QString& why)
{
    if (outcome_.notSaved.isEmpty())
        outcome_.notSaved = why;
    sqlite3_close(db_);
    db_ = nullptr;
}

void LibraryIndex::Open()
{
    if (OpenAndCheck())
        return;
    if (!outcome_.notSaved.isEmpty())
        return;
    SetAside();
    if (!OpenAndCheck() && outcome_.notSaved.isEmpty())
        NotSaved(QStringLiteral("it is damaged, and could not be made anew"));
}

// Opens the file and takes its schema up to date: false when it is damaged
// (no database, a schema of no version this program knows, a failed
// check), or cannot be opened at all (then notSaved says why).
bool LibraryIndex::OpenAndCheck()
{
#ifdef Q_OS_WIN
    const QByteArray path = path_.toUtf8(); // SQLite takes UTF-8 names on Windows
#else
    const QByteArray path = QFile::encodeName(path_);
#endif
    if (sqlite3_open_v2(path.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        NotSaved(QString::fromUtf8(sqlite3_errmsg(db_)));
        return false;
    }
    sqlite3_busy_timeout(db_, 30'000); // another run writing: wait for it
    const QString mode = PragmaAnswer(db_, "PRAGMA journal_mode=WAL");
    if (mode.isEmpty()) {
        if (IsDamage(sqlite3_errcode(db_)))
            return false;
        NotSaved(QString::fromUtf8(sqlite3_errmsg(db_)));
        return false;
    }
    if (PragmaAnswer(db_, "PRAGMA quick_check") != u"ok")
        return false;
    const int version = PragmaAnswer(db_, "PRAGMA user_version").toInt();
    const bool knownSchema = version == 0 ? PragmaAnswer(db_, "SELECT count(*) FROM sqlite_schema") == u"0"
                                          : version <= kSchemaVersion;
    if (!knownSchema)
        return false;
    if (version == kSchemaVersion) {
        Statement columns(db_, (QByteArray("SELECT ") + kColumns + " FROM files LIMIT 0").constData());
        return columns.Ok();
    }
    return Migrate();
}

// Takes the schema up to this program's version, in one transaction: a
// run that made it meanwhile leaves nothing to do.
bool LibraryIndex::Migrate()
{
    const auto failed = [this] {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db_));
        Execute(db_, "ROLLBACK");
        NotSaved(why);
        return false;
    };
    if (!Execute(db_, "BEGIN IMMEDIATE"))
        return failed();
    const int version = PragmaAnswer(db_, "PRAGMA user_version").toInt();
    for (int step = version; step < kSchemaVersion; ++step) {
        if (!Execute(db_, kMigrations[step]))
            return failed();
    }
    const QByteArray setVersion = "PRAGMA user_version=" + QByteArray::number(kSchemaVersion);
    if (!Execute(db_, setVersion.constData()) || !Execute(db_, "COMMIT"))
        return failed();
    return true;
}

// Moves a damaged index out of the way, as library.sqlite.damaged (an
// older one of that name goes), with its write-ahead log.
void LibraryIndex::SetAside()
{
    sqlite3_close(db_);
    db_ = nullptr;
    const QString damaged = path_ + QStringLiteral(".damaged");
    QFile::remove(damaged);
    if (QFile::rename(path_, damaged))
        outcome_.setAside = damaged;
    else
        QFile::remove(path_);
    QFile::remove(path_ + QStringLiteral("-wal"));
    QFile::remove(path_ + QStringLiteral("-shm"));
}

QHash<QString, std::vector<IndexedFacts>> LibraryIndex::Update(const QStringList& rows, FolderFiles& listed)
{
    // Each folder once; the listing's entries looked up (or made) before
    // the threads start, as the map is not for sharing.
    std::vector<FolderScan> scans;
    QSet<QString> seen;
    for (const QString& row : rows) {
        if (row.trimmed().isEmpty() || seen.contains(row))
            continue;
        seen.insert(row);
        FolderScan scan;
        scan.row = row;
        scan.folder = WithClosingSeparator(row);
        scan.listedHere = !listed.contains(row);
        scan.names = &listed[row];
        scans.push_back(std::move(scan));
    }
    ForEachInParallel(scans.size(), [&](std::size_t i) { ScanFolder(scans[i]); });
    for (const FolderScan& scan : scans) {
        if (scan.listedHere && !scan.listed)
            listed.remove(scan.row);
    }

    if (db_ && !Compare(scans)) {
        // Damaged where it was read: made anew, and every file read.
        SetAside();
        if (OpenAndCheck()) {
            for (FolderScan& scan : scans)
                std::replace(scan.found.begin(), scan.found.end(), Found::Known, Found::ToRead);
            Compare(scans);
        } else if (outcome_.notSaved.isEmpty()) {
            NotSaved(QStringLiteral("it is damaged, and could not be made anew"));
        }
    }

    // The files new or changed: their tags read on every core.
    struct ToRead {
        FolderScan* scan;
        std::size_t place;
        QString codec;
    };
    std::vector<ToRead> toRead;
    for (FolderScan& scan : scans) {
        for (std::size_t i = 0; i < scan.found.size(); ++i) {
            if (scan.found[i] == Found::ToRead)
                toRead.push_back({&scan, i, {}});
        }
        outcome_.dropped += scan.dropped.size();
    }
    ForEachInParallel(toRead.size(), [&](std::size_t i) {
        FolderScan& scan = *toRead[i].scan;
        const std::size_t place = toRead[i].place;
        scan.facts[place] = ReadIndexedFacts(scan.folder + FromFsName((*scan.names)[place]), &toRead[i].codec);
    });
    outcome_.read = toRead.size();

    if (db_ && (!toRead.empty() || outcome_.dropped > 0)) {
        const bool saved = [&] {
            if (!Execute(db_, "BEGIN IMMEDIATE"))
                return false;
            Statement insert(db_, (QByteArray("INSERT OR REPLACE INTO files (") + kColumns
                                   + ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)").constData());
            Statement remove(db_, "DELETE FROM files WHERE folder = ?1 AND name = ?2");
            if (!insert.Ok() || !remove.Ok())
                return false;
            for (const ToRead& file : toRead) {
                const FolderScan& scan = *file.scan;
                const Identity& identity = scan.identities[file.place];
                const IndexedFacts& facts = scan.facts[file.place];
                insert.Reset();
                insert.Text(1, scan.folder.toUtf8());
                insert.Blob(2, NameBytes((*scan.names)[file.place]));
                insert.Number(3, static_cast<std::int64_t>(identity.size));
                insert.Number(4, identity.modifiedNs);
                insert.Number(5, static_cast<std::int64_t>(identity.number));
                insert.Number(6, static_cast<int>(facts.kind));
                insert.Number(7, facts.lengthMs);
                insert.Number(8, facts.rating);
                insert.Text(9, file.codec.toUtf8());
                insert.Step();
                if (!insert.Done())
                    return false;
            }
            for (const FolderScan& scan : scans) {
                for (const platform::NativeString& name : scan.dropped) {
                    remove.Reset();
                    remove.Text(1, scan.folder.toUtf8());
                    remove.Blob(2, NameBytes(name));
                    remove.Step();
                    if (!remove.Done())
                        return false;
                }
            }
            return Execute(db_, "COMMIT");
        }();
        if (!saved) {
            const QString why = QString::fromUtf8(sqlite3_errmsg(db_));
            Execute(db_, "ROLLBACK");
            NotSaved(why);
        }
    }

    QHash<QString, std::vector<IndexedFacts>> facts;
    for (FolderScan& scan : scans) {
        if (scan.listed)
            facts.insert(scan.row, std::move(scan.facts));
    }
    return facts;
}

// Takes what the index holds of each scanned folder: a file of the same
// identity keeps it, a file no longer there is to be dropped. False when
// the index turns out damaged.
bool LibraryIndex::Compare(std::vector<FolderScan>& scans)
{
    Statement select(db_, "SELECT name, size, modified_ns, file_number, kind, length_ms, rating FROM files WHERE folder = ?1");
    if (!select.Ok())
        return !IsDamage(sqlite3_errcode(db_));
    std::vector<IndexedRow> held;
    std::vector<std::uint32_t> order;
    for (FolderScan& scan : scans) {
        if (!scan.listed && !scan.gone)
            continue;
        select.Reset();
        select.Text(1, scan.folder.toUtf8());
        held.clear();
        while (select.Step()) {
            held.push_back({NameOfBytes(sqlite3_column_blob(*select, 0), sqlite3_column_bytes(*select, 0)),
                            {static_cast<std::uint64_t>(sqlite3_column_int64(*select, 1)), sqlite3_column_int64(*select, 2),
                             static_cast<std::uint64_t>(sqlite3_column_int64(*select, 3))},
                            {static_cast<FileKind>(sqlite3_column_int(*select, 4)),
                             static_cast<std::uint8_t>(sqlite3_column_int(*select, 6)),
                             static_cast<std::uint32_t>(sqlite3_column_int64(*select, 5))}});
        }
        if (!select.Done()) {
            if (IsDamage(sqlite3_errcode(db_)))
                return false;
            NotSaved(QString::fromUtf8(sqlite3_errmsg(db_)));
            return true;
        }
        // Both sides in name order, walked side by side.
        std::sort(held.begin(), held.end(), [](const IndexedRow& a, const IndexedRow& b) { return a.name < b.name; });
        const std::vector<platform::NativeString>& names = *scan.names;
        order.resize(scan.listed ? names.size() : 0);
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
        auto name = order.begin();
        for (IndexedRow& row : held) {
            while (name != order.end() && names[*name] < row.name)
                ++name;
            if (name == order.end() || names[*name] != row.name) {
                scan.dropped.push_back(std::move(row.name));
                continue;
            }
            if (scan.found[*name] == Found::Vanished) {
                scan.dropped.push_back(std::move(row.name));
            } else if (scan.identities[*name] == row.identity) {
                scan.found[*name] = Found::Known;
                scan.facts[*name] = row.facts;
            }
        }
    }
    return true;
}

IndexedFacts LibraryIndex::Lookup(const QString& path)
{
    if (db_) {
        Statement select(db_, "SELECT kind, length_ms, rating FROM files WHERE folder = ?1 AND name = ?2");
        select.Text(1, FolderOf(path).toUtf8());
        select.Blob(2, NameBytes(ToFsPath(FileNameOf(path)).native()));
        if (select.Ok() && select.Step())
            return {static_cast<FileKind>(sqlite3_column_int(*select, 0)),
                    static_cast<std::uint8_t>(sqlite3_column_int(*select, 2)),
                    static_cast<std::uint32_t>(sqlite3_column_int64(*select, 1))};
    }
    return ReadIndexedFacts(path);
}
