// The scans that need POSIX: symbolic links among the folders, and folders
// that cannot be listed for their permission bits.
#include "support/Permissions.h"
#include "support/SubfolderScanFixture.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kSep = NativeSeparator();

} // namespace

// Only a real loop ends the descent: a folder that is its own ancestor on
// the path walked to it. A folder reached by two paths that form no loop is
// listed under both, with what lies below it; a linked folder outside the
// tree is a folder like any other.
TEST(SubfolderScanLinks, OnlyLoopsEndTheDescent)
{
    const struct {
        QStringList links; // "link=target", target relative to the tree or "."
        QStringList expected;
    } cases[] = {
        {{"A/Link=A/Real"}, {"A", "A/Link", "A/Link/Inner", "A/Real", "A/Real/Inner"}},
        {{"A/Real/Inner/up=A"}, {"A", "A/Real", "A/Real/Inner"}},
        {{"A/Real/self=."}, {"A", "A/Real", "A/Real/Inner"}},
        {{"A/Real/Inner/out=outside"}, {"A", "A/Real", "A/Real/Inner", "A/Real/Inner/out", "A/Real/Inner/out/O"}},
        {{"A/Link=A/Real", "A/Real/Inner/up=A/Real"},
         {"A", "A/Link", "A/Link/Inner", "A/Real", "A/Real/Inner"}},
    };
    for (const auto& [links, relative] : cases) {
        TempTree tree;
        tree.MakeFolder(QStringLiteral("A/Real/Inner"));
        tree.MakeFolder(QStringLiteral("outside/O"));
        for (const QString& link : links) {
            const QString target = link.section(u'=', 1);
            ASSERT_TRUE(QFile::link(target == u'.' ? target : tree.Path(target), tree.Path(link.section(u'=', 0, 0))));
        }
        QStringList folders{tree.Path(QStringLiteral("A")) + kSep};
        ScriptedDialogs dialogs;
        GetSubDirectories2016(folders, true, dialogs);
        QStringList expected;
        for (const QString& folder : relative)
            expected << tree.Path(folder) + kSep;
        folders.sort();
        expected.sort();
        EXPECT_EQ(folders, expected) << links.join(u' ').toStdString();
    }
}

// Links that branch again and again would multiply the paths without end:
// a folder is entered through 8 links at most, and always under its own name.
TEST_F(SubfolderScan, AFolderIsEnteredThroughEightLinksAtMost)
{
    tree.MakeFolder(QStringLiteral("A/X/Inner"));
    for (int i = 0; i < 11; ++i)
        ASSERT_TRUE(QFile::link(tree.Path(QStringLiteral("A/X")), tree.Path(QStringLiteral("A/L%1").arg(i))));
    const QStringList found = Scan(tree.Path(QStringLiteral("A")));
    EXPECT_EQ(found.size(), 1 + 9 + 9) << found.join(u' ').toStdString();
    EXPECT_TRUE(found.contains(Folder(QStringLiteral("A/X/Inner"))));
}

TEST_F(SubfolderScan, DeniedListingsDropTheirFolders)
{
    tree.MakeFolder(QStringLiteral("A/open/inside"));
    tree.MakeFolder(QStringLiteral("A/shut1/hidden-below"));
    tree.MakeFolder(QStringLiteral("A/shut2/hidden-below"));
    SetMode(tree.Path(QStringLiteral("A/shut1")), 0);
    SetMode(tree.Path(QStringLiteral("A/shut2")), 0);
    QStringList found;
    {
        PermissionsApply permissions;
        ASSERT_FALSE(CanList(tree.Path(QStringLiteral("A/shut1")))) << "permissions do not apply to this test";
        found = Scan(tree.Path(QStringLiteral("A")));
    }
    SetMode(tree.Path(QStringLiteral("A/shut1")), 0755);
    SetMode(tree.Path(QStringLiteral("A/shut2")), 0755);
    EXPECT_EQ(found, (QStringList{Folder(QStringLiteral("A")), Folder(QStringLiteral("A/open")),
                                  Folder(QStringLiteral("A/open/inside"))}));
}

TEST_F(SubfolderScan, AChosenFolderThatCannotBeListedLeavesTheList)
{
    tree.MakeFolder(QStringLiteral("A/B"));
    SetMode(tree.Path(QStringLiteral("A")), 0);
    QStringList found;
    {
        PermissionsApply permissions;
        ASSERT_FALSE(CanList(tree.Path(QStringLiteral("A"))));
        found = Scan(tree.Path(QStringLiteral("A")));
    }
    SetMode(tree.Path(QStringLiteral("A")), 0755);
    EXPECT_TRUE(found.isEmpty());
}
