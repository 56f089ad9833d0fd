#include "core/ApplicationTitle.h"
#include "core/Failure.h"
#include "core/ListFile.h"
#include "core/RowListModel.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

// Loads content as a list file into a list that already holds one row.
QStringList Load(const QByteArray& content)
{
    TempTree tree;
    const QString path = tree.WriteFile(QStringLiteral("folders.txt"), content);
    RowListModel list(QStringLiteral("header"));
    list.Append(QStringLiteral("earlier"));
    ScriptedDialogs dialogs;
    LoadListFromFile(list, path, dialogs);
    EXPECT_TRUE(dialogs.shown.empty());
    QStringList rows = list.Rows();
    EXPECT_EQ(rows.takeFirst(), QStringLiteral("earlier"));
    return rows;
}

// A device that hands out its data and then fails.
class FailingDevice final : public QIODevice {
public:
    FailingDevice(QByteArray data) : data_(std::move(data)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* out, qint64 size) override
    {
        if (position_ == data_.size()) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 count = std::min<qint64>(size, data_.size() - position_);
        std::copy_n(data_.constData() + position_, count, out);
        position_ += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray data_;
    qint64 position_ = 0;
};

} // namespace

TEST(ListFileLines, CrLfEndsGiveOneRowPerLine)
{
    EXPECT_EQ(Load("a\r\nb\r\nc\r\n"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(Load("a\r\nb\r\nc"), (QStringList{"a", "b", "c"}));
}

TEST(ListFileLines, LoneLfEndsGiveAnEmptyLastRow)
{
    EXPECT_EQ(Load("a\nb\nc\n"), (QStringList{"a", "b", "c", ""}));
    EXPECT_EQ(Load("a\nb\nc"), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(Load("\n"), (QStringList{"", ""}));
}

TEST(ListFileLines, CrAloneEndsALine)
{
    EXPECT_EQ(Load("a\rb\r"), (QStringList{"a", "b"}));
    EXPECT_EQ(Load("a\r\rb"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(Load("a\n\rb"), (QStringList{"a", "", "b"}));
}

TEST(ListFileLines, KeepsEmptyLinesAndBlanks)
{
    EXPECT_EQ(Load("  C:\\Pics \r\n\r\nD:\\Out\\\r\n"), (QStringList{"  C:\\Pics ", "", "D:\\Out\\"}));
    EXPECT_EQ(Load(""), QStringList());
}

TEST(ListFileLines, CrLfSplitAcrossReadsIsOneLineEnd)
{
    // The reader takes the file in 64 KiB pieces; the CR LF straddles two.
    QByteArray content(65535, 'x');
    content += "\r\nnext\r\n";
    const QStringList rows = Load(content);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].size(), 65535);
    EXPECT_EQ(rows[1], QStringLiteral("next"));
}

TEST(ListFileText, ReadsUtf8AndFallsBackToWindows1252)
{
    EXPECT_EQ(Load("caf\xc3\xa9\r\n"), QStringList{QStringLiteral("caf\u00e9")});
    EXPECT_EQ(Load("caf\xe9\r\n\x80uro\r\n"), (QStringList{QStringLiteral("caf\u00e9"), QStringLiteral("\u20acuro")}));
}

TEST(ListFileErrors, MissingFileIsReportedAndTheListLeftAlone)
{
    SetApplicationTitle(QStringLiteral("Quorvex"));
    TempTree tree;
    RowListModel list(QStringLiteral("header"));
    list.Append(QStringLiteral("kept"));
    ScriptedDialogs dialogs;
    LoadListFromFile(list, tree.Path(QStringLiteral("gone.txt")), dialogs);
    EXPECT_EQ(list.Rows(), QStringList{QStringLiteral("kept")});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("File not found"));
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Quorvex"));
    EXPECT_EQ(dialogs.shown[0].icon, Dialogs::Icon::None);
}

TEST(ListFileErrors, AFolderInsteadOfAFileFails)
{
    TempTree tree;
    RowListModel list(QStringLiteral("header"));
    ScriptedDialogs dialogs;
    EXPECT_THROW(LoadListFromFile(list, tree.MakeFolder(QStringLiteral("sub")), dialogs), Failure);
    EXPECT_EQ(list.Count(), 0);
}

TEST(ListFileErrors, ReadFailureKeepsTheRowsReadBefore)
{
    FailingDevice device("one\r\ntwo\r\nthr");
    RowListModel list(QStringLiteral("header"));
    try {
        AppendListRows(device, list);
        FAIL() << "the read failure was swallowed";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), QStringLiteral("Input/output error"));
    }
    EXPECT_EQ(list.Rows(), (QStringList{"one", "two"}));
}
