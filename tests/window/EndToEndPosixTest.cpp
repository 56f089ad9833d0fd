// A library with names as bytes that are not UTF-8 or that Windows refuses,
// checked byte for byte, and a FAT stick through FUSE: POSIX only.
#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "support/FatStick.h"
#include "support/FormFixture.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

// A real library: two albums with the same names and awkward names, in a
// library and a player whose folder names hold the words that join a row.
// Every drawn file arrives, under a name of its own and with its bytes.
TEST(EndToEnd, EveryFileOfARealLibraryArrives)
{
    FormFixture fixture;
    std::map<std::string, QByteArray> sources = {
        {"album1/cover.jpg", "cover 1"}, {"album1/01 Intro.mp3", "intro 1"}, {"album2/cover.jpg", "cover 2"},
        {"album2/01 Intro.mp3", "intro 2"},
    };
    for (const std::string& name : kAwkwardNames)
        sources[name] = QByteArray::fromStdString(name);
    const QString library = QStringLiteral("Live will be copied to x");
    for (const auto& [name, content] : sources)
        fixture.tree.WriteFile(library + u'/' + FromFsName(name), content);
    // Beside the player's folder, a file whose name is the folder's up to the words.
    const QString player = fixture.tree.MakeFolder(QStringLiteral("Music will be copied to Backup"));
    fixture.tree.WriteFile(QStringLiteral("Music"), "the user's own");
    Form1& form = fixture.Open();
    const int count = static_cast<int>(sources.size());
    form.Text1->setText(QString::number(count));
    fixture.dialogs.folderAnswers = {player, fixture.tree.Path(library)};
    fixture.random.values = std::vector<float>(count, 0.0f);
    QTest::mouseClick(form.PushButton3, Qt::LeftButton);
    QTest::mouseClick(form.PushButton6, Qt::LeftButton);
    ASSERT_EQ(form.CopyList->Count(), count);
    QTest::mouseClick(form.PushButton2, Qt::LeftButton);
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});

    // The names on disk, byte for byte: both covers and both intros arrived.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(player)))
        names.insert(entry.path().filename().native());
    std::set<std::string> expected = {"01 Intro.mp3", "01 Intro1.mp3", "cover.jpg", "cover1.jpg"};
    expected.insert(kAwkwardNames.begin(), kAwkwardNames.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(RowsNotCopied(form.CopyList->CopyRows()), QStringList());
    EXPECT_GE(form.CopyList->Text(0).count(QStringLiteral(" will be copied to ")), 3);
    QFile own(fixture.tree.Path(QStringLiteral("Music")));
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    EXPECT_EQ(own.readAll(), QByteArray("the user's own"));
}

// A FAT stick as the destination: the drawn files larger than it holds are
// passed over and named in one message once the list is drawn, and the rows
// show the names the stick takes.
TEST(EndToEnd, AFatStickGetsTheFilesItHoldsUnderNamesItTakes)
{
    FatStick stick;
    if (!stick.Usable())
        GTEST_SKIP() << stick.Problem().toStdString();
    FormFixture fixture;
    QSet<QString> films;
    for (int i = 1; i <= 11; ++i) {
        const QString film = fixture.tree.WriteFile(QStringLiteral("media/film%1.mkv").arg(i));
        std::filesystem::resize_file(ToFsPath(film), std::uint64_t(4) << 30); // sparse: takes no space
        films.insert(FileNameOf(film));
    }
    const QString song = fixture.tree.WriteFile(QStringLiteral("media/What's Up?.mp3"), "song");
    Form1& form = fixture.Open();
    form.SourceList->Append(fixture.tree.Path(QStringLiteral("media")));
    form.DestinationList->Append(stick.Folder());
    form.Text1->setText(QStringLiteral("12"));
    fixture.random.values = std::vector<float>(12, 0.0f);
    QTest::mouseClick(form.PushButton12, Qt::LeftButton);

    ASSERT_EQ(form.CopyList->Rows(), QStringList{song + " will be copied to " + stick.Folder() + "/What's Up_.mp3"});
    EXPECT_EQ(form.Summary->Lines(), form.CopyList->Rows());
    ASSERT_EQ(fixture.dialogs.Messages().size(), 1);
    const QStringList lines = fixture.dialogs.Messages()[0].split(u'\r');
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.front(),
              "11 files are too large for the FAT file system of " + stick.Folder() + " and were passed over:");
    const QStringList named = lines.mid(1, 10);
    EXPECT_EQ(QSet<QString>(named.begin(), named.end()).size(), 10);
    EXPECT_TRUE(films.contains(QSet<QString>(named.begin(), named.end())));
    EXPECT_EQ(lines.back(), QStringLiteral("... and 1 more."));
}
