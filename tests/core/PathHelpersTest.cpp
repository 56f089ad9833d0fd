#include "core/Failure.h"
#include "core/FileUrl.h"
#include "core/PathHelpers.h"
#include "core/SystemNames.h"
#include "support/TempTree.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
const QChar kBackslash = u'\\';
const QChar kSlash = u'/';
} // namespace

TEST(PathParts, FileNameOfTakesTheTextAfterTheLastSeparator)
{
    EXPECT_EQ(FileNameOf(QStringLiteral("C:\\Pics\\sun.jpg"), kBackslash), QStringLiteral("sun.jpg"));
    EXPECT_EQ(FileNameOf(QStringLiteral("sun.jpg"), kBackslash), QStringLiteral("sun.jpg"));
    EXPECT_EQ(FileNameOf(QStringLiteral("C:\\Pics\\"), kBackslash), QString());
    EXPECT_EQ(FileNameOf(QStringLiteral("\\\\server\\share\\a b.txt"), kBackslash), QStringLiteral("a b.txt"));
    EXPECT_EQ(FileNameOf(QStringLiteral("/home/u/Pics/sun.jpg"), kSlash), QStringLiteral("sun.jpg"));
    EXPECT_EQ(FileNameOf(QStringLiteral("/home/u/Pics/"), kSlash), QString());
    // Each separator only splits paths of its own form.
    EXPECT_EQ(FileNameOf(QStringLiteral("C:\\Pics\\sun.jpg"), kSlash), QStringLiteral("C:\\Pics\\sun.jpg"));
    EXPECT_EQ(FileNameOf(QString(), kSlash), QString());
}

TEST(PathParts, FolderOfKeepsTheClosingSeparator)
{
    EXPECT_EQ(FolderOf(QStringLiteral("C:\\Pics\\sun.jpg"), kBackslash), QStringLiteral("C:\\Pics\\"));
    EXPECT_EQ(FolderOf(QStringLiteral("sun.jpg"), kBackslash), QString());
    EXPECT_EQ(FolderOf(QStringLiteral("C:\\"), kBackslash), QStringLiteral("C:\\"));
    EXPECT_EQ(FolderOf(QStringLiteral("/home/u/sun.jpg"), kSlash), QStringLiteral("/home/u/"));
    EXPECT_EQ(FolderOf(QStringLiteral("/sun.jpg"), kSlash), QStringLiteral("/"));
    EXPECT_EQ(FolderOf(QString(), kSlash), QString());
}

TEST(PathParts, UseTheNativeSeparatorByDefault)
{
    const QString path = QStringLiteral("a") + NativeSeparator() + QStringLiteral("b.txt");
    EXPECT_EQ(FileNameOf(path), QStringLiteral("b.txt"));
    EXPECT_EQ(FolderOf(path), QStringLiteral("a") + NativeSeparator());
}

TEST(PathTests, ExistenceAndFolderTests)
{
    TempTree tree;
    const QString file = tree.WriteFile(QStringLiteral("f.txt"), "x");
    const QString folder = tree.MakeFolder(QStringLiteral("sub"));
    const QString missing = tree.Path(QStringLiteral("missing"));

    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(folder));
    EXPECT_TRUE(PathExists(folder + NativeSeparator()));
    EXPECT_FALSE(PathExists(missing));
    EXPECT_FALSE(PathExists(QString()));

    EXPECT_TRUE(IsFolder(folder));
    EXPECT_TRUE(IsFolder(folder + NativeSeparator()));
    EXPECT_FALSE(IsFolder(file));
    EXPECT_FALSE(IsFolder(missing));
    EXPECT_FALSE(IsFolder(QString()));
}

// Qt's routines read a name that is not UTF-8 with replacement marks; the
// program finds the real name again. URLs carry the bytes both ways. Windows
// names are UTF-16, never bytes.
#ifndef Q_OS_WIN
TEST(PathTexts, NamesThatAreNotUtf8SurviveQtAndUrls)
{
    TempTree tree;
    const QString odd = QStringLiteral("caf") + QChar(0xDCE9);
    const QString file = tree.WriteFile(odd + QStringLiteral("/x") + QChar(0xDCFF) + QStringLiteral(".txt"), "x");
    const QString asQtReadsIt = tree.Path(QStringLiteral("caf\ufffd/x\ufffd.txt"));
    EXPECT_EQ(PathFromQt(asQtReadsIt), file);
    EXPECT_EQ(PathFromQt(tree.Path(QStringLiteral("gone\ufffd"))), tree.Path(QStringLiteral("gone\ufffd")));
    EXPECT_EQ(LocalPathsOfUriList(FileUrlOf(file) + "\r\n"), QStringList{file});
}
#endif

TEST(PathTexts, ControlsAndStrayBytesAreShownAsReplacementMarks)
{
    EXPECT_EQ(ReadableText(QStringLiteral("a\nb") + QChar(0xDCE9)), QStringLiteral("a\ufffdb\ufffd"));
    // C1 controls too (a name read as Latin-1), up to the no-break space.
    EXPECT_EQ(ReadableText(QStringLiteral("\u007e\u007f\u0080x\u0085\u009f\u00a0")),
              QStringLiteral("~\ufffd\ufffdx\ufffd\ufffd\u00a0"));
    EXPECT_EQ(MessageLines(QStringLiteral("a\r\rb\nc\r\nd")), (QStringList {"a", "", "b\ufffdc", "d"}));
}

TEST(PathTexts, UriListsGiveLocalPaths)
{
    TempTree tree;
    const QString file = tree.WriteFile(QStringLiteral("caf\u00e9 100%.txt"), "x");
    EXPECT_EQ(LocalPathsOfUriList(FileUrlOf(file) + "\r\n"), QStringList{file});
    const QByteArray list = "# comment\r\nfile:///a%20b\r\nhttp://example.org/x\r\nfile://elsewhere/c\r\n"
                            "file://localhost/d%25\nfile:/e\r\nfile:///etc%00/passwd\r\n";
#ifdef Q_OS_WIN
    // A file on another host is a network path there.
    EXPECT_EQ(LocalPathsOfUriList(list), (QStringList{"\\a b", "\\\\elsewhere\\c", "\\d%", "\\e"}));
#else
    EXPECT_EQ(LocalPathsOfUriList(list), (QStringList{"/a b", "/d%", "/e"}));
#endif
}

// A build or portable folder keeps its files beside the program; a package
// keeps them in ../share/quorvex.
TEST(PathTests, TheDataFolderIsBesideTheProgramOrInShare)
{
    TempTree tree;
    tree.MakeFolder(QStringLiteral("portable/Samples"));
    EXPECT_EQ(DataFolderBeside(tree.Path(QStringLiteral("portable"))), tree.Path(QStringLiteral("portable")));
    EXPECT_EQ(DataFolderBeside(tree.Path(QStringLiteral("usr/bin"))), tree.Path(QStringLiteral("usr/share/quorvex")));
}

TEST(ForcedDelete, RemovesReadOnlyFilesAndIgnoresFailures)
{
    TempTree tree;
    const QString readOnly = tree.WriteFile(QStringLiteral("ro.txt"), "keep?");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
    DeleteFileForced(readOnly);
    EXPECT_FALSE(QFileInfo::exists(readOnly));

    EXPECT_NO_THROW(DeleteFileForced(tree.Path(QStringLiteral("missing.txt"))));
    EXPECT_NO_THROW(DeleteFileForced(QString()));
}

TEST(ForcedDelete, NeverTouchesAFolder)
{
    TempTree tree;
    const QString folder = tree.MakeFolder(QStringLiteral("keep"));
    tree.WriteFile(QStringLiteral("keep/inside.txt"), "x");
#ifdef Q_OS_WIN
    // Windows marks a folder by attributes, which Qt does not report as
    // permissions: hidden and system, as it keeps its own folders.
    const int marks = platform::kHidden | platform::kSystem;
    const auto marked = [&] { return (platform::FileAttributes(ToFsPath(folder)) & marks) == marks; };
    ASSERT_TRUE(::SetFileAttributesW(ToFsPath(folder).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
#else
    const auto marked = [&] { return !(QFileInfo(folder).permissions() & QFileDevice::WriteOwner); };
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
#endif
    ASSERT_TRUE(marked());
    DeleteFileForced(folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(marked());
    platform::MakeNormal(ToFsPath(folder));
}

TEST(ForcedDelete, DeletesALinkNotItsTarget)
{
    TempTree tree;
    const QString target = tree.WriteFile(QStringLiteral("target.txt"), "x");
    const QString link = tree.Path(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(target, link));
    DeleteFileForced(link);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(target));
}

// The desktop folder in a home folder of the test's own. Windows asks the
// shell, which no variable steers: there the test reads the real one.
class DesktopFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedHome_ = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(tree_.Path()));
    }
    void TearDown() override { qputenv("HOME", savedHome_); }

    TempTree tree_;
    QByteArray savedHome_;
};

TEST_F(DesktopFolderTest, EndsInTheSeparator)
{
#ifdef Q_OS_WIN
    const QString desktop = QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
#else
    const QString desktop = tree_.MakeFolder(QStringLiteral("Desktop"));
#endif
    EXPECT_EQ(DesktopFolder(), desktop + NativeSeparator());
}

#ifndef Q_OS_WIN
TEST_F(DesktopFolderTest, IsMadeWhenMissingAndFailsWhenItCannotBe)
{
    EXPECT_EQ(DesktopFolder(), tree_.Path(QStringLiteral("Desktop")) + NativeSeparator());
    EXPECT_TRUE(IsFolder(tree_.Path(QStringLiteral("Desktop"))));
    qputenv("HOME", QFile::encodeName(tree_.WriteFile(QStringLiteral("not-a-folder"))));
    EXPECT_THROW(DesktopFolder(), Failure);
}
#endif

// The names systems keep for themselves, in any letter case, and only those.
TEST(SystemNames, AreToldWithoutLetterCase)
{
    const struct {
        const char* name;
        bool folder;
        bool file;
    } cases[] = {
        {"$Recycle.Bin", true, false},  {"RECYCLER", true, false},        {"system volume information", true, false},
        {".Trash-1000", true, false},   {".trashes", true, false},        {"Lost+Found", true, false},
        {"FOUND.000", true, false},     {"found.123", true, false},       {"FOUND.1", false, false},
        {"FOUND.0001", false, false},   {"FOUND.00x", false, false},      {".Trash", false, false},
        {"lost+found2", false, false},  {"THUMBS.DB", false, true},       {"Desktop.ini", false, true},
        {".ds_store", false, true},     {"._song.mp3", false, true},      {"Thumbs.db.bak", false, false},
        {"_.mp3", false, false},        {"Music", false, false},
    };
    for (const auto& [name, folder, file] : cases) {
        const platform::NativeString native = ToFsPath(QString::fromLatin1(name)).native();
        EXPECT_EQ(IsSystemFolderName(native), folder) << name;
        EXPECT_EQ(IsSystemFileName(native), file) << name;
    }
}
