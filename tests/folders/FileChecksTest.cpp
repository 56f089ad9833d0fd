#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(IsExistingFile, OnlyOpenableFiles)
{
    TempTree tree;
    const QString file = tree.WriteFile(QStringLiteral("a.txt"), "a");
    const QString link = tree.Path(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(file, link));
    const QString pipe = tree.Path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_TRUE(IsExistingFile(link));
    EXPECT_FALSE(IsExistingFile(tree.Path()));
    EXPECT_FALSE(IsExistingFile(tree.Path(QStringLiteral("missing"))));
    EXPECT_FALSE(IsExistingFile(pipe));
    EXPECT_FALSE(IsExistingFile(QString()));
    // Wildcards never name a file on Windows; elsewhere they are characters
    // of a name like any other.
#ifdef Q_OS_WIN
    constexpr bool kWildcardsNameFiles = false;
#else
    constexpr bool kWildcardsNameFiles = true;
#endif
    EXPECT_EQ(IsExistingFile(tree.WriteFile(QStringLiteral("what?.txt"), "w")), kWildcardsNameFiles);
    EXPECT_EQ(IsExistingFile(tree.WriteFile(QStringLiteral("star*.txt"), "s")), kWildcardsNameFiles);
}

TEST(IsBadPath, WhenTheAttributesCannotBeRead)
{
    TempTree tree;
    EXPECT_FALSE(IsBadPath(tree.WriteFile(QStringLiteral("list.txt"), "x")));
    EXPECT_FALSE(IsBadPath(tree.Path()));
    EXPECT_TRUE(IsBadPath(tree.Path(QStringLiteral("gone.txt"))));
    EXPECT_TRUE(IsBadPath(QString()));
}

TEST(GetFilesInFolder, ListsFilesHiddenOnesIncludedButNoFolders)
{
    TempTree tree;
    EXPECT_TRUE(GetFilesInFolder(tree.MakeFolder(QStringLiteral("empty")), QStringLiteral("*.*")).isEmpty());

    for (int i = 0; i < 130; ++i)
        tree.WriteFile(QStringLiteral("many/f%1.txt").arg(i), "x");
    tree.WriteFile(QStringLiteral("many/.hidden"), "h");
    tree.WriteFile(QStringLiteral("many/no-extension"), "n");
    tree.MakeFolder(QStringLiteral("many/sub.dir"));
    const QString folder = tree.Path(QStringLiteral("many"));

    const QStringList all = GetFilesInFolder(folder, QStringLiteral("*.*"));
    EXPECT_EQ(all.size(), 132);
    EXPECT_TRUE(all.contains(QStringLiteral(".hidden")));
    EXPECT_TRUE(all.contains(QStringLiteral("no-extension")));
    EXPECT_FALSE(all.contains(QStringLiteral("sub.dir")));
    EXPECT_EQ(GetFilesInFolder(folder + NativeSeparator(), QStringLiteral("*.*")), all);
    EXPECT_EQ(GetFilesInFolder(folder, QStringLiteral("f1?.txt")).size(), 10);
    EXPECT_TRUE(GetFilesInFolder(tree.Path(QStringLiteral("missing")), QStringLiteral("*.*")).isEmpty());
}
