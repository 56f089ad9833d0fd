#include "folders/ListFileSelection.h"
#include "folders/PathText.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {
const QChar kBackslash = u'\\';
const QChar kSlash = u'/';

// The chooser hands over native absolute paths: written here as on POSIX,
// on a drive on Windows (where a leading "\\" would start a network path).
QString Native(const char* path)
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:") + QDir::toNativeSeparators(QString::fromUtf8(path));
#else
    return QString::fromUtf8(path);
#endif
}
} // namespace

TEST(CollapseBackslashes, CollapsesPairsInsideThePath)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"no separators", "no separators"},
        {"C:\\Pics\\", "C:\\Pics\\"},
        {"C:\\Pics\\\\sun.jpg", "C:\\Pics\\sun.jpg"},
        {"D:\\\\out\\\\a.txt", "D:\\out\\a.txt"},
        {"a\\\\\\b", "a\\\\b"},     // three become two
        {"a\\\\\\\\b", "a\\\\b"},   // four become two
        {"C:\\\\", "C:\\"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(CollapseBackslashes(QString::fromLatin1(path), kBackslash), QString::fromLatin1(expected)) << path;
}

TEST(CollapseBackslashes, KeepsExactlyTwoAtTheStart)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\\\\", "\\\\"},
        {"\\", "\\\\"},
        {"\\\\\\\\", "\\\\"},
        {"\\\\server\\share\\\\x", "\\\\server\\share\\x"},
        {"\\x", "\\\\x"},
        {"\\\\\\x", "\\\\x"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(CollapseBackslashes(QString::fromLatin1(path), kBackslash), QString::fromLatin1(expected)) << path;
}

TEST(CollapseBackslashes, WorksOnTheNativeSeparatorToo)
{
    EXPECT_EQ(CollapseBackslashes(QStringLiteral("/home//me///music/"), kSlash), QStringLiteral("/home/me//music/"));
    EXPECT_EQ(CollapseBackslashes(QStringLiteral("/"), kSlash), QStringLiteral("/"));
    EXPECT_EQ(CollapseBackslashes(QStringLiteral("//server//share"), kSlash), QStringLiteral("//server/share"));
    EXPECT_EQ(CollapseBackslashes(QStringLiteral("////x"), kSlash), QStringLiteral("//x"));
    // A separator of the other form is plain text.
    EXPECT_EQ(CollapseBackslashes(QStringLiteral("a\\\\b"), kSlash), QStringLiteral("a\\\\b"));
}

TEST(BadNameCharacters, JudgesEachCharacterInTheCodePage)
{
    for (const char16_t* good : {u"Music", u"caf\u00e9", u"na\u00efve", u"a b-c_d (1)", u"\u00ff"})
        EXPECT_FALSE(HasBadNameCharacters(QString::fromUtf16(good))) << QString::fromUtf16(good).toStdString();
    // Controls, DEL, "?", the code page's 128-159 range (where it keeps
    // the euro sign and curly quotes), and anything it cannot show.
    for (const char16_t* bad : {u"a?b", u"tab\t", u"del\u007f", u"c1\u0081", u"\u20acuro", u"\u201cquoted\u201d",
                                u"\u65e5\u672c", u"smile\U0001F600"})
        EXPECT_TRUE(HasBadNameCharacters(QString::fromUtf16(bad))) << QString::fromUtf16(bad).toStdString();
}

TEST(ListFileSelection, FitsTheChoosersCapacity)
{
    EXPECT_TRUE(SelectionFitsDialog({}));
    EXPECT_TRUE(SelectionFitsDialog({QString(29999, u'x')}));
    EXPECT_FALSE(SelectionFitsDialog({QString(30000, u'x')}));

    // Folder "/d/" (3) + NUL, then names of 9 characters + NUL each, and a final NUL.
    QStringList many;
    for (int i = 0; i < 2999; ++i)
        many << Native("/d/%1.txt").arg(i, 5, 10, QChar(u'0'));
    EXPECT_TRUE(SelectionFitsDialog(many)); // 4 + 2999 * 10 + 1 = 29995
    many << Native("/d/abcde.txt");
    EXPECT_FALSE(SelectionFitsDialog(many)); // 30005
}

TEST(ListFileSelection, PathsToLoadKeepOneAsItIsAndNormaliseSeveral)
{
    EXPECT_EQ(PathsToLoad({Native("/a//b.txt")}), QStringList{Native("/a//b.txt")});
    EXPECT_EQ(PathsToLoad({Native("/x.txt"), Native("/y.txt")}), (QStringList{Native("/x.txt"), Native("/y.txt")}));
    EXPECT_EQ(PathsToLoad({Native("/lists//a.txt"), Native("/lists//b.txt")}),
              (QStringList{Native("/lists/a.txt"), Native("/lists/b.txt")}));
    EXPECT_EQ(BadCharactersMessage(QStringLiteral("/l/a.txt")),
              QStringLiteral("/l/a.txt\r\rwas not added because it has bad characters in the filename."));
    EXPECT_EQ(kTooManyFilesMessage,
              QStringLiteral("You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button."));
}
