#include "core/EventYield.h"
#include "core/RowListModel.h"
#include "support/FormFixture.h"
#include "support/TempTree.h"
#include "support/YieldEveryStep.h"
#include "window/TextProgressBar.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressBar>
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

// Closing the window while workers copy the next rows ahead ends the
// program at once: the rows whose turn came are there whole, and no copy
// made ahead shows, under its own name or a temporary one.
TEST(Form1Close, ClosingWhileRowsAreCopiedAheadLeavesOnlyWholeCopies)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The death test's child runs this body again: it works in the parent's tree.
    TempTree tree;
    if (!qEnvironmentVariableIsSet("QUORVEX_CLOSE_TEST_TREE"))
        qputenv("QUORVEX_CLOSE_TEST_TREE", QFile::encodeName(tree.Path()));
    const QString root = QFile::decodeName(qgetenv("QUORVEX_CLOSE_TEST_TREE")) + QDir::separator();
    QDir().mkpath(root + QStringLiteral("out"));
    QList<CopyRow> rows;
    for (int i = 0; i < 40; ++i) {
        // The first is large, so that the window's events run while it is copied.
        const QString name = QStringLiteral("f%1.bin").arg(i);
        if (!QFile::exists(root + name)) {
            QFile file(root + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(PatternBytes(i == 0 ? 32 << 20 : 4096 + i));
        }
        rows.append(CopyRowTo(root + name, root + QStringLiteral("out") + QDir::separator() + name));
    }
    EXPECT_EXIT(
        {
            FormFixture fixture;
            const YieldEveryStep everyStep;
            Form1& form = fixture.Open();
            form.CopyList->Append(rows);
            form.show();
            // Closed at the first row's turn, while the workers copy ahead:
            // a timer fired after the last row on a fast disk.
            QObject::connect(
                form.ProgressBar1, &QProgressBar::valueChanged, &form,
                [&form] { QTimer::singleShot(0, &form, [&form] { form.close(); }); }, Qt::SingleShotConnection);
            form.PushButton2_Click();
            std::exit(3); // the run must not get to its end
        },
        ::testing::ExitedWithCode(0), "");
    qunsetenv("QUORVEX_CLOSE_TEST_TREE");
    // The first rows of the plan, and nothing else.
    QStringList arrived = FolderEntries(root + QStringLiteral("out"));
    arrived.sort();
    ASSERT_LT(arrived.size(), rows.size());
    const QList<CopyRow> turnsCome = rows.mid(0, arrived.size());
    QStringList names;
    for (const CopyRow& row : turnsCome)
        names.append(row.name);
    names.sort();
    EXPECT_EQ(arrived, names);
    EXPECT_EQ(RowsNotCopied(turnsCome), QStringList());
}

TEST(Form1Close, ClosingAnIdleWindowJustClosesIt)
{
    FormFixture fixture;
    Form1& form = fixture.Open();
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
}
