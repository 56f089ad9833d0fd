#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "support/FormFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

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
    const QStringList plan = form.CopyList->Rows();
    click(form.PushButton2);
    EXPECT_EQ(fixture.dialogs.Messages().last(), QStringLiteral("Done."));
    QStringList copied = QDir(player).entryList(QDir::Files);
    EXPECT_EQ(copied.size(), 3);
    EXPECT_TRUE(QDir(frame).entryList(QDir::Files).isEmpty());
    for (const QString& row : plan) {
        const QString source = row.section(QStringLiteral(" will be copied to "), 0, 0);
        const QString destination = row.section(QStringLiteral(" will be copied to "), 1);
        QFile from(source);
        QFile to(destination);
        ASSERT_TRUE(from.open(QIODevice::ReadOnly) && to.open(QIODevice::ReadOnly)) << row.toStdString();
        EXPECT_EQ(from.readAll(), to.readAll());
    }
    // Every message but the last named the folder without files of its own.
    for (const QString& message : fixture.dialogs.Messages().mid(0, fixture.dialogs.Messages().size() - 1))
        EXPECT_TRUE(message.startsWith(QStringLiteral("There are no files in folder "))) << message.toStdString();
}

// A real library: two albums with the same names, names with wildcard
// characters and a name that is not UTF-8. Every drawn file arrives, under a
// name of its own and with its bytes.
TEST(EndToEnd, EveryFileOfARealLibraryArrives)
{
    FormFixture fixture;
    const std::map<std::string, QByteArray> sources = {
        {"album1/cover.jpg", "cover 1"}, {"album1/01 Intro.mp3", "intro 1"}, {"album2/cover.jpg", "cover 2"},
        {"album2/01 Intro.mp3", "intro 2"}, {"what?.txt", "what"}, {"star*.txt", "star"}, {"caf\xe9.txt", "cafe"},
    };
    for (const auto& [name, content] : sources)
        fixture.tree.WriteFile(QStringLiteral("library/") + FromFsName(name), content);
    const QString player = fixture.tree.MakeFolder(QStringLiteral("player"));
    Form1& form = fixture.Open();
    form.Text1->setText(QStringLiteral("7"));
    fixture.dialogs.folderAnswers = {player, fixture.tree.Path(QStringLiteral("library"))};
    fixture.random.values = std::vector<float>(7, 0.0f);
    QTest::mouseClick(form.PushButton3, Qt::LeftButton);
    QTest::mouseClick(form.PushButton6, Qt::LeftButton);
    ASSERT_EQ(form.CopyList->Count(), 7);
    QTest::mouseClick(form.PushButton2, Qt::LeftButton);
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});

    // The names on disk, byte for byte: both covers and both intros arrived.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(player)))
        names.insert(entry.path().filename().native());
    EXPECT_EQ(names, (std::set<std::string>{"01 Intro.mp3", "01 Intro1.mp3", "cover.jpg", "cover1.jpg", "what?.txt",
                                            "star*.txt", "caf\xe9.txt"}));
    for (const QString& row : form.CopyList->Rows()) {
        const qsizetype join = row.indexOf(QStringLiteral(" will be copied to "));
        std::ifstream from(ToFsPath(row.left(join)), std::ios::binary);
        std::ifstream to(ToFsPath(row.mid(join + 19)), std::ios::binary);
        const std::string fromBytes {std::istreambuf_iterator<char>(from), {}};
        const std::string toBytes {std::istreambuf_iterator<char>(to), {}};
        EXPECT_FALSE(toBytes.empty()) << row.toStdString();
        EXPECT_EQ(fromBytes, toBytes) << row.toStdString();
    }
}
