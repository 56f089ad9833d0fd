#include "FormFixture.h"

#include <QAbstractItemView>
#include <QTest>

#include <gtest/gtest.h>

FormFixture::FormFixture() = default;

Form1& FormFixture::Open()
{
    frame_.reset();
    frame_ = std::make_unique<Form1Frame>(new Form1(dialogs, random, AppFolder()));
    Window().UseDeviceFlusher(flusher);
    return Window();
}

void FormFixture::ShowActive()
{
    frame_->show();
    frame_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
}

QPoint RowCentre(const QAbstractItemView& view, int row)
{
    return view.visualRect(view.model()->index(row, 0)).center();
}
