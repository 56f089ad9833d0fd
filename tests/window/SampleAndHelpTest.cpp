#include "core/Contact.h"
#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "support/FormFixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kSep = NativeSeparator();
const QString kQuestion = QStringLiteral(
    "Would you like this software to open the folder where these sample files are stored (so that you can view "
    "them before working with them)?");

// The sample command with a Desktop in a home folder of the test's own.
class SampleFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedHome_ = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(fixture.tree.Path(QStringLiteral("home"))));
        for (int i = 0; i < 20; ++i)
            fixture.tree.WriteFile(QStringLiteral("Samples/sample%1.txt").arg(i), "s");
        form = &fixture.Open();
        fixture.ShowActive();
    }
    void TearDown() override { qputenv("HOME", savedHome_); }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    std::vector<float> Draws(int count) { return std::vector<float>(count, 0.0f); }

    FormFixture fixture;
    Form1* form = nullptr;
    QByteArray savedHome_;
};

} // namespace

TEST_F(SampleFiles, SetsUpTheExampleAndOpensTheFolderOnYes)
{
#ifdef Q_OS_WIN
    // Windows asks the shell for the desktop, which no variable steers.
    const QString desktop = QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)) + kSep;
#else
    const QString desktop = fixture.tree.MakeFolder(QStringLiteral("home/Desktop")) + kSep;
#endif
    const QString samples = fixture.AppFolder() + kSep + QStringLiteral("Samples") + kSep;
    form->Text1->setText(QStringLiteral("3"));
    fixture.random.values = Draws(15);
    fixture.dialogs.yesNoAnswers = {true};
    Click(form->PushButton16);

    EXPECT_EQ(form->SourceList->Rows(), QStringList{samples});
    EXPECT_EQ(form->DestinationList->Rows(), QStringList{desktop});
    EXPECT_EQ(form->Text1->text(), QStringLiteral("15"));
    EXPECT_EQ(form->CopyList->Count(), 15);
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
    ASSERT_EQ(fixture.dialogs.shown.size(), 2u);
    EXPECT_EQ(fixture.dialogs.shown[0].text, kQuestion);
    EXPECT_EQ(fixture.dialogs.shown[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(fixture.dialogs.shown[0].icon, Dialogs::Icon::None);
    EXPECT_EQ(fixture.dialogs.shown[1].kind, QStringLiteral("open"));
    EXPECT_EQ(fixture.dialogs.shown[1].text, samples);
}

TEST_F(SampleFiles, NoOpensNothingAndASecondRunKeepsEarlierRows)
{
    fixture.tree.MakeFolder(QStringLiteral("home/Desktop"));
    form->SourceList->Append(QStringLiteral("mine"));
    fixture.random.values = Draws(30);
    fixture.dialogs.yesNoAnswers = {false, false};
    Click(form->PushButton16);
    Click(form->PushButton16);
    EXPECT_EQ(form->SourceList->Count(), 3);
    EXPECT_EQ(form->SourceList->Text(0), QStringLiteral("mine"));
    EXPECT_EQ(form->DestinationList->Count(), 2);
    // The "mine" row is no folder: its message comes with each rebuild.
    EXPECT_EQ(fixture.dialogs.Messages().filter(QStringLiteral("There are no files in folder mine")).size(), 2);
    // 15 files of the samples listed twice, to two destinations.
    EXPECT_EQ(form->CopyList->Count(), 30);
    for (const ScriptedDialogs::Shown& shown : fixture.dialogs.shown)
        EXPECT_NE(shown.kind, QStringLiteral("open"));
}

#ifndef Q_OS_WIN // a desktop that cannot be had cannot be staged there
TEST_F(SampleFiles, ADesktopThatCannotBeMadeIsReportedAndTheRestRuns)
{
    fixture.tree.WriteFile(QStringLiteral("home"), "a file where the home folder should be");
    fixture.dialogs.yesNoAnswers = {false};
    Click(form->PushButton16);
    const QStringList messages = fixture.dialogs.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("\r\nin Zentrabel2021/08/31.Form1.PushButton16_Click at line 102")))
        << messages[0].toStdString();
    EXPECT_EQ(fixture.dialogs.shown[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(messages[1], kQuestion);
    EXPECT_EQ(form->SourceList->Count(), 1);
    EXPECT_EQ(form->DestinationList->Count(), 0);
    EXPECT_EQ(form->Text1->text(), QStringLiteral("15"));
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}
#endif

TEST(HelpButtons, BothSayWhereToAsk)
{
    FormFixture fixture;
    Form1& form = fixture.Open();
    fixture.ShowActive();
    QTest::mouseClick(form.PushButton14, Qt::LeftButton);
    QTest::mouseClick(form.PushButton15, Qt::LeftButton);
    const QString expected = QStringLiteral("Questions? Please contact Team Marrowind at ") + QLatin1String(kContactPage);
    EXPECT_EQ(fixture.dialogs.Messages(), (QStringList{expected, expected}));
    EXPECT_EQ(fixture.dialogs.shown[0].title, QStringLiteral("Quorvex"));
}
