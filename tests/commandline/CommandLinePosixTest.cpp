#include "commandline/CommandLineFixture.h"
#include "core/PathHelpers.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "core/ShellQuoting.h"
#include "platform/Volume.h"
#include "support/FatStick.h"
#include "support/LockHeldElsewhere.h"
#include "support/TempTree.h"
#include "support/FormFixture.h"
#include "window/RefillChoicesDialog.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The command line's tests that need POSIX: names as bytes, permission
// bits, signals, a preloaded library, FUSE, tmpfs and mount namespaces.

TEST_F(CommandLine, ADryRunPrintsTheRowsAndASeedReproducesThem)
{
    tree.WriteFile(QStringLiteral("odd/caf") + QChar(0xDCE9) + QStringLiteral(".txt"), "e");
    tree.WriteFile(QStringLiteral("odd/new\nline\\.txt"), "n");
    for (int i = 0; i < 20; ++i)
        tree.WriteFile(QStringLiteral("odd/%1.txt").arg(i), "x");
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    // One folder named twice, in two writings, is one destination.
    const QStringList arguments = {"-s", tree.Path(QStringLiteral("odd")), "-d", out, "-d", out + "/../out", "-n", "22", "--dry-run"};
    const Outcome first = Run(arguments + QStringList{"--seed", "42"});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(Names(out).empty());
    const QStringList rows = first.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 22);
    const QString odd = tree.Path(QStringLiteral("odd/"));
    EXPECT_TRUE(rows.contains(odd + "caf\\xe9.txt will be copied to " + out + "/caf\\xe9.txt"));
    EXPECT_TRUE(rows.contains(odd + "new\\x0aline\\\\.txt will be copied to " + out + "/new\\x0aline\\\\.txt"));
    EXPECT_EQ(Run(arguments + QStringList{"--seed", "42"}).out, first.out);
    EXPECT_NE(Run(arguments + QStringList{"--seed", "43"}).out, first.out);

    // Balanced, a folder of one file gives one of two beside the 22 others.
    const QString solo = tree.WriteFile(QStringLiteral("solo/only.txt"), "s");
    for (const char* seed : {"1", "2", "3"}) {
        const QStringList balanced = {"-s", odd, "-s", FolderOf(solo), "-d", out, "-n", "2", "--balance", "--dry-run", "--seed", seed};
        const QString plan = Run(balanced).out;
        EXPECT_EQ(plan.count(solo + " will be copied to "), 1) << plan.toStdString();
        EXPECT_EQ(Run(balanced).out, plan);
    }
}

// Awkward names, and folders whose names hold the words that join a row's
// two paths, beside a file named as the folder up to those words: a saved
// plan reads back every name, and each copy arrives whole where it belongs.
TEST_F(CommandLine, EveryNameArrivesThroughASavedPlanAndDirectly)
{
    std::vector<std::string> names = kAwkwardNames;
    names.insert(names.end(), {"new\nline\\.txt", "tab\t.txt"});
    const QString library = QStringLiteral("Live will be copied to x");
    for (const std::string& name : names)
        tree.WriteFile(library + u'/' + FromFsName(name), QByteArray::fromStdString(name));
    const QString plan = tree.Path(QStringLiteral("plan.txt"));
    const QString count = QString::number(names.size());
    for (const QString& folder : {QStringLiteral("planned"), QStringLiteral("direct")}) {
        tree.WriteFile(folder + QStringLiteral("/Music"), "the user's own");
        const QString out = tree.MakeFolder(folder + QStringLiteral("/Music will be copied to Backup"));
        const QStringList draw = {"-s", tree.Path(library), "-d", out, "-n", count};
        const bool planned = folder == QStringLiteral("planned");
        if (planned) {
            ASSERT_EQ(Run(draw + QStringList {"--save-plan", plan, "--dry-run"}).status, 0);
        }
        const Outcome outcome = Run(planned ? QStringList {"--plan", plan} : draw);
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(Names(out), std::set<std::string>(names.begin(), names.end())) << folder.toStdString();
        for (const std::string& name : names) {
            std::ifstream copy(ToFsPath(out) / name, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), name);
        }
        std::ifstream own(ToFsPath(tree.Path(folder + QStringLiteral("/Music"))));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(own), {}), "the user's own");
    }
    // The plan holds one join per line, and no control character raw.
    std::ifstream saved(ToFsPath(plan), std::ios::binary);
    const std::string text {std::istreambuf_iterator<char>(saved), {}};
    EXPECT_NE(text.find("csi\\xc2\\x9b.txt"), std::string::npos);
    EXPECT_EQ(text.find('\t'), std::string::npos);
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos);
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find(" will be copied to "), line.rfind(" will be copied to ")) << line;
    }
}

// A seed gives the same plan from the same tree, whatever order the file
// system lists its folders in: tmpfs lists the newest first.
TEST_F(CommandLine, ASeedDrawsTheSameFromTheSameTreeListedInAnotherOrder)
{
    QTemporaryDir memory(QStringLiteral("/dev/shm/quorvex-XXXXXX"));
    ASSERT_TRUE(memory.isValid());
    QStringList plans;
    for (const QString& order : {QStringLiteral("abcd"), QStringLiteral("dcba")}) {
        const QString root = memory.filePath(order);
        // The files within each folder are written in that order too.
        for (const QChar folder : order) {
            QDir().mkpath(root + u'/' + folder);
            for (const QChar file : order)
                std::ofstream(ToFsPath(root + u'/' + folder + u'/' + file + QStringLiteral(".txt"))) << "x";
        }
        const QString out = tree.MakeFolder(QStringLiteral("out"));
        const QString plan = Run({"--source-tree", root, "-d", out, "-n", "5", "--seed", "7", "--dry-run"}).out;
        plans << QString(plan).replace(root, QStringLiteral("ROOT"));
        // The tree's scan lists the files the draw takes: the same as the
        // folders' own listings give.
        const QString list = tree.WriteFile(order + QStringLiteral(".txt"), (root + "/a\n" + root + "/b\n" + root + "/c\n" + root + "/d\n").toUtf8());
        EXPECT_EQ(Run({"--source-list", list, "-d", out, "-n", "5", "--seed", "7", "--dry-run"}).out, plan);
    }
    EXPECT_EQ(plans[0], plans[1]);
    EXPECT_EQ(plans[0].count(u'\n'), 5);
}

// --fill on a small file system of its own (tmpfs, mounted in a namespace
// of the test's own): as much as fits, every row copied, and no file left
// out that would still have fitted beside the reserve. Then a copy of more
// than the reserve holds: rows fail only once the room is gone, as they
// would one at a time, though copies made ahead hold room meanwhile.
TEST_F(CommandLine, TheFillTakesWhatFitsAndNoRowFails)
{
    constexpr int kFileSize = 100 * 1024;
    for (int i = 1; i <= 40; ++i)
        tree.WriteFile(QStringLiteral("big/f%1.bin").arg(i), QByteArray(kFileSize, 'x'));
    const QString small = tree.MakeFolder(QStringLiteral("small"));
    process.start(QStringLiteral("unshare"),
                  {"-rm", "sh", "-c",
                   "mount -t tmpfs -o size=2m tmpfs \"$1\" || exit 99; \"$2\" -s \"$3\" -d \"$1\" --fill --seed 1; "
                   "echo \"status $?\"; df -B1 --output=avail \"$1\" | tail -1; mkdir \"$1/more\"; "
                   "\"$2\" -q -s \"$3\" -d \"$1/more\" -n 40 --seed 2 2>/dev/null; echo \"status $?\"; "
                   "df -B1 --output=avail \"$1\" | tail -1; find \"$1/more\" -type f -size 100k | wc -l; "
                   "ls -A \"$1/more\" | wc -l; \"$2\" --dry-run -s \"$3\" -d \"$1/more\" -n 40 --seed 2 | "
                   "sed 's|.*/||' | while read -r n; do [ -e \"$1/more/$n\" ] && printf 1 || printf 0; done",
                   "sh", small, QStringLiteral(QUORVEX_PROGRAM), tree.Path(QStringLiteral("big"))});
    ASSERT_TRUE(process.waitForFinished(60'000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (process.exitCode() == 99 && qEnvironmentVariableIsEmpty("QUORVEX_REQUIRE_FAT_STICK"))
        GTEST_SKIP() << "no tmpfs of our own here: " << err.toStdString();
    ASSERT_TRUE(out.startsWith(QStringLiteral("status 0\n"))) << out.toStdString() << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral(" 0 failed"))) << err.toStdString();
    const auto line = [&out](int number) { return out.section(u'\n', number, number).trimmed(); };
    const long long available = line(1).toLongLong();
    const long long reserve = 1024 * 1024 + 4 * 4096;
    EXPECT_GE(available, reserve);
    EXPECT_LT(available - reserve, kFileSize) << "one more file would have fitted";

    EXPECT_EQ(line(2), QStringLiteral("status 1")) << out.toStdString();
    EXPECT_LT(line(3).toLongLong(), kFileSize) << "a row failed that would have fitted";
    EXPECT_GE(line(4).toInt(), reserve / kFileSize - 1);
    EXPECT_EQ(line(4), line(5)) << "every copy there is whole, and nothing else is";
    // The rows that arrived are the first of the plan, as one at a time,
    // and those that failed the last.
    const QString arrivals = line(6);
    EXPECT_EQ(arrivals.size(), 40);
    EXPECT_EQ(arrivals.count(u'1'), line(4).toInt());
    EXPECT_EQ(arrivals.indexOf(u'0'), arrivals.lastIndexOf(u'1') + 1) << arrivals.toStdString();
}

// --refresh takes away its own last mix, and nothing else: not the user's
// files, not a copy edited since, nor one the user put in a copy's place
// with its size and time (a restore, a tag editor that keeps times).
TEST_F(CommandLine, ARefreshReplacesItsOwnLastMixOnly)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    tree.WriteFile(QStringLiteral("out/f1.txt"), "mine");
    tree.WriteFile(QStringLiteral("out/mine.txt"), "mine");
    // One folder in two writings is filled once.
    const QStringList arguments = {"--source-tree", library, "-d", out, "-d", out + "/../out", "-n", "4", "--refresh"};
    const auto recorded = [&] {
        std::set<std::string> names;
        std::ifstream record(ToFsPath(out + "/.quorvex-refresh"));
        std::string line;
        while (std::getline(record, line))
            if (!line.starts_with('#'))
                names.insert(line.substr(line.rfind('\t') + 1));
        return names;
    };
    const Outcome first = Run(arguments + QStringList {"--seed", "1"});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains(QStringLiteral("4 copied (")) && first.err.contains(QStringLiteral(", 0 removed,")))
        << first.err.toStdString();
    const std::set<std::string> firstMix = recorded();
    ASSERT_EQ(firstMix.size(), 4u);
    EXPECT_FALSE(firstMix.count("f1.txt")) << "the user's f1.txt is no copy of ours";
    // Three of the copies become the user's: one edited, one replaced by
    // another file and one rewritten in place, both with its size and time.
    std::vector<std::filesystem::path> users;
    for (const std::string& name : firstMix)
        users.push_back(ToFsPath(out) / name);
    users.pop_back();
    std::ofstream(users[0], std::ios::app) << "edited";
    const auto time = std::filesystem::last_write_time(users[1]);
    const std::string own(std::filesystem::file_size(users[1]), 'o');
    std::ofstream(ToFsPath(out) / "own", std::ios::binary) << own;
    std::filesystem::last_write_time(ToFsPath(out) / "own", time);
    std::filesystem::rename(ToFsPath(out) / "own", users[1]);
    const auto inPlaceTime = std::filesystem::last_write_time(users[2]);
    std::ofstream(users[2], std::ios::binary | std::ios::in | std::ios::out) << 'T';
    std::filesystem::last_write_time(users[2], inPlaceTime);
    const auto content = [](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const std::string before[] = {content(users[0]), content(users[1]), content(users[2])};

    const Outcome dryRun = Run(arguments + QStringList {"--seed", "2", "--dry-run"});
    EXPECT_EQ(dryRun.out.count(QStringLiteral("# remove ")), 1) << dryRun.out.toStdString();
    EXPECT_EQ(Names(out).size(), 7u) << "a dry run removes nothing";

    const Outcome second = Run(arguments + QStringList {"--seed", "2"});
    EXPECT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(second.err.contains(QStringLiteral(", 1 removed,"))) << second.err.toStdString();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(content(users[i]), before[i]) << users[i];
        EXPECT_FALSE(recorded().count(users[i].filename().native())) << users[i];
    }
    for (const char* own : {"f1.txt", "mine.txt"})
        EXPECT_EQ(content(ToFsPath(out) / own), "mine") << own;
    EXPECT_EQ(recorded().size(), 4u);
    EXPECT_EQ(Names(out).size(), 4u + 3 + 2 + 1) << "four copies, three of the user's now, two own files, the record";

    // A record that cannot be written fails the run, and the summary says so.
    tree.WriteFile(QStringLiteral("out/.quorvex-refresh.new/in the way"), "x");
    const Outcome unwritten = Run(arguments + QStringList {"--seed", "3"});
    EXPECT_EQ(unwritten.status, 1) << unwritten.err.toStdString();
    EXPECT_EQ(unwritten.err.count(QStringLiteral(".quorvex-refresh: ")), 1) << unwritten.err.toStdString();
    EXPECT_TRUE(unwritten.err.contains(QStringLiteral(", 0 skipped, 1 failed"))) << unwritten.err.toStdString();
}

// A record that cannot be trusted removes nothing; it is set aside and a
// fresh one started, so the next run takes its copies back. A last line cut
// short, and a record of the first form, are read.
TEST_F(CommandLine, ARecordThatCannotBeTrustedIsSetAside)
{
    const QString library = Library();
    const QString victim = tree.WriteFile(QStringLiteral("V/victim"), "victim");
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::file_clock::to_sys(std::filesystem::last_write_time(ToFsPath(victim))).time_since_epoch()).count();
    const std::string line = "6\t" + std::to_string(seconds) + '\t';
    const std::string heading = "# quorvex: the copies the last --refresh run made here, removed by the next one\n";
    const std::string third = "# quorvex --refresh record 3: kind (file, made folder, playlist), size, time, file "
                              "number, fingerprint and path of each entry\n";
    std::string large = heading;
    while (large.size() <= 4u << 20)
        large += line + "victim\n";
    const struct {
        std::string record;
        int status;
        const char* said;
    } cases[] = {
        {std::string("\x7f" "ELF\x02\x01\n\0\0garbage", 14), 1, "it is not a record of quorvex"},
        {large, 1, "it is larger than 4 MiB"},
        {heading + line + "..%2FV%2Fvictim\n", 1, "line 2 names ../V/victim, not a file of this folder"},
        {heading + line + QUrl::toPercentEncoding(victim).toStdString() + '\n', 1, "names /"},
        {heading + line + "sub%2F..%2Fown\n", 1, "line 2 names sub/../own"},
        {heading + line + "own\n6\t17", 0, ", 1 removed,"},
        {third + "f\t" + line + "-\t0000000000000000\tsub/../../V/victim\n", 1, "line 2 names sub/../../V/victim"},
        {third + "d\t" + line + "-\t0000000000000000\t/tmp\n", 1, "line 2 names /tmp"},
        {third + "x\t" + line + "-\t0000000000000000\town\n", 1, "line 2 is damaged"},
    };
    for (const auto& [record, status, said] : cases) {
        const QString out = tree.MakeFolder(QStringLiteral("R/sub")).chopped(4);
        std::filesystem::copy_file(ToFsPath(victim), ToFsPath(out + "/own"), std::filesystem::copy_options::overwrite_existing);
        std::filesystem::last_write_time(ToFsPath(out + "/own"), std::filesystem::last_write_time(ToFsPath(victim)));
        std::ofstream(ToFsPath(out + "/.quorvex-refresh"), std::ios::binary | std::ios::trunc) << record;
        const QStringList arguments = {"--source-tree", library, "-d", out, "-n", "1", "--refresh"};
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, status) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(QString::fromUtf8(said))) << said << "\n" << outcome.err.toStdString();
        EXPECT_TRUE(std::filesystem::exists(ToFsPath(victim)));
        std::ifstream aside(ToFsPath(out + "/.quorvex-refresh.refused"), std::ios::binary);
        if (status == 1) {
            EXPECT_TRUE(outcome.err.contains(QStringLiteral("; set aside as %1/.quorvex-refresh.refused; nothing was removed").arg(out)))
                << outcome.err.toStdString();
            EXPECT_TRUE(std::filesystem::exists(ToFsPath(out + "/own")));
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), record);
        }
        // The fresh record, of the third form, takes this run's copy back.
        std::ifstream fresh(ToFsPath(out + "/.quorvex-refresh"));
        std::string first;
        std::getline(fresh, first);
        EXPECT_EQ(first + '\n', third);
        const Outcome next = Run(arguments);
        EXPECT_EQ(next.status, 0) << next.err.toStdString();
        EXPECT_TRUE(next.err.contains(QStringLiteral(", 1 removed,"))) << next.err.toStdString();
        std::filesystem::remove_all(ToFsPath(out));
    }
}

// A run stopped at any point (kill -9, a pulled plug) leaves a record of
// every copy and folder it may have made: a clean run after it leaves
// exactly its own copies beside the user's file, and no empty folder. Each
// run is stopped one change to the folders' names later than the one
// before; an album draw makes and removes folders, and writes a playlist.
TEST_F(CommandLine, RunsStoppedAtAnyPointLeaveNoCopyUnrecorded)
{
    const QString library = Library();
    QProcessEnvironment stopping = Environment();
    stopping.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUORVEX_STOP_AT));
    stopping.insert(QStringLiteral("ASAN_OPTIONS"), stopping.value(QStringLiteral("ASAN_OPTIONS"))
                                                        + QStringLiteral(":verify_asan_link_order=0"));
    const struct {
        QStringList options;
        std::set<std::string> others;
        int changes; // at least, in a run that removes the last one's copies
    } cases[] = {
        // Three removals, the record before the copy, three copies and the record after.
        {{"-n", "3"}, {".quorvex-refresh", "mine.txt"}, 8},
        // And a folder removed and made, a playlist written and named.
        {{"--whole-folders", "-n", "1", "--playlist", "mix.m3u8"}, {".quorvex-refresh", "mine.txt", "mix.m3u8"}, 13},
    };
    for (const auto& [options, others, changes] : cases) {
        const QString out = tree.MakeFolder(QStringLiteral("out"));
        tree.WriteFile(QStringLiteral("out/mine.txt"), "mine");
        const QStringList arguments = QStringList {"--source-tree", library, "-d", out, "--refresh", "-q"} + options;
        int stopped = 0;
        for (int at = 1; at < 60; ++at) {
            process.setProcessEnvironment(Environment());
            const Outcome clean = Run(arguments + QStringList {"--save-plan", tree.Path(QStringLiteral("plan.txt"))});
            EXPECT_EQ(clean.status, 0) << clean.err.toStdString();
            const auto rows = PlanRows(tree.Path(QStringLiteral("plan.txt")));
            EXPECT_EQ(rows.size(), 3u);
            ExpectArrivedAsPlanned(rows, out, others);
            stopping.insert(QStringLiteral("QUORVEX_STOP_AT"), QString::number(at));
            process.setProcessEnvironment(stopping);
            if (Run(arguments).status != -1)
                break;
            ++stopped;
        }
        EXPECT_GE(stopped, changes) << options.join(u' ').toStdString();
        std::filesystem::remove_all(ToFsPath(out));
    }
}

// A FAT stick holds no file of 4 GiB: it is passed over, said once as a
// note, and another drawn in its place; every name arrives as the stick
// takes it.
TEST_F(CommandLine, AFatStickGetsTheFilesItHoldsUnderNamesItTakes)
{
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    const QString huge = tree.WriteFile(QStringLiteral("media/huge.mkv"));
    std::filesystem::resize_file(ToFsPath(huge), std::uint64_t(4) << 30); // sparse: takes no space
    tree.WriteFile(QStringLiteral("media/What's Up?.mp3"), "song");
    tree.WriteFile(QStringLiteral("media/AC:DC.mp3"), "band");
    // A seed whose draw meets the large file before the two others.
    const QString media = tree.Path(QStringLiteral("media/"));
    const QStringList arguments = {"-s", media, "-d", stick.Folder(), "-n", "2", "--seed", "1"};
    const Outcome quiet = Run(arguments + QStringList {"--dry-run", "-q"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, QString());
    QStringList rows = quiet.out.split(u'\n', Qt::SkipEmptyParts);
    rows.sort();
    EXPECT_EQ(rows, (QStringList {media + "AC:DC.mp3 will be copied to " + stick.Folder() + "/AC_DC.mp3",
                                  media + "What's Up?.mp3 will be copied to " + stick.Folder() + "/What's Up_.mp3"}));

    const Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count(QStringLiteral("too large")), 1) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("quorvex: huge.mkv is too large for the FAT file system of ")
                                     + stick.Folder() + ": passed over\n"))
        << outcome.err.toStdString();
    EXPECT_EQ(Names(stick.Folder()), (std::set<std::string> {"AC_DC.mp3", "What's Up_.mp3"}));
}

// On a FAT stick of 32 KiB clusters a 1-byte file takes 32 KiB: counted in
// bytes, these files would overrun the stick and their rows fail. A second
// run with --refresh gets the space of the first one's copies back.
TEST_F(CommandLine, TheFillCountsFatClustersAndRefreshGivesTheSpaceBack)
{
    FatStick stick(32);
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    constexpr std::uint64_t kCluster = 32 * 1024, kBig = 1536 * 1024;
    for (int i = 1; i <= 150; ++i)
        tree.WriteFile(QStringLiteral("mix/t%1.txt").arg(i), "x");
    for (int i = 1; i <= 8; ++i)
        tree.WriteFile(QStringLiteral("mix/big%1.bin").arg(i), QByteArray(kBig, 'b'));
    const QStringList arguments = {"-s", tree.Path(QStringLiteral("mix")), "-d", stick.Folder(), "--fill", "--refresh"};
    for (const char* seed : {"1", "2"}) {
        const Outcome outcome = Run(arguments + QStringList {"--seed", seed});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(QStringLiteral(" skipped, 0 failed"))) << outcome.err.toStdString();
        const std::optional<platform::VolumeFacts> volume = platform::VolumeOf(ToFsPath(stick.Folder()));
        ASSERT_TRUE(volume);
        const std::set<std::string> names = Names(stick.Folder());
        const bool everyTinyFile = std::count_if(names.begin(), names.end(), [](const std::string& name) {
            return name.starts_with('t');
        }) == 150;
        // Each file left out would not have fitted beside the reserve (and a
        // folder entry's cluster).
        const std::uint64_t reserve = 1024 * 1024 + 4 * kCluster;
        EXPECT_GE(volume->freeBytes, reserve) << "the reserve stays free";
        EXPECT_LT(volume->freeBytes, reserve + (everyTinyFile ? kBig : 0) + 2 * kCluster) << names.size();
    }
}

// FAT keeps no file numbers, and times to 2 seconds: there a copy is known
// by what it holds. The lock of a run holds on a FUSE mount too.
TEST_F(CommandLine, OnAFatStickACopyIsKnownByWhatItHolds)
{
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    const QStringList arguments = {"--source-tree", Library(), "-d", stick.Folder(), "-n", "2", "--refresh"};
    ASSERT_EQ(Run(arguments).status, 0);
    {
        LockHeldElsewhere held(stick.Folder());
        ASSERT_TRUE(held.Held());
        const Outcome refused = Run(arguments);
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(refused.err.contains(QStringLiteral(": in use by another run (pid "))) << refused.err.toStdString();
    }
    const std::set<std::string> copies = Names(stick.Folder());
    ASSERT_EQ(copies.size(), 3u);
    const std::filesystem::path copy = ToFsPath(stick.Folder()) / *copies.rbegin(); // an "f", not the record
    const std::filesystem::path own = ToFsPath(stick.Folder()) / "own";
    std::ofstream(own, std::ios::binary) << std::string(std::filesystem::file_size(copy), 'o');
    std::filesystem::last_write_time(own, std::filesystem::last_write_time(copy));
    std::filesystem::rename(own, copy);
    const Outcome second = Run(arguments);
    EXPECT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(second.err.contains(QStringLiteral(", 1 removed,"))) << second.err.toStdString();
    std::ifstream kept(copy, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), std::string(std::filesystem::file_size(copy), 'o'));
}

// Three nights of albums onto a FAT stick, filled to the brim and read back:
// each night the last one's albums go, folders and all, and the user's
// things stay; the albums' folders take names FAT takes; what is left free
// would not hold one more album beside the reserve (1 MiB and a few
// clusters for the folders).
TEST_F(CommandLine, AlbumsFillAFatStickNightAfterNight)
{
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    constexpr std::uint64_t kTrack = 450 * 1024, kAlbum = 3 * kTrack;
    for (int album = 1; album <= 14; ++album) {
        for (int track = 1; track <= 3; ++track)
            tree.WriteFile(QStringLiteral("lib/Art & Co %1/Album %2: live/0%3 Track.mp3").arg(album % 3).arg(album).arg(track),
                           QByteArray(kTrack, char('a' + album)));
    }
    std::filesystem::create_directory(ToFsPath(stick.Folder() + "/mine"));
    std::ofstream(ToFsPath(stick.Folder() + "/mine/keep.txt")) << "mine";
    const QString plan = tree.Path(QStringLiteral("plan.txt"));
    const QStringList arguments = {"--source-tree", tree.Path(QStringLiteral("lib")), "-d", stick.Folder(), "--whole-folders",
                                   "--numbered", "--playlist", "mix.m3u8", "--refresh", "--fill", "--verify",
                                   "--save-plan", plan};
    for (int night = 1; night <= 3; ++night) {
        const Outcome outcome = Run(arguments);
        ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
        const auto rows = PlanRows(plan);
        EXPECT_TRUE(outcome.err.contains(QStringLiteral(" s), %1 verified, ").arg(rows.size()))) << outcome.err.toStdString();
        ASSERT_FALSE(rows.empty());
        EXPECT_TRUE(rows.front().second.contains(QStringLiteral("_ live/0"))) << "a folder's name as FAT takes it";
        ExpectArrivedAsPlanned(rows, stick.Folder(), {"mine/keep.txt", ".quorvex-refresh", "mix.m3u8"},
                               QStringLiteral("mix.m3u8"));
        const std::optional<platform::VolumeFacts> volume = platform::VolumeOf(ToFsPath(stick.Folder()));
        ASSERT_TRUE(volume);
        EXPECT_LT(volume->freeBytes, kAlbum + 1024 * 1024 + 16 * 1024) << "night " << night;
    }

    // fusefat takes no letters beyond ASCII: that is said once for the
    // stick, not for each folder and file; --ascii-names writes plain names.
    for (const char* track : {"01 A.mp3", "02 B.mp3"})
        tree.WriteFile(QStringLiteral("refused/Björk/Début/") + QString::fromLatin1(track), "x");
    const QStringList album = {"--source-tree", tree.Path(QStringLiteral("refused")), "-d", stick.Folder(), "--whole-folders",
                               "-n", "1", "--seed", "1"};
    const Outcome refused = Run(album);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.count(QStringLiteral("\nquorvex: ")), 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.startsWith(QStringLiteral("quorvex: dest: %1/: the device refuses names with letters beyond "
                                                      "ASCII; --ascii-names writes plain names\n").arg(stick.Folder())))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.endsWith(QStringLiteral(" 0 skipped, 2 failed\n"))) << refused.err.toStdString();
    const Outcome plain = Run(album + QStringList {"--ascii-names"});
    EXPECT_EQ(plain.status, 0) << plain.err.toStdString();
    EXPECT_TRUE(std::filesystem::exists(ToFsPath(stick.Folder() + "/Bjork/Debut/02 B.mp3")));
}

// A folder that cannot be made (its numbered name is too long) is said
// once, the outermost; the folder inside it and its files get no line.
TEST_F(CommandLine, AFolderThatCannotBeMadeIsSaidOnce)
{
    const QString longName(254, u'a');
    for (const char* track : {"01 A.mp3", "02 B.mp3"})
        tree.WriteFile(QStringLiteral("lib/%1/inner/").arg(longName) + QString::fromLatin1(track), "x");
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const Outcome outcome = Run({"--source-tree", tree.Path(QStringLiteral("lib")), "-d", out, "--whole-folders",
                                 "--numbered", "-n", "1", "--seed", "1"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err.count(QStringLiteral("\nquorvex: ")), 1) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.startsWith(QStringLiteral("quorvex: mkdir: %1/1 %2/: File name too long\n").arg(out, longName)))
        << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.endsWith(QStringLiteral(" 0 skipped, 2 failed\n"))) << outcome.err.toStdString();
    EXPECT_TRUE(Below(out).empty());
}

// A removal never goes through a link put in place of a folder a run made,
// put there before the next run, or while it removes (just before its
// first removal), even to files just like the copies that were there.
TEST_F(CommandLine, ARemovalGoesThroughNoLinkInAMadeFolderPlace)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const std::filesystem::path made = ToFsPath(out) / "1";
    const std::filesystem::path victim = ToFsPath(tree.Path(QStringLiteral("victim")));
    for (const bool whileRemoving : {false, true}) {
        process.setProcessEnvironment(Environment());
        ASSERT_EQ(Run({"-s", library + "/1", "-d", out, "--whole-folders", "--refresh"}).status, 0);
        std::filesystem::remove_all(victim);
        std::filesystem::copy(made, victim, std::filesystem::copy_options::recursive);
        QProcessEnvironment swapping = Environment();
        if (whileRemoving) {
            swapping.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUORVEX_STOP_AT));
            swapping.insert(QStringLiteral("ASAN_OPTIONS"), swapping.value(QStringLiteral("ASAN_OPTIONS"))
                                                                + QStringLiteral(":verify_asan_link_order=0"));
            swapping.insert(QStringLiteral("QUORVEX_SWAP_FOLDER"), QString::fromStdString(made.native()));
            swapping.insert(QStringLiteral("QUORVEX_SWAP_TARGET"), QString::fromStdString(victim.native()));
        } else {
            std::filesystem::rename(made, made.native() + ".aside");
            std::filesystem::create_directory_symlink(victim, made);
        }
        process.setProcessEnvironment(swapping);
        // Tonight's draw goes elsewhere, so that nothing is copied through the link.
        const Outcome outcome = Run({"-s", library + "/0", "-d", out, "--whole-folders", "--refresh"});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(Names(QString::fromStdString(victim.native())), (std::set<std::string> {"f1.txt", "f3.txt", "f5.txt"}));
        EXPECT_TRUE(std::filesystem::is_symlink(made));
        std::filesystem::remove_all(ToFsPath(out));
        std::filesystem::create_directory(ToFsPath(out));
    }
}

// --verify reads every copy back from its device: one that returns
// something else for one copy fails that row alone, the copy goes, and the
// record and the playlist leave it out. Once the bytes are flipped in every
// read of it; once they are changed on the device itself, behind the cache
// of a loop-mounted file system, which only a read around the cache sees.
TEST_F(CommandLine, AVerifiedRunFailsTheCopyTheDeviceChanged)
{
    const QString library = Library();
    const QString image = tree.WriteFile(QStringLiteral("loop.img"));
    std::filesystem::resize_file(ToFsPath(image), 16 << 20);
    const QString mounted = tree.MakeFolder(QStringLiteral("mounted"));
    const bool loop = QProcess::execute(QStringLiteral("mkfs.ext4"), {"-q", "-F", image}) == 0
        && QProcess::execute(QStringLiteral("mount"), {"-o", "loop", image, mounted}) == 0;
    if (!loop && qEnvironmentVariableIntValue("QUORVEX_REQUIRE_LOOP_MOUNT") != 0)
        ADD_FAILURE() << "this test run needs a loop mount";
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        if (loop)
            QProcess::execute(QStringLiteral("umount"), {mounted});
    });
    const struct {
        QString folder;
        QString image;
    } cases[] = {{tree.MakeFolder(QStringLiteral("plain")), {}}, {mounted, image}};
    for (const auto& [folder, behind] : cases) {
        if (!behind.isEmpty() && !loop)
            continue;
        QProcessEnvironment faulty = Environment();
        faulty.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUORVEX_DEVICE_FAULTS));
        faulty.insert(QStringLiteral("ASAN_OPTIONS"), faulty.value(QStringLiteral("ASAN_OPTIONS"))
                                                          + QStringLiteral(":verify_asan_link_order=0"));
        faulty.insert(QStringLiteral("QUORVEX_FAULT_FILE"), folder + "/f3.txt");
        faulty.insert(QStringLiteral("QUORVEX_FAULT_IMAGE"), behind);
        process.setProcessEnvironment(faulty);
        const Outcome outcome = Run({"-s", library + "/1", "-d", folder, "-n", "3", "--verify", "--refresh",
                                     "--playlist", "mix.m3u8"});
        EXPECT_EQ(outcome.status, 1) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(folder + "/f3.txt: The copy on the device differs from the source. (from "))
            << outcome.err.toStdString();
        EXPECT_EQ(outcome.err.count(QStringLiteral("the device may not hold what it claims")), 1) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(QStringLiteral(" 2 copied (6 B in ")) && outcome.err.contains(
            QStringLiteral(" s), 2 verified, 0 removed, 0 skipped, 1 failed"))) << outcome.err.toStdString();
        std::set<std::string> left = Below(folder);
        left.erase("lost+found/");
        EXPECT_EQ(left, (std::set<std::string> {".quorvex-refresh", "f1.txt", "f5.txt", "mix.m3u8"}));
        EXPECT_FALSE(Content(folder + "/.quorvex-refresh").contains("f3.txt"));
        EXPECT_FALSE(Content(folder + "/mix.m3u8").contains("f3.txt"));
        EXPECT_TRUE(Content(folder + "/mix.m3u8").contains("f5.txt\r\n"));
    }
}

// A destination is no source under any name: a link to it inside the
// library, or a link to a folder of the library given as the destination.
TEST_F(CommandLine, ADestinationIsNoSourceUnderAnyName)
{
    tree.WriteFile(QStringLiteral("lib/song.mp3"), "s");
    tree.WriteFile(QStringLiteral("lib/mix/copy.mp3"), "c");
    const QString library = tree.Path(QStringLiteral("lib"));
    std::filesystem::create_directory_symlink("mix", ToFsPath(library + "/alias"));
    std::filesystem::create_directory_symlink(ToFsPath(library + "/mix"), ToFsPath(tree.Path(QStringLiteral("stick"))));
    for (const QString& destination : {library + "/mix", tree.Path(QStringLiteral("stick"))}) {
        const Outcome outcome = Run({"--source-tree", library, "-d", destination, "-n", "5", "--seed", "1", "--dry-run"});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(SourceNames(outcome.out), std::set<std::string> {"song.mp3"});
        for (const char* row : {"/mix/", "/alias/"})
            EXPECT_EQ(outcome.err.count(library + row + ": is a destination, left out\n"), 1) << outcome.err.toStdString();
        EXPECT_EQ(Run({"-q", "--source-tree", library, "-d", destination, "--dry-run"}).err, QString());
    }
}

// A script hands over a folder's name as the bytes it is: Latin-1 here.
TEST_F(CommandLine, AFolderNamedInBytesThatAreNotUtf8IsReached)
{
    tree.WriteFile(QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral("/x.txt"), "latin");
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    process.start(QStringLiteral("/bin/sh"), {"-c", R"sh(exec "$0" -q -s "$1/caf$(printf '\351')" -d "$2" -n 1 --seed 1)sh",
                                             QStringLiteral(QUORVEX_PROGRAM), tree.Path(), out});
    ASSERT_TRUE(process.waitForFinished(60'000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::ifstream copy(ToFsPath(out + "/x.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "latin");

    // The window's command line cannot carry such a name as text: it names a
    // list file of the state folder, which holds the name's bytes.
    const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", tree.Path(QStringLiteral("state")).toUtf8());
    FormFixture fixture;
    Form1& form = fixture.Open();
    form.SetCommandProgram(QStringLiteral(QUORVEX_PROGRAM));
    form.SourceList->Append(tree.Path(QStringLiteral("caf") + QChar(0xDCE9)) + u'/');
    form.DestinationList->Append(tree.MakeFolder(QStringLiteral("out2")));
    form.Text1->setText(QStringLiteral("1"));
    fixture.Frame().CopyCommandLineItem->trigger();
    const QString command = QGuiApplication::clipboard()->text();
    qputenv("XDG_STATE_HOME", stateHome);
    EXPECT_TRUE(command.contains(QStringLiteral("--source-list %1/quorvex/command-sources.txt").arg(tree.Path(QStringLiteral("state")))))
        << command.toStdString();
    EXPECT_FALSE(command.contains(QChar(0xDCE9)));
    const Outcome outcome = Run({"-c", command + QStringLiteral(" -q")}, QStringLiteral("/bin/sh"));
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(Content(tree.Path(QStringLiteral("out2/x.txt"))), "latin");
}

// A subfolder that cannot be read is named, as find names it; the rest is
// still drawn and the run fails in the end. Root reads everything, so the
// program runs without that power here.
TEST_F(CommandLine, AnUnreadableSubfolderIsNamedAndTheRestDrawn)
{
    const QString file = tree.WriteFile(QStringLiteral("tree/ok/a.txt"), "a");
    tree.WriteFile(QStringLiteral("tree/shut/b.txt"), "b");
    ASSERT_EQ(::chmod(ToFsPath(tree.Path(QStringLiteral("tree/shut"))).c_str(), 0), 0);
    QStringList arguments = {QStringLiteral(QUORVEX_PROGRAM), "--source-tree", tree.Path(QStringLiteral("tree")), "-d",
                             tree.MakeFolder(QStringLiteral("out")), "-n", "5", "--seed", "1", "--dry-run"};
    if (::geteuid() == 0)
        arguments = QStringList {"--bounding-set=-dac_override,-dac_read_search", "--"} + arguments;
    process.start(::geteuid() == 0 ? QStringLiteral("setpriv") : arguments.takeFirst(), arguments);
    ASSERT_TRUE(process.waitForFinished(60'000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    ::chmod(ToFsPath(tree.Path(QStringLiteral("tree/shut"))).c_str(), 0755);
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("source: ") + tree.Path(QStringLiteral("tree/shut/")) + ": Permission denied"))
        << err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardOutput()).startsWith(file)) << err.toStdString();
}

// A stick pulled out too early: the flush fails, which is said before the
// closing summary, and the run fails. The copies, named as a kernel that
// links no file by its descriptor alone allows, are there.
TEST_F(CommandLine, AFailedFlushIsSaidBeforeTheSummaryAndFailsTheRun)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    QProcessEnvironment environment = Environment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUORVEX_FAILING_SYNC));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS"))
                                                          + QStringLiteral(":verify_asan_link_order=0"));
    process.setProcessEnvironment(environment);
    const Outcome outcome = Run({"--source-tree", library, "-d", out, "-n", "2", "--seed", "1"});
    EXPECT_EQ(outcome.status, 1) << outcome.err.toStdString();
    const qsizetype failed = outcome.err.indexOf(QStringLiteral("may not all have reached the device"));
    const qsizetype summary = outcome.err.indexOf(QStringLiteral("2 copied ("));
    EXPECT_GE(failed, 0) << outcome.err.toStdString();
    EXPECT_GT(summary, failed) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("Input/output error"))) << outcome.err.toStdString();
    // Each copy was named through /proc, the library refusing a link by descriptor.
    EXPECT_EQ(FolderEntries(out).size(), 2) << FolderEntries(out).join(u' ').toStdString();
}

// Ctrl+C in the middle of a large file that replaces an existing one: the
// old file stays and no temporary file is left.
TEST_F(CommandLine, AnInterruptLeavesTheOldFileAndNoTemporaryOne)
{
    const QString big = tree.WriteFile(QStringLiteral("src/big.bin"));
    ASSERT_EQ(::truncate(ToFsPath(big).c_str(), 3LL << 30), 0); // a sparse file, copied byte for byte
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    tree.WriteFile(QStringLiteral("out/big.bin"), "old");
    process.start(QStringLiteral(QUORVEX_PROGRAM), {"-s", tree.Path(QStringLiteral("src")), "-d", out, "-n", "1"});
    ASSERT_TRUE(process.waitForStarted());
    // The copy is being written once the program holds a file open in out/
    // (with or without a name yet).
    const std::string inside = std::filesystem::canonical(ToFsPath(out)).native() + '/';
    const std::filesystem::path held = "/proc/" + std::to_string(process.processId()) + "/fd";
    bool seen = false;
    for (int wait = 0; wait < 20'000 && !seen && process.state() == QProcess::Running; ++wait) {
        std::error_code error;
        for (auto it = std::filesystem::directory_iterator(held, error); !error && it != std::filesystem::directory_iterator(); it.increment(error))
            seen = seen || std::filesystem::read_symlink(it->path(), error).native().starts_with(inside);
        if (!seen)
            ::usleep(500);
    }
    ASSERT_TRUE(seen) << "the copy ended before it could be interrupted";
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(Names(out), std::set<std::string>{"big.bin"});
    std::ifstream old(ToFsPath(out + "/big.bin"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
}

// The window's refill and the command line it copies are one refill: the
// line, run by sh, draws the window's plan from the same seed, with a tree
// folded whose every subfolder is a row, and awkward names quoted; and
// nights that alternate between the two leave one mix and its playlist.
TEST_F(CommandLine, TheWindowsCommandLineIsItsRefill)
{
    const QString library = tree.Path(QStringLiteral("lib"));
    for (const char* album : {"Art 'n' $HOME %PATH%/Album A", "Art 'n' $HOME %PATH%/Album B", "Øther/Album Ç"}) {
        for (int track = 1; track <= 2; ++track)
            tree.WriteFile(QStringLiteral("lib/%1/%2.mp3").arg(QString::fromUtf8(album)).arg(track), "x");
    }
    const QString solo = tree.WriteFile(QStringLiteral("solo $x'%/s.mp3"), "solo").chopped(5);
    const QString out = tree.MakeFolder(QStringLiteral("out 'q' $HOME")) + u'/';
    tree.WriteFile(QStringLiteral("out 'q' $HOME/mine.txt"), "mine");
    const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", tree.Path(QStringLiteral("state")).toUtf8());
    RefillChoices choices;
    choices.wholeFolders = choices.numbered = choices.refresh = choices.playlist = choices.asciiNames = true;
    ASSERT_TRUE(SaveRefillChoices(RefillChoicesFile(), choices));

    FormFixture fixture;
    ProcessRandom random;
    Form1Frame frame(new Form1(fixture.dialogs, random, fixture.AppFolder()));
    Form1& form = frame.Form();
    form.UseDeviceFlusher(fixture.flusher);
    form.SetCommandProgram(QStringLiteral(QUORVEX_PROGRAM));
    form.SourceList->Append(library + u'/');
    for (const char* folder : {"Art 'n' $HOME %PATH%/", "Art 'n' $HOME %PATH%/Album A/", "Art 'n' $HOME %PATH%/Album B/",
                               "Øther/", "Øther/Album Ç/"})
        form.SourceList->Append(library + u'/' + QString::fromUtf8(folder));
    form.SourceList->Append(solo);
    form.DestinationList->Append(out);
    form.Text1->setText(QStringLiteral("2"));
    frame.CopyCommandLineItem->trigger();
    const QString command = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(command.startsWith(QStringLiteral(QUORVEX_PROGRAM " --source-tree "))) << command.toStdString();
    EXPECT_FALSE(command.contains(QStringLiteral("Album A"))) << command.toStdString();
    EXPECT_TRUE(command.contains(QStringLiteral(" -n 2 --whole-folders --refresh --numbered --playlist Quorvex.m3u8")))
        << command.toStdString();
    const auto shell = [this](const QString& line) { return Run({"-c", line}, QStringLiteral("/bin/sh")); };

    random.Seed(9);
    form.PushButton12_Click();
    QStringList printed;
    for (const QString& line : shell(command + QStringLiteral(" --seed 9 --dry-run")).out.split(u'\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith(u'#'))
            printed.append(line);
    }
    EXPECT_EQ(form.CopyList->Rows(), printed);

    // Night after night, from either face. The window's plan is drawn
    // before the command line's night and carried out after it, reading the
    // record that night left.
    for (int night = 0; night < 4; ++night) {
        std::vector<std::pair<QString, QString>> rows;
        if (night % 2 == 0) {
            form.PushButton12_Click();
            const Outcome outcome = shell(command + QStringLiteral(" --seed %1 --save-plan %2").arg(night).arg(PosixShellQuoted(tree.Path(QStringLiteral("plan")))));
            ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
            rows = PlanRows(tree.Path(QStringLiteral("plan")));
        } else {
            form.PushButton2_Click();
            EXPECT_EQ(fixture.dialogs.Messages().back(), QStringLiteral("Done."));
            for (const CopyRow& row : form.CopyList->CopyRows())
                rows.emplace_back(row.source, row.Destination());
        }
        ExpectArrivedAsPlanned(rows, out, {".quorvex-refresh", "Quorvex.m3u8", "mine.txt"}, QStringLiteral("Quorvex.m3u8"));
    }

    // A device chosen in the Refill Settings goes with the line.
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", tree.Path(QStringLiteral("config")).toUtf8());
    fixture.dialogs.dialogAnswers.push_back([](QDialog& dialog) {
        auto& settings = dynamic_cast<RefillChoicesDialog&>(dialog);
        settings.Device->setCurrentIndex(settings.Device->findText(QStringLiteral("car-mp3")));
        settings.accept();
        return settings.result() == QDialog::Accepted;
    });
    frame.RefillSettingsItem->trigger();
    frame.CopyCommandLineItem->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral(" --ascii-names --device car-mp3")))
        << QGuiApplication::clipboard()->text().toStdString();
    qputenv("XDG_CONFIG_HOME", configHome);
    QFile::remove(RefillChoicesFile());
    qputenv("XDG_STATE_HOME", stateHome);
}

// --schedule, --show-schedule and --unschedule against stand-ins for
// systemctl and crontab that record how they are called: a user timer
// where the user's manager answers, else a crontab line; only what Quorvex
// wrote is ever replaced or removed, and every refusal leaves nothing.
TEST_F(CommandLine, TheRefillIsScheduledWithTheSystemsOwnTools)
{
    const QString calls = tree.Path(QStringLiteral("calls"));
    tree.WriteFile(QStringLiteral("bin/systemctl"),
                   "#!/bin/sh\necho \"systemctl $*\" >> \"$CALLS\"\n"
                   "[ \"$*\" = \"--user is-system-running\" ] && { echo \"$MANAGER\"; exit 0; }\n"
                   "case \"$*\" in *\"$REFUSE\"*) echo \"Failed to $*: Access denied\" >&2; exit 1;; esac\n");
    tree.WriteFile(QStringLiteral("cron/crontab"),
                   "#!/bin/sh\necho \"crontab $*\" >> \"$CALLS\"\n"
                   "if [ \"$1\" = -l ]; then /bin/cat \"$TAB\" 2>/dev/null || { echo \"no crontab for me\" >&2; exit 1; }; "
                   "else /bin/cat > \"$TAB\"; fi\n");
    for (const char* stand_in : {"bin/systemctl", "cron/crontab"})
        std::filesystem::permissions(ToFsPath(tree.Path(QString::fromLatin1(stand_in))), std::filesystem::perms::owner_all);
    const QString units = tree.Path(QStringLiteral("config/systemd/user/"));
    const auto withTools = [&](const QString& manager, const QString& refuse = QStringLiteral("never"), bool cron = true) {
        QProcessEnvironment environment = Environment();
        environment.insert(QStringLiteral("PATH"), tree.Path(QStringLiteral("bin"))
                                                       + (cron ? u':' + tree.Path(QStringLiteral("cron")) : QString()));
        environment.insert(QStringLiteral("CALLS"), calls);
        environment.insert(QStringLiteral("TAB"), tree.Path(QStringLiteral("tab")));
        environment.insert(QStringLiteral("MANAGER"), manager);
        environment.insert(QStringLiteral("REFUSE"), refuse);
        process.setProcessEnvironment(environment);
        QFile::remove(calls);
    };
    const auto called = [&] {
        QFile file(calls);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    tree.WriteFile(QStringLiteral("My Music/a.mp3"), "a");
    tree.MakeFolder(QStringLiteral("stick"));
    process.setWorkingDirectory(tree.Path());

    // Refused up front: nothing is asked of the system.
    withTools(QStringLiteral("running"));
    for (const QStringList& refused : {QStringList {QStringLiteral("--schedule"), QStringLiteral("24:00")},
                                       {QStringLiteral("--schedule"), QStringLiteral("3:00")},
                                       {QStringLiteral("--schedule"), QStringLiteral("03:00"), QStringLiteral("--schedule-name"), QStringLiteral("two words")},
                                       {QStringLiteral("--schedule"), QStringLiteral("03:00"), QStringLiteral("--source-list"), QStringLiteral("-")},
                                       {QStringLiteral("--schedule"), QStringLiteral("03:00"), QStringLiteral("-s"), QStringLiteral("a\nb")}}) {
        const Outcome outcome = Run(QStringList {QStringLiteral("-s"), QStringLiteral("My Music"), QStringLiteral("-d"), QStringLiteral("stick")} + refused);
        EXPECT_EQ(outcome.status, 2) << refused.join(u' ').toStdString();
        EXPECT_TRUE(called().isEmpty()) << called().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(units));

    // A user timer, its paths made absolute; replaced under its name.
    for (const char* time : {"03:00", "04:30"}) {
        const Outcome outcome = Run({QStringLiteral("-s"), QStringLiteral("My Music"), QStringLiteral("-d"), QStringLiteral("stick"),
                                     QStringLiteral("-n"), QStringLiteral("1"), QStringLiteral("--schedule"), QString::fromLatin1(time)});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    }
    EXPECT_EQ(called(), QStringLiteral("systemctl --user is-system-running\nsystemctl --user daemon-reload\n"
                                       "systemctl --user enable --now quorvex-refill.timer\n").repeated(2));
    EXPECT_TRUE(FileBytes(units + QStringLiteral("quorvex-refill.timer")).contains("\nOnCalendar=*-*-* 04:30:00\n"));
    EXPECT_TRUE(FileBytes(units + QStringLiteral("quorvex-refill.service"))
                    .contains(" -q -s \"" + tree.Path(QStringLiteral("My Music")).toUtf8() + "\" -d "));

    // A unit of the name that is not ours stays; a refused enable leaves nothing.
    tree.WriteFile(QStringLiteral("config/systemd/user/quorvex-refill-frame.timer"), "[Timer]\n");
    Outcome outcome = Run({QStringLiteral("-s"), QStringLiteral("My Music"), QStringLiteral("-d"), QStringLiteral("stick"),
                           QStringLiteral("--schedule"), QStringLiteral("05:00"), QStringLiteral("--schedule-name"), QStringLiteral("Frame")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("quorvex-refill-frame.timer: not written by quorvex")));
    EXPECT_EQ(FileBytes(units + QStringLiteral("quorvex-refill-frame.timer")), "[Timer]\n");
    withTools(QStringLiteral("degraded"), QStringLiteral("enable"));
    outcome = Run({QStringLiteral("-s"), QStringLiteral("My Music"), QStringLiteral("-d"), QStringLiteral("stick"),
                   QStringLiteral("--schedule"), QStringLiteral("05:00"), QStringLiteral("--schedule-name"), QStringLiteral("Car")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("Access denied"))) << outcome.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(units + QStringLiteral("quorvex-refill-car.service")));

    // The scheduled command's own run, logged, is the schedule's last run.
    const QStringList command = QProcess::splitCommand(QString::fromUtf8(FileBytes(units + QStringLiteral("quorvex-refill.service")))
                                                           .section(QStringLiteral("ExecStart="), 1).trimmed());
    outcome = Run(command.mid(1));
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    withTools(QStringLiteral("running"));
    outcome = Run({QStringLiteral("--show-schedule")});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.startsWith(QStringLiteral("Refill: every day at 04:30\n  command: "))) << outcome.out.toStdString();
    EXPECT_TRUE(outcome.out.contains(QStringLiteral(" Refill exit=0 copied=1 removed=0 verified=0 skipped=0 failed=0\n")));

    EXPECT_EQ(Run({QStringLiteral("--unschedule")}).status, 0);
    EXPECT_TRUE(called().contains(QStringLiteral("systemctl --user disable --now quorvex-refill.timer\n")));
    EXPECT_FALSE(QFileInfo::exists(units + QStringLiteral("quorvex-refill.timer")));
    outcome = Run({QStringLiteral("--unschedule")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("schedule: Refill: no such schedule")));

    // No user manager: the crontab, the user's lines kept byte for byte.
    const QByteArray users = "MAILTO=me\n0 1 * * * backup % daily\n";
    tree.WriteFile(QStringLiteral("tab"), users);
    withTools(QStringLiteral("offline"));
    outcome = Run({QStringLiteral("-s"), QStringLiteral("My Music"), QStringLiteral("-s"), QStringLiteral("gone"), QStringLiteral("-d"),
                   QStringLiteral("stick"), QStringLiteral("--schedule"), QStringLiteral("05:07"), QStringLiteral("--schedule-name"),
                   QStringLiteral("Car")});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("gone: no such folder; scheduled all the same")));
    EXPECT_TRUE(FileBytes(tree.Path(QStringLiteral("tab"))).startsWith(users + "# quorvex schedule Car: written by quorvex"));
    EXPECT_TRUE(Run({QStringLiteral("--show-schedule"), QStringLiteral("--schedule-name"), QStringLiteral("car")})
                    .out.startsWith(QStringLiteral("Car: every day at 05:07\n")));
    EXPECT_EQ(Run({QStringLiteral("--unschedule"), QStringLiteral("--schedule-name"), QStringLiteral("CAR")}).status, 0);
    EXPECT_EQ(FileBytes(tree.Path(QStringLiteral("tab"))), users);
    EXPECT_EQ(Run({QStringLiteral("--show-schedule")}).out, QStringLiteral("no schedule\n"));

    withTools(QStringLiteral("offline"), QStringLiteral("never"), false);
    outcome = Run({QStringLiteral("-s"), QStringLiteral("My Music"), QStringLiteral("-d"), QStringLiteral("stick"),
                   QStringLiteral("--schedule"), QStringLiteral("05:07")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("schedule: crontab -l: crontab cannot be run"))) << outcome.err.toStdString();
}

// A real player opens every copy that the playlist names, flat and in album
// folders: names that M3U readers take for comments or strip are written as
// paths, and names no line can hold are left out and said once.
TEST_F(CommandLine, APlayerOpensEveryCopyThePlaylistNames)
{
    if (QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty()) {
        if (!qEnvironmentVariableIsEmpty("QUORVEX_REQUIRE_PLAYER"))
            FAIL() << "mpv is missing (./test.sh installs it)";
        GTEST_SKIP() << "mpv is missing: the playlist is not tried in a player (QUORVEX_REQUIRE_PLAYER=1 makes this a failure)";
    }
    // Twenty silent MPEG-1 Layer III frames: enough for a player to open.
    const QByteArray silence = (QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\0')).repeated(20);
    const QStringList fit {"#1 Hit.mp3", " leading blank.mp3", "\ttab.mp3", "EXTINF.mp3", "# Album/a.mp3",
                           " Blank Album/b.mp3", "Plain/#c.mp3"};
    const QStringList unfit {"trailing blank.mp3 ", "line\nbreak.mp3", "carriage\rreturn.mp3"};
    for (const QString& name : fit + unfit)
        tree.WriteFile((name.contains(u'/') ? QStringLiteral("albums/") : QStringLiteral("flat/")) + name, silence);
    const struct {
        QStringList options;
        QString out;
        int leftOut;
    } runs[] = {
        {{"-s", tree.Path(QStringLiteral("flat")), "-n", "7"}, tree.MakeFolder(QStringLiteral("out1")), 3},
        {{"--source-tree", tree.Path(QStringLiteral("albums")), "--whole-folders", "-n", "3"}, tree.MakeFolder(QStringLiteral("out2")), 0},
    };
    for (const auto& [options, out, leftOut] : runs) {
        const Outcome outcome = Run(options + QStringList {"-d", out, "--playlist", "p.m3u8"});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.err.contains(QStringLiteral("quorvex: playlist: %1/p.m3u8: %2 copies left out, their names "
                                                      "cannot stand in a playlist\n").arg(out).arg(leftOut)),
                  leftOut > 0) << outcome.err.toStdString();
        QProcess mpv;
        mpv.start(QStringLiteral("mpv"), {"--no-config", "--ao=null", "--vo=null", "--length=0.1",
                                          "--playlist=" + out + "/p.m3u8"});
        ASSERT_TRUE(mpv.waitForFinished(60'000));
        const QString said = QString::fromUtf8(mpv.readAllStandardOutput() + mpv.readAllStandardError());
        QStringList played;
        for (const QString& line : said.split(u'\n')) {
            if (line.startsWith(QStringLiteral("Playing: ")))
                played << line.mid(9).remove(0, out.size() + 1).remove(QRegularExpression(QStringLiteral("^\\./")));
        }
        QStringList expected;
        for (const QString& name : fit) {
            if (name.contains(u'/') == options.contains(QStringLiteral("--whole-folders")))
                expected << name;
        }
        played.sort();
        expected.sort();
        EXPECT_EQ(played, expected) << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("Failed"))) << said.toStdString();
    }
}

// A run killed while it copied into the folders it made leaves temporaries
// there. The next refresh sweeps a dead run's from every folder its record
// lists as made, even one tonight's plan does not write into, and so
// removes the folder; a live run's temporary keeps its folder.
TEST_F(CommandLine, AKilledRunsTemporariesGoWithTheFoldersItMade)
{
    tree.WriteFile(QStringLiteral("lib/A/x.mp3"), "x");
    tree.WriteFile(QStringLiteral("lib/B/y.mp3"), "y");
    tree.WriteFile(QStringLiteral("other/C/z.mp3"), "z");
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const QStringList refill = {"-d", out, "--whole-folders", "--refresh", "-n", "2", "--seed", "1"};
    ASSERT_EQ(Run(QStringList {"--source-tree", tree.Path(QStringLiteral("lib"))} + refill).status, 0);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const auto temporary = [](std::uint64_t process) { return QString::fromStdString(platform::TemporaryFileName(process, 1)); };
    tree.WriteFile(QStringLiteral("out/A/") + temporary(static_cast<std::uint64_t>(child)), "half");
    tree.WriteFile(QStringLiteral("out/B/") + temporary(static_cast<std::uint64_t>(::getpid())), "half");

    const Outcome outcome = Run(QStringList {"--source-tree", tree.Path(QStringLiteral("other"))} + refill);
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(Below(out), (std::set<std::string> {".quorvex-refresh", "B/" + temporary(::getpid()).toStdString(), "C/z.mp3"}));
}
