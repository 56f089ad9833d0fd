#pragma once

#include "core/PathHelpers.h"
#include "folders/SubfolderScan.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

// A scan of folders in a temporary tree, which must show no message.
class SubfolderScan : public ::testing::Test {
protected:
    QStringList Scan(const QString& top, bool recurse = true)
    {
        QStringList folders{top + NativeSeparator()};
        GetSubDirectories2016(folders, recurse, dialogs);
        EXPECT_TRUE(dialogs.shown.empty());
        return folders;
    }

    // A folder of the tree as the scan lists it, with its closing separator.
    QString Folder(const QString& relative) { return tree.Path(relative) + NativeSeparator(); }

    TempTree tree;
    ScriptedDialogs dialogs;
};
