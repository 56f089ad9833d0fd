// What counts as a file among the entries only POSIX makes here: a link
// to a file, and a named pipe, which would block whoever opened it.
#include "folders/FileChecks.h"
#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(IsExistingFile, ALinkToAFileIsOneAndAPipeIsNot)
{
    TempTree tree;
    const QString file = tree.WriteFile(QStringLiteral("a.txt"), "a");
    const QString link = tree.Path(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(file, link));
    const QString pipe = tree.Path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    EXPECT_TRUE(IsExistingFile(link));
    EXPECT_FALSE(IsExistingFile(pipe));
}
