#include "copyrun/DeviceFlush.h"
#include "core/PathHelpers.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "core/ShellQuoting.h"
#include "randomlist/DestinationVolumes.h"
#include "refill/FillBudget.h"
#include "refill/RefillRun.h"
#include "refill/RefreshRecord.h"
#include "refill/WholeFolders.h"
#include "support/LockHeldElsewhere.h"
#include "support/TempTree.h"
#ifndef _WIN32
#include "support/FatStick.h"
#endif

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace {

QString Native(QString path) { return path.replace(u'/', NativeSeparator()); }
QString Slashed(QString path) { return path.replace(NativeSeparator(), u'/'); }

const QByteArray kThird = "# quorvex --refresh record 3: kind (file, made folder, playlist), size, time, file "
                          "number, fingerprint and path of each entry\n";
const QByteArray kFirst = "# quorvex: the copies the last --refresh run made here, removed by the next one\n";
const QByteArray kSecond = "# quorvex --refresh record 2: size, time, file number, fingerprint and name of each copy\n";

} // namespace

// What a record on a stick holds is read line by line; a line cut short at
// the end is a stick pulled while it was written, anything else that does
// not read, or leads out of the folder, refuses the whole record.
TEST(RefreshRecord, ReadsWholeLinesAndRefusesWhatLeadsAway)
{
    using Why = RecordRefusal::Why;
    const struct {
        QByteArray text;
        QStringList names; // what is read, "/" between names
        Why why;
        qsizetype line;
    } cases[] = {
        {kThird + "f\t3\t100\t-\t00000000000000ab\tA%20b/c%25.mp3\nd\t0\t0\t-\t0000000000000000\tA%20b\n",
         {"A b/c%.mp3", "A b"}, Why::None, 0},
        {kThird + "p\t9\t5\t42\t0000000000000001\tmix.m3u8\nf\t3\t1", {"mix.m3u8"}, Why::None, 0},
        {kThird.left(20), {}, Why::None, 0},
        {kFirst + "3\t100\tsong.mp3\n", {"song.mp3"}, Why::None, 0},
        {kSecond + "3\t100\t7\t0000000000000001\tsong.mp3\n", {"song.mp3"}, Why::None, 0},
        {"my own notes\n", {}, Why::NotOurs, 0},
        {kThird + "x\t3\t100\t-\t0000000000000001\ta\n", {}, Why::DamagedLine, 2},
        {kThird + "f\t-3\t100\t-\t0000000000000001\ta\n", {}, Why::DamagedLine, 2},
        {kThird + "f\t3\t100\t-\t1\ta\n", {}, Why::DamagedLine, 2},
        {kThird + "f\t3\t100\t-\t0000000000000001\tok\nf\t3\t100\t-\t0000000000000001\tsub/../../V/victim\n", {},
         Why::ForeignPath, 3},
        {kThird + "f\t3\t100\t-\t0000000000000001\t/tmp\n", {}, Why::ForeignPath, 2},
        {kThird + "f\t3\t100\t-\t0000000000000001\ta//b\n", {}, Why::ForeignPath, 2},
        {kSecond + "3\t100\t-\t0000000000000001\tsub%2Fx\n", {}, Why::ForeignPath, 2},
        {kSecond + "3\t100\t-\t0000000000000001\t..\n", {}, Why::ForeignPath, 2},
    };
    for (const auto& [text, names, why, line] : cases) {
        TempTree tree;
        tree.WriteFile(QString::fromLatin1(kRefreshRecordName), text);
        const RecordReading reading = ReadRecord(WithClosingSeparator(tree.Path()));
        QStringList read;
        for (const RecordedCopy& copy : reading.copies)
            read.append(Slashed(copy.name));
        EXPECT_EQ(read, names) << text.toStdString();
        EXPECT_EQ(reading.refusal.why, why) << text.toStdString();
        EXPECT_EQ(reading.refusal.line, line) << text.toStdString();
    }

    // What a run writes, it reads back: kinds, numbers and a path of awkward names.
    TempTree tree;
    const QString folder = WithClosingSeparator(tree.Path());
    const std::vector<RecordedCopy> written = {
        {Native(QStringLiteral("01 A%b/x\ty.mp3")), RecordedKind::File, 3, -7, 42, 0xabcdefull},
        {QStringLiteral("01 A%b"), RecordedKind::Folder, 0, 0, std::nullopt, std::nullopt},
        {QStringLiteral("mix.m3u8"), RecordedKind::Playlist, 9, 1, std::nullopt, 1},
    };
    ASSERT_FALSE(WriteRecord(folder, written));
    const RecordReading reading = ReadRecord(folder);
    ASSERT_EQ(reading.copies.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(reading.copies[i].name, written[i].name);
        EXPECT_EQ(reading.copies[i].kind, written[i].kind);
        EXPECT_EQ(reading.copies[i].modifiedSeconds, written[i].modifiedSeconds);
        EXPECT_EQ(reading.copies[i].number, written[i].number);
    }
    EXPECT_EQ(FolderEntries(tree.Path()), QStringList {QString::fromLatin1(kRefreshRecordName)});
}

// A file takes whole clusters and, on FAT, its name's folder entries, once
// for each destination on its file system; the refresh's removals give
// their clusters back; 1 MiB and four clusters a folder stay free.
TEST(FillBudget, CountsClustersEntriesAndEachDestination)
{
    constexpr std::uint64_t kMiB = 1024 * 1024;
    const auto volume = [](std::uint64_t device, std::uint64_t unit, bool fat, std::uint64_t free) {
        platform::VolumeFacts facts;
        facts.device = device;
        facts.allocationUnit = unit;
        facts.windowsNames = fat;
        facts.freeBytes = free;
        return facts;
    };
    const std::map<QString, platform::VolumeFacts> volumes = {
        // Room for 10 clusters of 2 KiB beyond the reserve of one folder.
        {Native(QStringLiteral("/fat/")), volume(1, 2048, true, kMiB + 4 * 2048 + 10 * 2048)},
        // Two folders of one file system: the reserve and every file twice.
        {Native(QStringLiteral("/ext/a/")), volume(2, 4096, false, kMiB + 8 * 4096 + 10 * 4096)},
        {Native(QStringLiteral("/ext/b/")), volume(2, 4096, false, kMiB + 8 * 4096 + 10 * 4096)},
    };
    const FillBudget::VolumeLookup lookup = [&](const QString& folder) -> std::optional<platform::VolumeFacts> {
        const auto found = volumes.find(folder);
        return found == volumes.end() ? std::nullopt : std::optional(found->second);
    };
    using Freed = std::vector<std::pair<QString, std::uint64_t>>;
    const struct {
        QStringList folders;
        Freed freed;
        std::vector<std::pair<const char*, std::uint64_t>> files; // taken in order
        std::vector<bool> fits;
    } cases[] = {
        // A cluster and two 32-byte entries each (a name of up to 9 letters
        // and room for a number): 10 clusters hold 9 files.
        {{"/fat/"}, {}, {{"a.mp3", 1}, {"b.mp3", 2048}}, {true, true}},
        {{"/fat/"}, {}, std::vector<std::pair<const char*, std::uint64_t>>(10, {"x.mp3", 2048}),
         {true, true, true, true, true, true, true, true, true, false}},
        // A long name takes more entries; 17 KiB is 9 clusters.
        {{"/fat/"}, {}, {{"a rather long name of a song.mp3", 17 * 1024}, {"b.mp3", 1}}, {true, false}},
        // A removed copy of 3 KiB gives two clusters back.
        {{"/fat/"}, {{"/fat/", 3 * 1024}}, {{"big.mp3", 11 * 2048}}, {true}},
        {{"/fat/"}, {{"/fat/", 3 * 1024}}, {{"big.mp3", 12 * 2048}}, {false}},
        // Each of two destinations takes each file: 10 clusters hold 5.
        {{"/ext/a/", "/ext/b/"}, {}, {{"a", 5 * 4096}, {"b", 1}}, {true, false}},
        {{"/ext/a/"}, {}, {{"a", 5 * 4096}, {"b", 5 * 4096}, {"c", 4 * 4096 + 1}, {"d", 4 * 4096}}, {true, true, false, true}},
        // A file system that cannot be told holds nothing.
        {{"/fat/", "/gone/"}, {}, {{"a", 1}}, {false}},
    };
    for (const auto& [written, freedAsWritten, files, fits] : cases) {
        QStringList folders;
        for (const QString& folder : written)
            folders.append(Native(folder));
        Freed freed;
        for (const auto& [folder, size] : freedAsWritten)
            freed.emplace_back(Native(folder), size);
        QStringList unknown;
        FillBudget budget(folders, freed, unknown, lookup);
        EXPECT_EQ(unknown.contains(Native(QStringLiteral("/gone/"))), folders.contains(Native(QStringLiteral("/gone/"))));
        for (std::size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(budget.Take(QString::fromUtf8(files[i].first), files[i].second), fits[i])
                << folders.join(u' ').toStdString() << ": file " << i;
    }

    // An album: its files' clusters, its folder's entries in a cluster, a
    // cluster for the folder around it, and each made folder's entry.
    QStringList unknown;
    FillBudget budget({Native(QStringLiteral("/fat/"))}, {}, unknown, lookup);
    const std::vector<SizedFile> album = {{QStringLiteral("/m/A/B/1.mp3"), 2048 * 3}, {QStringLiteral("/m/A/B/2.mp3"), 2048 * 3}};
    EXPECT_TRUE(budget.TakeFolder({QStringLiteral("A"), QStringLiteral("B")}, album)); // 6 + 1 + 1 clusters, 2 entries
    EXPECT_FALSE(budget.TakeFolder({QStringLiteral("A"), QStringLiteral("C")}, {album.front()}));
    EXPECT_TRUE(budget.Take(QStringLiteral("x"), 1));
}

// Each drawn folder arrives under its path below its tree, or its own
// name; a clash with another drawn folder, or with a file in the way, takes
// the lowest free number after the folder's name, without letter case.
TEST(AlbumFolders, ArriveUnderTheirPathsAndTakeNumbersOnClashes)
{
    const std::tuple<const char*, const char*, const char*> arrivals[] = {
        {"/m/Artist/Album/", "/m/", "Artist/Album"},
        {"/m/Artist/Album/", "/m/Artist/Album/", "Album"},
        {"/m/Album/", "/other/", "Album"},
    };
    for (const auto& [folder, root, expected] : arrivals)
        EXPECT_EQ(ArrivalFolders(Native(folder), Native(root)).join(u'/'), QString::fromUtf8(expected)) << folder;

    const QString destination = Native(QStringLiteral("/d/"));
    const struct {
        std::vector<const char*> files; // drawn, folder by folder
        QSet<QString> blocked;          // below the destination: a file or a link
        bool numbered;
        QStringList names;
    } cases[] = {
        {{"/m/A/Album/x", "/m/B/Album/y", "/m/C/album/z"}, {}, false, {"Album/x", "Album1/y", "album2/z"}},
        {{"/m/A/Album/x", "/m/B/Album/y"}, {"Album", "Album1"}, false, {"Album2/x", "Album3/y"}},
        {{"/m/A/Best.Of/x", "/m/B/Best.Of/y"}, {}, false, {"Best.Of/x", "Best.Of1/y"}},
        {{"/m/A/Album/x", "/m/A/Album/y", "/m/B/Album/z"}, {}, true, {"1 Album/x", "1 Album/y", "2 Album/z"}},
        {{"/m/Art/One/x", "/m/Art/Two/y"}, {"Art"}, false, {"Art1/One/x", "Art1/Two/y"}},
    };
    for (const auto& [files, blocked, numbered, names] : cases) {
        Selection selection;
        for (const char* file : files)
            selection.push_back({Native(QString::fromUtf8(file)), 0});
        ArrivalLookup lookup;
        // Every folder given alone, but /m/Art/, a tree.
        lookup.arrivalOf = [](const QString& folder) {
            const QString tree = Native(QStringLiteral("/m/Art/"));
            return ArrivalFolders(folder, folder.startsWith(tree) ? Native(QStringLiteral("/m/")) : folder);
        };
        lookup.blocked = [&destination, &blocked = blocked](const QString& path) {
            return blocked.contains(Slashed(path.mid(destination.size())));
        };
        lookup.takenIn = [](const QStringList&) { return QSet<QString>(); };
        const CopyPlan plan = WholeFolderPairing(lookup, numbered)(selection, {destination}, DestinationVolumes({destination}));
        QStringList planned;
        for (const CopyRow& row : plan.rows)
            planned.append(Slashed(row.name));
        EXPECT_EQ(planned, names) << files.front();
    }
}

// PowerShell, Windows' own shell, takes single quotes, its typographic
// ones too, as quotes, and expands nothing between them.
TEST(ShellQuoting, EveryArgumentReachesThePowerShellWhole)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"D:\\Music", u"'D:\\Music'"},
        {u"It's $HOME %PATH% `n", u"'It''s $HOME %PATH% `n'"},
        {u"Rock \u2019n\u2019 roll", u"'Rock \u2019\u2019n\u2019\u2019 roll'"},
        {u"", u"''"},
    };
    for (const auto& [argument, quoted] : cases)
        EXPECT_EQ(PowerShellQuoted(QString::fromUtf16(argument)), QString::fromUtf16(quoted));
    EXPECT_EQ(PosixShellQuoted(QStringLiteral("it's $x")), QStringLiteral("'it'\\''s $x'"));
    EXPECT_EQ(PosixShellQuoted(QStringLiteral("/plain/path-1.mp3")), QStringLiteral("/plain/path-1.mp3"));
}

namespace {

// Keeps the kinds of what the refill tells but notes, which depend on the
// machine (a file system that keeps no locks, reads through the cache).
class ToldKinds final : public RefillReport {
public:
    void Tell(const RefillProblem& problem) override
    {
        if (WeightOf(problem.kind) != Weight::Note)
            kinds.insert(problem.kind);
    }
    std::set<RefillProblem::Kind> kinds;
};

class Unwatched final : public RefillProgress {
public:
    void RowStarting(int, int, const QString&) override {}
    void CopyProgressing(std::uint64_t) override {}
};

// The files below a folder, "/" between names.
QStringList FilesBelow(const QString& folder)
{
    QStringList files;
    std::error_code error;
    for (auto entry = std::filesystem::recursive_directory_iterator(ToFsPath(folder), error);
         entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
        if (entry->is_regular_file())
            files.append(Slashed(FromFsName(entry->path().lexically_relative(ToFsPath(folder)).native())));
    }
    return files;
}

// Whether each file matches its own pattern (* and ? within a name).
bool Landed(QStringList files, const QStringList& patterns)
{
    for (const QString& pattern : patterns) {
        const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern));
        const auto file = std::find_if(files.begin(), files.end(), [&](const QString& f) { return match.match(f).hasMatch(); });
        if (file == files.end())
            return false;
        files.erase(file);
    }
    return files.isEmpty();
}

// A profile of the destination's own, as a stick carries it.
void WriteStickProfile(const RefillSettings& settings, const QByteArray& text)
{
    QFile profile(settings.destinations.front().value + QStringLiteral("/.quorvex-device.ini"));
    ASSERT_TRUE(profile.open(QIODevice::WriteOnly) && profile.write(text) == text.size());
}

} // namespace

// The refill layer as both faces drive it, over a library of two albums
// into a folder holding a file of the user's: what it tells, what lands,
// and its totals, night after night.
TEST(RefillLayer, SettingsAndTreesGiveTheirProblemsFilesAndTotals)
{
    using Kind = RefillProblem::Kind;
    enum class Destination { Folder, Missing, InUse, FatStick };
    const QString bjork = QString::fromUtf8("Björk.txt");
    const QStringList all {"one.txt", "two.txt", "three.txt", bjork, "mine.txt"};
    const struct {
        const char* what;
        std::function<void(RefillSettings&)> set;
        Destination destination;
        int nights;
        std::set<Kind> told;
        QStringList landed; // with the user's own mine.txt
        int copied, failed, verified, skipped, removed;
    } cases[] = {
        {"plain", [](RefillSettings&) {}, Destination::Folder, 1, {}, all, 4, 0, 0, 0, 0},
        {"refresh", [](RefillSettings& s) { s.refresh = true; }, Destination::Folder, 2, {},
         all + QStringList {".quorvex-refresh"}, 4, 0, 0, 0, 4},
        {"cycle", [](RefillSettings& s) { s.cycle = true; s.count = 2; }, Destination::Folder, 2, {}, all, 2, 0, 0, 0, 0},
        {"fill", [](RefillSettings& s) { s.fill = true; s.count.reset(); }, Destination::Folder, 1, {}, all, 4, 0, 0, 0, 0},
        {"whole folders", [](RefillSettings& s) { s.wholeFolders = true; s.count = 2; }, Destination::Folder, 1, {},
         {"A/one.txt", "A/two.txt", "B/three.txt", "B/" + bjork, "mine.txt"}, 4, 0, 0, 0, 0},
        {"numbered", [](RefillSettings& s) { s.numbered = true; }, Destination::Folder, 1, {},
         {"* one.txt", "* two.txt", "* three.txt", "* " + bjork, "mine.txt"}, 4, 0, 0, 0, 0},
        {"playlist", [](RefillSettings& s) { s.playlist = "mix.m3u8"; }, Destination::Folder, 1, {},
         all + QStringList {"mix.m3u8"}, 4, 0, 0, 0, 0},
        {"ascii names", [](RefillSettings& s) { s.asciiNames = true; }, Destination::Folder, 1, {},
         {"one.txt", "two.txt", "three.txt", "Bjork.txt", "mine.txt"}, 4, 0, 0, 0, 0},
        {"verify", [](RefillSettings& s) { s.verify = true; }, Destination::Folder, 1, {}, all, 4, 0, 4, 0, 0},
        {"skip a name taken", [](RefillSettings& s) { s.skipExisting = true; }, Destination::Folder, 1, {},
         {"one.txt", "two.txt", "three.txt", bjork, "mine.txt"}, 3, 0, 0, 1, 0},
        {"files per folder", [](RefillSettings& s) { WriteStickProfile(s, "[Limits]\nFilesPerFolder=2\n"); },
         Destination::Folder, 1, {}, {"01/*", "01/*", "02/*", "02/*", "mine.txt", ".quorvex-device.ini"}, 4, 0, 0, 0, 0},
        {"files in all", [](RefillSettings& s) { WriteStickProfile(s, "[Limits]\nFiles=4\n"); }, Destination::Folder, 1,
         {}, {"mine.txt", ".quorvex-device.ini", "*.txt", "*.txt"}, 2, 0, 0, 0, 0},
        {"missing destination", [](RefillSettings&) {}, Destination::Missing, 1, {Kind::FolderMissing}, {}, 0, 0, 0, 0, 0},
        {"destination in use", [](RefillSettings&) {}, Destination::InUse, 1, {Kind::FolderInUse}, {"mine.txt"}, 0, 0, 0, 0, 0},
        {"refused name", [](RefillSettings&) {}, Destination::FatStick, 1, {Kind::NamesRefused},
         {"one.txt", "two.txt", "three.txt", "mine.txt"}, 3, 1, 0, 0, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        TempTree tree;
        qputenv("XDG_STATE_HOME", QFile::encodeName(tree.Path(QStringLiteral("state"))));
        for (const char* name : {"A/one.txt", "A/two.txt", "B/three.txt"})
            tree.WriteFile(QStringLiteral("lib/") + QLatin1String(name), name);
        tree.WriteFile(QStringLiteral("lib/B/") + bjork, "b");
        QString destination = tree.Path(QStringLiteral("out"));
#ifndef _WIN32
        std::unique_ptr<FatStick> stick;
        if (row.destination == Destination::FatStick) {
            stick = std::make_unique<FatStick>();
            if (!stick->Usable())
                continue;
            destination = stick->Folder();
        }
#else
        if (row.destination == Destination::FatStick)
            continue;
#endif
        if (row.destination != Destination::Missing) {
            QFile mine(destination + QStringLiteral("/mine.txt"));
            ASSERT_TRUE(QDir().mkpath(destination) && mine.open(QIODevice::WriteOnly));
            mine.write("mine");
        }
        if (QString(row.what).startsWith("skip"))
            tree.WriteFile(QStringLiteral("out/two.txt"), "the user's");
        std::unique_ptr<LockHeldElsewhere> held;
        if (row.destination == Destination::InUse)
            held = std::make_unique<LockHeldElsewhere>(WithClosingSeparator(destination));
        RefillSettings settings;
        settings.sources = {{FolderSource::Tree, tree.Path(QStringLiteral("lib"))}};
        settings.destinations = {{FolderSource::Folder, destination}};
        settings.count = 4;
        row.set(settings);
        RefillOutcome outcome;
        ToldKinds told;
        for (int night = 1; night <= row.nights; ++night) {
            told.kinds.clear();
            ProcessRandom random;
            random.Seed(static_cast<std::uint32_t>(night));
            RefillRun run(settings, told);
            RowListModel copyList(QStringLiteral("Rows"));
            copyList.SetRows(run.Draw(random, 100));
            run.LeaveOutRefusedRows(copyList);
            Unwatched progress;
            SystemFlusher flusher;
            outcome = run.CarryOut(copyList, progress, flusher, QStringLiteral("RefillLayer"));
        }
        EXPECT_EQ(told.kinds, row.told);
        EXPECT_TRUE(Landed(FilesBelow(destination), row.landed)) << FilesBelow(destination).join(u' ').toStdString();
        EXPECT_EQ(std::tie(outcome.copied, outcome.failed, outcome.verified, outcome.skipped, outcome.removed),
                  std::tie(row.copied, row.failed, row.verified, row.skipped, row.removed));
    }
    qunsetenv("XDG_STATE_HOME");
}
