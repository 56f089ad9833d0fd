#include "core/ApplicationTitle.h"
#include "core/Failure.h"
#include "core/ListFile.h"
#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

// Loads content as a list file into a list that already holds one row. The
// warnings shown go to warnings, the file's path written as LIST; without
// warnings none may be shown.
QStringList Load(const QByteArray& content, QStringList* warnings = nullptr)
{
    TempTree tree;
    const QString path = tree.WriteFile(QStringLiteral("folders.txt"), content);
    RowListModel list(QStringLiteral("header"));
    list.Append(QStringLiteral("earlier"));
    ScriptedDialogs dialogs;
    LoadListFromFile(list, path, dialogs);
    if (warnings) {
        for (const ScriptedDialogs::Shown& shown : dialogs.shown) {
            EXPECT_EQ(shown.icon, Dialogs::Icon::Warning);
            warnings->append(QString(shown.text).replace(path, QStringLiteral("LIST")));
        }
    } else {
        EXPECT_TRUE(dialogs.shown.empty());
    }
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

// Cut at the NUL, such a line would name another folder, even "/".
TEST(ListFileText, LinesHoldingANulAreRefusedAndNamed)
{
    QStringList warnings;
    EXPECT_EQ(Load(QByteArrayLiteral("a\r\n/\0tmp\r\nb\n"), &warnings), (QStringList{"a", "b", ""}));
    EXPECT_EQ(Load(QByteArrayLiteral("\0\r\na\n\0\r\n\0"), &warnings), QStringList{"a"});
    EXPECT_EQ(Load(QByteArrayLiteral("\0\n\0\r\0\r\n\0\n\0\n\0\n\0\nok"), &warnings), QStringList{"ok"});
    EXPECT_EQ(warnings, (QStringList{
        "Line 2 of LIST was not added because it holds a NUL byte.",
        "Lines 1, 3 and 4 of LIST were not added because they hold a NUL byte.",
        "Lines 1, 2, 3, 4, 5 and 2 more of LIST were not added because they hold a NUL byte.",
    }));
}

#ifndef Q_OS_WIN
TEST(ListFileText, BytesThatAreNotUtf8NameTheFolderThatHasThem)
{
    TempTree tree;
    const QString latin1 = tree.MakeFolder(QStringLiteral("lat") + QChar(0xDCE9)); // "laté" in Latin-1
    const std::string bytes = ToFsPath(latin1).native();
    const QByteArray line(bytes.data(), static_cast<qsizetype>(bytes.size()));
    EXPECT_EQ(Load(line + "\r\n" + line + "\xe9\r\n"), (QStringList{latin1, tree.Path(QStringLiteral("lat\u00e9\u00e9"))}));
}

// Read as it comes, whatever size the file claims: /dev/zero claims none.
TEST(ListFileErrors, AListPastTheLimitIsRefusedWhole)
{
    if (!PathExists(QStringLiteral("/dev/zero")))
        GTEST_SKIP() << "no /dev/zero";
    RowListModel list(QStringLiteral("header"));
    list.Append(QStringLiteral("kept"));
    ScriptedDialogs dialogs;
    LoadListFromFile(list, QStringLiteral("/dev/zero"), dialogs);
    EXPECT_EQ(list.Rows(), QStringList{QStringLiteral("kept")});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("/dev/zero was not loaded because it is larger than 64 MiB."));
    EXPECT_EQ(dialogs.shown[0].icon, Dialogs::Icon::Warning);
}
#endif

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
