// The copy rules that hold on Windows too, checked with Windows' own means:
// attributes instead of permission bits, names Windows refuses, and a file
// held open by another program.
#include "copyrun/CopyOneFile.h"
#include "core/PathHelpers.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using Result = CopyOutcome::Result;

QByteArray Read(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void SetAttributes(const QString& path, DWORD attributes)
{
    ASSERT_TRUE(::SetFileAttributesW(ToFsPath(path).c_str(), attributes)) << path.toStdString();
}

} // namespace

TEST(CopyOneFileOnWindows, ReplacesAReadOnlyHiddenOrSystemDestination)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("new.txt"), "new");
    for (const DWORD attributes : {DWORD(FILE_ATTRIBUTE_READONLY), DWORD(FILE_ATTRIBUTE_HIDDEN),
                                   DWORD(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY)}) {
        const QString destination = tree.WriteFile(QStringLiteral("out/old.txt"), "old");
        SetAttributes(destination, attributes);
        EXPECT_EQ(CopyOneFile(source, destination).result, Result::Copied) << attributes;
        EXPECT_EQ(Read(destination), QByteArray("new")) << attributes;
        SetAttributes(destination, FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), QStringList{QStringLiteral("old.txt")});
    }
}

TEST(CopyOneFileOnWindows, ANameWindowsRefusesFailsWithItsReasonAndLeavesNothing)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("a.txt"), "a");
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    for (const QString& name : {QStringLiteral("what?.txt"), QStringLiteral("a|b.txt"), QStringLiteral("x<y>.txt")}) {
        const CopyOutcome outcome = CopyOneFile(source, out + NativeSeparator() + name);
        EXPECT_EQ(outcome.result, Result::Failed) << name.toStdString();
        EXPECT_TRUE(outcome.reason.contains(name)) << outcome.reason.toStdString();
    }
    EXPECT_TRUE(Entries(out).isEmpty());
}

TEST(CopyOneFileOnWindows, AFailedReplaceKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("new.txt"), "new");
    const QString destination = tree.WriteFile(QStringLiteral("out/busy.txt"), "old content");
    // Another program holds the file open and lets no one write or delete it.
    const HANDLE busy = ::CreateFileW(ToFsPath(destination).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    const CopyOutcome outcome = CopyOneFile(source, destination);
    ::CloseHandle(busy);

    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_FALSE(outcome.reason.isEmpty());
    EXPECT_EQ(Read(destination), QByteArray("old content"));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), QStringList{QStringLiteral("busy.txt")});
}
