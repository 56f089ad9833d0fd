#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "randomlist/CopyListFilter.h"
#include "randomlist/RandomFileList.h"
#include "support/FormFixture.h"
#include "support/YieldEveryStep.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kSep = NativeSeparator();
const QString kInputsMissing =
    QStringLiteral("You must have at least one source folder, destination folder and number of files to copy.");

QString Row(const QString& source, const QString& destination)
{
    return source + QStringLiteral(" will be copied to ") + destination;
}

QString Joined(const QStringList& rows)
{
    QString text;
    for (const QString& row : rows)
        text += row + QStringLiteral("\r\n");
    return text;
}

class CopyListCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = &fixture.Open();
        fixture.ShowActive();
        photo = fixture.tree.WriteFile(QStringLiteral("src/photo.jpg"), "p");
        out1 = fixture.tree.Path(QStringLiteral("out1"));
        out2 = fixture.tree.Path(QStringLiteral("out2")) + kSep;
    }

    // Source folder with one file, two destinations.
    void FillFolderLists()
    {
        form->SourceList->Append(fixture.tree.Path(QStringLiteral("src")));
        form->DestinationList->Append(QStringList{out1, out2});
    }

    void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

    FormFixture fixture;
    Form1* form = nullptr;
    QString photo;
    QString out1;
    QString out2;
};

} // namespace

TEST_F(CopyListCommands, GenerateBuildsTheListAndItsSummary)
{
    FillFolderLists();
    form->Text1->setText(QStringLiteral("3"));
    form->Check11->setChecked(true);
    fixture.random.values = {0.2f, 0.4f, 0.9f};
    Click(form->PushButton12);

    const QStringList expected{Row(photo, out1 + kSep + "photo.jpg"), Row(photo, out2 + "photo.jpg"),
                               Row(photo, out1 + kSep + "photo1.jpg"), Row(photo, out2 + "photo1.jpg"),
                               Row(photo, out1 + kSep + "photo2.jpg"), Row(photo, out2 + "photo2.jpg")};
    EXPECT_EQ(form->CopyList->Rows(), expected);
    EXPECT_EQ(form->Summary->Text(), Joined(expected));
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(CopyListCommands, GenerateExplainsWhatIsMissing)
{
    form->CopyList->Append(QStringLiteral("old row"));
    form->Summary->SetLines({QStringLiteral("old row")});
    FillFolderLists();
    for (const char* number : {"0", "", "-5", "files"}) {
        form->Text1->setText(QString::fromLatin1(number));
        Click(form->PushButton12);
    }
    form->Text1->setText(QStringLiteral("2"));
    form->DestinationList->Clear();
    Click(form->PushButton12);

    EXPECT_EQ(fixture.dialogs.Messages(), QStringList(5, kInputsMissing));
    EXPECT_EQ(fixture.dialogs.shown.back().title, QStringLiteral("Quorvex"));
    EXPECT_EQ(form->CopyList->Rows(), QStringList{QStringLiteral("old row")});
    EXPECT_EQ(form->Summary->Text(), QStringLiteral("old row\r\n"));
    EXPECT_EQ(fixture.random.Used(), 0u);
}

TEST_F(CopyListCommands, TheDuplicatesOptionRebuildsSilently)
{
    fixture.tree.WriteFile(QStringLiteral("src/second.jpg"), "s");
    FillFolderLists();
    form->Text1->setText(QStringLiteral("1"));
    fixture.random.values = {0.0f, 0.9f};
    Click(form->Check11);
    ASSERT_TRUE(form->Check11->isChecked());
    const QStringList first = form->CopyList->Rows();
    Click(form->Check11);
    EXPECT_FALSE(form->Check11->isChecked());
    EXPECT_EQ(fixture.random.Used(), 2u); // two rebuilds, two draws
    EXPECT_EQ(form->CopyList->Count(), 2);
    EXPECT_NE(form->CopyList->Rows(), first);

    // Without a number the option changes state and nothing else.
    form->Text1->setText(QStringLiteral("0"));
    Click(form->Check11);
    EXPECT_TRUE(form->Check11->isChecked());
    EXPECT_EQ(fixture.random.Used(), 2u);
    EXPECT_TRUE(fixture.dialogs.shown.empty());
}

TEST_F(CopyListCommands, ARebuildWaitsForBothFolderLists)
{
    form->CopyList->Append(QStringLiteral("kept"));
    form->Summary->SetLines({QStringLiteral("kept")});
    form->SourceList->Append(fixture.tree.Path(QStringLiteral("src")));
    form->CorrelateListviewsWrapper();
    EXPECT_EQ(form->CopyList->Rows(), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(form->Summary->Text(), QStringLiteral("kept\r\n"));
}

TEST_F(CopyListCommands, SourcesWithoutFilesLeaveAnEmptyList)
{
    form->CopyList->Append(QStringLiteral("old"));
    form->Summary->SetLines({QStringLiteral("old")});
    const QString empty = fixture.tree.MakeFolder(QStringLiteral("empty"));
    form->SourceList->Append(QStringList{empty, empty});
    form->DestinationList->Append(out1);
    form->Text1->setText(QStringLiteral("4"));
    form->CorrelateListviewsWrapper();
    EXPECT_EQ(fixture.dialogs.Messages().size(), 2);
    EXPECT_EQ(form->CopyList->Count(), 0);
    EXPECT_EQ(form->Summary->Text(), QString());
}

TEST_F(CopyListCommands, AnAutomaticRebuildBelowOneFileMakesNoRows)
{
    FillFolderLists();
    form->CopyList->Append(QStringLiteral("old"));
    for (const char* number : {"0.5", "-3", "none"}) {
        form->Text1->setText(QString::fromLatin1(number));
        form->CorrelateListviewsWrapper();
        EXPECT_EQ(form->CopyList->Count(), 0) << number;
        EXPECT_EQ(form->Summary->Text(), QString()) << number;
    }
    EXPECT_EQ(fixture.random.Used(), 0u);
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList(3, kNumberBelowOneMessage));
}

class CopyListFilters : public CopyListCommands {
protected:
    void SetUp() override
    {
        CopyListCommands::SetUp();
        rows = {Row("/p/photo.jpg", "/out/photo.jpg"), Row("/p/PHOTO.JPG", "/out/PHOTO.JPG"),
                Row("/p/song.mp3", "/usb/song.mp3"), Row("/p/a b.txt", "/usb/a b.txt")};
        form->CopyList->Append(rows);
        form->Summary->SetLines({QStringLiteral("stale")});
    }

    void Filter(QPushButton* button, const QString& answer)
    {
        fixture.dialogs.inputAnswers.push_back(answer);
        Click(button);
    }

    QStringList rows;
};

TEST_F(CopyListFilters, ContainingIgnoresCaseAndMatchesTheWholeRow)
{
    Filter(form->PushButton11, QStringLiteral("jpg"));
    EXPECT_EQ(form->CopyList->Rows(), (QStringList{rows[2], rows[3]}));
    EXPECT_EQ(form->Summary->Text(), Joined({rows[2], rows[3]}));
    Filter(form->PushButton11, QStringLiteral("/USB/"));
    EXPECT_EQ(form->CopyList->Count(), 0);
    ASSERT_FALSE(fixture.dialogs.shown.empty());
    EXPECT_EQ(fixture.dialogs.shown[0].kind, QStringLiteral("input"));
    EXPECT_EQ(fixture.dialogs.shown[0].text, QStringLiteral("Remove entries containing: "));
    EXPECT_EQ(fixture.dialogs.shown[0].title, QStringLiteral("Quorvex"));
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}

TEST_F(CopyListFilters, NotContainingKeepsOnlyMatches)
{
    Filter(form->PushButton13, QStringLiteral("copied"));
    EXPECT_EQ(form->CopyList->Rows(), rows);
    EXPECT_EQ(form->Summary->Text(), Joined(rows));
    Filter(form->PushButton13, QStringLiteral("Photo"));
    EXPECT_EQ(form->CopyList->Rows(), (QStringList{rows[0], rows[1]}));
    EXPECT_EQ(fixture.dialogs.shown[0].text, QStringLiteral("Remove entries not containing: "));
    Filter(form->PushButton11, QStringLiteral("COPIED"));
    EXPECT_EQ(form->CopyList->Count(), 0);
    EXPECT_EQ(form->Summary->Text(), QString());
}

TEST_F(CopyListFilters, BlanksInTheFilterTextCount)
{
    Filter(form->PushButton11, QStringLiteral(" b.txt"));
    EXPECT_EQ(form->CopyList->Rows(), (QStringList{rows[0], rows[1], rows[2]}));
}

TEST_F(CopyListFilters, AnEmptyAnswerChangesNothing)
{
    Filter(form->PushButton11, QString());
    Filter(form->PushButton13, QString());
    EXPECT_EQ(form->CopyList->Rows(), rows);
    EXPECT_EQ(form->Summary->Text(), QStringLiteral("stale\r\n"));
}

TEST_F(CopyListFilters, NoMatchStillRebuildsTheSummary)
{
    Filter(form->PushButton11, QStringLiteral("zzz"));
    EXPECT_EQ(form->CopyList->Rows(), rows);
    EXPECT_EQ(form->Summary->Text(), Joined(rows));
}

TEST(CopyListFilterScan, RowsChangedDuringAYieldAreScannedAfresh)
{
    RowListModel list(QStringLiteral("Random Copy List"));
    list.Append(QStringList{"keep a", "drop b", "keep c", "drop d"});
    // While the scan yields, a rebuild replaces the rows.
    QTimer::singleShot(0, [&list] { list.SetRows({"drop x", "keep y", "drop z"}); });
    YieldEveryStep everyStep;
    const std::vector<int> marks = MarkRows(list, QStringLiteral("DROP"), true);
    EXPECT_EQ(marks, (std::vector<int>{0, 2}));
}

TEST(CopyListFilterScan, ManyMarksAreRemovedInOnePass)
{
    RowListModel list(QStringLiteral("Random Copy List"));
    QList<CopyRow> rows;
    QList<CopyRow> expected;
    for (int i = 0; i < 1000; ++i) {
        rows << CopyRow {QStringLiteral("/s/%1").arg(i), QStringLiteral("/d/"), i % 3 == 0 ? "x.txt" : "y.txt"};
        if (i % 3 != 0)
            expected << rows.back();
    }
    list.Append(rows);
    SummaryText summary;
    ScriptedDialogs dialogs;
    RemoveItemsWith(list, QStringLiteral("/X.TXT"), summary, dialogs);
    // What each row copies goes with its text.
    EXPECT_EQ(list.CopyRows(), expected);
    QStringList texts;
    for (const CopyRow& row : expected)
        texts << CopyRowText(row);
    EXPECT_EQ(list.Rows(), texts);
    EXPECT_EQ(summary.Lines(), texts);
}
