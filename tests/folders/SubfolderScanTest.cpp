#include "core/PathHelpers.h"
#include "platform/FileSystem.h"
#include "support/SubfolderScanFixture.h"
#include "support/YieldEveryStep.h"

#include <QDir>
#include <QDirIterator>
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

// A level of many folders is read on a few threads, and still comes in
// order, grouped by parent, each folder with its own files; the folders and
// files that systems keep are left out.
TEST_F(SubfolderScan, AWideTreeKeepsItsOrderAndEachFolderItsOwnFiles)
{
    QStringList level1, level2;
    for (int i = 0; i < 40; ++i) {
        const QString parent = QStringLiteral("W/%1").arg(i, 2, 10, QChar(u'0'));
        tree.WriteFile(parent + QStringLiteral("/own%1").arg(i), "x");
        tree.WriteFile(parent + QStringLiteral("/Thumbs.db"), "t");
        tree.MakeFolder(parent + QStringLiteral("/$RECYCLE.BIN/inside"));
        level1 << Folder(parent);
        for (const char* child : {"/a", "/b"})
            level2 << Folder(tree.MakeFolder(parent + QString::fromLatin1(child)).mid(tree.Path().size() + 1));
    }
    QStringList folders {Folder(QStringLiteral("W"))};
    FolderFiles files;
    GetSubDirectories2016(folders, true, dialogs, true, &files);
    EXPECT_EQ(folders, QStringList {Folder(QStringLiteral("W"))} + level1 + level2);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(files.value(level1[i]),
                  std::vector<platform::NativeString> {ToFsPath(QStringLiteral("own%1").arg(i)).native()}) << i;
    }
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
    QStringList names = {QString::fromUtf16(u"\u65e5\u672c"), QString::fromUtf16(u"\u041c\u0443\u0437\u044b\u043a\u0430"),
                         QStringLiteral("caf\u00e9")};
#ifndef Q_OS_WIN
    // A name Windows refuses, and a byte that is not UTF-8.
    names << QStringLiteral("what?") << QStringLiteral("caf") + QChar(0xDCE9);
#endif
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

TEST_F(SubfolderScan, AMissingChosenFolderStaysAndGivesNothing)
{
    const QString missing = tree.Path(QStringLiteral("missing"));
    EXPECT_EQ(Scan(missing), QStringList{missing + kSep});
}
