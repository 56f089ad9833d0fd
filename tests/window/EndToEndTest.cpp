#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "support/FormFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>


// The four numbered steps, from empty lists to copied files, as a user
// goes through them.
TEST(EndToEnd, FromEmptyListsToCopiedFiles)
{
    FormFixture fixture;
    QStringList sourceFiles;
    for (int album = 1; album <= 2; ++album) {
        for (int track = 1; track <= 4; ++track) {
            sourceFiles << fixture.tree.WriteFile(QStringLiteral("music/album%1/track%2.mp3").arg(album).arg(track),
                                                  QStringLiteral("album %1 track %2").arg(album).arg(track).toUtf8());
        }
    }
    const QString player = fixture.tree.MakeFolder(QStringLiteral("player"));
    const QString frame = fixture.tree.MakeFolder(QStringLiteral("frame"));
    Form1& form = fixture.Open();
    fixture.ShowActive();
    const auto click = [](QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); };

    // 1. Source folders: a folder with every folder below it.
    fixture.dialogs.folderAnswers = {fixture.tree.Path(QStringLiteral("music"))};
    click(form.PushButton6);
    EXPECT_EQ(form.SourceList->Count(), 3);

    // 2. Destination folders, one by one; the second addition builds a list.
    form.Text1->setText(QStringLiteral("3"));
    fixture.random.values = {0.5f, 0.0f, 0.9f, 0.5f, 0.0f, 0.9f, 0.1f, 0.1f, 0.1f};
    fixture.dialogs.folderAnswers = {player, frame};
    click(form.PushButton3);
    click(form.PushButton3);
    // "There are no files in folder" names the music folder, which holds only albums.
    EXPECT_EQ(form.CopyList->Count(), 6);

    // 3. A fresh draw, with repeats allowed, and a filter on it.
    click(form.Check11);
    EXPECT_EQ(form.CopyList->Count(), 6);
    fixture.dialogs.inputAnswers = {QStringLiteral("FRAME")};
    click(form.PushButton11);
    EXPECT_EQ(form.CopyList->Count(), 3);
    EXPECT_EQ(form.Summary->Lines(), form.CopyList->Rows());

    // 4. Copy.
    const QList<CopyRow> plan = form.CopyList->CopyRows();
    click(form.PushButton2);
    EXPECT_EQ(fixture.dialogs.Messages().last(), QStringLiteral("Done."));
    QStringList copied = QDir(player).entryList(QDir::Files);
    EXPECT_EQ(copied.size(), 3);
    EXPECT_TRUE(QDir(frame).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(RowsNotCopied(plan), QStringList());
    // Every message but the last named the folder without files of its own.
    for (const QString& message : fixture.dialogs.Messages().mid(0, fixture.dialogs.Messages().size() - 1))
        EXPECT_TRUE(message.startsWith(QStringLiteral("There are no files in folder "))) << message.toStdString();
}
