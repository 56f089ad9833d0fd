#include "copyrun/CopyOneFile.h"
#include "core/PathHelpers.h"
#include "platform/FileSystem.h"
#include "support/TempTree.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

const QString kSep = NativeSeparator();

using Result = CopyOutcome::Result;

} // namespace

TEST(CopyOneFile, NormalisesBothPaths)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("a.txt"), "a");
    tree.MakeFolder(QStringLiteral("out"));
    const QString doubled = tree.Path() + kSep + kSep + QStringLiteral("out") + kSep + kSep + QStringLiteral("a.txt");
    EXPECT_EQ(CopyOneFile(source, doubled).result, Result::Copied);
    EXPECT_EQ(FileBytes(tree.Path(QStringLiteral("out/a.txt"))), QByteArray("a"));
}

TEST(CopyOneFile, TheSourceUnderAnotherNameIsNeverReplaced)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("music/song.mp3"), "the only copy");
    tree.MakeFolder(QStringLiteral("music/sub"));
    const QString hardLink = tree.Path(QStringLiteral("music/hard.mp3"));
    std::error_code error;
    std::filesystem::create_hard_link(ToFsPath(source), ToFsPath(hardLink), error);
    ASSERT_FALSE(error) << error.message();

    const QStringList sameFile{
        tree.Path(QStringLiteral("music/sub")) + kSep + QStringLiteral("../song.mp3"), // through ".."
        tree.Path(QStringLiteral("music")) + kSep + kSep + QStringLiteral("song.mp3"), // doubled separator
        hardLink,
    };
    for (const QString& destination : sameFile) {
        EXPECT_EQ(CopyOneFile(source, destination).result, Result::SameFile) << destination.toStdString();
        EXPECT_EQ(FileBytes(source), QByteArray("the only copy"));
    }
}

TEST(CopyOneFile, AFailedCopyLeavesTheOldDestinationAndNoTemporaryFile)
{
    TempTree tree;
    const QString destination = tree.WriteFile(QStringLiteral("out/keep.txt"), "old content");
    const CopyOutcome vanished = CopyOneFile(tree.Path(QStringLiteral("gone.txt")), destination);
    EXPECT_EQ(vanished.result, Result::Failed);
    EXPECT_FALSE(vanished.reason.isEmpty());
    EXPECT_EQ(FileBytes(destination), QByteArray("old content"));
    EXPECT_EQ(FolderEntries(tree.Path(QStringLiteral("out"))), QStringList{QStringLiteral("keep.txt")});
}

TEST(CopyOneFile, RowsThatCannotBeCopiedSayWhy)
{
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("a.txt"), "a");
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("  "), tree.Path(QStringLiteral("x.txt"))},
        {source, QStringLiteral(" ")},
        {tree.Path(QStringLiteral("missing.txt")), tree.Path(QStringLiteral("x.txt"))},
        {source, tree.Path(QStringLiteral("no-such-folder/x.txt"))},
        {source, QStringLiteral("no-folder-part.txt")},
    };
    for (const auto& [from, to] : cases) {
        const CopyOutcome outcome = CopyOneFile(from, to);
        EXPECT_EQ(outcome.result, Result::Failed) << from.toStdString() << " -> " << to.toStdString();
        EXPECT_FALSE(outcome.reason.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(tree.Path(QStringLiteral("x.txt"))));
}

TEST(CopyOneFile, ALargeFileReportsProgressAndAnAbandonedCopyLeavesNothing)
{
    TempTree tree;
    const QByteArray content = PatternBytes(20 * 1024 * 1024);
    const QString source = tree.WriteFile(QStringLiteral("large.bin"), content);
    const QString destination = tree.WriteFile(QStringLiteral("out/large.bin"), "old content");

    int pieces = 0;
    EXPECT_EQ(CopyOneFile(source, tree.Path(QStringLiteral("out/copy.bin")), [&](std::uint64_t) { ++pieces; }).result, Result::Copied);
    EXPECT_GE(pieces, 2);
    EXPECT_EQ(FileBytes(tree.Path(QStringLiteral("out/copy.bin"))), content);

    // The program ends in the middle of a copy (the window closed during a
    // yield): the half-made copy goes, the old destination stays.
    QStringList seenMidway;
    const CopyOutcome abandoned = CopyOneFile(source, destination, [&](std::uint64_t) {
        if (seenMidway.isEmpty()) {
            seenMidway = FolderEntries(tree.Path(QStringLiteral("out")));
            platform::RemoveUnfinishedCopies();
        }
    });
    // Midway the copy shows at most as a temporary file: none at all where
    // the file system can write a file without a name.
    ASSERT_FALSE(seenMidway.isEmpty());
    seenMidway.removeIf([](const QString& name) { return name.startsWith(".qvx-") && name.endsWith(".part"); });
    EXPECT_EQ(seenMidway, (QStringList{"copy.bin", "large.bin"}));
    EXPECT_EQ(abandoned.result, Result::Failed);
    EXPECT_EQ(FileBytes(destination), QByteArray("old content"));
    EXPECT_EQ(FolderEntries(tree.Path(QStringLiteral("out"))), (QStringList{"copy.bin", "large.bin"}));
}

// A source still being written (a download, a log) is no copy: the row says
// so, a replaced file stays and nothing else is left, whether the source
// shrinks (the copy would be short) or grows (it would match neither).
TEST(CopyOneFile, ASourceThatChangesWhileCopiedFailsItsRow)
{
    TempTree tree;
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    for (const bool shrinks : {true, false}) {
        for (const bool replacing : {false, true}) {
            const QString source = tree.WriteFile(QStringLiteral("growing.log"), PatternBytes(9 * 1024 * 1024));
            const QString destination = out + kSep + QStringLiteral("growing.log");
            QFile::remove(destination);
            if (replacing)
                tree.WriteFile(QStringLiteral("out/growing.log"), "old content");
            bool changed = false;
            const CopyOutcome outcome = CopyOneFile(source, destination, [&](std::uint64_t) {
                if (std::exchange(changed, true))
                    return;
                if (shrinks) {
                    std::filesystem::resize_file(ToFsPath(source), 1024 * 1024);
                } else {
                    QFile file(source);
                    ASSERT_TRUE(file.open(QIODevice::Append));
                    file.write(PatternBytes(1024));
                }
            });
            const std::string label = (shrinks ? "shrinks" : "grows") + std::string(replacing ? ", replacing" : "");
            ASSERT_TRUE(changed) << label;
            EXPECT_EQ(outcome.result, Result::Failed) << label;
            EXPECT_TRUE(outcome.reason.contains(QStringLiteral("the source changed while it was being copied"),
                                                Qt::CaseInsensitive))
                << label << ": " << outcome.reason.toStdString();
            EXPECT_EQ(FolderEntries(out), replacing ? QStringList{QStringLiteral("growing.log")} : QStringList{}) << label;
            if (replacing) {
                EXPECT_EQ(FileBytes(destination), QByteArray("old content")) << label;
            }
        }
    }
}
