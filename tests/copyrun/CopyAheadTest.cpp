#include "copyrun/CopyAhead.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>

namespace {

using Result = CopyOutcome::Result;

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// What the workers have begun and finished, for a test to wait on. A
// position named in hold waits at its beginning until Release.
class WorkerLog {
public:
    CopyAhead::Limits Limits(int rowsAhead = 8)
    {
        CopyAhead::Limits limits;
        limits.rowsAhead = rowsAhead;
        limits.watch = [this](int position, bool finished) {
            std::unique_lock lock(mutex_);
            (finished ? finished_ : begun_).insert(position);
            changed_.notify_all();
            if (!finished)
                changed_.wait(lock, [&] { return !hold_.contains(position); });
        };
        return limits;
    }
    void Hold(int position)
    {
        const std::lock_guard lock(mutex_);
        hold_.insert(position);
    }
    void Release(int position)
    {
        const std::lock_guard lock(mutex_);
        hold_.erase(position);
        changed_.notify_all();
    }
    void WaitBegun(int position) { Wait(begun_, position); }
    void WaitFinished(int position) { Wait(finished_, position); }

private:
    void Wait(const std::set<int>& log, int position)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return log.contains(position); });
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<int> begun_, finished_, hold_;
};

// Rows copying src/NAME to FOLDER/NAME, the folder made.
std::vector<CopyAhead::Row> RowsInto(TempTree& tree, const QString& folder, const QStringList& names)
{
    std::vector<CopyAhead::Row> rows;
    for (const QString& name : names)
        rows.push_back({tree.WriteFile("src/" + name, name.toUtf8()), tree.Path(folder + u'/' + name)});
    tree.MakeFolder(folder);
    return rows;
}

} // namespace

// A row taken away once copied ahead, or while a worker copies it, never
// takes its name; nothing shows under a name before its turn, and nothing
// of the dropped rows is left.
TEST(CopyAhead, ARowDroppedBeforeItsTurnNeverArrives)
{
    TempTree tree;
    const std::vector<CopyAhead::Row> rows = RowsInto(tree, QStringLiteral("out"), {"0", "1", "2", "3"});
    WorkerLog log;
    log.Hold(3);
    {
        CopyAhead ahead(rows, log.Limits());
        log.WaitFinished(2);
        log.WaitBegun(3);
        EXPECT_TRUE(Entries(tree.Path(QStringLiteral("out"))).isEmpty());
        ahead.Drop(2);
        ahead.Drop(3);
        log.Release(3);
        EXPECT_EQ(ahead.CopyAtTurn(0).result, Result::Copied);
        EXPECT_EQ(ahead.CopyAtTurn(1).result, Result::Copied);
        log.WaitFinished(3);
    }
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), (QStringList {"0", "1"}));
    EXPECT_EQ(Read(tree.Path(QStringLiteral("out/1"))), "1");
}

// Each row's outcome is its own and comes at its turn, whatever the workers
// met first: a read error ahead fails its row alone, and a row that reads
// what an earlier row writes gets the new content.
TEST(CopyAhead, OutcomesComeAtEachRowsTurnInPlanOrder)
{
    TempTree tree;
    tree.WriteFile(QStringLiteral("out/b"), "old b");
    const std::vector<CopyAhead::Row> rows {
        {tree.WriteFile(QStringLiteral("src/a"), "new b"), tree.Path(QStringLiteral("out/b"))},
        {QStringLiteral("/proc/self/mem"), tree.Path(QStringLiteral("out/m1"))}, // reading it fails
        {tree.Path(QStringLiteral("out/b")), tree.Path(QStringLiteral("again/b"))},
        {QStringLiteral("/proc/self/mem"), tree.Path(QStringLiteral("out/m3"))},
        {tree.WriteFile(QStringLiteral("src/e"), "e"), tree.Path(QStringLiteral("out/e"))},
    };
    tree.MakeFolder(QStringLiteral("again"));
    WorkerLog log;
    CopyAhead ahead(rows, log.Limits());
    for (const int position : {1, 3, 4})
        log.WaitFinished(position);
    const Result expected[] {Result::Copied, Result::Failed, Result::Copied, Result::Failed, Result::Copied};
    for (int position = 0; position < 5; ++position) {
        const CopyOutcome outcome = ahead.CopyAtTurn(position);
        EXPECT_EQ(outcome.result, expected[position]) << position << ' ' << outcome.reason.toStdString();
        if (outcome.result == Result::Failed) {
            EXPECT_TRUE(outcome.reason.contains(QStringLiteral("Input/output error"))) << outcome.reason.toStdString();
        }
    }
    EXPECT_EQ(Read(tree.Path(QStringLiteral("again/b"))), "new b");
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), (QStringList {"b", "e"}));
}

// A folder removed after its rows were copied ahead is said to be missing,
// as it is for a row copied at its turn.
TEST(CopyAhead, AFolderGoneSinceTheCopiesAheadIsSaidToBeMissing)
{
    TempTree tree;
    const std::vector<CopyAhead::Row> rows = RowsInto(tree, QStringLiteral("gone"), {"a", "b"});
    WorkerLog log;
    CopyAhead ahead(rows, log.Limits());
    log.WaitFinished(0);
    log.WaitFinished(1);
    // Copies without a name do not keep their folder from being removed.
    ASSERT_TRUE(QDir().rmdir(tree.Path(QStringLiteral("gone"))));
    for (const int position : {0, 1}) {
        const CopyOutcome outcome = ahead.CopyAtTurn(position);
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_EQ(outcome.reason, QStringLiteral("The destination folder does not exist."));
    }
}

// The run ends (the window closes, the run is cancelled) while one worker
// is held up at its row, as on a stick that does not answer, and another
// holds a finished copy: the end waits for neither, and neither copy is
// left behind, the held one made only after the end.
TEST(CopyAhead, EndingWithWorkersBusyNeitherWaitsNorLeavesACopy)
{
    TempTree tree;
    const std::vector<CopyAhead::Row> rows = RowsInto(tree, QStringLiteral("out"), {"ready", "slow"});
    WorkerLog log;
    log.Hold(1);
    {
        CopyAhead ahead(rows, log.Limits());
        log.WaitFinished(0);
        log.WaitBegun(1);
    }
    log.Release(1);
    log.WaitFinished(1);
    EXPECT_TRUE(Entries(tree.Path(QStringLiteral("out"))).isEmpty());
}
