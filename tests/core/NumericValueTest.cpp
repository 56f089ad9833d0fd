#include "core/NumericValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct Case {
    const char16_t* text;
    double value;
};

} // namespace

TEST(NumericValue, ReadsTheLeadingNumber)
{
    const Case cases[] = {
        {u"100", 100},      {u"-5", -5},        {u"2.5", 2.5},     {u"7 files", 7},  {u"+4", 4},
        {u".5", 0.5},       {u"1.5.5", 1.5},    {u"12abc", 12},    {u"1e3", 1000},   {u"1E-2", 0.01},
        {u"2.5e+1x", 25},   {u"1e", 1},         {u"1e+", 1},       {u"3-4", 3},      {u"0x10", 0},
        {u"1,5", 1},        {u"007", 7},        {u"-.25", -0.25},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(NumericValue(QString::fromUtf16(c.text)), c.value) << QString::fromUtf16(c.text).toStdString();
}

TEST(NumericValue, SkipsBlanksTabsAndLineFeedsWhereverTheyStand)
{
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("  42")), 42);
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("1 2 3")), 123);
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("\t-\n3")), -3);
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("- 5")), -5);
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("1 . 5 e 2")), 150);
    // A carriage return is not skipped: it ends the number.
    EXPECT_DOUBLE_EQ(NumericValue(QStringLiteral("1\r2")), 1);
}

TEST(NumericValue, IsZeroWithoutALeadingNumber)
{
    for (const char16_t* text : {u"", u"abc", u"-", u"+", u".", u"e5", u"--5", u"   ", u"\u0661", u"\uff11"})
        EXPECT_EQ(NumericValue(QString::fromUtf16(text)), 0.0) << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(NumericValue(QStringLiteral("0.0")), 0.0);
    EXPECT_EQ(NumericValue(QStringLiteral("  0")), 0.0);
}

TEST(NumericValue, HandlesNumbersBeyondADouble)
{
    EXPECT_EQ(NumericValue(QStringLiteral("1e999")), std::numeric_limits<double>::infinity());
    EXPECT_EQ(NumericValue(QStringLiteral("-1e999")), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(NumericValue(QStringLiteral("1e-999")), 0.0);
    EXPECT_EQ(NumericValue(QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1")), 0.0);
    EXPECT_EQ(NumericValue(QStringLiteral("1") + QString(400, u'0')), std::numeric_limits<double>::infinity());
}
