#include "core/RowListModel.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

TEST(RowListModel, KeepsRowsInOrderThroughEveryChange)
{
    RowListModel rows(QStringLiteral("1. Source Folder(s)"));
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::Fatal);

    rows.Append(QStringLiteral("a"));
    rows.Append(QStringList{"b", "b", "c"});
    rows.Append(QStringList{});
    EXPECT_EQ(rows.Rows(), (QStringList{"a", "b", "b", "c"}));

    rows.Remove(1);
    EXPECT_EQ(rows.Rows(), (QStringList{"a", "b", "c"}));

    rows.SetText(2, QStringLiteral("z"));
    EXPECT_EQ(rows.data(rows.index(2), Qt::DisplayRole).toString(), QStringLiteral("z"));

    rows.SetRows(QStringList{"x", "y"});
    EXPECT_EQ(rows.rowCount(), 2);
    rows.Clear();
    EXPECT_TRUE(rows.IsEmpty());
}

TEST(RowListModel, ShowsItsHeaderInItsOneColumn)
{
    RowListModel rows(QStringLiteral("Random Copy List"));
    EXPECT_EQ(rows.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Random Copy List"));
    EXPECT_EQ(static_cast<QAbstractItemModel&>(rows).columnCount(), 1);
    EXPECT_FALSE(rows.headerData(0, Qt::Vertical, Qt::DisplayRole).isValid());
}

// Copy rows make their texts from what they copy; rows given as text alone
// keep theirs, wherever they stand among them and whatever is removed.
TEST(RowListModel, MixedRowsKeepTheirTextsThroughRemovals)
{
    RowListModel rows(QStringLiteral("Random Copy List"));
    QList<CopyRow> copies;
    for (int i = 0; i < 100; ++i)
        copies.append(CopyRowTo(QStringLiteral("/s/%1").arg(i), QStringLiteral("/d/%1").arg(i)));
    rows.SetRows(CopyPlan {copies});
    rows.Append(QStringLiteral("text alone"));
    rows.Append(QList<CopyRow>{copies[0]});
    rows.SetText(2, QStringLiteral("was a copy"));

    std::vector<int> odd;
    for (int row = 1; row < rows.Count(); row += 2)
        odd.push_back(row);
    rows.Remove(odd); // more than are removed one by one
    ASSERT_EQ(rows.Count(), 51);
    EXPECT_EQ(rows.Text(0), QStringLiteral("/s/0 will be copied to /d/0"));
    EXPECT_EQ(rows.Text(49), QStringLiteral("/s/98 will be copied to /d/98"));
    EXPECT_EQ(rows.Text(50), QStringLiteral("text alone"));
    EXPECT_TRUE(rows.CopyRowAt(50).IsBlank());
    EXPECT_EQ(rows.Rows().size(), 51);

    rows.Remove(0);
    EXPECT_EQ(rows.data(rows.index(0), Qt::DisplayRole).toString(), QStringLiteral("was a copy"));
    EXPECT_TRUE(rows.CopyRowAt(0).IsBlank());
    EXPECT_EQ(rows.Text(1), QStringLiteral("/s/4 will be copied to /d/4"));
    EXPECT_EQ(rows.AllRows().TextLength(1), rows.Text(1).size());
}
