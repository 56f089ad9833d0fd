#include "commandline/CommandLine.h"
#include "commandline/CommandLineFixture.h"
#include "commandline/Options.h"
#include "refill/RefillOptions.h"
#include "core/PathHelpers.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "device/ProfileLookup.h"
#include "support/AudioFixtures.h"
#include "support/FormFixture.h"
#include "support/LockHeldElsewhere.h"
#include "support/PhotoFixtures.h"
#include "support/RequireTools.h"

#include <QCheckBox>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLineEdit>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <set>

#ifdef _WIN32
#include <windows.h>
#endif


// Qt's own options, such as a session manager's -session, still open the window.
TEST(CommandLineOptions, OnlyOptionsOfItsOwnLeaveTheWindowClosed)
{
    const std::pair<QStringList, bool> cases[] = {
        {{"quorvex"}, false},
        {{"quorvex", "-platform", "offscreen"}, false},
        {{"quorvex", "-session", "1234", "-style", "fusion", "-reverse"}, false},
        {{"quorvex", "--platform", "xcb", "notes.txt"}, false},
        {{"quorvex", "-s", "music", "-d", "stick"}, true},
        {{"quorvex", "-platform", "offscreen", "--dry-run"}, true},
        {{"quorvex", "--count=5"}, true},
        {{"quorvex", "-rq"}, true},
        {{"quorvex", "--help"}, true},
    };
    for (const auto& [arguments, withoutWindow] : cases)
        EXPECT_EQ(IsCommandLineRun(arguments), withoutWindow) << arguments.join(u' ').toStdString();
}

// An empty value is refused, never taken as an option not given: a script's
// unset "--schedule $WHEN" must not refill now.
TEST(CommandLineOptions, EveryOptionRefusesAnEmptyValue)
{
    for (const QStringList& names : OptionsTakingAValue()) {
        const QString name = names.back();
        for (const QStringList& typed : {QStringList {"--" + name, ""}, QStringList {"--" + name + "="}}) {
            const QStringList arguments = QStringList {"quorvex", "-s", "lib", "-d", "stick", "-n", "2"} + typed;
            QCommandLineParser parser;
            AddOptions(parser);
            ASSERT_TRUE(parser.parse(arguments)) << parser.errorText().toStdString();
            try {
                OptionsOf(parser, arguments);
                ADD_FAILURE() << typed.join(u' ').toStdString() << " was taken";
            } catch (const UsageError& error) {
                const bool named = std::any_of(names.begin(), names.end(), [&](const QString& option) {
                    return error.text.startsWith((option.size() == 1 ? "-" : "--") + option);
                });
                EXPECT_TRUE(named) << error.text.toStdString();
            }
        }
    }
}

// What the window copies and a schedule registers is read back by the
// parser as the very settings it was made of, whatever the paths hold.
TEST(CommandLineOptions, TheArgumentsOfSettingsParseBackToThem)
{
    const QString awkward[] = {"/m/with space", "/m/it's \"quoted\"", "/m/-starts-with-a-dash", "/m/100% $HOME *",
                               "/m/x will be copied to y", QString::fromUtf8("/m/ünï/日本"), "-"};
    RefillSettings everything;
    for (const QString& path : awkward) {
        everything.sources.push_back({path == u"-" ? FolderSource::ListFile : FolderSource::Folder, path});
        everything.destinations.push_back({FolderSource::Tree, path + QStringLiteral("/out")});
    }
    everything.sources.push_back({FolderSource::Tree, "/m/tree"});
    everything.destinations.push_back({FolderSource::ListFile, "/m/-list.txt"});
    everything.filters = {{true, "*.mp3"}, {false, "-live"}, {true, "a b"}};
    everything.count = 12;
    everything.maxBytes = 700u << 20;
    everything.fill = everything.cycle = everything.balance = everything.refresh = everything.numbered = true;
    everything.keepExisting = everything.asciiNames = everything.verify = everything.wait = everything.dryRun = true;
    everything.cycleName = "car's";
    everything.playlist = QString::fromUtf8("Mïx.m3u8");
    everything.device = "car-mp3";
    everything.deviceProfile = std::get<DeviceProfile>(ProfileNamed("car-mp3")); // read once, and handed down
    everything.frame = "800x480";
    everything.ffmpeg = "/opt/ffmpeg's/bin/ffmpeg";
    everything.cacheSize = 1u << 30;
    everything.preferRated = true;
    everything.minRating = 7; // 3.5 stars
    everything.unratedAs = 4;
    RefillSettings albums;
    albums.sources = {{FolderSource::Tree, "/m/music"}};
    albums.destinations = {{FolderSource::Folder, "/media/stick"}};
    albums.wholeFolders = albums.skipExisting = albums.indexOnly = true;
    RefillSettings repeats = albums;
    repeats.wholeFolders = false;
    repeats.repeats = true;
    repeats.count = 3;
    for (const RefillSettings& settings : {everything, albums, repeats}) {
        const QStringList arguments = QStringList {"quorvex"} + RefillArguments(settings);
        QCommandLineParser parser;
        AddOptions(parser);
        ASSERT_TRUE(parser.parse(arguments)) << parser.errorText().toStdString();
        try {
            EXPECT_TRUE(OptionsOf(parser, arguments).refill == settings) << arguments.join(u' ').toStdString();
        } catch (const UsageError& error) {
            ADD_FAILURE() << error.text.toStdString() << "\n" << arguments.join(u' ').toStdString();
        }
    }
}

TEST_F(CommandLine, ExitStatusesAndTheirMessages)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const QString empty = tree.MakeFolder(QStringLiteral("empty"));
    const QString sourceList = tree.WriteFile(QStringLiteral("sources.txt"), (library + "/0\n" + library + "/1\n").toUtf8());
    const QString destinationList = tree.WriteFile(
        QStringLiteral("destinations.txt"),
        (tree.MakeFolder(QStringLiteral("d1")) + u'\n' + tree.MakeFolder(QStringLiteral("d2"))).toUtf8());
    tree.MakeFolder(QStringLiteral("stick/sub"));
    tree.MakeFolder(QStringLiteral("bare/only/folders"));
    tree.WriteFile(QStringLiteral("listed/mix.m3u8"), "#EXTM3U\r\nmine.mp3\r\n");
    const struct {
        QStringList arguments;
        int status;
        QByteArray message;
    } cases[] = {
        {{"-q"}, 2, "give at least one source"},
        {{"-s", library, "-d", ""}, 2, "--dest: an empty name names no folder"},
        {{"--schedule", "", "--source-tree", library, "-d", out, "-n", "2"}, 2, "--schedule: the value is empty"},
        {{"--plan", "", "-s", library, "-d", out}, 2, "--plan: the value is empty"},
        {{"-s", library, "-d", out, "-n", "0"}, 2, "at least 1"},
        {{"-s", library, "-d", out, "-n", "many"}, 2, "at least 1"},
        {{"-s", library, "-d", out, "--max-size", "12Q"}, 2, "no size"},
        {{"--plan", "p.txt", "-s", library}, 2, "takes no sources"},
        {{"-s", library, "-d", out, "stray"}, 2, "unexpected argument"},
        {{"-s", library, "-d", out, "-platform", "offscreen"}, 2, "-platform is an option of the window"},
        {{"-s", library, "-d", out, "-r", "--max-size", "1G"}, 2, "with -r, --max-size and --fill need -n"},
        {{"-s", library, "-d", out, "-r", "--fill"}, 2, "with -r, --max-size and --fill need -n"},
        {{"--plan", "p.txt", "--refresh"}, 2, "--refresh, --fill, --balance, --cycle"},
        {{"-s", library, "-d", out, "-r", "--cycle"}, 2, "it takes no -r"},
        {{"--plan", "p.txt", "--cycle"}, 2, "--cycle, --whole-folders and --numbered cannot change it"},
        {{"-s", library, "-d", out, "--whole-folders", "--balance"}, 2, "it takes no -r or --balance"},
        {{"-s", library, "--dest-tree", out, "--whole-folders"}, 2, "it takes no --dest-tree"},
        {{"-s", library, "-d", out, "--playlist", "mix.pls"}, 2, "--playlist: \"mix.pls\" is no playlist's name"},
        {{"-s", library, "-d", out, "--playlist", "../mix.m3u"}, 2, "is no playlist's name"},
        {{"--source-tree", library, "-d", out, "--whole-folders", "-n", "3", "--seed", "1", "--dry-run"}, 0,
         "only 2 folders to draw from: 2 drawn"},
        // A playlist of the user's is not replaced: that destination is left alone.
        {{"-s", library + "/1", "-d", tree.Path(QStringLiteral("d2")), "-d", tree.Path(QStringLiteral("listed")), "-n", "1",
          "--seed", "1", "--playlist", "mix.m3u8"}, 1,
         "playlist: " + tree.Path(QStringLiteral("listed/mix.m3u8")).toUtf8() + ": not written by quorvex, so not "
         "replaced; nothing was copied into "},
        {{"-s", library, "-d", out, "--cycle-name", "frame"}, 2, "give --cycle too"},
        {{"-s", empty, "-d", out, "--seed", "1"}, 1, "empty" + QByteArray(1, NativeSeparator().toLatin1()) + ": no files in this folder\nquorvex: No files added."},
        {{"-s", library + "/1", "-d", tree.Path(QStringLiteral("missing")), "-n", "1", "--seed", "1", "--dry-run"}, 1,
         "dest: " + WithClosingSeparator(tree.Path(QStringLiteral("missing"))).toUtf8() + ": no such folder\n"},
        {{"-s", library + "/1", "-d", sourceList, "-d", tree.Path(QStringLiteral("d2")), "-n", "1", "--seed", "1"}, 1,
         "dest: " + WithClosingSeparator(sourceList).toUtf8() + ": not a folder\nquorvex: 1 copied"},
        {{"-s", library + "/1", "-d", out, "-n", "1", "--dry-run"}, 0, "quorvex: seed "},
        {{"--source-list", sourceList, "-d", tree.Path(QStringLiteral("d1")), "-n", "6", "--seed", "1"}, 0,
         "6 copied (21 B in "},
        {{"-s", library + "/1", "--dest-list", destinationList, "-n", "1", "--seed", "1"}, 0, "2 copied"},
        {{"-s", library + "/1", "--dest-tree", tree.Path(QStringLiteral("stick")), "-n", "1", "--seed", "1"}, 0,
         "2 copied"},
        {{"--bogus"}, 2, "unknown option --bogus"},
        {{"--sorce", library, "-d", out}, 2, "unknown option --sorce"},
        {{"-s", library, "-d", out, "-rx"}, 2, "unknown option -rx"},
        {{"-s", library, "-d", out, "-n", "1.5"}, 2, "a whole number of at least 1, not \"1.5\""},
        {{"--plan", tree.Path(QStringLiteral("nosuch.txt"))}, 2, "--plan: " + tree.Path(QStringLiteral("nosuch.txt")).toUtf8()
                                                                   + ": No such file or directory"},
        {{"--source-list", library, "-d", out}, 2, "--source-list: " + library.toUtf8() + ": Is a directory"},
        {{"-s", library + "/1", "-d", out, "-n", "3", "--max-size", "0", "--seed", "1", "--dry-run"}, 1,
         "no file fits in 0 bytes"},
        {{"-s", library + "/1", "-d", out, "-n", "5", "--seed", "1", "--dry-run"}, 0, "only 3 files to draw from: 3 drawn"},
        {{"-s", tree.Path(QStringLiteral("gone")), "-s", library + "/1", "-d", out, "-n", "1", "--seed", "1", "--dry-run"}, 1,
         "source: " + tree.Path(QStringLiteral("gone/")).toUtf8() + ": no such folder"},
        {{"--source-tree", tree.Path(QStringLiteral("bare")), "-d", out, "--seed", "1"}, 1,
         "bare" + QByteArray(1, NativeSeparator().toLatin1()) + ": no files in this folder or below"},
        {{"--source-tree", library, "-d", out, "-n", "2", "--seed", "1"}, 0, " s), 0 skipped, 0 failed"},
        // A destination is never a source, whatever its writing.
        {{"--source-tree", library, "-d", library + "/0/../1", "-n", "2", "--seed", "1", "--dry-run"}, 0,
         "source: " + WithClosingSeparator(library + NativeSeparator() + "1").toUtf8() + ": is a destination, left out\n"},
        {{"-s", library + "/1", "-d", library, "--dry-run"}, 1, "lies in a destination, left out\nquorvex: No files added."},
    };
    for (const auto& [arguments, status, message] : cases) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, status) << arguments.join(u' ').toStdString() << "\n" << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(QString::fromUtf8(message))) << outcome.err.toStdString();
        // Messages are plain lines; in a tree, folders that hold only folders are no news.
        EXPECT_FALSE(outcome.err.contains(QStringLiteral("Please email"))) << outcome.err.toStdString();
        if (arguments.contains(QStringLiteral("--source-tree"))) {
            EXPECT_FALSE(outcome.err.contains(QStringLiteral("There are no files"))) << outcome.err.toStdString();
        }
        // A usage error reads and copies nothing; no run draws without saying its seed.
        EXPECT_EQ(outcome.err.contains(QStringLiteral("quorvex: seed ")), status != 2 && !arguments.contains("--seed"));
    }
    // Only the last case copied into out, each copy whole, and a progress
    // line shows on terminals only.
    EXPECT_EQ(Names(out).size(), 2u);
    for (const std::string& name : Names(out)) {
        std::ifstream copy(ToFsPath(out) / name, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), std::string(name[1] - '0', 'x')) << name;
    }
    EXPECT_EQ(Names(tree.Path(QStringLiteral("d1"))).size(), 6u);
    EXPECT_EQ(Names(tree.Path(QStringLiteral("d2"))).size(), 2u);
    EXPECT_EQ(Names(tree.Path(QStringLiteral("d2"))).count("mix.m3u8"), 1u);
    EXPECT_EQ(Names(tree.Path(QStringLiteral("listed"))), std::set<std::string> {"mix.m3u8"});
    EXPECT_FALSE(std::filesystem::exists(ToFsPath(tree.Path(QStringLiteral("missing")))));
    EXPECT_EQ(Names(tree.Path(QStringLiteral("stick/sub"))).size(), 1u);
    EXPECT_FALSE(Run({"-s", library, "-d", out, "-n", "1", "--seed", "1"}).err.contains(u'\r'));
    EXPECT_TRUE(Run({"-s", library + "/1", "-d", out, "-n", "1", "--verify", "--dry-run"}).out.startsWith(QStringLiteral("# verify: ")));
}

// Whole folders, numbered names and a playlist, alone and with --refresh,
// --fill and --cycle: every copy arrives whole where the plan says, a drawn
// folder with all its files under its path below the source, numbered names
// sort in the draw's order, and the playlist names exactly the copies that
// arrived. With --refresh each is run twice: the second run leaves only its
// own copies beside the user's things, and no empty folder.
TEST_F(CommandLine, AlbumsNumbersAndPlaylistsArriveAsPlanned)
{
    const QString library = Library();
    tree.WriteFile(QStringLiteral("lib/1/deep/er/g7.txt"), "1234567");
    // Names that a playlist line would take for a comment, or strip.
    tree.WriteFile(QStringLiteral("lib/1/#1 Hit.txt"), "#");
    tree.WriteFile(QStringLiteral("lib/0/ leading blank.txt"), " ");
    // Two names that plain ASCII folds alike.
    tree.WriteFile(QStringLiteral("lib/0/Café.txt"), "e\u0301");
    tree.WriteFile(QStringLiteral("lib/0/Cafe.txt"), "e");
    const QString plan = tree.Path(QStringLiteral("plan.txt"));
    const QStringList cases[] = {
        {"--whole-folders", "-n", "2"},
        {"--numbered", "-n", "4"},
        {"--playlist", "mix.m3u8", "-n", "20"}, // all of them
        {"--whole-folders", "--numbered", "--playlist", "mix.m3u", "--refresh", "--fill", "--cycle", "--verify",
         "--ascii-names"},
        {"--numbered", "--playlist", "mix.m3u8", "--refresh", "--cycle", "-n", "5"},
    };
    int made = 0;
    for (const QStringList& options : cases) {
        const QString out = tree.MakeFolder(QStringLiteral("out%1").arg(++made));
        tree.WriteFile(QStringLiteral("out%1/mine/keep.txt").arg(made), "mine");
        const QString playlist = options.contains("--playlist") ? options[options.indexOf("--playlist") + 1] : QString();
        std::set<std::string> others = {"mine/keep.txt"};
        if (!playlist.isEmpty())
            others.insert(playlist.toStdString());
        if (options.contains("--refresh"))
            others.insert(".quorvex-refresh");
        for (int night = options.contains("--refresh") ? 2 : 1; night > 0; --night) {
            const Outcome outcome = Run(QStringList {"--source-tree", library, "-d", out, "--save-plan", plan} + options);
            ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
            const auto rows = PlanRows(plan);
            ExpectArrivedAsPlanned(rows, out, others, playlist);
            for (const auto& [source, destination] : rows) {
                if (options.contains("--ascii-names")) {
                    EXPECT_TRUE(std::all_of(destination.begin(), destination.end(), [](QChar c) { return c.unicode() < 0x80; }))
                        << destination.toStdString();
                }
            }
            if (options.contains("--verify")) {
                EXPECT_TRUE(outcome.err.contains(QStringLiteral(" s), %1 verified, ").arg(rows.size()))) << outcome.err.toStdString();
            }
            QStringList places; // below out: a copy's name, or its folder's
            for (const auto& [source, destination] : rows) {
                const QString below = destination.mid(out.size() + 1);
                if (!options.contains("--whole-folders")) {
                    places.append(below);
                    continue;
                }
                // Its folder's path below the library, after the folder's place in the draw.
                const QString folder = FolderOf(below);
                QString expected = FolderOf(source).mid(library.size() + 1);
                if (options.contains("--numbered"))
                    expected.prepend(folder.section(u' ', 0, 0) + u' ');
                EXPECT_EQ(folder, expected) << source.toStdString();
                places.append(folder);
                // Every file of a drawn folder arrives (under its plain name with --ascii-names).
                const auto files = [](const QString& in) {
                    const std::filesystem::directory_iterator entries(ToFsPath(in));
                    return std::count_if(begin(entries), end(entries), [](const auto& entry) { return entry.is_regular_file(); });
                };
                EXPECT_EQ(files(out + u'/' + folder), files(FolderOf(source))) << folder.toStdString();
            }
            if (options.contains("--numbered")) {
                QStringList sorted = places;
                sorted.sort();
                EXPECT_EQ(places, sorted);
                EXPECT_TRUE(places.front().startsWith(u"1 ")) << places.front().toStdString();
            }
        }
    }
    // Two drawn folders of one name take numbers, past a file of the next
    // name; with --keep-existing a file already in the folder keeps its name.
    const QString clash = tree.MakeFolder(QStringLiteral("clash"));
    tree.WriteFile(QStringLiteral("clash/Album/x.txt"), "user's");
    tree.WriteFile(QStringLiteral("clash/Album1"), "user's");
    tree.WriteFile(QStringLiteral("a/Album/x.txt"), "a");
    tree.WriteFile(QStringLiteral("b/Album/x.txt"), "b");
    ASSERT_EQ(Run({"-s", tree.Path(QStringLiteral("a/Album")), "-s", tree.Path(QStringLiteral("b/Album")), "-d", clash,
                   "--whole-folders", "--keep-existing", "--seed", "1", "--save-plan", plan}).status, 0);
    ExpectArrivedAsPlanned(PlanRows(plan), clash, {"Album/x.txt", "Album1"});
    EXPECT_EQ(Below(clash), (std::set<std::string> {"Album/x.txt", "Album/x1.txt", "Album1", "Album2/x.txt"}));

    // A cycle of folders draws each of the three once before any comes back.
    std::set<QString> cycled;
    for (int night = 0; night < 3; ++night) {
        ASSERT_EQ(Run({"--source-tree", library, "-d", clash, "--whole-folders", "--cycle", "-n", "1", "--refresh", "--seed", "7",
                       "--save-plan", plan}).status, 0);
        cycled.insert(FolderOf(PlanRows(plan).front().first));
    }
    EXPECT_EQ(cycled.size(), 3u);

    // A saved album plan is carried out as it stands, its folders made below its destination.
    const QString again = tree.MakeFolder(QStringLiteral("again"));
    ASSERT_EQ(Run({"--source-tree", library, "-d", again, "--whole-folders", "--numbered", "-n", "2", "--dry-run",
                   "--save-plan", plan}).status, 0);
    // With --ascii-names its names are folded, as the plan it saves shows.
    const QString folded = tree.Path(QStringLiteral("folded.txt"));
    const Outcome carried = Run({"--plan", plan, "--playlist", "Mïx.m3u8", "--ascii-names", "--save-plan", folded});
    EXPECT_EQ(carried.status, 0) << carried.err.toStdString();
    ExpectArrivedAsPlanned(PlanRows(folded), again, {"Mix.m3u8"}, QStringLiteral("Mix.m3u8"));
}

// Without a number the budget alone decides: the plan never passes it, and
// every file left out would not have fitted in what was left.
TEST_F(CommandLine, TheSizeBudgetIsFilledAsFarAsTheDrawAllows)
{
    const QString library = Library(); // 21 bytes in all
    const QString stick = tree.MakeFolder(QStringLiteral("stick"));
    const Outcome outcome = Run({"--source-tree", library, "-d", stick, "--max-size", "0.0107K", "--seed", "5"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("plan: "))) << outcome.err.toStdString();
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(stick)))
        total += entry.file_size();
    EXPECT_LE(total, 10u);
    for (int i = 1; i <= 6; ++i) {
        if (!Names(stick).count(QStringLiteral("f%1.txt").arg(i).toStdString())) {
            EXPECT_GT(total + i, 10u) << "f" << i << " would still have fitted";
        }
    }
    // Asked for more files than there are, the files that fit are still
    // drawn, at random; with repeats, -n bounds the count.
    const QStringList arguments = {"--source-tree", library, "-d", stick, "--max-size", "10", "--dry-run"};
    const QStringList plans[] = {Run(arguments + QStringList {"-n", "100", "--seed", "1"}).out.split(u'\n', Qt::SkipEmptyParts),
                                 Run(arguments + QStringList {"-n", "100", "--seed", "2"}).out.split(u'\n', Qt::SkipEmptyParts),
                                 Run(arguments + QStringList {"-n", "4", "-r", "--seed", "3"}).out.split(u'\n', Qt::SkipEmptyParts)};
    EXPECT_NE(plans[0], plans[1]);
    for (const QStringList& rows : plans) {
        std::set<int> drawn;
        int planned = 0;
        for (const QString& row : rows) {
            const int size = row.section(NativeSeparator(), -1).mid(1, 1).toInt(); // f<size>.txt
            planned += size;
            drawn.insert(size);
        }
        EXPECT_LE(planned, 10) << rows.join(u'\n').toStdString();
        EXPECT_FALSE(rows.isEmpty());
        EXPECT_LE(rows.size(), &rows == &plans[2] ? 4 : 6);
        if (&rows == &plans[2])
            continue;
        for (int size = 1; size <= 6; ++size)
            EXPECT_TRUE(drawn.count(size) || planned + size > 10) << "f" << size << " would still have fitted";
    }
}

TEST_F(CommandLine, AnEditedPlanIsCarriedOut)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const QString plan = tree.Path(QStringLiteral("plan.txt"));
    ASSERT_EQ(Run({"--source-tree", library, "-d", out, "-n", "3", "--save-plan", plan, "--dry-run"}).status, 0);
    EXPECT_TRUE(Names(out).empty());
    std::ifstream saved(ToFsPath(plan));
    std::string seedLine, first, second;
    std::getline(saved, seedLine);
    EXPECT_EQ(seedLine.rfind("# seed ", 0), 0u) << seedLine;
    std::getline(saved, first);
    std::getline(saved, second);
    // By hand: one row renamed, one gone, a blank line and broken lines added:
    // one without a join, one that could be split in two ways, one with a NUL.
    first.replace(first.rfind(NativeSeparator().toLatin1()) + 1, std::string::npos, "renamed.txt");
    // And a row whose source is gone, and one for a folder that is not
    // there: one line says each.
    const QString gone = tree.Path(QStringLiteral("gone.txt"));
    const QString unmounted = WithClosingSeparator(tree.Path(QStringLiteral("unmounted")));
    std::ofstream(ToFsPath(plan)) << first << "\n# a comment\n" << second << "\nno row here\n"
                                  << second << " will be copied to /tmp/x\n" << second << "\\x00\n"
                                  << (gone + kWillBeCopiedTo + WithClosingSeparator(out) + "x.txt\n").toStdString()
                                  << (gone + kWillBeCopiedTo + unmounted + "x.txt\n").toStdString();
    const Outcome edited = Run({"--plan", plan});
    EXPECT_EQ(edited.status, 1);
#ifdef _WIN32
    // Windows plans write paths as they are: "\\x00" is no escape there.
    for (const char* line : {":4: ", ":5: "})
#else
    for (const char* line : {":4: ", ":5: ", ":6: "})
#endif
        EXPECT_TRUE(edited.err.contains(plan + line + "the row does not say what is copied where")) << edited.err.toStdString();
    EXPECT_EQ(Names(out).size(), 2u);
    EXPECT_TRUE(Names(out).count("renamed.txt"));
    EXPECT_TRUE(edited.err.contains(QStringLiteral("quorvex: %1x.txt: the source is missing or cannot be read (from %2)\n")
                                        .arg(WithClosingSeparator(out), gone)))
        << edited.err.toStdString();
    EXPECT_EQ(edited.err.count(QStringLiteral("quorvex: dest: %1: no such folder\n").arg(unmounted)), 1) << edited.err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(ToFsPath(unmounted)));

}

// A user's own file where a drawn file would land: replaced by default, as
// cp does; left with the row skipped; or kept with the draw beside it.
TEST_F(CommandLine, ExistingFilesAreReplacedSkippedOrKept)
{
    const QString library = Library(); // lib/1 holds f1, f3 and f5
    const struct {
        const char* option;
        std::set<std::string> names;
        const char* own;
        const char* summary;
    } cases[] = {
        {"--seed", {"f1.txt", "f3.txt", "f5.txt"}, "x", "3 copied"},
        {"--skip-existing", {"f1.txt", "f3.txt", "f5.txt"}, "mine", "2 copied (8 B in "},
        {"--keep-existing", {"f1.txt", "f11.txt", "f3.txt", "f5.txt"}, "mine", "3 copied"},
    };
    for (const auto& [option, names, own, summary] : cases) {
        const QString out = tree.MakeFolder(QStringLiteral("out-") + QString::fromLatin1(option).mid(2));
        tree.WriteFile(QStringLiteral("out-%1/f1.txt").arg(QString::fromLatin1(option).mid(2)), "mine");
        QStringList arguments = {"-s", library + "/1", "-d", out, "-n", "3", option};
        if (arguments.last() == u"--seed")
            arguments << "1";
        const QString dryRun = Run(arguments + QStringList {"--dry-run"}).out;
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 0) << option << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(QString::fromLatin1(summary))) << option << outcome.err.toStdString();
        EXPECT_EQ(Names(out), names) << option;
        std::ifstream mine(ToFsPath(out) / "f1.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), own) << option;
        EXPECT_EQ(dryRun.count(u'\n'), std::string(option) == "--skip-existing" ? 2 : 3) << option;
    }
}

// Filters thin the files before the draw, so -n still holds; a word of the
// source folder's own name or of the destination matches nothing.
TEST_F(CommandLine, FiltersActBeforeTheDraw)
{
    const QString library = Library(); // lib/0: f2, f4, f6; lib/1: f1, f3, f5
    const QString out = tree.MakeFolder(QStringLiteral("LibMix"));
    const std::pair<QStringList, std::set<std::string>> cases[] = {
        {{"--exclude", "LIB", "-n", "6"}, {"f1.txt", "f2.txt", "f3.txt", "f4.txt", "f5.txt", "f6.txt"}},
        {{"--exclude", "f1", "--exclude", "1/F3", "-n", "4"}, {"f2.txt", "f4.txt", "f5.txt", "f6.txt"}},
        {{"--only", "*.TXT", "--exclude", "0/", "-n", "3"}, {"f1.txt", "f3.txt", "f5.txt"}},
        {{"--only", "f[12].*", "-n", "2"}, {"f1.txt", "f2.txt"}},
        {{"-d", library + "/0/../1", "-n", "6"}, {"f2.txt", "f4.txt", "f6.txt"}},
    };
    for (const auto& [filters, names] : cases) {
        const QStringList rows =
            Run(QStringList {"--source-tree", library, "-d", out, "--seed", "1", "--dry-run"} + filters).out.split(u'\n', Qt::SkipEmptyParts);
        std::set<std::string> drawn;
        for (const QString& row : rows)
            drawn.insert(row.section(NativeSeparator(), -1).toStdString());
        EXPECT_EQ(drawn, names) << filters.join(u' ').toStdString();
    }
}

// Files no player rated draw as they would blind; rated ones below the
// least rating asked for are never drawn, and the short draw says why.
TEST_F(CommandLine, RatingsDecideWhatMayBeDrawn)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("Rated"));
    const QStringList plain {"--source-tree", library, "-d", out, "--seed", "7", "-n", "3", "--dry-run"};
    EXPECT_EQ(Run(plain + QStringList {"--prefer-rated"}).out, Run(plain).out);
    // Indexed ahead of the night: the second time nothing is read; where no
    // index can be kept, the run that is to keep it fails.
    const QStringList indexOnly {"--index-only", "--source-tree", library, "-v"};
    EXPECT_TRUE(Run(indexOnly).err.contains(QStringLiteral("index: 0 files read, 0 dropped")));
    QFile::remove(library + QStringLiteral("/1/f1.txt"));
    EXPECT_TRUE(Run(indexOnly).err.contains(QStringLiteral("index: 0 files read, 1 dropped")));
    QProcessEnvironment unwritable = Environment();
    unwritable.insert(QStringLiteral("XDG_STATE_HOME"), tree.WriteFile(QStringLiteral("a-file")));
    process.setProcessEnvironment(unwritable);
    const Outcome unsaved = Run(indexOnly);
    process.setProcessEnvironment(Environment());
    EXPECT_EQ(unsaved.status, 1);
    EXPECT_TRUE(unsaved.err.contains(QStringLiteral("the library index could not be saved"))) << unsaved.err.toStdString();

    const bool tools = fixtures::HaveAudioTools() && fixtures::HaveMutagen();
    REQUIRE_TAGGING_TOOLS(tools, "no ffmpeg or python3-mutagen");
    for (int stars = 0; stars <= 5; ++stars) {
        const QString song = fixtures::PlainFlac(tree.Path(QStringLiteral("songs/s%1.flac").arg(stars)), 0.5);
        ASSERT_FALSE(song.isEmpty());
        if (stars > 0) {
            ASSERT_FALSE(fixtures::TaggedByMutagen(song, QStringLiteral("f['RATING'] = '%1'").arg(stars)).isEmpty());
        }
    }
    const QStringList rated {"-s", tree.Path(QStringLiteral("songs")), "-d", out, "-n", "6", "--dry-run", "-v"};
    const std::pair<QStringList, QStringList> cases[] = {
        {{"--min-rating", "4"}, {QString::fromUtf8("★4"), QString::fromUtf8("★5")}},
        {{"--min-rating", "4", "--unrated-as", "4.5", "--prefer-rated"},
         {QStringLiteral("unrated"), QString::fromUtf8("★4"), QString::fromUtf8("★5")}},
    };
    for (const auto& [options, stars] : cases) {
        const Outcome outcome = Run(rated + options);
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        QStringList shown;
        for (const QString& row : outcome.out.split(u'\n', Qt::SkipEmptyParts))
            shown << row.section(u'\t', 0, 0);
        shown.sort();
        EXPECT_EQ(shown, stars) << outcome.out.toStdString();
        EXPECT_TRUE(outcome.err.contains(QStringLiteral("only %1 files rated 4 stars or more to draw from").arg(stars.size())))
            << outcome.err.toStdString();
    }
}

// A whole drive as a source: the folders and files systems keep for
// themselves are not drawn, in any letter case; a folder named directly is.
TEST_F(CommandLine, TheSystemsOwnFoldersAndFilesAreNotDrawn)
{
    for (const char* path : {"Music/a.mp3", "Music/Thumbs.db", "Music/DESKTOP.INI", "Music/._a.mp3", "Music/.DS_Store",
                             "b.mp3", "$Recycle.Bin/S-1-5-21/$RX1.mp3", "RECYCLER/x.mp3",
                             "System Volume Information/IndexerVolumeGuid", "lost+found/#1234", "FOUND.000/FILE0000.CHK",
                             "found.001/x.mp3", ".Trash-1000/files/x.mp3", ".Trashes/501/x.mp3", "Found.1/kept.mp3"})
        tree.WriteFile(QStringLiteral("drive/") + QString::fromUtf8(path), "x");
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const QStringList draw = {"-d", out, "-n", "100", "--seed", "1", "--dry-run"};
    EXPECT_EQ(SourceNames(Run(QStringList {"--source-tree", tree.Path(QStringLiteral("drive"))} + draw).out),
              (std::set<std::string> {"a.mp3", "b.mp3", "kept.mp3"}));
    EXPECT_EQ(SourceNames(Run(QStringList {"-s", tree.Path(QStringLiteral("drive/$Recycle.Bin/S-1-5-21"))} + draw).out),
              std::set<std::string> {"$RX1.mp3"});
}

// -q prints nothing, not even the seed, unless something failed; -v lists
// each copy on standard output, as a dry run writes paths.
TEST_F(CommandLine, QuietIsSilentAndVerboseListsTheCopies)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const Outcome quiet = Run({"-q", "--source-tree", library, "-d", out, "-n", "2"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, QString());
    const Outcome verbose = Run({"-v", "-s", library + "/1", "-d", out, "-n", "3", "--seed", "1"});
    QStringList listed = verbose.out.split(u'\n', Qt::SkipEmptyParts);
    listed.sort();
    const QString in = WithClosingSeparator(out);
    EXPECT_EQ(listed, (QStringList {in + "f1.txt", in + "f3.txt", in + "f5.txt"}));
    EXPECT_EQ(Run({"-V"}).out, QStringLiteral("quorvex " QUORVEX_VERSION "\n"));
    EXPECT_TRUE(Run({"--help"}).out.contains(QStringLiteral("Exit status: 0 all done, 1 some rows failed")));

    // A list on standard input, its rows taken from where the command runs.
    process.setWorkingDirectory(library);
    process.start(QStringLiteral(QUORVEX_PROGRAM), {"--source-list", "-", "-d", out, "-n", "1", "--dry-run", "-q"});
    process.write("1\n");
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(60'000));
    EXPECT_TRUE(process.readAllStandardOutput().startsWith(QDir::toNativeSeparators(library + "/1/f").toUtf8()));
}

// One implementation: the window, given the same seed, makes the same rows.
TEST_F(CommandLine, TheWindowDrawsTheSamePlanFromTheSameSeed)
{
    QStringList sources;
    for (int i = 0; i < 8; ++i)
        sources << tree.WriteFile(QStringLiteral("one/%1/only.txt").arg(i), "x").chopped(9);
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    QStringList arguments = {"-d", out, "-n", "5", "-r", "--seed", "9", "--dry-run"};
    for (const QString& source : sources)
        arguments << "-s" << source;
    const QStringList printed = Run(arguments).out.split(u'\n', Qt::SkipEmptyParts);

    ScriptedDialogs dialogs;
    ProcessRandom random;
    Form1 form(dialogs, random, tree.Path());
    random.Seed(9);
    for (const QString& source : sources)
        form.SourceList->Append(source + NativeSeparator());
    form.DestinationList->Append(out);
    form.Text1->setText(QStringLiteral("5"));
    form.Check11->setChecked(true);
    form.PushButton12_Click();
    EXPECT_EQ(form.CopyList->Rows(), printed);
}

// Every file once before any comes back, whichever stick it went to; the
// run that wraps starts a cycle of just the files it drew again. A dry run
// leaves the cycle as it was, and a named cycle is a cycle apart.
TEST_F(CommandLine, ACycleDrawsEveryFileOnceBeforeAnyComesBack)
{
    const QStringList cycle = {"--source-tree", Library(), "-n", "4", "--cycle"};
    const auto copyInto = [&](const QString& stick, const QStringList& more = {}) {
        const Outcome outcome = Run(cycle + more + QStringList {"-d", tree.MakeFolder(stick)});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        return Names(tree.Path(stick));
    };
    const std::set<std::string> all = {"f1.txt", "f2.txt", "f3.txt", "f4.txt", "f5.txt", "f6.txt"};
    const std::set<std::string> first = copyInto(QStringLiteral("a"));
    const std::set<std::string> second = copyInto(QStringLiteral("b"));
    std::set<std::string> both, again, rest;
    std::set_union(first.begin(), first.end(), second.begin(), second.end(), std::inserter(both, both.end()));
    std::set_intersection(first.begin(), first.end(), second.begin(), second.end(), std::inserter(again, again.end()));
    std::set_difference(all.begin(), all.end(), again.begin(), again.end(), std::inserter(rest, rest.end()));
    EXPECT_EQ(first.size(), 4u);
    EXPECT_EQ(both, all);
    EXPECT_EQ(again.size(), 2u);
    EXPECT_EQ(SourceNames(Run(cycle + QStringList {"-d", tree.MakeFolder(QStringLiteral("out")), "--dry-run"}).out), rest);
    copyInto(QStringLiteral("frame"), {"--cycle-name", "frame"});
    EXPECT_EQ(copyInto(QStringLiteral("c")), rest);
}

// A file whose every row failed is still to come; a damaged state is said,
// and a fresh cycle written in its place.
TEST_F(CommandLine, ACycleKeepsFailedFilesAndSurvivesDamage)
{
    const QString library = Library(); // lib/1 holds f1, f3 and f5
    const QString blocked = tree.MakeFolder(QStringLiteral("blocked/f1.txt")).chopped(6); // f1 cannot land
    const QStringList cycle = {"-s", library + "/1", "--cycle"};
    EXPECT_EQ(Run(cycle + QStringList {"-d", blocked, "-n", "3"}).status, 1);
    EXPECT_EQ(SourceNames(Run(cycle + QStringList {"-d", blocked, "-n", "1", "--dry-run"}).out),
              std::set<std::string> {"f1.txt"});

    std::filesystem::directory_entry state; // beside its lock
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(tree.Path(QStringLiteral("state/quorvex")))))
        state = entry.path().extension() == ".lock" ? state : entry;
    std::filesystem::resize_file(state.path(), 20);
    const Outcome damaged = Run(cycle + QStringList {"-d", tree.MakeFolder(QStringLiteral("out")), "-n", "3"});
    EXPECT_EQ(damaged.status, 0) << damaged.err.toStdString();
    EXPECT_TRUE(damaged.err.contains(QStringLiteral("cycle: %1: damaged, starting a fresh cycle").arg(FromFsName(state.path().native()))))
        << damaged.err.toStdString();
    const Outcome next = Run(cycle + QStringList {"-d", blocked, "-n", "3", "--dry-run"});
    EXPECT_FALSE(next.err.contains(QStringLiteral("damaged"))) << next.err.toStdString();
    EXPECT_EQ(SourceNames(next.out).size(), 3u);

    // A state that cannot be written fails the run, though the copies are made.
    std::filesystem::remove_all(ToFsPath(tree.Path(QStringLiteral("state"))));
    tree.WriteFile(QStringLiteral("state"), "not a folder");
    const Outcome unwritten = Run(cycle + QStringList {"-d", tree.Path(QStringLiteral("out")), "-n", "1"});
    EXPECT_EQ(unwritten.status, 1);
    EXPECT_TRUE(unwritten.err.contains(QDir::toNativeSeparators(QStringLiteral("/state/quorvex: could not be made"))))
        << unwritten.err.toStdString();
}

// Waits until the running program has said text on standard error; all it
// said so far.
static QString SaidWhileRunning(QProcess& process, const QString& text)
{
    QString said;
    process.waitForStarted();
    process.setReadChannel(QProcess::StandardError);
    while (!said.contains(text) && process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        said += QString::fromUtf8(process.readAllStandardError());
    }
    return said;
}

// A destination another run is filling is left to it, said once, and the
// others are filled; with --wait the run waits for it instead.
TEST_F(CommandLine, AFolderAnotherRunHoldsIsLeftToItOrWaitedFor)
{
    const QString library = Library(); // lib/1 holds f1, f3 and f5
    const QString busy = tree.MakeFolder(QStringLiteral("busy"));
    const QString free = tree.MakeFolder(QStringLiteral("free"));
    LockHeldElsewhere held(busy);
    ASSERT_TRUE(held.Held());
    const QStringList arguments = {"-s", library + "/1", "-d", busy, "-d", free, "-n", "3", "--seed", "1"};
    const Outcome refused = Run(arguments);
    EXPECT_EQ(refused.status, 1);
    const QString said = QStringLiteral("quorvex: dest: %1: in use by another run").arg(WithClosingSeparator(busy));
    EXPECT_EQ(refused.err.count(said), 1) << refused.err.toStdString();
#ifndef _WIN32
    EXPECT_TRUE(refused.err.contains(said + QStringLiteral(" (pid %1)\n").arg(QCoreApplication::applicationPid())))
        << refused.err.toStdString();
#endif
    EXPECT_TRUE(refused.err.contains(QStringLiteral("3 copied (")) && refused.err.contains(QStringLiteral(" 1 failed")))
        << refused.err.toStdString();
    EXPECT_TRUE(Names(busy).empty());
    EXPECT_EQ(Names(free).size(), 3u);
    // A dry run writes nothing, and takes no lock; a saved plan's rows for
    // the folder are left out.
    const QString plan = tree.Path(QStringLiteral("plan.txt"));
    EXPECT_EQ(Run(arguments + QStringList {"--dry-run", "--save-plan", plan}).status, 0);
    const Outcome planned = Run({"--plan", plan});
    EXPECT_EQ(planned.status, 1);
    EXPECT_EQ(planned.err.count(said), 1) << planned.err.toStdString();
    EXPECT_TRUE(Names(busy).empty());

    process.start(QStringLiteral(QUORVEX_PROGRAM), arguments + QStringList {"--wait"});
    EXPECT_TRUE(SaidWhileRunning(process, QStringLiteral("; waiting for it")).contains(said));
    held.Release();
    ASSERT_TRUE(process.waitForFinished(60'000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(Names(busy).size(), 3u);
}

// A cycle's state is one run's at a time: a second run waits for it, so two
// runs at once never draw a file twice in one cycle. Two refreshes of one
// stick at once leave one mix on it.
TEST_F(CommandLine, ACycleAndADestinationServeOneRunAtATime)
{
    const QStringList cycle = {"--source-tree", Library(), "-n", "3", "--cycle", "-q"};
    ASSERT_EQ(Run(cycle + QStringList {"-d", tree.MakeFolder(QStringLiteral("first")), "--cycle-name", "other"}).status, 0);
    const QDir state(tree.Path(QStringLiteral("state/quorvex")));
    const QStringList locks = state.entryList({QStringLiteral("*.lock")});
    ASSERT_EQ(locks.size(), 1);
    {
        LockHeldElsewhere held(state.filePath(locks[0]));
        process.start(QStringLiteral(QUORVEX_PROGRAM), cycle.mid(0, 5) + QStringList {"-d", tree.MakeFolder(QStringLiteral("c")), "--cycle-name", "other"});
        EXPECT_TRUE(SaidWhileRunning(process, QStringLiteral("; waiting for it")).contains(QStringLiteral("cycle: ")));
        held.Release();
        ASSERT_TRUE(process.waitForFinished(60'000));
        EXPECT_EQ(process.exitCode(), 0);
    }

    QProcess racing[2];
    for (int run = 0; run < 2; ++run) {
        racing[run].setProcessEnvironment(Environment());
        racing[run].start(QStringLiteral(QUORVEX_PROGRAM), cycle + QStringList {"-d", tree.MakeFolder(QStringLiteral("race%1").arg(run))});
    }
    const QString stick = tree.MakeFolder(QStringLiteral("stick"));
    QProcess refreshing[2];
    for (QProcess& run : refreshing) {
        run.setProcessEnvironment(Environment());
        run.start(QStringLiteral(QUORVEX_PROGRAM), {"--source-tree", tree.Path(QStringLiteral("lib")), "-d", stick, "-n", "4", "--refresh", "-q"});
    }
    for (QProcess* run : {&racing[0], &racing[1], &refreshing[0], &refreshing[1]}) {
        ASSERT_TRUE(run->waitForFinished(60'000));
        const QString err = QString::fromUtf8(run->readAllStandardError());
        EXPECT_TRUE(run->exitCode() == 0 || (run->exitCode() == 1 && err.contains(QStringLiteral("in use by another run"))))
            << err.toStdString();
    }
    std::set<std::string> both = Names(tree.Path(QStringLiteral("race0")));
    both.merge(Names(tree.Path(QStringLiteral("race1"))));
    EXPECT_EQ(both.size(), 6u) << "a file was drawn twice in one cycle";
    EXPECT_EQ(Names(stick).size(), 4u + 1) << "one mix and its record";
}

#ifdef _WIN32
// quorvex.com, the console twin a terminal waits for, answers as the
// program does: the same rows on standard output, the same exit statuses.
TEST_F(CommandLine, TheConsoleTwinAnswersAsTheProgramDoes)
{
    const QString library = Library();
    const QStringList arguments = {"-s", library + "/1", "-d", tree.MakeFolder(QStringLiteral("out")), "-n", "2",
                                   "--seed", "3", "--dry-run"};
    const Outcome program = Run(arguments);
    const Outcome twin = Run(arguments, QStringLiteral(QUORVEX_CONSOLE_PROGRAM));
    EXPECT_EQ(twin.status, 0) << twin.err.toStdString();
    EXPECT_EQ(twin.out.count(kWillBeCopiedTo), 2);
    EXPECT_EQ(twin.out, program.out);
    const Outcome usage = Run({"--bogus"}, QStringLiteral(QUORVEX_CONSOLE_PROGRAM));
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.err.contains(QStringLiteral("unknown option --bogus"))) << usage.err.toStdString();
}

// The console twin converts a song with the ffmpeg.exe beside it, none on
// PATH, and fits a turned photo on the copy's workers.
TEST_F(CommandLine, TheConsoleTwinFitsSongsAndPhotosWithWhatLiesBesideIt)
{
    REQUIRE_AUDIO_TOOLS();
    REQUIRE_PHOTO_TOOLS();
    fixtures::JpegFixture turned;
    turned.orientation = 6;
    ASSERT_FALSE(fixtures::Flac96k24WithCover(tree.Path("lib/song.flac")).isEmpty());
    ASSERT_FALSE(fixtures::Jpeg(tree.Path("lib/photo.jpg"), turned).isEmpty());
    QProcessEnvironment environment = Environment();
    QStringList path = environment.value("PATH").split(';');
    path.removeIf([](const QString& folder) { return QFileInfo::exists(folder + "/ffmpeg.exe"); });
    environment.insert("PATH", path.join(';'));
    environment.insert("XDG_CACHE_HOME", tree.Path("cache"));
    process.setProcessEnvironment(environment);
    const QString out = tree.MakeFolder("out");
    const Outcome outcome = Run({"-s", tree.Path("lib"), "-d", out, "-n", "2", "--device", "car-mp3", "--frame", "800x480"},
                                QStringLiteral(QUORVEX_CONSOLE_PROGRAM));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(Names(out), (std::set<std::string> {"photo.jpg", "song.mp3"}));
    EXPECT_TRUE(fixtures::ProbeJson(out + "/song.mp3").contains("\"codec_name\": \"mp3\""));
    EXPECT_EQ(fixtures::SizeOf(out + "/photo.jpg"), QSize(600, 400)) << "upright";
}

// A folder on a fixed disk other than the system's is no stick: it is
// counted alone against the car's 3000 files, not with the whole disk.
TEST_F(CommandLine, AFolderOnAFixedDiskIsCountedAlone)
{
    // Wine's Z: holds Linux's whole file system.
    if (GetDriveTypeW(L"Z:\\") != DRIVE_FIXED || !QFileInfo(QStringLiteral("Z:/tmp")).isDir())
        GTEST_SKIP() << "no fixed disk Z: with a tmp folder, as under Wine";
    QTemporaryDir folder(QStringLiteral("Z:/tmp/quorvex-test-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QString library = Library();
    const Outcome outcome = Run({"-s", library + "/0", "-s", library + "/1", "-d", folder.path(), "-n", "6", "--device",
                                 "car-mp3", "--dry-run"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out.count(kWillBeCopiedTo), 6) << outcome.err.toStdString();
}
#endif
