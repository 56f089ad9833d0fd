#include "copyrun/CopyOneFile.h"
#include "copyrun/CopyRun.h"
#include "core/Failure.h"
#include "core/PathHelpers.h"
#include "platform/FileSystem.h"
#include "support/FileSizeLimit.h"
#include "support/Permissions.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSep = NativeSeparator();

QByteArray Read(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// The names in a folder, to see that no temporary file was left behind.
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((static_cast<quint64>(i) * 7919) % 251);
    return bytes;
}

using Result = CopyOutcome::Result;

} // namespace

TEST(CopyOneFile, CopiesContentModificationTimeAndPermissions)
{
    TempTree tree;
    const QByteArray content = Pattern(3 * 1024 * 1024 + 17);
    const QString source = tree.WriteFile(QStringLiteral("src/big.bin"), content);
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1'500'000'000);
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    // A copy never carries set-user-ID, set-group-ID or the sticky bit.
    ASSERT_EQ(::chmod(ToFsPath(source).c_str(), 07640), 0);
    const QString destination = tree.MakeFolder(QStringLiteral("out")) + kSep + QStringLiteral("big.bin");

    EXPECT_EQ(CopyOneFile(source, destination).result, Result::Copied);
    EXPECT_EQ(Read(destination), content);
    EXPECT_EQ(QFileInfo(destination).lastModified(), past);
    struct stat copied {};
    ASSERT_EQ(::stat(ToFsPath(destination).c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, 0640u);
    EXPECT_EQ(Read(source), content);
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), QStringList{QStringLiteral("big.bin")});
}

TEST(CopyOneFile, NormalisesBothPaths)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("a.txt"), "a");
    tree.MakeFolder(QStringLiteral("out"));
    const QString doubled = tree.Path() + kSep + kSep + QStringLiteral("out") + kSep + kSep + QStringLiteral("a.txt");
    EXPECT_EQ(CopyOneFile(source, doubled).result, Result::Copied);
    EXPECT_EQ(Read(tree.Path(QStringLiteral("out/a.txt"))), QByteArray("a"));
}

TEST(CopyOneFile, TheSourceUnderAnotherNameIsNeverReplaced)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("music/song.mp3"), "the only copy");
    tree.MakeFolder(QStringLiteral("music/sub"));
    ASSERT_TRUE(QFile::link(tree.Path(QStringLiteral("music")), tree.Path(QStringLiteral("music/sub/up"))));
    const QString hardLink = tree.Path(QStringLiteral("music/hard.mp3"));
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QString softLink = tree.Path(QStringLiteral("music/soft.mp3"));
    ASSERT_TRUE(QFile::link(source, softLink));

    const QStringList sameFile{
        tree.Path(QStringLiteral("music/sub/up/song.mp3")),                       // through a link to the folder
        tree.Path(QStringLiteral("music/sub")) + kSep + QStringLiteral("../song.mp3"), // through ".."
        tree.Path(QStringLiteral("music")) + kSep + kSep + QStringLiteral("song.mp3"), // doubled separator
        hardLink,
        softLink,
    };
    for (const QString& destination : sameFile) {
        EXPECT_EQ(CopyOneFile(source, destination).result, Result::SameFile) << destination.toStdString();
        EXPECT_EQ(Read(source), QByteArray("the only copy"));
    }
}

TEST(CopyOneFile, AFailedCopyLeavesTheOldDestinationAndNoTemporaryFile)
{
    TempTree tree;
    const QString destination = tree.WriteFile(QStringLiteral("out/keep.txt"), "old content");
    const CopyOutcome vanished = CopyOneFile(tree.Path(QStringLiteral("gone.txt")), destination);
    EXPECT_EQ(vanished.result, Result::Failed);
    EXPECT_FALSE(vanished.reason.isEmpty());
    EXPECT_EQ(Read(destination), QByteArray("old content"));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), QStringList{QStringLiteral("keep.txt")});
}

// What stays after a failed replace is the platform contract's; here, what
// the row says.
TEST(CopyOneFile, AFullDiskSaysSo)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("big.bin"), Pattern(1024 * 1024));
    const QString destination = tree.WriteFile(QStringLiteral("out/big.bin"), "old content");
    FileSizeLimit fullDisk(64 * 1024);
    for (const QString& to : {destination, tree.Path(QStringLiteral("out/new.bin"))}) {
        const CopyOutcome outcome = CopyOneFile(source, to);
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_TRUE(outcome.reason.contains(QStringLiteral("too large"), Qt::CaseInsensitive)) << outcome.reason.toStdString();
    }
}

TEST(CopyOneFile, ADeniedFolderLeavesTheOldDestination)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("new.txt"), "new");
    const QString destination = tree.WriteFile(QStringLiteral("shut/file.txt"), "old");
    SetMode(tree.Path(QStringLiteral("shut")), 0555);
    CopyOutcome outcome;
    {
        PermissionsApply permissions;
        outcome = CopyOneFile(source, destination);
    }
    SetMode(tree.Path(QStringLiteral("shut")), 0755);
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_TRUE(outcome.reason.contains(QStringLiteral("ermission"))) << outcome.reason.toStdString();
    EXPECT_EQ(Read(destination), QByteArray("old"));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("shut"))), QStringList{QStringLiteral("file.txt")});
}

TEST(CopyOneFile, RowsThatCannotBeCopiedSayWhy)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("a.txt"), "a");
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("  "), tree.Path(QStringLiteral("x.txt"))},
        {source, QStringLiteral(" ")},
        {tree.Path(QStringLiteral("missing.txt")), tree.Path(QStringLiteral("x.txt"))},
        {source, tree.Path(QStringLiteral("no-such-folder/x.txt"))},
        {source, QStringLiteral("no-folder-part.txt")},
    };
    for (const auto& [from, to] : cases) {
        const CopyOutcome outcome = CopyOneFile(from, to);
        EXPECT_EQ(outcome.result, Result::Failed) << from.toStdString() << " -> " << to.toStdString();
        EXPECT_FALSE(outcome.reason.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(tree.Path(QStringLiteral("x.txt"))));
}

TEST(CopyOneFile, ALargeFileReportsProgressAndAnAbandonedCopyLeavesNothing)
{
    TempTree tree;
    const QByteArray content = Pattern(20 * 1024 * 1024);
    const QString source = tree.WriteFile(QStringLiteral("large.bin"), content);
    const QString destination = tree.WriteFile(QStringLiteral("out/large.bin"), "old content");

    int pieces = 0;
    EXPECT_EQ(CopyOneFile(source, tree.Path(QStringLiteral("out/copy.bin")), [&](std::uint64_t) { ++pieces; }).result, Result::Copied);
    EXPECT_GE(pieces, 2);
    EXPECT_EQ(Read(tree.Path(QStringLiteral("out/copy.bin"))), content);

    // The program ends in the middle of a copy (the window closed during a
    // yield): the half-made copy goes, the old destination stays.
    QStringList seenMidway;
    const CopyOutcome abandoned = CopyOneFile(source, destination, [&](std::uint64_t) {
        if (seenMidway.isEmpty()) {
            seenMidway = Entries(tree.Path(QStringLiteral("out")));
            platform::RemoveUnfinishedCopies();
        }
    });
    // Midway the copy shows at most as a temporary file: none at all where
    // the file system can write a file without a name.
    ASSERT_FALSE(seenMidway.isEmpty());
    seenMidway.removeIf([](const QString& name) { return name.startsWith(".qvx-") && name.endsWith(".part"); });
    EXPECT_EQ(seenMidway, (QStringList{"copy.bin", "large.bin"}));
    EXPECT_EQ(abandoned.result, Result::Failed);
    EXPECT_EQ(Read(destination), QByteArray("old content"));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), (QStringList{"copy.bin", "large.bin"}));
}

// A source still being written (a download, a log) is no copy: the row says
// so, a replaced file stays and nothing else is left, whether the source
// shrinks (the copy would be short) or grows (it would match neither).
TEST(CopyOneFile, ASourceThatChangesWhileCopiedFailsItsRow)
{
    TempTree tree;
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    for (const bool shrinks : {true, false}) {
        for (const bool replacing : {false, true}) {
            const QString source = tree.WriteFile(QStringLiteral("growing.log"), Pattern(9 * 1024 * 1024));
            const QString destination = out + kSep + QStringLiteral("growing.log");
            QFile::remove(destination);
            if (replacing)
                tree.WriteFile(QStringLiteral("out/growing.log"), "old content");
            bool changed = false;
            const CopyOutcome outcome = CopyOneFile(source, destination, [&](std::uint64_t) {
                if (std::exchange(changed, true))
                    return;
                if (shrinks) {
                    std::filesystem::resize_file(ToFsPath(source), 1024 * 1024);
                } else {
                    QFile file(source);
                    ASSERT_TRUE(file.open(QIODevice::Append));
                    file.write(Pattern(1024));
                }
            });
            const std::string label = (shrinks ? "shrinks" : "grows") + std::string(replacing ? ", replacing" : "");
            ASSERT_TRUE(changed) << label;
            EXPECT_EQ(outcome.result, Result::Failed) << label;
            EXPECT_TRUE(outcome.reason.contains(QStringLiteral("the source changed while it was being copied"),
                                                Qt::CaseInsensitive))
                << label << ": " << outcome.reason.toStdString();
            EXPECT_EQ(Entries(out), replacing ? QStringList{QStringLiteral("growing.log")} : QStringList{}) << label;
            if (replacing) {
                EXPECT_EQ(Read(destination), QByteArray("old content")) << label;
            }
        }
    }
}

TEST(CopyOneFile, FilesThatTellNoSizeAreCopiedWhole)
{
    TempTree tree;
    // Empty files, and files that say they are empty but are not.
    const QString empty = tree.WriteFile(QStringLiteral("empty.txt"), "");
    EXPECT_EQ(CopyOneFile(empty, tree.Path(QStringLiteral("empty-copy.txt"))).result, Result::Copied);
    EXPECT_EQ(Read(tree.Path(QStringLiteral("empty-copy.txt"))), QByteArray());
    ASSERT_EQ(QFileInfo(QStringLiteral("/proc/version")).size(), 0);
    EXPECT_EQ(CopyOneFile(QStringLiteral("/proc/version"), tree.Path(QStringLiteral("version"))).result, Result::Copied);
    EXPECT_EQ(Read(tree.Path(QStringLiteral("version"))), Read(QStringLiteral("/proc/version")));
    EXPECT_FALSE(Read(tree.Path(QStringLiteral("version"))).isEmpty());
}
