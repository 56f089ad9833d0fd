// Drops that need POSIX: a symbolic link among the dropped folders, and
// names as bytes that are not UTF-8 or that Windows refuses.
#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "folders/DroppedPaths.h"
#include "support/DragDropFixture.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

TEST_F(DragDrop, AFolderWithALinkBackUpStillEnds)
{
    const QString file = fixture.tree.WriteFile(QStringLiteral("loop/x.txt"), "x");
    ASSERT_TRUE(QFile::link(fixture.tree.Path(QStringLiteral("loop")), fixture.tree.Path(QStringLiteral("loop/again"))));
    EXPECT_EQ(RowsForDroppedPaths({fixture.tree.Path(QStringLiteral("loop"))}, fixture.dialogs), QStringList{file});
}

// Every name a POSIX file system holds crosses a drop, the lists and the
// copy with its bytes: the awkward names, a newline, a leading "-", "%", "|"
// and a trailing blank. The lists show them readably.
TEST_F(DragDrop, AnyNameCrossesADropAndTheCopyWithItsBytes)
{
    std::set<std::string> names = {"new\nline.txt", "-lead.txt", "100%pure|x.txt", "trail .txt"};
    names.insert(kAwkwardNames.begin(), kAwkwardNames.end());
    for (const std::string& name : names)
        fixture.tree.WriteFile(QStringLiteral("odd/") + FromFsName(name), QByteArray::fromStdString(name));
    fixture.tree.WriteFile(FromFsName(std::string("one\xff.txt")), "one");
    // The URI list as a file manager writes it: the name's bytes, percent-encoded.
    const QByteArray root = QByteArray::fromStdString(ToFsPath(fixture.tree.Path()).native());
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"),
                 "# dropped\r\nfile://" + root.toPercentEncoding("/") + "/odd\r\nfile://localhost"
                     + (root + "/one\xff.txt").toPercentEncoding("/") + "\r\n");
    Drop(data);
    const int count = static_cast<int>(names.size()) + 1;
    ASSERT_EQ(form->SourceList->Count(), count);
    const auto shown = [this](int row) { return form->SourceList->data(form->SourceList->index(row), Qt::DisplayRole).toString(); };
    EXPECT_TRUE(shown(count - 1).endsWith(QStringLiteral("one\ufffd.txt"))) << shown(count - 1).toStdString();
    EXPECT_TRUE(form->SourceList->Rows().filter(QStringLiteral("new\nline")).size() == 1);

    const QString out = fixture.tree.MakeFolder(QStringLiteral("out"));
    form->DestinationList->Append(out);
    form->Text1->setText(QString::number(count));
    fixture.random.values = std::vector<float>(count, 0.5f);
    QTest::mouseClick(form->PushButton12, Qt::LeftButton);
    QTest::mouseClick(form->PushButton2, Qt::LeftButton);
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(RowsNotCopied(form->CopyList->CopyRows()), QStringList());
    std::set<std::string> arrived;
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(out)))
        arrived.insert(entry.path().filename().native());
    names.insert("one\xff.txt");
    EXPECT_EQ(arrived, names);
}
