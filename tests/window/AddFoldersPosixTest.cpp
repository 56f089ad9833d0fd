// A folder that cannot be listed for its permission bits: POSIX only.
#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "support/AddFoldersFixture.h"
#include "support/Permissions.h"

#include <gtest/gtest.h>

namespace {

const QString kSep = NativeSeparator();

} // namespace

TEST_F(AddFolders, AFolderThatCannotBeListedAddsOnlyItsOwnRow)
{
    fixture.tree.MakeFolder(QStringLiteral("shut/below"));
    SetMode(fixture.tree.Path(QStringLiteral("shut")), 0);
    fixture.dialogs.folderAnswers = {fixture.tree.Path(QStringLiteral("shut"))};
    {
        PermissionsApply permissions;
        ASSERT_FALSE(CanList(fixture.tree.Path(QStringLiteral("shut"))));
        Click(form->PushButton5);
    }
    SetMode(fixture.tree.Path(QStringLiteral("shut")), 0755);
    EXPECT_EQ(form->DestinationList->Rows(), QStringList{fixture.tree.Path(QStringLiteral("shut")) + kSep});
}
