#pragma once

#include "support/FormFixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>

#include <gtest/gtest.h>

// The window shown, with drags and drops on its source list.
class DragDrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = &fixture.Open();
        fixture.ShowActive();
        viewport = form->ListView1->viewport();
    }

    // Drags the data over the source list; true when the list accepts it.
    bool DragOver(const QMimeData& data)
    {
        const QPoint at = viewport->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        return enter.isAccepted() && move.isAccepted() && move.dropAction() != Qt::IgnoreAction;
    }

    // Drags the data over the list, then releases it there.
    void Drop(const QMimeData& data)
    {
        DragOver(data);
        QDropEvent drop(QPointF(viewport->rect().center()), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
    }

    FormFixture fixture;
    Form1* form = nullptr;
    QWidget* viewport = nullptr;
};
