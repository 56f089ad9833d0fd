#include "core/Contact.h"
#include "core/Dialogs.h"
#include "core/ErrorReport.h"
#include "core/ProcedureLabels.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const char* description) { throw Failure(QString::fromLatin1(description)); }

} // namespace

TEST(ErrorReportText, IsBuiltByteForByte)
{
    const QString expected = QStringLiteral("File not found\r\nin Zentrabel2021/08/31.Form1.Form_Load at line 106\r\r"
                                            "Please email screenshot of this message to ")
        + QLatin1String(kSupportAddress);
    EXPECT_EQ(ErrorReport::MessageText(QStringLiteral("File not found"), ProcedureLabels::FormLoad(), 106), expected);
}

TEST(ErrorReportText, LabelsNameTheirProcedure)
{
    EXPECT_EQ(ProcedureLabels::PushButtonClick(13), QStringLiteral("in Zentrabel2021/08/31.Form1.PushButton13_Click "));
    EXPECT_EQ(ProcedureLabels::PushButtonClick(1), QStringLiteral("in Zentrabel2021/08/31.Form1.PushButton1_Click "));
    EXPECT_TRUE(ProcedureLabels::GetSubDirectories2016().startsWith(QStringLiteral("in Pellomar2021/08/31.AddFolder.")));
    EXPECT_EQ(ProcedureLabels::Check11Click(), QStringLiteral("in Zentrabel2021/08/31.Form1.Check11_Click "));
    EXPECT_EQ(ProcedureLabels::RemoveItemsWithout(), QStringLiteral("in Zentrabel2021/08/31.Main.RemoveItemsWithout "));
    EXPECT_EQ(ProcedureLabels::RandomFileList(), QStringLiteral("in Zentrabel2021/08/31.Copy.randomFileList "));
    EXPECT_EQ(ProcedureLabels::CorrelateListviewsWrapper(),
              QStringLiteral("in Zentrabel2021/08/31.Copy.CorrelateListviewsWrapper "));
}

TEST(ErrorReportSteps, ReportsAFailedStepAndGoesOn)
{
    ScriptedDialogs dialogs;
    ErrorReport report(dialogs, ProcedureLabels::PushButtonClick(13));
    QStringList ran;
    report.Step(100, [&] { ran << "100"; });
    report.Step(102, [&] {
        ran << "102";
        Fail("Permission denied");
        ran << "rest of 102"; // NOLINT: never reached
    });
    report.Step(104, [&] { ran << "104"; });

    EXPECT_EQ(ran, (QStringList{"100", "102", "104"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(dialogs.shown[0].icon, Dialogs::Icon::Warning);
    EXPECT_EQ(dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(QStringLiteral("Permission denied\r\n")));
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("Form1.PushButton13_Click at line 102\r\r")));
}

TEST(ErrorReportSteps, NamesTheLastStepThatBegan)
{
    ScriptedDialogs dialogs;
    ErrorReport report(dialogs, ProcedureLabels::FormLoad());
    report.Step(104, [&] {
        const int first = 1;
        (void)first;
        Fail("second statement");
    });
    ASSERT_EQ(dialogs.Messages().size(), 1);
    EXPECT_TRUE(dialogs.Messages()[0].contains(QStringLiteral("at line 104\r\r")));
    EXPECT_EQ(report.LastStep(), 104);
}

TEST(ErrorReportSteps, AFailedTestStillRunsItsBlock)
{
    ScriptedDialogs dialogs;
    ErrorReport report(dialogs, ProcedureLabels::FormLoad());
    bool blockRan = false;
    if (report.Test(108, [&]() -> bool { Fail("Bad file name"); }))
        report.Step(110, [&] { blockRan = true; });
    EXPECT_TRUE(blockRan);
    ASSERT_EQ(dialogs.Messages().size(), 1);
    EXPECT_TRUE(dialogs.Messages()[0].contains(QStringLiteral("at line 108")));

    // A test that completes decides as usual.
    EXPECT_FALSE(report.Test(112, [] { return false; }));
    EXPECT_EQ(dialogs.Messages().size(), 1);
}

TEST(ErrorReportSteps, EveryFailureGetsItsOwnBox)
{
    ScriptedDialogs dialogs;
    ErrorReport report(dialogs, ProcedureLabels::RemoveItemsWith());
    for (int pass = 0; pass < 3; ++pass)
        report.Step(100 + 2 * pass, [&] { Fail("Type mismatch"); });
    const QStringList messages = dialogs.Messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("at line 100")));
    EXPECT_TRUE(messages[2].contains(QStringLiteral("at line 104")));
}

TEST(ErrorReportSteps, DescribesForeignFailuresInPlainWords)
{
    ScriptedDialogs dialogs;
    ErrorReport report(dialogs, ProcedureLabels::PushButtonClick(2));
    report.Step(100, [] {
        throw std::filesystem::filesystem_error("copy", std::filesystem::path("/x/y"),
                                                std::make_error_code(std::errc::no_such_file_or_directory));
    });
    report.Step(102, [] { throw std::runtime_error("disk on fire"); });
    report.Step(104, [] { throw 42; });
    const QStringList messages = dialogs.Messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("No such file or directory: /x/y\r\n")));
    EXPECT_TRUE(messages[1].startsWith(QStringLiteral("disk on fire\r\n")));
    EXPECT_TRUE(messages[2].startsWith(QStringLiteral("Unknown error\r\n")));
}
