#include "app/EventYield.h"
#include "support/FormFixture.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(Form1Close, ClosingAnIdleWindowJustClosesIt)
{
    FormFixture fixture;
    Form1& form = fixture.Open();
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
}
