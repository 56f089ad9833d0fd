#include "library/FolderRecord.h"
#include "library/LibraryIndex.h"

#include "core/PathHelpers.h"
#include "support/AudioFixtures.h"
#include "support/RequireTools.h"
#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

namespace {

// A folder of four files; songs where the test asks for them.
class LibraryIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a.txt", "b.txt", "c.txt", "notes.txt"})
            tree.WriteFile(QStringLiteral("music/") + name, name);
    }

    // Three songs in place of the first three, one rated four stars by a player.
    void MakeSongs()
    {
        for (const char* name : {"a", "b", "c"}) {
            QFile::remove(tree.Path(QStringLiteral("music/%1.txt").arg(name)));
            ASSERT_FALSE(fixtures::PlainFlac(tree.Path(QStringLiteral("music/%1.flac").arg(name))).isEmpty());
        }
        Rate("b.flac", "4");
    }

    void Rate(const char* name, const char* stars)
    {
        ASSERT_FALSE(fixtures::TaggedByMutagen(tree.Path(QStringLiteral("music/") + name),
                                               QStringLiteral("f['RATING'] = '%1'").arg(stars)).isEmpty());
    }

    QString Music() const { return tree.Path(QStringLiteral("music")); }
    QString State() const { return tree.Path(QStringLiteral("state")); }

    // The music folder's files as an update found them, and each one's half stars by name.
    struct Found {
        std::vector<IndexedFacts> facts;
        std::map<std::string, int> ratings;
    };
    Found Update(LibraryIndex& index) const
    {
        FolderFiles listed;
        Found found {index.Update({Music()}, listed).value(Music()), {}};
        const std::vector<platform::NativeString>& names = listed.value(Music());
        for (std::size_t i = 0; i < names.size() && i < found.facts.size(); ++i)
            found.ratings[FromFsName(names[i]).toStdString()] = found.facts[i].rating;
        return found;
    }

    // What SQLite's own check says of the index, and how many files its records hold.
    std::pair<std::string, int> Checked() const
    {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(LibraryIndex::FileIn(State())).constData(), &db);
        std::pair<std::string, int> result;
        sqlite3_exec(db, "PRAGMA integrity_check", [](void* out, int, char** values, char**) {
            static_cast<std::pair<std::string, int>*>(out)->first = values[0];
            return 0;
        }, &result, nullptr);
        sqlite3_stmt* records = nullptr;
        sqlite3_prepare_v2(db, "SELECT files FROM folders", -1, &records, nullptr);
        while (sqlite3_step(records) == SQLITE_ROW) {
            RecordReader reader(QByteArrayView(static_cast<const char*>(sqlite3_column_blob(records, 0)),
                                               sqlite3_column_bytes(records, 0)));
            for (RecordedFile file; reader.Next(file);)
                ++result.second;
        }
        sqlite3_finalize(records);
        sqlite3_close(db);
        return result;
    }

    TempTree tree;
};

} // namespace

TEST_F(LibraryIndexTest, ReadsOnlyWhatChangedAndDropsWhatIsGone)
{
    REQUIRE_TAGGING_TOOLS(fixtures::HaveAudioTools() && fixtures::HaveMutagen(), "no ffmpeg or python3-mutagen");
    MakeSongs();
    {
        LibraryIndex index(State());
        const Found found = Update(index);
        EXPECT_EQ(index.Result().read, 4u);
        EXPECT_EQ(found.ratings, (std::map<std::string, int> {{"a.flac", 0}, {"b.flac", 8}, {"c.flac", 0}, {"notes.txt", 0}}));
        std::map<FileKind, int> kinds;
        for (const IndexedFacts& facts : found.facts) {
            ++kinds[facts.kind];
            if (facts.kind == FileKind::Song) {
                EXPECT_NEAR(facts.lengthMs, 2000, 50);
            }
        }
        EXPECT_EQ(kinds, (std::map<FileKind, int> {{FileKind::Song, 3}, {FileKind::Other, 1}}));
    }
    const auto update = [&] {
        LibraryIndex index(State());
        const Found found = Update(index);
        EXPECT_TRUE(index.Result().notSaved.isEmpty() && index.Result().setAside.isEmpty());
        return std::make_tuple(index.Result().read, index.Result().dropped, found.ratings);
    };
    EXPECT_EQ(std::get<0>(update()), 0u) << "a second run reads no tags";
    Rate("c.flac", "2");
    const auto [read, dropped, ratings] = update();
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(ratings.at("c.flac"), 4);
    QFile::remove(Music() + QStringLiteral("/a.flac"));
    const auto [readAfter, droppedAfter, left] = update();
    EXPECT_EQ(readAfter, 0u);
    EXPECT_EQ(droppedAfter, 1u);
    EXPECT_EQ(left.count("a.flac"), 0u);
    EXPECT_EQ(Checked(), std::make_pair(std::string("ok"), 3));

    // No folder can be made where a file stands: the tags are read all the same.
    const QString blocked = tree.WriteFile(QStringLiteral("blocked")) + QStringLiteral("/state");
    LibraryIndex unwritable(blocked);
    EXPECT_EQ(Update(unwritable).ratings.at("b.flac"), 8);
    EXPECT_FALSE(unwritable.Result().notSaved.isEmpty());
}

// Nothing changed, nothing written: not even for a folder that holds no file.
TEST_F(LibraryIndexTest, ASecondRunWritesNothing)
{
    const QString empty = tree.MakeFolder(QStringLiteral("empty"));
    const auto update = [&] {
        LibraryIndex index(State());
        FolderFiles listed;
        index.Update({Music(), empty}, listed);
        return std::make_pair(index.Result().read, index.Result().written);
    };
    EXPECT_EQ(update().first, 4u);
    EXPECT_EQ(update(), std::make_pair(std::uint64_t(0), std::uint64_t(0)));
}

TEST_F(LibraryIndexTest, TwoRunsAtOnceBothFinishWithTheIndexWhole)
{
    for (int i = 0; i < 500; ++i) // enough for the two to meet
        tree.WriteFile(QStringLiteral("music/n%1.txt").arg(i));
    std::vector<LibraryIndex::Outcome> outcomes(2);
    std::vector<std::thread> runs;
    for (auto& outcome : outcomes)
        runs.emplace_back([&] {
            LibraryIndex index(State());
            Update(index);
            outcome = index.Result();
        });
    for (std::thread& run : runs)
        run.join();
    for (const auto& outcome : outcomes)
        EXPECT_TRUE(outcome.notSaved.isEmpty() && outcome.setAside.isEmpty()) << outcome.notSaved.toStdString();
    EXPECT_EQ(Checked(), std::make_pair(std::string("ok"), 504));
}

TEST_F(LibraryIndexTest, ADamagedIndexIsSetAsideAndMadeAnew)
{
    const QString file = LibraryIndex::FileIn(State());
    const auto damage = [&](const QByteArray& bytes) {
        {
            LibraryIndex index(State());
            Update(index);
        }
        QFile index(file);
        ASSERT_TRUE(index.open(QIODevice::ReadWrite));
        if (bytes.isEmpty())
            index.resize(index.size() / 2 + 100); // cut short
        else
            index.write(bytes);
    };
    for (const QByteArray& bytes : {QByteArray("not a database at all, not even close to one"), QByteArray()}) {
        damage(bytes);
        LibraryIndex index(State());
        const Found found = Update(index);
        EXPECT_EQ(index.Result().setAside, file + QStringLiteral(".damaged"));
        EXPECT_TRUE(QFile::exists(file + QStringLiteral(".damaged")));
        EXPECT_EQ(index.Result().read, 4u);
        EXPECT_EQ(found.ratings.size(), 4u);
        EXPECT_EQ(Checked(), std::make_pair(std::string("ok"), 4));
    }
    // A schema of a version this program does not know.
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_FALSE(LibraryIndex(State()).Result().setAside.isEmpty());
}
