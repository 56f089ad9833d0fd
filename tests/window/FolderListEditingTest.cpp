#include "core/RowListModel.h"
#include "support/FormFixture.h"

#include "core/SummaryText.h"
#include "window/SummaryBox.h"
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

class FolderListEditing : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = &fixture.Open();
        fixture.ShowActive();
    }

    // Selects a row with a real click.
    void Select(QTreeView* view, int row)
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowCentre(*view, row));
        ASSERT_EQ(view->selectionModel()->selectedRows().value(0).row(), row);
    }

    void DoubleClick(QTreeView* view, int row)
    {
        const QPoint at = RowCentre(*view, row);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    void PressDelete(QTreeView* view, Qt::KeyboardModifiers modifiers = {})
    {
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete, modifiers);
    }

    FormFixture fixture;
    Form1* form = nullptr;
};

TEST_F(FolderListEditing, DoubleClickRemovesTheSelectedRowOfTheFolderLists)
{
    form->SourceList->Append(QStringList{"/a/", "/b/", "/c/"});
    DoubleClick(form->ListView1, 1);
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{"/a/", "/c/"}));

    form->DestinationList->Append(QStringList{"/d/", "/e/"});
    DoubleClick(form->ListView2, 0);
    EXPECT_EQ(form->DestinationList->Rows(), QStringList{"/e/"});
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(FolderListEditing, OfTwoIdenticalRowsOneStays)
{
    form->DestinationList->Append(QStringList{"/same/", "/same/"});
    DoubleClick(form->ListView2, 1);
    EXPECT_EQ(form->DestinationList->Rows(), QStringList{"/same/"});
}

TEST_F(FolderListEditing, DeleteKeyRemovesTheSelectedRowWhateverTheModifiers)
{
    form->DestinationList->Append(QStringList{"/d1/", "/d2/", "/d3/"});
    Select(form->ListView2, 2);
    PressDelete(form->ListView2, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(form->DestinationList->Rows(), (QStringList{"/d1/", "/d2/"}));

    form->SourceList->Append(QStringList{"/s1/", "/s2/"});
    Select(form->ListView1, 0);
    PressDelete(form->ListView1, Qt::AltModifier);
    EXPECT_EQ(form->SourceList->Rows(), QStringList{"/s2/"});

    // Other keys leave the rows alone.
    form->ListView2->setFocus();
    QTest::keyClick(form->ListView2, Qt::Key_Backspace);
    QTest::keyClick(form->ListView2, Qt::Key_Space);
    EXPECT_EQ(form->DestinationList->Count(), 2);
}

TEST_F(FolderListEditing, DeletingACopyListRowLeavesTheSummary)
{
    form->CopyList->Append(QList<CopyRow>{CopyRowTo("/a", "/d/a"), CopyRowTo("/b", "/d/b")});
    form->Summary->SetLines({QStringLiteral("summary")});
    Select(form->ListView3, 0);
    PressDelete(form->ListView3);
    EXPECT_EQ(form->CopyList->Rows(), QStringList{"/b will be copied to /d/b"});
    EXPECT_EQ(form->CopyList->CopyRows(), QList<CopyRow>{CopyRowTo("/b", "/d/b")});
    EXPECT_EQ(form->Summary->Text(), QStringLiteral("summary\r\n"));
}

TEST_F(FolderListEditing, EmptyListsAndNoSelectionDoNothing)
{
    DoubleClick(form->ListView1, 0);
    PressDelete(form->ListView2);
    PressDelete(form->ListView3);
    form->DestinationList->Append(QStringList{"/d/"});
    form->ListView2->clearSelection();
    PressDelete(form->ListView2);
    EXPECT_EQ(form->DestinationList->Count(), 1);
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(FolderListEditing, WhileBusyRemovalsAndTheSourceClearWait)
{
    form->SourceList->Append(QStringList{"/s1/", "/s2/"});
    form->DestinationList->Append(QStringList{"/d1/", "/d2/"});
    form->CopyList->Append(QStringList{"r1", "r2"});
    form->Summary->SetLines({"r1", "r2"});
    Select(form->ListView1, 0);
    Select(form->ListView2, 0);
    Select(form->ListView3, 0);

    form->SetMousePointer(Form1::kBusyPointer);
    DoubleClick(form->ListView1, 0);
    DoubleClick(form->ListView2, 0);
    PressDelete(form->ListView1);
    PressDelete(form->ListView2);
    PressDelete(form->ListView3);
    QTest::mouseClick(form->PushButton4, Qt::LeftButton);
    EXPECT_EQ(form->SourceList->Count(), 2);
    EXPECT_EQ(form->DestinationList->Count(), 2);
    EXPECT_EQ(form->CopyList->Count(), 2);

    // The destination and copy list clear buttons act at once.
    QTest::mouseClick(form->PushButton7, Qt::LeftButton);
    QTest::mouseClick(form->PushButton9, Qt::LeftButton);
    EXPECT_EQ(form->DestinationList->Count(), 0);
    EXPECT_EQ(form->CopyList->Count(), 0);
    EXPECT_TRUE(form->Summary->Text().isEmpty());
    EXPECT_EQ(form->MousePointer(), Form1::kBusyPointer);
}

TEST_F(FolderListEditing, ClearingAFolderListKeepsTheCopyList)
{
    form->SourceList->Append(QStringList{"/s/"});
    form->DestinationList->Append(QStringList{"/d/"});
    form->CopyList->Append(QStringList{"/s/a will be copied to /d/a"});
    form->Summary->SetLines({"/s/a will be copied to /d/a"});

    QTest::mouseClick(form->PushButton4, Qt::LeftButton);
    QTest::mouseClick(form->PushButton7, Qt::LeftButton);
    EXPECT_EQ(form->SourceList->Count(), 0);
    EXPECT_EQ(form->DestinationList->Count(), 0);
    EXPECT_EQ(form->CopyList->Count(), 1);
    EXPECT_FALSE(form->Summary->Text().isEmpty());

    QTest::mouseClick(form->PushButton9, Qt::LeftButton);
    EXPECT_EQ(form->CopyList->Count(), 0);
    EXPECT_TRUE(form->Summary->Text().isEmpty());
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}
