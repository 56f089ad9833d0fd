#include "core/PathHelpers.h"
#include "folders/SubfolderScan.h"
#include "platform/FileSystem.h"
#include "support/Permissions.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/YieldEveryStep.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString kSep = NativeSeparator();

// The subfolders of a folder in the file system's own listing order, as an
// independent reader sees them.
QStringList SubfoldersInListingOrder(const QString& folder)
{
    QStringList paths;
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext())
        paths << QDir::toNativeSeparators(it.next()) + kSep;
    return paths;
}

class SubfolderScan : public ::testing::Test {
protected:
    QStringList Scan(const QString& top, bool recurse = true)
    {
        QStringList folders{top + kSep};
        GetSubDirectories2016(folders, recurse, dialogs);
        EXPECT_TRUE(dialogs.shown.empty());
        return folders;
    }

    QString Folder(const QString& relative) { return tree.Path(relative) + kSep; }

    TempTree tree;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(SubfolderScan, AFolderWithoutSubfoldersGivesItselfAlone)
{
    tree.WriteFile(QStringLiteral("A/file.txt"), "f");
    EXPECT_EQ(Scan(tree.Path(QStringLiteral("A"))), QStringList{Folder(QStringLiteral("A"))});
}

TEST_F(SubfolderScan, GoesBreadthFirstGroupedByParent)
{
    for (const char* folder : {"A/B/D", "A/C/E/F", "A/B/G"})
        tree.MakeFolder(QString::fromLatin1(folder));
    const QStringList level1 = SubfoldersInListingOrder(tree.Path(QStringLiteral("A")));
    QStringList level2;
    for (const QString& parent : level1)
        level2 << SubfoldersInListingOrder(parent.chopped(1));
    const QStringList expected = QStringList{Folder(QStringLiteral("A"))} + level1 + level2
        + QStringList{Folder(QStringLiteral("A/C/E/F"))};
    EXPECT_EQ(Scan(tree.Path(QStringLiteral("A"))), expected);
    EXPECT_EQ(expected.size(), 7);
}

TEST_F(SubfolderScan, WithoutRecursionOnlyTheFirstLevel)
{
    tree.MakeFolder(QStringLiteral("A/B/D"));
    EXPECT_EQ(Scan(tree.Path(QStringLiteral("A")), false),
              (QStringList{Folder(QStringLiteral("A")), Folder(QStringLiteral("A/B"))}));
}

TEST_F(SubfolderScan, HiddenFoldersAreEnteredAndNothingIsProtected)
{
    tree.MakeFolder(QStringLiteral("A/.hidden/inner"));
    EXPECT_EQ(Scan(tree.Path(QStringLiteral("A"))),
              (QStringList{Folder(QStringLiteral("A")), Folder(QStringLiteral("A/.hidden")),
                           Folder(QStringLiteral("A/.hidden/inner"))}));
    EXPECT_FALSE(platform::IsProtectedFolder(ToFsPath(tree.Path(QStringLiteral("A/.hidden")))));
}

// Names outside the ANSI code page are left out on Windows only: on POSIX a
// folder the file system holds is scanned whatever its characters, bytes that
// are not UTF-8 included.
TEST_F(SubfolderScan, NamesAreJudgedOnlyWhereTheCodePageRules)
{
    const QStringList names = {QString::fromUtf16(u"\u65e5\u672c"), QString::fromUtf16(u"\u041c\u0443\u0437\u044b\u043a\u0430"),
                               QStringLiteral("what?"), QStringLiteral("caf\u00e9"),
                               QStringLiteral("caf") + QChar(0xDCE9)};
    for (const QString& name : names)
        tree.MakeFolder(QStringLiteral("A/") + name + QStringLiteral("/below"));
    QStringList found = Scan(tree.Path(QStringLiteral("A")));
    QStringList expected = {Folder(QStringLiteral("A"))};
    for (const QString& name : names) {
#ifdef Q_OS_WIN
        if (name != QStringLiteral("caf\u00e9"))
            continue;
#endif
        expected << Folder(QStringLiteral("A/") + name) << Folder(QStringLiteral("A/") + name + QStringLiteral("/below"));
    }
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
}

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

TEST_F(SubfolderScan, AFolderThatVanishesDuringTheScanIsLeftOut)
{
    tree.MakeFolder(QStringLiteral("A/B/D"));
    tree.MakeFolder(QStringLiteral("A/C/E"));
    YieldEveryStep everyStep;
    // Window events run when A is entered and after each of its two entries
    // is read; at the third run both are listed, and C goes away.
    int yields = 0;
    QTimer remover;
    QObject::connect(&remover, &QTimer::timeout, [&] {
        if (++yields == 3)
            QDir(tree.Path(QStringLiteral("A/C"))).removeRecursively();
    });
    remover.start(0);
    EXPECT_EQ(Scan(tree.Path(QStringLiteral("A"))),
              (QStringList{Folder(QStringLiteral("A")), Folder(QStringLiteral("A/B")), Folder(QStringLiteral("A/B/D"))}));
    EXPECT_GE(yields, 3);
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

TEST_F(SubfolderScan, AMissingChosenFolderStaysAndGivesNothing)
{
    const QString missing = tree.Path(QStringLiteral("missing"));
    EXPECT_EQ(Scan(missing), QStringList{missing + kSep});
}
