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
