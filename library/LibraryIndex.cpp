#include "library/LibraryIndex.h"

#include "core/Parallel.h"
#include "core/PathHelpers.h"
#include "core/SystemNames.h"
#include "library/FolderRecord.h"
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
#include <string_view>
#include <unordered_map>

namespace {

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
    // Kept for a run of folders at a time:
    std::vector<FileIdentity> identities;
    std::vector<Found> found;
    bool held = false;            // the index held a record of the folder
    QByteArray record;            // the folder as the index held it
    std::vector<QByteArray> codecs; // where its record is made anew
    std::uint64_t dropped = 0;    // files the index held that are gone
    // Kept to the end:
    std::vector<IndexedFacts> facts;
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
            if (IsPlainFile(entry))
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
    void Blob(int column, QByteArrayView blob)
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

// Another connection holds the file.
bool IsBusy(int code) { return code == SQLITE_BUSY || code == SQLITE_LOCKED; }
constexpr int kBusySleepMs = 20;
constexpr int kBusyTries = 1500; // 30 s, as the busy wait

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
    // Each folder's files in one record (FolderRecord.h): a folder is read
    // in one step, as a draw reads every folder of the sources.
    "CREATE TABLE folders ("
    "  path TEXT NOT NULL UNIQUE," // with its closing separator
    "  files BLOB NOT NULL);",
};
static_assert(std::size(kMigrations) == LibraryIndex::kSchemaVersion);

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
    // Another run making the file at once holds it for a moment in a way
    // SQLite does not wait for here: tried again, as the busy wait would.
    QString mode = PragmaAnswer(db_, "PRAGMA journal_mode=WAL");
    for (int tries = 0; mode.isEmpty() && IsBusy(sqlite3_errcode(db_)) && tries < kBusyTries; ++tries) {
        sqlite3_sleep(kBusySleepMs);
        mode = PragmaAnswer(db_, "PRAGMA journal_mode=WAL");
    }
    if (mode.isEmpty()) {
        if (IsDamage(sqlite3_errcode(db_)))
            return false;
        NotSaved(QString::fromUtf8(sqlite3_errmsg(db_)));
        return false;
    }
    if (PragmaAnswer(db_, "PRAGMA quick_check") != u"ok")
        return false;
    // Read at one moment: another run may be making the schema meanwhile.
    const QStringList schema = PragmaAnswer(db_, "SELECT user_version || ' ' || (SELECT count(*) FROM sqlite_schema) "
                                                 "FROM pragma_user_version").split(u' ');
    const int version = schema.value(0).toInt();
    const bool knownSchema = version == 0 ? schema.value(1) == u"0" : version <= kSchemaVersion;
    if (!knownSchema)
        return false;
    if (version == kSchemaVersion) {
        Statement columns(db_, "SELECT path, files FROM folders LIMIT 0");
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
    // Each folder once; the listing's entries made before any is taken, as
    // the map moves its values when it grows.
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
        if (scan.listedHere)
            listed.insert(row, {});
        scans.push_back(std::move(scan));
    }
    for (FolderScan& scan : scans)
        scan.names = &listed[scan.row];

    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> writes; // folder, its record (none: dropped)
    for (std::size_t begin = 0; begin < scans.size(); begin += kFoldersAtOnce) {
        const std::size_t end = std::min(scans.size(), begin + kFoldersAtOnce);
        ForEachInParallel(end - begin, [&](std::size_t i) { ScanFolder(scans[begin + i]); });
        if (db_ && !Compare(scans, begin, end)) {
            // Damaged where it was read: made anew, and these folders' files read.
            SetAside();
            for (std::size_t i = begin; i < end; ++i) {
                std::replace(scans[i].found.begin(), scans[i].found.end(), Found::Known, Found::ToRead);
                scans[i].held = false;
                scans[i].record.clear();
                scans[i].dropped = 0;
            }
            if (!OpenAndCheck() && outcome_.notSaved.isEmpty())
                NotSaved(QStringLiteral("it is damaged, and could not be made anew"));
        }
        ReadChanged(scans, begin, end);
        for (std::size_t i = begin; i < end; ++i) {
            FolderScan& scan = scans[i];
            outcome_.dropped += scan.dropped;
            if (db_ && !scan.codecs.empty())
                writes.emplace_back(scan.folder.toUtf8(), RecordOf(scan));
            else if (db_ && scan.gone && scan.dropped > 0)
                writes.emplace_back(scan.folder.toUtf8(), std::nullopt);
            scan.identities = {};
            scan.found = {};
            scan.record = {};
            scan.codecs = {};
        }
    }
    if (db_ && !writes.empty())
        Save(writes);

    QHash<QString, std::vector<IndexedFacts>> facts;
    for (FolderScan& scan : scans) {
        if (scan.listed)
            facts.insert(scan.row, std::move(scan.facts));
        else if (scan.listedHere)
            listed.remove(scan.row); // no folder to list
    }
    return facts;
}

// Takes what the index holds of the scanned folders from begin to end: a
// file of the same identity keeps it, a file no longer there is counted to
// be dropped. False when the index turns out damaged.
bool LibraryIndex::Compare(std::vector<FolderScan>& scans, std::size_t begin, std::size_t end)
{
    Statement select(db_, "SELECT files FROM folders WHERE path = ?1");
    if (!select.Ok())
        return !IsDamage(sqlite3_errcode(db_));
    std::vector<std::uint32_t> order;
    RecordedFile file;
    for (std::size_t i = begin; i < end; ++i) {
        FolderScan& scan = scans[i];
        if (!scan.listed && !scan.gone)
            continue;
        select.Reset();
        select.Text(1, scan.folder.toUtf8());
        if (!select.Step()) {
            if (select.Done())
                continue; // a folder new to the index
            if (IsDamage(sqlite3_errcode(db_)))
                return false;
            NotSaved(QString::fromUtf8(sqlite3_errmsg(db_)));
            return true;
        }
        scan.held = true;
        scan.record = QByteArray(static_cast<const char*>(sqlite3_column_blob(*select, 0)), sqlite3_column_bytes(*select, 0));
        // The names in order, for each of the record's to be looked up.
        const std::vector<platform::NativeString>& names = *scan.names;
        order.resize(scan.listed ? names.size() : 0);
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
        RecordReader reader(scan.record);
        while (reader.Next(file)) {
            const auto place = std::lower_bound(order.begin(), order.end(), file.name,
                                                [&](std::uint32_t at, const platform::NativeString& n) { return names[at] < n; });
            if (place == order.end() || names[*place] != file.name || scan.found[*place] == Found::Vanished) {
                ++scan.dropped;
            } else if (scan.identities[*place] == file.identity) {
                scan.found[*place] = Found::Known;
                scan.facts[*place] = file.facts;
            }
        }
        if (reader.Damaged())
            return false;
    }
    return true;
}

// Reads the tags of the files new or changed in the folders from begin to
// end, on every core; each folder with such a file, or a file gone, gets
// the codecs its new record needs.
void LibraryIndex::ReadChanged(std::vector<FolderScan>& scans, std::size_t begin, std::size_t end)
{
    std::vector<std::pair<FolderScan*, std::size_t>> toRead;
    for (std::size_t i = begin; i < end; ++i) {
        FolderScan& scan = scans[i];
        const std::size_t before = toRead.size();
        for (std::size_t place = 0; place < scan.found.size(); ++place) {
            if (scan.found[place] == Found::ToRead)
                toRead.emplace_back(&scan, place);
        }
        if (scan.listed && (toRead.size() > before || scan.dropped > 0 || !scan.held))
            scan.codecs.resize(scan.names->size());
    }
    ForEachInParallel(toRead.size(), [&](std::size_t i) {
        auto [scan, place] = toRead[i];
        QString codec;
        scan->facts[place] = ReadIndexedFacts(scan->folder + FromFsName((*scan->names)[place]), &codec);
        scan->codecs[place] = codec.toUtf8();
    });
    outcome_.read += toRead.size();
}

// The folder's new record: the files read now, and the others as the old
// record held them.
QByteArray LibraryIndex::RecordOf(FolderScan& scan)
{
    const std::vector<platform::NativeString>& names = *scan.names;
    if (!scan.record.isEmpty()) {
        std::unordered_map<std::string_view, std::size_t> placeOf;
        for (std::size_t place = 0; place < names.size(); ++place) {
            if (scan.found[place] == Found::Known)
                placeOf.emplace(std::string_view(reinterpret_cast<const char*>(names[place].data()),
                                                 names[place].size() * sizeof(names[place][0])), place);
        }
        RecordReader reader(scan.record);
        RecordedFile file;
        while (reader.Next(file)) {
            const auto found = placeOf.find(std::string_view(reinterpret_cast<const char*>(file.name.data()),
                                                             file.name.size() * sizeof(file.name[0])));
            if (found != placeOf.end())
                scan.codecs[found->second] = file.codec.toByteArray();
        }
    }
    QByteArray record;
    for (std::size_t place = 0; place < names.size(); ++place) {
        if (scan.found[place] != Found::Vanished)
            AppendRecorded(record, names[place], scan.identities[place], scan.facts[place], scan.codecs[place]);
    }
    return record;
}

// Writes the folders' new records in one transaction; what it could not,
// it says.
void LibraryIndex::Save(const std::vector<std::pair<QByteArray, std::optional<QByteArray>>>& writes)
{
    const bool saved = [&] {
        if (!Execute(db_, "BEGIN IMMEDIATE"))
            return false;
        Statement put(db_, "INSERT INTO folders (path, files) VALUES (?1, ?2) "
                           "ON CONFLICT (path) DO UPDATE SET files = excluded.files");
        Statement remove(db_, "DELETE FROM folders WHERE path = ?1");
        if (!put.Ok() || !remove.Ok())
            return false;
        for (const auto& [folder, record] : writes) {
            Statement& statement = record ? put : remove;
            statement.Reset();
            statement.Text(1, folder);
            if (record)
                statement.Blob(2, *record);
            statement.Step();
            if (!statement.Done())
                return false;
        }
        return Execute(db_, "COMMIT");
    }();
    if (saved) {
        outcome_.written = writes.size();
    } else {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db_));
        Execute(db_, "ROLLBACK");
        NotSaved(why);
    }
}

IndexedFacts LibraryIndex::Lookup(const QString& path)
{
    if (db_) {
        Statement select(db_, "SELECT files FROM folders WHERE path = ?1");
        select.Text(1, FolderOf(path).toUtf8());
        if (select.Ok() && select.Step()) {
            const platform::NativeString name = ToFsPath(FileNameOf(path)).native();
            RecordReader reader(QByteArrayView(static_cast<const char*>(sqlite3_column_blob(*select, 0)),
                                               sqlite3_column_bytes(*select, 0)));
            RecordedFile file;
            while (reader.Next(file)) {
                if (file.name == name)
                    return file.facts;
            }
        }
    }
    return ReadIndexedFacts(path);
}
