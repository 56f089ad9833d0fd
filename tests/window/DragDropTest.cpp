#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "folders/DroppedPaths.h"
#include "platform/FileSystem.h"
#include "support/DragDropFixture.h"
#include "support/YieldEveryStep.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kSep = NativeSeparator();

QMimeData* FileList(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(path));
    data->setUrls(urls);
    return data;
}

} // namespace

TEST_F(DragDrop, OnlyFileListsAreAccepted)
{
    const std::unique_ptr<QMimeData> files(FileList({fixture.tree.WriteFile(QStringLiteral("a.txt"), "a")}));
    EXPECT_TRUE(DragOver(*files));
    QMimeData text;
    text.setText(QStringLiteral("/some/path"));
    EXPECT_FALSE(DragOver(text));
    Drop(text);
    EXPECT_EQ(form->SourceList->Count(), 0);
}

TEST_F(DragDrop, AFileIsAddedAsDelivered)
{
    const QString file = fixture.tree.WriteFile(QStringLiteral("photos/sun.jpg"), "s");
    const std::unique_ptr<QMimeData> data(FileList({file}));
    form->SourceList->Append(QStringLiteral("earlier"));
    Drop(*data);
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{QStringLiteral("earlier"), file}));
}

TEST_F(DragDrop, AFolderGivesItsFilesAndThoseBelowButNoRebuild)
{
    const QString a = fixture.tree.WriteFile(QStringLiteral("drop/a.txt"), "a");
    fixture.tree.WriteFile(QStringLiteral("drop/~tmp.txt"), "t");
    const QString b = fixture.tree.WriteFile(QStringLiteral("drop/sub/b.txt"), "b");
    form->DestinationList->Append(QStringLiteral("/out"));
    const std::unique_ptr<QMimeData> data(FileList({fixture.tree.Path(QStringLiteral("drop"))}));
    Drop(*data);
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{a, b}));
    EXPECT_EQ(form->CopyList->Count(), 0);
    EXPECT_EQ(fixture.random.Used(), 0u);
    // The same folder again adds its files again; two folders dropped at
    // once give each file once, in the order dropped.
    Drop(*data);
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{a, b, a, b}));
    const QString c = fixture.tree.WriteFile(QStringLiteral("more/c.txt"), "c");
    fixture.tree.WriteFile(QStringLiteral("more/Thumbs.db"), "t");
    form->SourceList->Clear();
    const std::unique_ptr<QMimeData> both(FileList({fixture.tree.Path(QStringLiteral("drop")), fixture.tree.Path(QStringLiteral("more"))}));
    Drop(*both);
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{a, b, c}));
}

TEST_F(DragDrop, HiddenArchiveFilesAreLeftOutUnlessReadOnly)
{
    const QString plain = fixture.tree.WriteFile(QStringLiteral("h/plain.txt"), "p");
    const QString hidden = fixture.tree.WriteFile(QStringLiteral("h/.hidden"), "h");
    const QString readOnlyHidden = fixture.tree.WriteFile(QStringLiteral("h/.kept"), "k");
    // The leading "." hides them on POSIX; Windows keeps an attribute.
    for (const QString& path : {hidden, readOnlyHidden})
        ASSERT_TRUE(platform::MarkHidden(ToFsPath(path))) << path.toStdString();
    ASSERT_TRUE(QFile::setPermissions(readOnlyHidden, QFileDevice::ReadOwner));
    QStringList rows = RowsForDroppedPaths({fixture.tree.Path(QStringLiteral("h"))}, fixture.dialogs);
    rows.sort();
    EXPECT_EQ(rows, (QStringList{readOnlyHidden, plain}));
}


class MovingRows : public DragDrop {
protected:
    void SetUp() override
    {
        DragDrop::SetUp();
        form->SourceList->Append(QStringList{"row1", "row2", "row3", "row4", "row5"});
    }

    QPoint At(int row) { return RowCentre(*form->ListView1, row); }
};

TEST_F(MovingRows, TheDraggedTextTravelsFromRowToRow)
{
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(1));
    EXPECT_TRUE(form->Dragging);
    EXPECT_EQ(form->DraggedItem, 1);
    QTest::mouseMove(viewport, At(2));
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{"row1", "row3", "row2", "row4", "row5"}));
    EXPECT_EQ(form->DraggedItem, 2);
    EXPECT_EQ(form->ListView1->currentIndex().row(), 2);
    QTest::mouseMove(viewport, At(3));
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{"row1", "row3", "row4", "row2", "row5"}));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(3));
    EXPECT_FALSE(form->Dragging);
    EXPECT_EQ(form->DraggedItem, 3);

    // Without a button held, moves change nothing.
    QTest::mouseMove(viewport, At(0));
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{"row1", "row3", "row4", "row2", "row5"}));
}

TEST_F(MovingRows, IdenticalTextsAreNeverExchangedAndEmptySpaceChangesNothing)
{
    form->SourceList->SetText(2, QStringLiteral("row2"));
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(1));
    QTest::mouseMove(viewport, At(2));
    EXPECT_EQ(form->DraggedItem, 1);
    QTest::mouseMove(viewport, QPoint(At(4).x(), viewport->height() - 2));
    EXPECT_EQ(form->SourceList->Rows(), (QStringList{"row1", "row2", "row2", "row4", "row5"}));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(1));
}

TEST_F(MovingRows, TheDragPointerShowsOnlyWhileAButtonIsHeld)
{
    fixture.tree.WriteFile(QStringLiteral("drag.ico"), [] {
        QFile icon(QStringLiteral(QUORVEX_SOURCE_DIR "/data/drag.ico"));
        return icon.open(QIODevice::ReadOnly) ? icon.readAll() : QByteArray();
    }());
    form = &fixture.Open();
    fixture.ShowActive();
    viewport = form->ListView1->viewport();
    form->SourceList->Append(QStringList{"a", "b"});
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(0));
    EXPECT_TRUE(viewport->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(viewport->cursor().pixmap().size(), QSize(32, 32));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(0));
    EXPECT_FALSE(viewport->testAttribute(Qt::WA_SetCursor));
    // The hourglass of a running command shows over the list.
    form->SetMousePointer(Form1::kBusyPointer);
    QTest::mouseMove(viewport, At(1));
    EXPECT_EQ(form->MousePointer(), Form1::kBusyPointer);
}

TEST_F(MovingRows, RowsScrollIntoViewNearTheScreensTopAndBottom)
{
    QStringList many;
    for (int i = 6; i <= 40; ++i)
        many << QStringLiteral("row%1").arg(i);
    form->SourceList->Append(many);
    QScrollBar* bar = form->ListView1->verticalScrollBar();
    // Put the pointer's row at a chosen height on the screen.
    const auto moveWindowSoRowIsAt = [&](int row, int screenY) {
        const int now = viewport->mapToGlobal(At(row)).y();
        form->move(form->x(), form->y() + screenY - now);
        QApplication::processEvents();
        ASSERT_EQ(viewport->mapToGlobal(At(row)).y(), screenY);
    };
    const int lastVisible = form->ListView1->indexAt(QPoint(4, viewport->height() - 4)).row();
    ASSERT_GT(lastVisible, 1);

    // Between 305 and 364 nothing scrolls.
    moveWindowSoRowIsAt(lastVisible, 330);
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(lastVisible - 1));
    QTest::mouseMove(viewport, At(lastVisible));
    EXPECT_EQ(bar->value(), 0);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(lastVisible));

    // From 365 down, the row below comes into view.
    moveWindowSoRowIsAt(lastVisible, 400);
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(lastVisible - 1));
    QTest::mouseMove(viewport, At(lastVisible));
    EXPECT_GT(bar->value(), 0);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(lastVisible));

    // Above 305, the row above comes into view.
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    const int firstVisible = form->ListView1->indexAt(QPoint(4, 4)).row();
    moveWindowSoRowIsAt(firstVisible, 200);
    const int before = bar->value();
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(firstVisible + 1));
    QTest::mouseMove(viewport, At(firstVisible));
    EXPECT_LT(bar->value(), before);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(firstVisible));
}

TEST_F(MovingRows, AMoveDuringAScanLeavesTheScanWhole)
{
    fixture.tree.MakeFolder(QStringLiteral("S/S1/S2"));
    fixture.dialogs.folderAnswers = {fixture.tree.Path(QStringLiteral("S"))};
    YieldEveryStep everyStep;
    QTimer::singleShot(0, form, [this] {
        QTest::mousePress(viewport, Qt::LeftButton, {}, At(0));
        QTest::mouseMove(viewport, At(1));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(1));
    });
    QTest::mouseClick(form->PushButton6, Qt::LeftButton);
    const QString top = fixture.tree.Path(QStringLiteral("S")) + kSep;
    EXPECT_EQ(form->SourceList->Rows().mid(5), (QStringList{top, top + "S1" + kSep, top + "S1" + kSep + "S2" + kSep}));
    EXPECT_EQ(form->SourceList->Rows().mid(0, 2), (QStringList{"row2", "row1"}));
}
