// The copy rules that need POSIX: permission bits and set-user-ID, links,
// a file size limit as a full disk, a folder denied by its permissions, and
// /proc files that tell no size.
#include "copyrun/CopyOneFile.h"
#include "core/PathHelpers.h"
#include "support/FileSizeLimit.h"
#include "support/Permissions.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString kSep = NativeSeparator();

using Result = CopyOutcome::Result;

} // namespace

TEST(CopyOneFile, CopiesContentModificationTimeAndPermissions)
{
    TempTree tree;
    const QByteArray content = PatternBytes(3 * 1024 * 1024 + 17);
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
    EXPECT_EQ(FileBytes(destination), content);
    EXPECT_EQ(QFileInfo(destination).lastModified(), past);
    struct stat copied {};
    ASSERT_EQ(::stat(ToFsPath(destination).c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, 0640u);
    EXPECT_EQ(FileBytes(source), content);
    EXPECT_EQ(FolderEntries(tree.Path(QStringLiteral("out"))), QStringList{QStringLiteral("big.bin")});
}

TEST(CopyOneFile, TheSourceThroughALinkIsNeverReplaced)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("music/song.mp3"), "the only copy");
    tree.MakeFolder(QStringLiteral("music/sub"));
    ASSERT_TRUE(QFile::link(tree.Path(QStringLiteral("music")), tree.Path(QStringLiteral("music/sub/up"))));
    const QString softLink = tree.Path(QStringLiteral("music/soft.mp3"));
    ASSERT_TRUE(QFile::link(source, softLink));

    const QStringList sameFile{
        tree.Path(QStringLiteral("music/sub/up/song.mp3")), // through a link to the folder
        softLink,
    };
    for (const QString& destination : sameFile) {
        EXPECT_EQ(CopyOneFile(source, destination).result, Result::SameFile) << destination.toStdString();
        EXPECT_EQ(FileBytes(source), QByteArray("the only copy"));
    }
}

// What stays after a failed replace is the platform contract's; here, what
// the row says.
TEST(CopyOneFile, AFullDiskSaysSo)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("big.bin"), PatternBytes(1024 * 1024));
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
    EXPECT_EQ(FileBytes(destination), QByteArray("old"));
    EXPECT_EQ(FolderEntries(tree.Path(QStringLiteral("shut"))), QStringList{QStringLiteral("file.txt")});
}

TEST(CopyOneFile, FilesThatTellNoSizeAreCopiedWhole)
{
    TempTree tree;
    // Empty files, and files that say they are empty but are not.
    const QString empty = tree.WriteFile(QStringLiteral("empty.txt"), "");
    EXPECT_EQ(CopyOneFile(empty, tree.Path(QStringLiteral("empty-copy.txt"))).result, Result::Copied);
    EXPECT_EQ(FileBytes(tree.Path(QStringLiteral("empty-copy.txt"))), QByteArray());
    ASSERT_EQ(QFileInfo(QStringLiteral("/proc/version")).size(), 0);
    EXPECT_EQ(CopyOneFile(QStringLiteral("/proc/version"), tree.Path(QStringLiteral("version"))).result, Result::Copied);
    EXPECT_EQ(FileBytes(tree.Path(QStringLiteral("version"))), FileBytes(QStringLiteral("/proc/version")));
    EXPECT_FALSE(FileBytes(tree.Path(QStringLiteral("version"))).isEmpty());
}
