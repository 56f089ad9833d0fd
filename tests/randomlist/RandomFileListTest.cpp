#include "core/PathHelpers.h"
#include "randomlist/Draw.h"
#include "core/FolderProblem.h"
#include "randomlist/RandomFileList.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedRandom.h"
#include "support/TempTree.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include <sys/stat.h>

namespace {

const QString kSep = NativeSeparator();

// The plain files of a folder in the file system's own listing order, as an
// independent reader sees them.
QStringList ListingOrder(const QString& folder)
{
    QStringList paths;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext())
        paths << folder + kSep + it.next().section(u'/', -1);
    return paths;
}

QStringList Paths(const Selection& selection)
{
    QStringList paths;
    for (const SelectionEntry& entry : selection)
        paths << entry.path;
    return paths;
}

SelectionRequest Request(QStringList rows, double numberOfFiles, bool allowRepeats = false)
{
    SelectionRequest request;
    request.sourceRows = std::move(rows);
    request.numberOfFiles = numberOfFiles;
    request.allowRepeats = allowRepeats;
    return request;
}

class Selecting : public ::testing::Test {
protected:
    // A folder "pics" with three files.
    QString ThreeFiles()
    {
        tree.WriteFile(QStringLiteral("pics/a.jpg"), "a");
        tree.WriteFile(QStringLiteral("pics/b.jpg"), "b");
        tree.WriteFile(QStringLiteral("pics/c.jpg"), "c");
        return tree.Path(QStringLiteral("pics"));
    }

    TempTree tree;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(Selecting, NoRepeatsDrawsFromTheOrderedPool)
{
    const QString folder = ThreeFiles();
    const QStringList master = ListingOrder(folder);
    ScriptedRandom random({0.5f, 0.5f});
    const Selection selection = randomFileList(Request({folder}, 2), random, dialogs);
    // 0.5 of 3 -> rank 1; then 0.5 of the remaining 2 -> rank 1, the third file.
    EXPECT_EQ(Paths(selection), (QStringList{master[1], master[2]}));
    for (const SelectionEntry& entry : selection)
        EXPECT_EQ(entry.repeat, 0u);
    EXPECT_TRUE(dialogs.shown.empty());
}

// More files than one thread makes paths for: each path still comes from
// its own pick, in the draw's order.
TEST_F(Selecting, ALargeDrawTakesEachPathFromItsOwnPick)
{
    const auto files = static_cast<std::uint32_t>(3 * kPathsPerThread + 5);
    const QString folder = kSep + QStringLiteral("listed");
    FolderFiles listed;
    for (std::uint32_t i = 0; i < files; ++i)
        listed[folder].push_back(ToFsPath(QStringLiteral("f%1.mp3").arg(i)).native());
    std::mt19937 engine(11);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    std::vector<float> values(files);
    for (float& value : values)
        value = uniform(engine);
    ScriptedRandom drawn(values);
    ScriptedRandom again(values);
    SelectionRequest request = Request({folder}, files - 1);
    request.listed = &listed;
    const Selection selection = randomFileList(request, drawn, dialogs);
    const std::vector<std::uint32_t> picks = DrawWithoutRepeats(files, files - 1, again);
    ASSERT_EQ(selection.size(), picks.size());
    std::size_t misplaced = 0;
    for (std::size_t i = 0; i < picks.size(); ++i)
        misplaced += selection[i].path != folder + kSep + QStringLiteral("f%1.mp3").arg(picks[i]) ? 1 : 0;
    EXPECT_EQ(misplaced, 0u);
}

TEST_F(Selecting, AllFilesInRandomOrderWhenTheNumberMatches)
{
    const QString folder = ThreeFiles();
    const QStringList master = ListingOrder(folder);
    ScriptedRandom random({0.9f, 0.0f, 0.0f});
    EXPECT_EQ(Paths(randomFileList(Request({folder + kSep}, 3), random, dialogs)),
              (QStringList{master[2], master[0], master[1]}));
}

TEST_F(Selecting, FewerFilesThanAskedForGivesAllInListingOrderWithoutDraws)
{
    const QString folder = ThreeFiles();
    ScriptedRandom random;
    EXPECT_EQ(Paths(randomFileList(Request({folder}, 4), random, dialogs)), ListingOrder(folder));
    // The unrounded number decides: 3.4 is more than three files.
    EXPECT_EQ(Paths(randomFileList(Request({folder}, 3.4), random, dialogs)), ListingOrder(folder));
    EXPECT_EQ(random.Used(), 0u);
}

TEST_F(Selecting, RepeatsCarryTheirNumberBesideThePath)
{
    const QString file = tree.WriteFile(QStringLiteral("one/sun.jpg"), "s");
    ScriptedRandom random({0.1f, 0.6f, 0.99f});
    const Selection selection = randomFileList(Request({tree.Path(QStringLiteral("one"))}, 3, true), random, dialogs);
    ASSERT_EQ(selection.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(selection[i].path, file);
        EXPECT_EQ(selection[i].repeat, i);
    }
}

TEST_F(Selecting, AFractionalNumberRoundsItsDrawsToEven)
{
    const QString folder = ThreeFiles();
    ScriptedRandom random({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(randomFileList(Request({folder}, 2.5, true), random, dialogs).size(), 3u);
    ScriptedRandom random2({0.0f, 0.0f});
    EXPECT_EQ(randomFileList(Request({folder}, 1.5, true), random2, dialogs).size(), 1u);
}

TEST_F(Selecting, BelowOneDrawsNothingAndSaysSo)
{
    ScriptedRandom random;
    const QStringList rows{ThreeFiles(), tree.Path(QStringLiteral("missing"))};
    for (double number : {0.0, 0.5, -5.0}) {
        EXPECT_TRUE(randomFileList(Request(rows, number), random, dialogs).empty());
        EXPECT_TRUE(randomFileList(Request(rows, number, true), random, dialogs).empty());
    }
    EXPECT_EQ(random.Used(), 0u);
    // One plain message per call, and no folder is read.
    EXPECT_EQ(dialogs.Messages(), QStringList(6, kNumberBelowOneMessage));
}

TEST_F(Selecting, AFolderListedTwiceCanGiveOneFileTwice)
{
    const QString file = tree.WriteFile(QStringLiteral("solo/only.txt"), "x");
    const QString folder = tree.Path(QStringLiteral("solo"));
    ScriptedRandom random({0.9f, 0.0f});
    const Selection selection = randomFileList(Request({folder, folder + kSep}, 2), random, dialogs);
    EXPECT_EQ(Paths(selection), (QStringList{file, file}));
    EXPECT_EQ(selection[1].repeat, 0u);
}

TEST_F(Selecting, OnlyPlainFilesAreListed)
{
    const QString kept = tree.WriteFile(QStringLiteral("mix/kept.txt"), "k");
    tree.WriteFile(QStringLiteral("mix/.hidden"), "h");
    tree.MakeFolder(QStringLiteral("mix/sub"));
    tree.WriteFile(QStringLiteral("mix/sub/deeper.txt"), "d");
    const QString link = tree.Path(QStringLiteral("mix/link.txt"));
    ASSERT_TRUE(QFile::link(kept, link));
    ASSERT_TRUE(QFile::link(tree.Path(QStringLiteral("nowhere")), tree.Path(QStringLiteral("mix/broken"))));
    const QByteArray pipe = QFile::encodeName(tree.Path(QStringLiteral("mix/pipe")));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);

    ScriptedRandom random;
    QStringList paths = Paths(randomFileList(Request({tree.Path(QStringLiteral("mix"))}, 10), random, dialogs));
    paths.sort();
    EXPECT_EQ(paths, (QStringList{kept, link}));
}

TEST_F(Selecting, EachFolderWithoutFilesIsNamedOnce)
{
    const QString folder = ThreeFiles();
    tree.MakeFolder(QStringLiteral("empty"));
    tree.MakeFolder(QStringLiteral("onlyfolders/sub"));
    const QStringList rows{tree.Path(QStringLiteral("empty")), folder, tree.Path(QStringLiteral("onlyfolders")) + kSep,
                           tree.Path(QStringLiteral("missing"))};
    ScriptedRandom random;
    const Selection selection = randomFileList(Request(rows, 5), random, dialogs);
    EXPECT_EQ(selection.size(), 3u);
    EXPECT_EQ(dialogs.Messages(),
              (QStringList{QStringLiteral("There are no files in folder ") + tree.Path(QStringLiteral("empty")) + kSep,
                           QStringLiteral("There are no files in folder ") + tree.Path(QStringLiteral("onlyfolders")) + kSep,
                           QStringLiteral("There are no files in folder ") + tree.Path(QStringLiteral("missing")) + kSep}));
    // Each as a fact a face without a window words itself.
    ASSERT_EQ(dialogs.problems.size(), 3u);
    EXPECT_EQ(dialogs.problems[0].kind, FolderProblem::Kind::Empty);
    EXPECT_EQ(dialogs.problems[1].kind, FolderProblem::Kind::Empty);
    EXPECT_EQ(dialogs.problems[2].kind, FolderProblem::Kind::Missing);
    EXPECT_TRUE(platform::IsNotFound(dialogs.problems[2].error));
    for (const ScriptedDialogs::Shown& shown : dialogs.shown) {
        EXPECT_EQ(shown.icon, Dialogs::Icon::None);
        EXPECT_EQ(shown.buttons, Dialogs::Buttons::Ok);
    }
}

TEST_F(Selecting, ARowNamingAFileIsASourceOfThatFile)
{
    const QString file = tree.WriteFile(QStringLiteral("dropped/photo.jpg"), "p");
    ScriptedRandom random({0.0f});
    EXPECT_EQ(Paths(randomFileList(Request({file}, 1), random, dialogs)), QStringList{file});
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Selecting, APlanTooLargeForMemoryIsRefused)
{
    const QString folder = ThreeFiles();
    ScriptedRandom random;
    SelectionRequest request = Request({folder}, 1e12, true);
    EXPECT_TRUE(randomFileList(request, random, dialogs).empty());
    EXPECT_EQ(dialogs.Messages(), QStringList{TooManyRowsMessage(kMaxCopyListRows)});
    EXPECT_EQ(random.Used(), 0u);

    // Without repeats a huge number just takes every file once.
    ScriptedDialogs quiet;
    EXPECT_EQ(randomFileList(Request({folder}, 1e12), random, quiet).size(), 3u);
    EXPECT_TRUE(quiet.shown.empty());
}

// Each row is a group, a dropped file too: it gives its share within a
// budget, and none when it is too large for the budget.
TEST_F(Selecting, BalanceGivesEveryRowItsShareWithinTheBudget)
{
    const QString folder = ThreeFiles();
    const QString dropped = tree.WriteFile(QStringLiteral("dropped/big.jpg"), "bigger");
    std::mt19937 engine(5);
    for (int trial = 0; trial < 20; ++trial) {
        for (const std::uint64_t budget : {0, 8, 2}) { // 0: none
            SelectionRequest request = Request({folder, dropped}, 2);
            request.balance = true;
            if (budget > 0)
                request.maxBytes = budget;
            std::vector<float> values(8);
            std::generate(values.begin(), values.end(), [&] { return std::generate_canonical<float, 24>(engine); });
            ScriptedRandom random(values);
            const QStringList drawn = Paths(randomFileList(request, random, dialogs));
            EXPECT_EQ(drawn.size(), 2);
            EXPECT_EQ(drawn.count(dropped), budget == 2 ? 0 : 1) << budget << drawn.join(u' ').toStdString();
        }
    }
}

// Held-back files come in only once every other file is drawn, with or
// without a budget or balance, and never twice.
TEST_F(Selecting, HeldBackFilesComeOnlyWhenTheOthersAreTooFew)
{
    const QString folder = ThreeFiles();
    const QString fresh = folder + kSep + QStringLiteral("c.jpg");
    const struct {
        double number;
        std::optional<std::uint64_t> maxBytes;
        bool balance;
        int drawn;
    } cases[] = {{1, {}, false, 1}, {2, {}, false, 2}, {5, {}, false, 3}, {2, {}, true, 2},
                 {std::numeric_limits<double>::infinity(), 2, false, 2}, {3, 10, true, 3}};
    for (const auto& [number, maxBytes, balance, drawn] : cases) {
        SelectionRequest request = Request({folder}, number);
        request.maxBytes = maxBytes;
        request.balance = balance;
        request.heldBack = [&](const QString& path) { return path != fresh; };
        request.namesInByteOrder = true; // c.jpg comes last
        ScriptedRandom random(std::vector<float>(12, 0.0f));
        const QStringList paths = Paths(randomFileList(request, random, dialogs));
        ASSERT_EQ(paths.size(), drawn) << number;
        EXPECT_EQ(paths[0], fresh) << number;
        EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), drawn) << number;
    }
}

// The listed folders' weights reach the draw: a file of weight 0 is never
// drawn, and the heavy one comes first nearly always, drawn alone, in its
// folder's turn, or with its folder drawn whole.
TEST_F(Selecting, TheListedWeightsDecideTheDraw)
{
    const QString light = tree.MakeFolder(QStringLiteral("light"));
    const QString heavy = tree.MakeFolder(QStringLiteral("heavy"));
    for (const char* name : {"light/l1", "light/l2", "heavy/h1"})
        tree.WriteFile(QLatin1String(name));
    const auto names = [](std::initializer_list<const char*> list) {
        std::vector<platform::NativeString> native;
        for (const char* name : list)
            native.push_back(ToFsPath(QLatin1String(name)).native());
        return native;
    };
    const QHash<QString, std::vector<float>> weights {{light, {0.01f, 0.0f}}, {heavy, {100.0f}}};
    std::mt19937 engine(3);
    for (const auto& [balance, wholeFolders] : {std::pair {false, false}, {true, false}, {false, true}}) {
        int heavyFirst = 0;
        for (int trial = 0; trial < 100; ++trial) {
            FolderFiles listed {{light, names({"l1", "l2"})}, {heavy, names({"h1"})}};
            SelectionRequest request = Request({light, heavy}, 2);
            request.listed = &listed;
            request.weights = &weights;
            request.balance = balance;
            request.wholeFolders = wholeFolders;
            std::vector<float> values(16);
            std::generate(values.begin(), values.end(), [&] { return std::generate_canonical<float, 24>(engine); });
            ScriptedRandom random(values);
            const QStringList drawn = Paths(randomFileList(request, random, dialogs));
            ASSERT_EQ(drawn.size(), 2) << balance << wholeFolders;
            EXPECT_FALSE(drawn.contains(light + kSep + QStringLiteral("l2")));
            heavyFirst += drawn[0].endsWith(QStringLiteral("h1")) ? 1 : 0;
        }
        // Balanced, the folders take turns in random order: half the time the light one's comes first.
        EXPECT_GT(heavyFirst, balance ? 30 : 95) << balance << wholeFolders;
    }
}
