#include "core/SummaryText.h"
#include "support/QtPrinters.h"
#include "window/SummaryBox.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

TEST(SummaryBox, ScrollsOverEveryLineAndTheLongestOne)
{
    SummaryText text;
    SummaryBox box(&text);
    box.resize(300, 200);
    box.show();
    // Copy rows, whose lines are made only as they come into view.
    CopyPlan plan;
    for (int i = 0; i < 100'000; ++i)
        plan.Append(CopyRowTo(QStringLiteral("/music/album/track-%1.mp3").arg(i), QStringLiteral("/player/track-%1.mp3").arg(i)));
    plan.rows[500].name += QString(200, u'x');
    const QStringList lines = plan.Texts();
    text.SetRows(ListRows(plan.rows));
    QApplication::processEvents();

    QScrollBar* vertical = box.verticalScrollBar();
    EXPECT_EQ(vertical->maximum(), 100'000 - box.LinesPerPage());
    EXPECT_EQ(vertical->pageStep(), box.LinesPerPage());
    const int longest = box.fontMetrics().horizontalAdvance(lines[500]);
    EXPECT_GE(box.horizontalScrollBar()->maximum(), longest - box.viewport()->width());

    box.setFocus();
    QTest::keyClick(&box, Qt::Key_End);
    EXPECT_EQ(vertical->value(), vertical->maximum());
    QTest::keyClick(&box, Qt::Key_PageUp);
    EXPECT_EQ(vertical->value(), vertical->maximum() - box.LinesPerPage());

    // A new text starts at the top; an empty one scrolls nowhere.
    text.Clear();
    EXPECT_EQ(vertical->value(), 0);
    EXPECT_EQ(vertical->maximum(), 0);
    EXPECT_EQ(text.Text(), QString());
}

TEST(SummaryBox, CopyTakesTheWholeTextWithItsLineEnds)
{
    SummaryText text;
    SummaryBox box(&text);
    text.SetLines({QStringLiteral("a will be copied to b"), QStringLiteral("c will be copied to d")});
    EXPECT_EQ(text.Text(), QStringLiteral("a will be copied to b\r\nc will be copied to d\r\n"));
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), text.Text());
}
