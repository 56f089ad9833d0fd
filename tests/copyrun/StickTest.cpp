#include "copyrun/CopyOneFile.h"
#include "copyrun/DeviceFlush.h"
#include "core/PathHelpers.h"
#include "randomlist/CorrelateListviews.h"
#include "support/FatStick.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// From here on the kernel answers ENOSYS to every change of permissions or
// times, as FAT through FUSE does.
void RefuseMetadataChanges()
{
    constexpr unsigned kRefused = SECCOMP_RET_ERRNO | ENOSYS;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fchmod, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fchmodat, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_utimensat, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, kRefused),
    };
    sock_fprog program {static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        std::exit(2);
}

} // namespace

// The data is what the user asked for: a file system that keeps no
// permissions or times still gets its copy, new or replacing.
TEST(Stick, ACopyWhosePermissionsCannotBeKeptIsStillACopy)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("song.mp3"), "music");
    const QString fresh = tree.MakeFolder(QStringLiteral("stick")) + QStringLiteral("/song.mp3");
    const QString replaced = tree.WriteFile(QStringLiteral("stick/old.mp3"), "old");
    // The filter cannot be lifted again: the copies run in a forked child.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            RefuseMetadataChanges();
            const bool copied = CopyOneFile(source, fresh).result == CopyOutcome::Result::Copied
                && CopyOneFile(source, replaced).result == CopyOutcome::Result::Copied;
            std::exit(copied ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Read(fresh), QByteArray("music"));
    EXPECT_EQ(Read(replaced), QByteArray("music"));
}

TEST(DeviceFlush, OneFlushPerFileSystemWholeWhereThatReachesTheDevice)
{
    TempTree tree;
    QTemporaryDir otherFileSystem(QStringLiteral("/dev/shm/quorvex-XXXXXX"));
    ASSERT_TRUE(otherFileSystem.isValid());
    const QString inShm = otherFileSystem.filePath(QStringLiteral("c"));
    QFile(inShm).open(QIODevice::WriteOnly);
    const std::vector<FlushGroup> groups = GroupByFileSystem(
        {tree.WriteFile(QStringLiteral("a/x"), "x"), inShm, tree.WriteFile(QStringLiteral("b/y"), "y"),
         tree.Path(QStringLiteral("gone/z"))});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].files.size(), 2u);
    EXPECT_EQ(groups[0].folder, tree.Path(QStringLiteral("a/")));
    EXPECT_EQ(groups[1].folder, otherFileSystem.path() + QStringLiteral("/"));
    SystemFlusher flusher;
    for (const FlushGroup& group : groups) {
        EXPECT_FALSE(group.eachFile);
        EXPECT_FALSE(flusher.Flush(group));
    }
}

// On a real FAT stick: every drawn file arrives, "Cover.jpg" and "cover.jpg"
// both (the second under a numbered name), a name the stick refuses fails
// with a reason that says so, times are kept to FAT's two seconds, and the
// flush goes file by file, since FUSE passes no whole-stick flush on.
TEST(Stick, EveryFileArrivesOnAFatStick)
{
    FatStick stick;
    if (!stick.IsMounted())
        GTEST_SKIP() << "no FUSE or no fusefat here; the test above injects the same errors";
    TempTree tree;
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1'600'000'000);
    const QStringList names = {QStringLiteral("a/Cover.jpg"), QStringLiteral("b/cover.jpg"), QStringLiteral("b/ok.txt"),
                               QStringLiteral("b/bad:name.txt")};
    Selection selection;
    for (const QString& name : names) {
        const QString path = tree.WriteFile(name, name.toUtf8());
        ASSERT_EQ(::chmod(ToFsPath(path).c_str(), 04755), 0);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(past, QFileDevice::FileModificationTime));
        selection.push_back({path, 0});
    }
    QStringList written;
    QStringList reasons;
    for (const CopyRow& row : PairWithDestinations(selection, {stick.Folder()}).rows) {
        const CopyOutcome outcome = CopyOneFile(row.source, row.Destination());
        written << outcome.written;
        reasons << outcome.reason;
    }
    const QString folder = stick.Folder() + QStringLiteral("/");
    EXPECT_EQ(written, (QStringList{folder + "Cover.jpg", folder + "cover1.jpg", folder + "ok.txt", QString()}));
    EXPECT_TRUE(reasons[3].contains(QStringLiteral("does not accept the file name \"bad:name.txt\""))) << reasons[3].toStdString();
    EXPECT_EQ(Read(folder + "Cover.jpg"), QByteArray("a/Cover.jpg"));
    EXPECT_EQ(Read(folder + "cover1.jpg"), QByteArray("b/cover.jpg"));
    EXPECT_LE(std::abs(QFileInfo(folder + "ok.txt").lastModified().secsTo(past)), 2);

    const std::vector<FlushGroup> groups = GroupByFileSystem(written.mid(0, 3));
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_TRUE(groups[0].eachFile);
    EXPECT_EQ(groups[0].files.size(), 3u);
    SystemFlusher flusher;
    EXPECT_FALSE(flusher.Flush(groups[0]));
}
