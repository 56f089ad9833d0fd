#include "FormFixture.h"

#include <QAbstractItemView>
#include <QTest>

#include <gtest/gtest.h>

FormFixture::FormFixture() = default;

Form1& FormFixture::Open()
{
    window_.reset();
    window_ = std::make_unique<Form1>(dialogs, random, AppFolder());
    window_->UseDeviceFlusher(flusher);
    return *window_;
}

void FormFixture::ShowActive()
{
    window_->show();
    window_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
}

QPoint RowCentre(const QAbstractItemView& view, int row)
{
    return view.visualRect(view.model()->index(row, 0)).center();
}
