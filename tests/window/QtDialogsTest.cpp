#include "support/TempTree.h"
#include "window/QtDialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QTest>

#include <gtest/gtest.h>

// The list-file chooser reads "All Files (*.*)" and, as on Windows, that
// means every file: a name without a dot too.
TEST(ListFileChooser, ShowsAllFilesStarDotStarAndListsEveryFile)
{
    TempTree tree;
    tree.WriteFile(QStringLiteral("folders.txt"));
    tree.WriteFile(QStringLiteral("README"));
    QtDialogs dialogs;
    const std::unique_ptr<QFileDialog> dialog = dialogs.OpenFilesDialog(QStringLiteral("Add"), QStringLiteral("All Files (*.*)"));
    dialog->setDirectory(tree.Path());
    dialog->show();
    const auto* filters = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(filters, nullptr);
    EXPECT_EQ(filters->currentText(), QStringLiteral("All Files (*.*)"));
    const auto* files = dialog->findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(files, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) == 2; }, 5000))
        << files->model()->rowCount(files->rootIndex());
}
