#include "core/ApplicationTitle.h"
#include "core/Dialogs.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

TEST(ShortTitle, DropsTheLastWordOnceForShortNames)
{
    EXPECT_EQ(ShortTitleFor(QStringLiteral("Random File Copier")), QStringLiteral("Random File"));
    // Exactly 40 characters still loses its last word.
    const QString forty = QStringLiteral("Abcdefghij Abcdefghij Abcdefghij Abcdefg");
    ASSERT_EQ(forty.size(), 40);
    EXPECT_EQ(ShortTitleFor(forty), QStringLiteral("Abcdefghij Abcdefghij Abcdefghij"));
}

TEST(ShortTitle, DropsWordsUntilFortyCharactersOrFewerRemain)
{
    const QString name = QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota Kappa");
    const QString title = ShortTitleFor(name);
    EXPECT_EQ(title, QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta Eta"));
    EXPECT_LE(title.size(), 40);
}

TEST(ShortTitle, KeepsANameWithoutBlankWhole)
{
    EXPECT_EQ(ShortTitleFor(QStringLiteral("Quorvex")), QStringLiteral("Quorvex"));
    const QString longWord(50, u'x');
    EXPECT_EQ(ShortTitleFor(longWord), longWord);
}

TEST(ShortTitle, PlainMessagesCarryTheTitle)
{
    SetApplicationTitle(QStringLiteral("Quorvex"));
    ScriptedDialogs dialogs;
    dialogs.MsgBox(QStringLiteral("Done."));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Quorvex"));
    EXPECT_EQ(dialogs.shown[0].icon, Dialogs::Icon::None);
    EXPECT_EQ(dialogs.shown[0].buttons, Dialogs::Buttons::Ok);
}
