// What both halves of the platform layer promise, tested the same way on
// each: natively on POSIX, and under Wine for Windows. No Qt here.

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include "support/FileSizeLimit.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace platform {
inline void PrintTo(const FileId& id, std::ostream* out) { *out << id.device << ':' << id.index; }
} // namespace platform

namespace {

namespace fs = std::filesystem;

class PlatformContract : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path()
            / (std::string("qvx-contract-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::error_code ignored;
        fs::remove_all(root_, ignored);
        ASSERT_TRUE(fs::create_directories(root_));
    }

    void TearDown() override
    {
        // Read-only files would stop the removal on Windows.
        std::error_code error;
        for (auto it = fs::directory_iterator(root_, error); !error && it != fs::directory_iterator(); it.increment(error))
            platform::MakeNormal(it->path());
        fs::remove_all(root_, error);
    }

    fs::path Write(const fs::path& name, const std::string& content = "content")
    {
        std::ofstream(root_ / name, std::ios::binary) << content;
        return root_ / name;
    }

    static std::string Read(const fs::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

    // What the folder holds, to see that no half-made copy is left.
    std::set<fs::path> Names() const
    {
        std::set<fs::path> names;
        std::error_code error;
        for (auto it = fs::directory_iterator(root_, error); !error && it != fs::directory_iterator(); it.increment(error))
            names.insert(it->path().filename());
        return names;
    }

    static void MakeReadOnly(const fs::path& path)
    {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }

    // A hidden file: a dot name on POSIX, the attribute on Windows.
    fs::path WriteHidden(const std::string& content)
    {
#ifdef _WIN32
        const fs::path file = Write("hidden.txt", content);
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        return file;
#else
        return Write(".hidden.txt", content);
#endif
    }

    fs::path root_;
};

// Another run of the program, alive until ended: a child process that waits
// (on Windows this test program, held suspended).
class OtherRun {
public:
    OtherRun()
    {
#ifdef _WIN32
        std::wstring self(MAX_PATH, L'\0');
        self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
        std::wstring commandLine = L"\"" + self + L"\" --gtest_list_tests";
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        if (::CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                             nullptr, &startup, &process_))
            id_ = process_.dwProcessId;
#else
        const pid_t child = ::fork();
        if (child == 0) {
            for (;;)
                ::pause();
        }
        id_ = child > 0 ? static_cast<std::uint64_t>(child) : 0;
#endif
    }
    ~OtherRun() { End(); }
    OtherRun(const OtherRun&) = delete;
    OtherRun& operator=(const OtherRun&) = delete;

    std::uint64_t Id() const { return id_; }

    // Killed, as a run can be: its id names no process afterwards.
    void End()
    {
        if (ended_ || id_ == 0)
            return;
        ended_ = true;
#ifdef _WIN32
        ::TerminateProcess(process_.hProcess, 9);
        ::WaitForSingleObject(process_.hProcess, INFINITE);
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
#else
        ::kill(static_cast<pid_t>(id_), SIGKILL);
        ::waitpid(static_cast<pid_t>(id_), nullptr, 0);
#endif
    }

private:
    std::uint64_t id_ = 0;
    bool ended_ = false;
#ifdef _WIN32
    PROCESS_INFORMATION process_ {};
#endif
};

TEST_F(PlatformContract, AttributeValues)
{
    const fs::path file = Write("a.txt");
    fs::create_directory(root_ / "sub");
    EXPECT_EQ(platform::FileAttributes(file), platform::kArchive);
    EXPECT_EQ(platform::FileAttributes(root_ / "sub"), platform::kDirectory);
    EXPECT_EQ(platform::FileAttributes(WriteHidden("h")), platform::kArchive | platform::kHidden);
    EXPECT_EQ(platform::FileAttributes(root_ / "missing"), -1);

    MakeReadOnly(file);
    EXPECT_EQ(platform::FileAttributes(file), platform::kArchive | platform::kReadOnly);
    EXPECT_TRUE(platform::MakeNormal(file));
    EXPECT_EQ(platform::FileAttributes(file) & platform::kReadOnly, 0);
}

TEST_F(PlatformContract, OneFileHasOneIdUnderEveryWriting)
{
    const fs::path file = Write("Name.txt");
    const auto id = platform::IdOf(file);
    ASSERT_TRUE(id.has_value());
    fs::create_directory(root_ / "sub");
    const fs::path::string_type doubled(2, fs::path::preferred_separator);
    EXPECT_EQ(platform::IdOf(root_.native() + doubled + fs::path("Name.txt").native()), id);
    EXPECT_EQ(platform::IdOf(root_ / "sub" / ".." / "Name.txt"), id);
    EXPECT_EQ(platform::RegularFileId(file), id);
#ifdef _WIN32
    EXPECT_EQ(platform::IdOf(root_ / "NAME.TXT"), id);
#endif
    EXPECT_NE(platform::IdOf(Write("other.txt")), id);
    EXPECT_FALSE(platform::IdOf(root_ / "missing").has_value());
    EXPECT_FALSE(platform::RegularFileId(root_ / "sub").has_value());
}

TEST_F(PlatformContract, AReadOnlyOrHiddenDestinationIsReplaced)
{
    const fs::path source = Write("new.txt", "new");
    const fs::path readOnly = Write("read-only.txt", "old");
    MakeReadOnly(readOnly);
    const fs::path hidden = WriteHidden("old");
    for (const fs::path& destination : {readOnly, hidden}) {
        EXPECT_FALSE(platform::CopyFileReplacing(source, destination, true)) << destination;
        EXPECT_EQ(Read(destination), "new") << destination;
    }
    EXPECT_EQ(Names(), (std::set<fs::path> {"new.txt", "read-only.txt", hidden.filename()}));
}

// The replacement fails half-way: the old file stays, nothing else is left.
TEST_F(PlatformContract, AFailedReplaceLeavesTheOldFile)
{
    const fs::path source = Write("big.bin", std::string(1 << 20, 'b'));
    const fs::path destination = Write("keep.txt", "old");
#ifdef _WIN32
    // Held open without leave to delete it, the old file cannot be replaced.
    const HANDLE held = ::CreateFileW(destination.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const platform::CopyFailure failure = platform::CopyFileReplacing(source, destination, true);
    ::CloseHandle(held);
#else
    // A file size limit stands in for a full disk: the copy's writes fail.
    platform::CopyFailure failure;
    {
        FileSizeLimit fullDisk(64 * 1024);
        failure = platform::CopyFileReplacing(source, destination, true);
    }
#endif
    EXPECT_TRUE(failure);
    EXPECT_FALSE(failure.nameRefused);
    EXPECT_EQ(Read(destination), "old");
    EXPECT_EQ(Names(), (std::set<fs::path> {"big.bin", "keep.txt"}));

    // A small file written whole (a record, a playlist) fails the same way,
    // with the failing call's error, and leaves nothing aside.
    const fs::path aside = root_ / "keep.txt.new";
    std::error_code error;
#ifdef _WIN32
    const HANDLE again = ::CreateFileW(destination.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    error = platform::WriteFileWhole(destination, aside, "new");
    ::CloseHandle(again);
#else
    {
        FileSizeLimit fullDisk(64 * 1024);
        error = platform::WriteFileWhole(destination, aside, std::string(1 << 20, 'n'));
    }
    EXPECT_EQ(error, std::errc::file_too_large);
#endif
    EXPECT_TRUE(error);
    EXPECT_EQ(Read(destination), "old");
    EXPECT_EQ(Names(), (std::set<fs::path> {"big.bin", "keep.txt"}));
    // A longer one that a stopped run left aside leaves no tail in the new.
    Write("keep.txt.new", std::string(100, 'x'));
    EXPECT_FALSE(platform::WriteFileWhole(destination, aside, "new"));
    EXPECT_EQ(Read(destination), "new");
    EXPECT_EQ(Names(), (std::set<fs::path> {"big.bin", "keep.txt"}));
}

TEST_F(PlatformContract, ANameTheFileSystemRefusesIsSaidSo)
{
    const fs::path source = Write("a.txt");
#ifdef _WIN32
    const fs::path refused = root_ / "what?.txt";
#else
    const fs::path refused = root_ / std::string(300, 'n'); // longer than any name may be
#endif
    const platform::CopyFailure failure = platform::CopyFileReplacing(source, refused, false);
    EXPECT_TRUE(failure);
    EXPECT_TRUE(failure.nameRefused) << failure.error.message();
    EXPECT_EQ(Names(), std::set<fs::path> {"a.txt"});
}

// The first write into a folder removes the temporary files that runs of
// this host left there when they were killed, also read-only ones, and those
// of this process's id that none of its copies holds (an earlier run of the
// same id). A live run's, another host's, names that tell no run and every
// other file stay.
TEST_F(PlatformContract, AKilledRunsTemporaryFilesGoOnTheNextWrite)
{
    OtherRun killed;
    const OtherRun alive;
    ASSERT_NE(killed.Id(), 0u);
    ASSERT_NE(alive.Id(), 0u);
    killed.End();
#ifdef _WIN32
    const std::uint64_t self = ::GetCurrentProcessId();
#else
    const std::uint64_t self = static_cast<std::uint64_t>(::getpid());
#endif
    MakeReadOnly(Write(platform::TemporaryFileName(killed.Id(), 1), "half"));
    Write(platform::TemporaryFileName(self, 999'999), "half");
    const fs::path live = Write(platform::TemporaryFileName(alive.Id(), 1), "half");
    fs::path::string_type elsewhere = platform::TemporaryFileName(killed.Id(), 2);
    elsewhere.insert(5, 1, 'x'); // ".qvx-x<host>-...": another host's
    Write(elsewhere, "half");
    const fs::path oldStyle = Write(".qvx-0123456789abcdef.part", "half");
    const fs::path source = Write("a.txt");

    EXPECT_FALSE(platform::CopyFileReplacing(source, root_ / "b.txt", false));
    EXPECT_EQ(Names(), (std::set<fs::path> {"a.txt", "b.txt", live.filename(), elsewhere, oldStyle.filename()}));
}

} // namespace

