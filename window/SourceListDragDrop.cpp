// The source list takes files and folders dropped from the file manager, and
// its rows can be moved up and down by dragging them.

#include "window/Form1.h"

#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/Failure.h"
#include "core/FileUrl.h"
#include "core/PathHelpers.h"
#include "core/ProcedureLabels.h"
#include "core/RowListModel.h"
#include "folders/DroppedPaths.h"
#include "window/PointerImage.h"

#include <QDragMoveEvent>
#include <QMimeData>
#include <QTreeView>

namespace {

// Rows scroll into view while the pointer is near the top or the bottom of
// the screen, measured in screen pixels.
constexpr int kScrollUpBelowY = 305;
constexpr int kScrollDownFromY = 365;

// The raw list, not QMimeData::urls(): names that are not UTF-8 keep their bytes.
QStringList LocalPaths(const QMimeData& data)
{
    return LocalPathsOfUriList(data.data(QStringLiteral("text/uri-list")));
}

} // namespace

void Form1::ListView1_OLEDragOver(QDragMoveEvent* event)
{
    // Only a list of files from the file manager can be dropped here.
    if (LocalPaths(*event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void Form1::ListView1_OLEDragDrop(const QMimeData& data)
{
    // Scanning dropped folders can take a while: show the hourglass, which
    // also keeps row removals out meanwhile.
    BeginBusy();
    ErrorReport report(dialogs_, ProcedureLabels::ListView1OleDragDrop());
    QStringList rows;
    report.Step(100, [&] { rows = RowsForDroppedPaths(LocalPaths(data), dialogs_); });
    report.Step(102, [&] { SourceList->Append(rows); });
    EndBusy();
}

void Form1::ListView1_MouseDown() { Dragging = true; }

void Form1::ListView1_ItemClick(int row)
{
    if (!dragCursor_) {
        try {
            dragCursor_ = LoadPointerImage(appFolder_ + NativeSeparator() + QStringLiteral("drag.ico"));
        } catch (const Failure&) {
            dragCursor_ = QCursor(Qt::ClosedHandCursor); // the icon file is missing
        }
    }
    ListView1->viewport()->setCursor(*dragCursor_);
    DraggedItem = row;
}

void Form1::ListView1_MouseMove(const QPoint& position, int screenY)
{
    Control_MouseMove();
    if (!Dragging)
        return;
    const int itemOver = ListView1->indexAt(position).row();
    // A row removed since the click is no longer there to move.
    if (itemOver < 0 || DraggedItem < 0 || DraggedItem >= SourceList->Count() || itemOver == DraggedItem)
        return;
    const QString dragged = SourceList->Text(DraggedItem);
    const QString over = SourceList->Text(itemOver);
    if (dragged == over)
        return;
    SourceList->SetText(DraggedItem, over);
    SourceList->SetText(itemOver, dragged);
    // Selecting must not scroll by itself: the pointer's height decides.
    ListView1->setAutoScroll(false);
    ListView1->setCurrentIndex(SourceList->index(itemOver));
    ListView1->setAutoScroll(true);
    DraggedItem = itemOver;
    if (screenY < kScrollUpBelowY && itemOver > 0)
        ListView1->scrollTo(SourceList->index(itemOver - 1));
    else if (screenY >= kScrollDownFromY && itemOver + 1 < SourceList->Count())
        ListView1->scrollTo(SourceList->index(itemOver + 1));
}

void Form1::ListView1_MouseUp()
{
    Dragging = false;
    // Back to the window's pointer (the arrow, or the hourglass while busy).
    ListView1->viewport()->unsetCursor();
}

bool Form1::HandleSourceListEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        ListView1_OLEDragOver(static_cast<QDragMoveEvent*>(event));
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        ListView1_OLEDragDrop(*drop->mimeData());
        drop->acceptProposedAction();
        return true;
    }
    case QEvent::MouseButtonPress: {
        ListView1_MouseDown();
        const int row = ListView1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row();
        if (row >= 0)
            ListView1_ItemClick(row);
        return false;
    }
    case QEvent::MouseMove: {
        // Moves with a button held are row moves, not the list's own
        // drag-selection with its automatic scrolling.
        auto* move = static_cast<QMouseEvent*>(event);
        ListView1_MouseMove(move->position().toPoint(), qRound(move->globalPosition().y()));
        return true;
    }
    case QEvent::MouseButtonRelease:
        ListView1_MouseUp();
        return false;
    default:
        return false;
    }
}
