#include "core/PathHelpers.h"
#include "folders/FileChecks.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

TEST(IsExistingFile, OnlyOpenableFiles)
{
    TempTree tree;
    const QString file = tree.WriteFile(QStringLiteral("a.txt"), "a");

    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_FALSE(IsExistingFile(tree.Path()));
    EXPECT_FALSE(IsExistingFile(tree.Path(QStringLiteral("missing"))));
    EXPECT_FALSE(IsExistingFile(QString()));
    // Wildcards never name a file on Windows, not even one they would match;
    // elsewhere they are characters of a name like any other.
#ifdef Q_OS_WIN
    tree.WriteFile(QStringLiteral("whatX.txt"), "w");
    tree.WriteFile(QStringLiteral("starX.txt"), "s");
    constexpr bool kWildcardsNameFiles = false;
#else
    tree.WriteFile(QStringLiteral("what?.txt"), "w");
    tree.WriteFile(QStringLiteral("star*.txt"), "s");
    constexpr bool kWildcardsNameFiles = true;
#endif
    EXPECT_EQ(IsExistingFile(tree.Path(QStringLiteral("what?.txt"))), kWildcardsNameFiles);
    EXPECT_EQ(IsExistingFile(tree.Path(QStringLiteral("star*.txt"))), kWildcardsNameFiles);
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
