#include "core/Failure.h"
#include "core/FileUrl.h"
#include "core/PathHelpers.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

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
// program finds the real name again. URLs carry the bytes both ways.
TEST(PathTexts, NamesThatAreNotUtf8SurviveQtAndUrls)
{
    TempTree tree;
    const QString odd = QStringLiteral("caf") + QChar(0xDCE9);
    const QString file = tree.WriteFile(odd + QStringLiteral("/x") + QChar(0xDCFF) + QStringLiteral(".txt"), "x");
    const QString asQtReadsIt = tree.Path(QStringLiteral("caf\ufffd/x\ufffd.txt"));
    EXPECT_EQ(PathFromQt(asQtReadsIt), file);
    EXPECT_EQ(PathFromQt(tree.Path(QStringLiteral("gone\ufffd"))), tree.Path(QStringLiteral("gone\ufffd")));
    EXPECT_EQ(ReadableText(QStringLiteral("a\nb") + QChar(0xDCE9)), QStringLiteral("a\ufffdb\ufffd"));
    // C1 controls too (a name read as Latin-1), up to the no-break space.
    EXPECT_EQ(ReadableText(QStringLiteral("\u007e\u007f\u0080x\u0085\u009f\u00a0")),
              QStringLiteral("~\ufffd\ufffdx\ufffd\ufffd\u00a0"));
    EXPECT_EQ(MessageLines(QStringLiteral("a\r\rb\nc\r\nd")), (QStringList {"a", "", "b\ufffdc", "d"}));

    EXPECT_EQ(LocalPathsOfUriList(FileUrlOf(file) + "\r\n"), QStringList{file});
    const QByteArray list = "# comment\r\nfile:///a%20b\r\nhttp://example.org/x\r\nfile://elsewhere/c\r\n"
                            "file://localhost/d%25\nfile:/e\r\n";
    EXPECT_EQ(LocalPathsOfUriList(list), (QStringList{"/a b", "/d%", "/e"}));
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
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    DeleteFileForced(folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QFileInfo(folder).permissions() & QFileDevice::WriteOwner, QFileDevice::Permissions());
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
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
    const QString desktop = tree_.MakeFolder(QStringLiteral("Desktop"));
    EXPECT_EQ(DesktopFolder(), desktop + NativeSeparator());
}

TEST_F(DesktopFolderTest, IsMadeWhenMissingAndFailsWhenItCannotBe)
{
    EXPECT_EQ(DesktopFolder(), tree_.Path(QStringLiteral("Desktop")) + NativeSeparator());
    EXPECT_TRUE(IsFolder(tree_.Path(QStringLiteral("Desktop"))));
    qputenv("HOME", QFile::encodeName(tree_.WriteFile(QStringLiteral("not-a-folder"))));
    EXPECT_THROW(DesktopFolder(), Failure);
}
