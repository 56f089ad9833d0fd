#include "core/EventYield.h"
#include "core/RowListModel.h"
#include "support/FormFixture.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

TEST(Form1Close, ClosingWhileACommandYieldsEndsTheProgramThere)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FormFixture fixture;
            Form1& form = fixture.Open();
            form.show();
            QTimer::singleShot(0, &form, [&form] { form.close(); });
            LetWindowEventsRun(); // the command yields; the user closes the window
            std::exit(3);         // the command must not go on
        },
        ::testing::ExitedWithCode(0), "");
}

// A flush to a slow stick may block for long; closing the window then still
// ends the program at once.
TEST(Form1Close, ClosingDuringTheFlushEndsTheProgramAtOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            FormFixture fixture;
            Form1& form = fixture.Open();
            const QString source = fixture.tree.WriteFile(QStringLiteral("a.txt"), "a");
            form.CopyList->Append(QList<CopyRow>{CopyRowTo(source, fixture.tree.Path(QStringLiteral("b.txt")))});
            fixture.flusher.whileFlushing = [] { std::this_thread::sleep_for(std::chrono::hours(1)); };
            form.show();
            QTimer::singleShot(50, &form, [&form] { form.close(); });
            form.PushButton2_Click();
            std::exit(3); // the run must not get to its end
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Form1Close, ClosingAnIdleWindowJustClosesIt)
{
    FormFixture fixture;
    Form1& form = fixture.Open();
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
}
