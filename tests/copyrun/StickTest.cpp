#include "copyrun/CopyOneFile.h"
#include "copyrun/DeviceFlush.h"
#include "core/PathHelpers.h"
#include "platform/Volume.h"
#include "randomlist/CorrelateListviews.h"
#include "support/FatStick.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <map>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

// The kernel's flushes that this test program asks for, seen on their way
// (syncfs and fsync below take the C library's place): while a test watches,
// each call is noted as "call path", and refused with the errno given for it.
struct KernelFlushes;
KernelFlushes* watched = nullptr;
struct KernelFlushes {
    KernelFlushes() { watched = this; }
    ~KernelFlushes() { watched = nullptr; }
    std::map<std::string, int> refusals;
    std::vector<std::string> calls;
};

int Watch(const char* name, int fd, int (*real)(int))
{
    if (!watched)
        return real(fd);
    std::error_code unnamed;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), unnamed);
    const std::string call = std::string(name) + ' ' + path.string();
    watched->calls.push_back(call);
    if (const auto refusal = watched->refusals.find(call); refusal != watched->refusals.end()) {
        errno = refusal->second;
        return -1;
    }
    return real(fd);
}

// How a call on the path shows among the watched calls.
std::string KernelCall(const char* name, const QString& path)
{
    return std::string(name) + ' ' + std::filesystem::canonical(ToFsPath(path)).string();
}

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

extern "C" int syncfs(int fd) noexcept
{
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "syncfs"));
    return Watch("syncfs", fd, real);
}

extern "C" int fsync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    return Watch("fsync", fd, real);
}

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

// The written files' file systems are flushed one by one, each as a whole
// where that reaches the device. Elsewhere (FUSE, or where the kernel
// refuses) each file is flushed, then each folder that names one; the first
// failure is passed on, and the rest is still flushed.
TEST(DeviceFlush, EachFileSystemAsAWholeElseEachFileThenItsFolders)
{
    TempTree tree;
    QTemporaryDir otherFileSystem(QStringLiteral("/dev/shm/quorvex-XXXXXX"));
    ASSERT_TRUE(otherFileSystem.isValid());
    const QString inShm = otherFileSystem.filePath(QStringLiteral("c"));
    QFile(inShm).open(QIODevice::WriteOnly);
    const QStringList files = {tree.WriteFile(QStringLiteral("a/x"), "x"), inShm,
                               tree.WriteFile(QStringLiteral("b/y"), "y"), tree.Path(QStringLiteral("gone/z")),
                               tree.WriteFile(QStringLiteral("a/z"), "z")};
    const std::vector<FlushGroup> groups = GroupByFileSystem(files);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].files.size(), 3u);
    EXPECT_EQ(groups[0].folder, tree.Path(QStringLiteral("a/")));
    EXPECT_EQ(groups[1].folder, otherFileSystem.path() + QStringLiteral("/"));
    {
        KernelFlushes flushes;
        for (const FlushGroup& group : groups) {
            EXPECT_FALSE(group.eachFile);
            EXPECT_FALSE(SystemFlusher().Flush(group));
        }
        EXPECT_EQ(flushes.calls,
                  (std::vector{KernelCall("syncfs", groups[0].folder), KernelCall("syncfs", groups[1].folder)}));
    }
    FlushGroup group = groups[0];
    const std::string whole = KernelCall("syncfs", group.folder);
    std::vector<std::string> eachFile;
    for (const QString& path :
         {files[0], files[2], files[4], tree.Path(QStringLiteral("a")), tree.Path(QStringLiteral("b"))})
        eachFile.push_back(KernelCall("fsync", path));
    std::vector<std::string> wholeRefused = eachFile;
    wholeRefused.insert(wholeRefused.begin(), whole);
    const struct {
        bool eachFile;
        std::map<std::string, int> refusals;
        std::vector<std::string> calls;
        int error;
    } cases[] = {
        {false, {{whole, ENOSYS}}, wholeRefused, 0},
        {false, {{whole, EIO}}, {whole}, EIO},
        {true, {}, eachFile, 0},
        {true, {{eachFile[1], EIO}, {eachFile[4], ENOSPC}}, eachFile, EIO},
    };
    for (const auto& row : cases) {
        KernelFlushes flushes;
        flushes.refusals = row.refusals;
        group.eachFile = row.eachFile;
        const std::error_code error = SystemFlusher().Flush(group);
        EXPECT_EQ(error.value(), row.error) << error.message();
        EXPECT_EQ(flushes.calls, row.calls);
    }
}

// On a real FAT stick: the plan learns what the stick takes, every drawn
// file arrives, "Cover.jpg" and "cover.jpg" both (the second under a
// numbered name), names the stick refuses under names it takes, numbered
// where they meet, while a folder beside it keeps the names as they are; a
// name planned elsewhere (a saved plan) still fails with a reason that says
// so. Times are kept to FAT's two seconds, and the flush goes file by file,
// since FUSE passes no whole-stick flush on.
TEST(Stick, EveryFileArrivesOnAFatStick)
{
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString() << "; nothing else checks names, letter case, 2-second"
                     << " times and the flush on FAT (QUORVEX_REQUIRE_FAT_STICK=1 makes this a failure)";
    // mkfs.fat makes the 16 MiB image FAT16, with clusters of 2 KiB.
    const std::optional<platform::VolumeFacts> volume = platform::VolumeOf(ToFsPath(stick.Folder()));
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->typeName, "FAT");
    EXPECT_TRUE(volume->windowsNames);
    EXPECT_EQ(volume->maxFileSize, std::optional<std::uint64_t>(0xFFFFFFFFu));
    EXPECT_EQ(volume->allocationUnit, 2048u);

    TempTree tree;
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1'600'000'000);
    const QStringList names = {QStringLiteral("a/Cover.jpg"),      QStringLiteral("b/cover.jpg"),
                               QStringLiteral("b/ok.txt"),         QStringLiteral("b/What's Up?.mp3"),
                               QStringLiteral("a/AC:DC.mp3"),      QStringLiteral("b/ac_dc.mp3")};
    Selection selection;
    for (const QString& name : names) {
        const QString path = tree.WriteFile(name, name.toUtf8());
        ASSERT_EQ(::chmod(ToFsPath(path).c_str(), 04755), 0);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(past, QFileDevice::FileModificationTime));
        selection.push_back({path, 0});
    }
    const QString home = tree.MakeFolder(QStringLiteral("home")) + QStringLiteral("/");
    QStringList written;
    for (const CopyRow& row : PairWithDestinations(selection, {stick.Folder(), home}).rows) {
        const CopyOutcome outcome = CopyOneFile(row.source, row.Destination());
        EXPECT_EQ(outcome.reason, QString()) << row.Destination().toStdString();
        written << outcome.written;
    }
    const QString folder = stick.Folder() + QStringLiteral("/");
    QStringList onStick, atHome;
    for (qsizetype i = 0; i < written.size(); i += 2) {
        onStick << written[i];
        atHome << written[i + 1];
    }
    ASSERT_EQ(onStick, (QStringList{folder + "Cover.jpg", folder + "cover1.jpg", folder + "ok.txt",
                                    folder + "What's Up_.mp3", folder + "AC_DC.mp3", folder + "ac_dc1.mp3"}));
    EXPECT_EQ(atHome, (QStringList{home + "Cover.jpg", home + "cover1.jpg", home + "ok.txt", home + "What's Up?.mp3",
                                   home + "AC:DC.mp3", home + "ac_dc.mp3"}));
    for (int i = 0; i < onStick.size(); ++i) {
        EXPECT_EQ(Read(onStick[i]), names[i].toUtf8()) << onStick[i].toStdString();
        EXPECT_LE(std::abs(QFileInfo(onStick[i]).lastModified().secsTo(past)), 2) << onStick[i].toStdString();
    }
    const QString reason = CopyOneFile(selection[4].path, folder + QStringLiteral("AC:DC.mp3")).reason;
    EXPECT_TRUE(reason.contains(QStringLiteral("does not accept the file name \"AC:DC.mp3\""))) << reason.toStdString();

    const std::vector<FlushGroup> groups = GroupByFileSystem(onStick);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_TRUE(groups[0].eachFile);
    KernelFlushes flushes;
    EXPECT_FALSE(SystemFlusher().Flush(groups[0]));
    std::vector<std::string> eachFile;
    for (const QString& path : onStick)
        eachFile.push_back(KernelCall("fsync", path));
    eachFile.push_back(KernelCall("fsync", stick.Folder()));
    EXPECT_EQ(flushes.calls, eachFile);
}
