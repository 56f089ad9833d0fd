#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "support/AddFoldersFixture.h"
#include "support/YieldEveryStep.h"

#include <QDir>
#include <QDirIterator>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kSep = NativeSeparator();
const QString kPickerTitle = QStringLiteral("Please select folder:");

} // namespace

TEST_F(AddFolders, AddFolderAppendsThePickedFolderAndRebuilds)
{
    const QString source = SourceWithAFile();
    fixture.dialogs.folderAnswers = {source, fixture.tree.Path(QStringLiteral("out"))};
    fixture.random.values = {0.0f};
    Click(form->PushButton8);
    EXPECT_EQ(form->SourceList->Rows(), QStringList{source + kSep});
    EXPECT_EQ(form->CopyList->Count(), 0); // no destination yet
    Click(form->PushButton3);
    EXPECT_EQ(form->DestinationList->Rows(), QStringList{fixture.tree.Path(QStringLiteral("out")) + kSep});
    EXPECT_EQ(form->CopyList->Count(), 1);
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
    ASSERT_EQ(fixture.dialogs.shown.size(), 2u);
    EXPECT_EQ(fixture.dialogs.shown[0].kind, QStringLiteral("folder"));
    EXPECT_EQ(fixture.dialogs.shown[0].title, kPickerTitle);
}

TEST_F(AddFolders, RootsStayAsTheyAreAndDoubledSeparatorsCollapse)
{
    const QString root = QDir::toNativeSeparators(QDir::rootPath()); // "/", or "C:\" on Windows
    fixture.dialogs.folderAnswers = {root, root + "srv" + kSep + kSep + "music", root + "srv" + kSep + "music"};
    Click(form->PushButton3);
    Click(form->PushButton3);
    Click(form->PushButton3);
    EXPECT_EQ(form->DestinationList->Rows(),
              (QStringList{root, root + "srv" + kSep + "music" + kSep, root + "srv" + kSep + "music" + kSep}));
}

TEST_F(AddFolders, ACancelAddsNothingButStillRebuilds)
{
    form->SourceList->Append(SourceWithAFile());
    form->DestinationList->Append(fixture.tree.Path(QStringLiteral("out")));
    fixture.dialogs.folderAnswers = {QString(), QString()};
    fixture.random.values = {0.0f, 0.0f};
    Click(form->PushButton8);
    Click(form->PushButton6);
    EXPECT_EQ(form->SourceList->Count(), 1);
    EXPECT_EQ(fixture.random.Used(), 2u);
    EXPECT_EQ(form->CopyList->Count(), 1);
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}

TEST_F(AddFolders, ThePickerOpensAtTheStoredStartFolderReadEveryTime)
{
    fixture.dialogs.folderAnswers = {QString(), QString(), QString()};
    Click(form->PushButton8);
    StoreStartFolder(QStringLiteral("/srv/first"));
    Click(form->PushButton5);
    StoreStartFolder(QStringLiteral("/srv/second"));
    Click(form->PushButton3);
    ASSERT_EQ(fixture.dialogs.shown.size(), 3u);
    EXPECT_EQ(fixture.dialogs.shown[0].text, QString()); // the start folder
    EXPECT_EQ(fixture.dialogs.shown[1].text, QStringLiteral("/srv/first"));
    EXPECT_EQ(fixture.dialogs.shown[2].text, QStringLiteral("/srv/second"));
}

TEST_F(AddFolders, AddAllSubfoldersAddsTheTreeBreadthFirst)
{
    fixture.tree.MakeFolder(QStringLiteral("A/B/D"));
    fixture.tree.MakeFolder(QStringLiteral("A/C"));
    form->SourceList->Append(QStringLiteral("earlier"));
    fixture.dialogs.folderAnswers = {fixture.tree.Path(QStringLiteral("A"))};
    Click(form->PushButton6);
    QStringList level1;
    QDirIterator it(fixture.tree.Path(QStringLiteral("A")), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext())
        level1 << QDir::toNativeSeparators(it.next()) + kSep;
    const QStringList expected = QStringList{QStringLiteral("earlier"), fixture.tree.Path("A") + kSep} + level1
        + QStringList{fixture.tree.Path("A/B/D") + kSep};
    EXPECT_EQ(form->SourceList->Rows(), expected);
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}


TEST_F(AddFolders, AScanStartedDuringAnotherScansYieldLeavesBothWhole)
{
    fixture.tree.MakeFolder(QStringLiteral("S/S1/S2"));
    fixture.tree.MakeFolder(QStringLiteral("D/D1/D2"));
    fixture.dialogs.folderAnswers = {fixture.tree.Path(QStringLiteral("S")), fixture.tree.Path(QStringLiteral("D"))};
    YieldEveryStep everyStep;
    bool started = false;
    bool busyDuringInner = false;
    QTimer::singleShot(0, form, [&] {
        started = true;
        Click(form->PushButton5);
        busyDuringInner = form->IsBusy(); // the outer scan is still running
    });
    Click(form->PushButton6);
    ASSERT_TRUE(started);
    EXPECT_TRUE(busyDuringInner);
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{fixture.tree.Path("S") + kSep, fixture.tree.Path("S/S1") + kSep,
                                                     fixture.tree.Path("S/S1/S2") + kSep}));
    EXPECT_EQ(form->DestinationList->Rows(), (QStringList{fixture.tree.Path("D") + kSep, fixture.tree.Path("D/D1") + kSep,
                                                          fixture.tree.Path("D/D1/D2") + kSep}));
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}

class LoadListFiles : public AddFolders {};

TEST_F(LoadListFiles, LoadsEveryChosenFileInOrder)
{
    const QString first = fixture.tree.WriteFile(QStringLiteral("lists/a.txt"), "/m1\r\n/m2\r\n");
    const QString second = fixture.tree.WriteFile(QStringLiteral("lists/b.txt"), "/m3\n");
    form->SourceList->Append(QStringLiteral("kept"));
    fixture.dialogs.fileAnswers = {{first, second}, {first}};
    Click(form->PushButton1);
    Click(form->PushButton1);
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{"kept", "/m1", "/m2", "/m3", "", "/m1", "/m2"}));
    ASSERT_EQ(fixture.dialogs.shown.size(), 2u);
    EXPECT_EQ(fixture.dialogs.shown[0].kind, QStringLiteral("files"));
    EXPECT_EQ(fixture.dialogs.shown[0].title, QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"));
    EXPECT_EQ(fixture.dialogs.shown[0].text, QStringLiteral("All Files (*.*)"));
}

TEST_F(LoadListFiles, TheDestinationCommandGivesNoticeFirstEveryTime)
{
    const QString list = fixture.tree.WriteFile(QStringLiteral("dests.txt"), "/d1\r\n");
    fixture.dialogs.fileAnswers = {{list}, {}};
    Click(form->PushButton10);
    Click(form->PushButton10);
    EXPECT_EQ(form->DestinationList->Rows(), QStringList{QStringLiteral("/d1")});
    ASSERT_EQ(fixture.dialogs.shown.size(), 4u);
    for (int i : {0, 2}) {
        EXPECT_EQ(fixture.dialogs.shown[i].text, QStringLiteral("Load a list of destination folders from a text file."));
        EXPECT_EQ(fixture.dialogs.shown[i + 1].kind, QStringLiteral("files"));
    }
}

TEST_F(LoadListFiles, ABadPathIsNamedAndTheOthersStillLoad)
{
    const QString good = fixture.tree.WriteFile(QStringLiteral("lists/good.txt"), "/g\r\n");
    const QString gone = fixture.tree.Path(QStringLiteral("lists/gone.txt"));
    form->SourceList->Append(SourceWithAFile());
    form->DestinationList->Append(QStringLiteral("/out"));
    fixture.dialogs.fileAnswers = {{gone, good}};
    fixture.random.values = {0.0f};
    Click(form->PushButton1);
    EXPECT_EQ(form->SourceList->Rows().last(), QStringLiteral("/g"));
    ASSERT_FALSE(fixture.dialogs.Messages().isEmpty());
    EXPECT_EQ(fixture.dialogs.Messages().first(),
              gone + QStringLiteral("\r\rwas not added because it has bad characters in the filename."));
    EXPECT_EQ(fixture.random.Used(), 1u); // the rebuild ran
}

TEST_F(LoadListFiles, ACancelStillRebuilds)
{
    form->SourceList->Append(SourceWithAFile());
    form->DestinationList->Append(QStringLiteral("/out"));
    fixture.dialogs.fileAnswers = {{}};
    fixture.random.values = {0.0f};
    Click(form->PushButton1);
    EXPECT_EQ(form->SourceList->Count(), 1);
    EXPECT_EQ(form->CopyList->Count(), 1);
}

TEST_F(LoadListFiles, TooManyFilesEndsTheCommandWithoutRebuilding)
{
    const QString list = fixture.tree.WriteFile(QStringLiteral("l.txt"), "/x\r\n");
    form->SourceList->Append(SourceWithAFile());
    form->DestinationList->Append(QStringLiteral("/out"));
    QStringList many;
    for (int i = 0; i < 6000; ++i)
        many << list;
    fixture.dialogs.fileAnswers = {many};
    Click(form->PushButton1);
    EXPECT_EQ(fixture.dialogs.Messages(),
              QStringList{QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the "
                                         "\"Add All\" button.")});
    EXPECT_EQ(form->SourceList->Count(), 1);
    EXPECT_EQ(form->CopyList->Count(), 0);
    EXPECT_EQ(fixture.random.Used(), 0u);
}
