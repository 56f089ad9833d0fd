#include "core/PathHelpers.h"
#include "randomlist/CorrelateListviews.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedRandom.h"
#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {
const QString kSep = NativeSeparator();

QString Row(const QString& source, const QString& destination)
{
    return source + QStringLiteral(" will be copied to ") + destination;
}
} // namespace

TEST(DestinationFileName, PutsTheRepeatNumberBeforeTheLastExtension)
{
    const std::tuple<const char*, std::uint32_t, const char*> cases[] = {
        {"sun.jpg", 0, "sun.jpg"},          {"sun.jpg", 1, "sun1.jpg"},
        {"sun.jpg", 2, "sun2.jpg"},         {"archive.tar.gz", 1, "archive.tar1.gz"},
        {"README", 1, "README1"},           {".profile", 1, "1.profile"},
        {"100%.txt", 1, "100%1.txt"},       {"rate%", 3, "rate%3"},
        {"a%1%", 0, "a%1%"},                {"x.", 12, "x12."},
    };
    for (const auto& [name, repeat, expected] : cases)
        EXPECT_EQ(DestinationFileName(QString::fromUtf8(name), repeat), QString::fromUtf8(expected)) << name;
}

TEST(WindowsFileName, ReplacesWhatWindowsRefusesAndDropsTrailingDotsAndBlanks)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"What's Up?.mp3", u"What's Up_.mp3"}, {u"AC:DC.mp3", u"AC_DC.mp3"},
        {u"*<a|b>\"\\.txt", u"__a_b___.txt"},  {u"tab\there\x1f\x7f.txt", u"tab_here_\x7f.txt"},
        {u"a. .", u"a"},                        {u"name. ", u"name"},
        {u" . ", u"_"},                         {u"...", u"_"},
        {u" lead.txt", u" lead.txt"},           {u"Ü.mp3", u"Ü.mp3"},
        // A byte that is no UTF-8 (Latin-1 é) and a whole character beyond U+FFFF.
        {u"caf\xdce9.mp3", u"caf_.mp3"},       {u"\U0001F3B5.mp3", u"\U0001F3B5.mp3"},
    };
    for (const auto& [name, expected] : cases) {
        const QString text = QString::fromUtf16(name);
        EXPECT_EQ(WindowsFileName(text), QString::fromUtf16(expected)) << text.toStdString();
    }
    EXPECT_EQ(WindowsFileName(QString(QChar(u'\0')) + "x"), QStringLiteral("_x"));
}

// Plain ASCII names: marks dropped, the letters decomposition keeps spelt
// out, one "_" for each code point still beyond ASCII; then the rule of the
// destination's file system.
TEST(AsciiName, FoldsLettersAndReplacesTheRest)
{
    const std::tuple<NameRule, const char16_t*, const char16_t*> cases[] = {
        {NameRule::Ascii, u"Café Ü ñ.mp3", u"Cafe U n.mp3"},
        {NameRule::Ascii, u"øØßæÆœŒđĐłŁþÞðÐı", u"oOssaeAEoeOEdDlLthThdDi"},
        {NameRule::Ascii, u"Björk – Jóga.mp3", u"Bjork _ Joga.mp3"},
        {NameRule::Ascii, u"ﬁ².mp3", u"fi2.mp3"}, // compatibility forms decompose too
        {NameRule::Ascii, u"日本 \U0001F3B5.mp3", u"__ _.mp3"},
        {NameRule::Ascii, u"caf\xdce9.mp3", u"caf_.mp3"},
        {NameRule::AsciiWindows, u"Qué?.mp3", u"Que_.mp3"},
        {NameRule::AsciiWindows, u"Ωmega…", u"_mega"}, // "…" is "...", which FAT drops at the end
        {NameRule::AsciiWindows, u"end\u3002", u"end_"},
    };
    for (const auto& [rule, name, expected] : cases) {
        const QString text = QString::fromUtf16(name);
        EXPECT_EQ(NameUnder(rule, text), QString::fromUtf16(expected)) << text.toStdString();
    }
}

TEST(Pairing, EachDrawnFileGoesToEachDestinationInOrder)
{
    const QString a = kSep + QStringLiteral("src") + kSep + QStringLiteral("a.txt");
    const QString b = kSep + QStringLiteral("src") + kSep + QStringLiteral("b.txt");
    const QString d1 = kSep + QStringLiteral("d1");
    const QString d2 = kSep + QStringLiteral("d2") + kSep;
    const CopyPlan plan = PairWithDestinations({{a, 0}, {b, 0}}, {d1, d2});
    EXPECT_EQ(plan.Texts(), (QStringList{Row(a, d1 + kSep + "a.txt"), Row(a, d2 + "a.txt"), Row(b, d1 + kSep + "b.txt"),
                                       Row(b, d2 + "b.txt")}));
    // Each row carries what it copies beside its text, even where a name
    // holds the words that join the two paths.
    EXPECT_EQ(plan.rows[1], (CopyRow {a, d2, "a.txt"}));
    const QString tricky = kSep + QStringLiteral("Live will be copied to x") + kSep + QStringLiteral("a will be copied to b");
    const QString music = kSep + QStringLiteral("Music will be copied to Backup") + kSep;
    const CopyPlan phrased = PairWithDestinations({{tricky, 0}}, {music});
    EXPECT_EQ(phrased.Texts(), QStringList{Row(tricky, music + "a will be copied to b")});
    EXPECT_EQ(phrased.rows[0].source, tricky);
    EXPECT_EQ(phrased.rows[0].Destination(), music + "a will be copied to b");
}

TEST(Pairing, RepeatsGetNumberedNamesAndPercentNamesStayWhole)
{
    const QString sun = kSep + QStringLiteral("pics") + kSep + QStringLiteral("sun.jpg");
    const QString odd = kSep + QStringLiteral("pics") + kSep + QStringLiteral("50%off%.jpg");
    const QString out = kSep + QStringLiteral("out");
    const QStringList rows = PairWithDestinations({{sun, 0}, {sun, 1}, {sun, 2}, {odd, 0}, {odd, 1}}, {out}).Texts();
    EXPECT_EQ(rows, (QStringList{Row(sun, out + kSep + "sun.jpg"), Row(sun, out + kSep + "sun1.jpg"),
                                 Row(sun, out + kSep + "sun2.jpg"), Row(odd, out + kSep + "50%off%.jpg"),
                                 Row(odd, out + kSep + "50%off%1.jpg")}));
}

TEST(Pairing, ADestinationListedTwiceGetsTwoIdenticalRows)
{
    const QString a = kSep + QStringLiteral("a.txt");
    const QString out = kSep + QStringLiteral("out") + kSep;
    EXPECT_EQ(PairWithDestinations({{a, 0}}, {out, out}).Texts(), (QStringList{Row(a, out + "a.txt"), Row(a, out + "a.txt")}));
}

// Different files bound for one name in one plan: the first keeps it, the
// later ones take the lowest free number, without regard to letter case.
TEST(DestinationNames, NoFileOfThePlanReplacesAnother)
{
    const auto entry = [](const char* folder, const char* name, std::uint32_t repeat = 0) {
        return SelectionEntry {kSep + QString::fromUtf8(folder) + kSep + QString::fromUtf8(name), repeat};
    };
    const struct {
        Selection selection;
        QStringList names;
        NameRule rule = NameRule::AsIs;
    } cases[] = {
        {{entry("a", "cover.jpg"), entry("b", "cover.jpg"), entry("c", "Cover.JPG")},
         {"cover.jpg", "cover1.jpg", "Cover2.JPG"}},
        // A repeat name and another file of that name never meet, either way round.
        {{entry("a", "sun.jpg"), entry("b", "sun1.jpg"), entry("a", "sun.jpg", 1)}, {"sun.jpg", "sun1.jpg", "sun2.jpg"}},
        {{entry("a", "sun.jpg"), entry("a", "sun.jpg", 1), entry("b", "sun1.jpg")}, {"sun.jpg", "sun1.jpg", "sun11.jpg"}},
        // The lowest number that no earlier row took, whoever took the others.
        {{entry("a", "c.jpg"), entry("b", "c1.jpg"), entry("c", "c.jpg")}, {"c.jpg", "c1.jpg", "c2.jpg"}},
        // One file drawn twice (its folder listed twice) is copied twice, not renamed.
        {{entry("a", "x.txt"), entry("b", "x.txt"), entry("a", "x.txt"), entry("b", "x.txt")},
         {"x.txt", "x1.txt", "x.txt", "x1.txt"}},
        {{entry("a", "README"), entry("b", "readme"), entry("c", ".profile"), entry("d", ".PROFILE")},
         {"README", "readme1", ".profile", "1.PROFILE"}},
        // Where Windows' rules hold, the name the file system takes is the one compared.
        {{entry("a", "AC:DC.mp3"), entry("b", "ac_dc.mp3"), entry("a", "AC:DC.mp3", 1), entry("c", "a?."),
          entry("d", "A*")},
         {"AC_DC.mp3", "ac_dc1.mp3", "AC_DC2.mp3", "a_", "A_1"},
         NameRule::Windows},
        {{entry("a", "AC:DC.mp3"), entry("b", "ac_dc.mp3")}, {"AC:DC.mp3", "ac_dc.mp3"}},
        // Letter case beyond ASCII, in and outside the Basic Multilingual
        // Plane (Deseret); letters that merely look alike stay apart.
        {{entry("a", "Été.mp3"), entry("b", "été.mp3"), entry("c", "\xF0\x90\x90\x80.txt"),
          entry("d", "\xF0\x90\x90\xA8.txt"), entry("e", "ete.mp3")},
         {"Été.mp3", "été1.mp3", "\xF0\x90\x90\x80.txt", "\xF0\x90\x90\xA8" "1.txt", "ete.mp3"}},
    };
    for (const auto& [selection, names, rule] : cases)
        EXPECT_EQ(DestinationNames(selection, {}, {}, rule), names) << selection.back().path.toStdString();

    // Every destination gets the same names, shown in the rows.
    const QString out = kSep + QStringLiteral("out") + kSep;
    const QString stick = kSep + QStringLiteral("stick") + kSep;
    EXPECT_EQ(PairWithDestinations({entry("a", "cover.jpg"), entry("b", "cover.jpg")}, {out, stick}).Texts(),
              (QStringList{Row(entry("a", "cover.jpg").path, out + "cover.jpg"),
                           Row(entry("a", "cover.jpg").path, stick + "cover.jpg"),
                           Row(entry("b", "cover.jpg").path, out + "cover1.jpg"),
                           Row(entry("b", "cover.jpg").path, stick + "cover1.jpg")}));
}

// More names than one thread makes: each keeps its place, and names alike
// in different threads' runs still meet.
TEST(DestinationNames, ManyNamesKeepTheirPlacesAndMeetAcrossRuns)
{
    Selection many;
    for (int i = 0; i < 3 * static_cast<int>(kPathsPerThread); ++i)
        many.push_back({kSep + QStringLiteral("a") + kSep + QStringLiteral("n%1x.txt").arg(i), 0});
    many.push_back({kSep + QStringLiteral("b") + kSep + QStringLiteral("N7X.TXT"), 0});
    const QStringList names = DestinationNames(many);
    ASSERT_EQ(names.size(), static_cast<qsizetype>(many.size()));
    qsizetype misplaced = 0;
    for (qsizetype i = 0; i + 1 < names.size(); ++i)
        misplaced += names[i] != FileNameOf(many[static_cast<std::size_t>(i)].path) ? 1 : 0;
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(names.back(), QStringLiteral("N7X1.TXT"));
}

// Which file a path names decides, not how it is written; and a file that
// already lies in a destination keeps its name there.
TEST(DestinationNames, OneFileIsOneFileHoweverItIsReached)
{
    TempTree tree;
    const QString p = tree.WriteFile(QStringLiteral("p/a.jpg"), "p");
    const QString q = tree.WriteFile(QStringLiteral("q/a.jpg"), "q");
#ifdef Q_OS_WIN
    // There QFile::link makes a shortcut, not a link; letter case reaches
    // the same folder.
    const QString linked = tree.Path(QStringLiteral("P"));
#else
    const QString linked = tree.Path(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(tree.Path(QStringLiteral("p")), linked));
#endif
    const QString doubled = tree.Path(QStringLiteral("p")) + kSep + kSep + QStringLiteral("a.jpg");
    const Selection writings = {{p, 0}, {doubled, 0}, {linked + kSep + "a.jpg", 0}, {q, 0}, {doubled, 1}};
    EXPECT_EQ(DestinationNames(writings), (QStringList{"a.jpg", "a.jpg", "a.jpg", "a1.jpg", "a2.jpg"}));

    const QString home = tree.Path(QStringLiteral("q"));
    EXPECT_EQ(DestinationNames({{p, 0}, {q, 0}, {doubled, 0}}, {home + kSep}),
              (QStringList{"a1.jpg", "a.jpg", "a1.jpg"}));
}

TEST(Pairing, ASingleDrawnFileIsPairedLikeAnyOther)
{
    TempTree tree;
    const QString file = tree.WriteFile(QStringLiteral("src/only.mp3"), "m");
    ScriptedRandom random({0.3f});
    ScriptedDialogs dialogs;
    SelectionRequest request;
    request.sourceRows = {tree.Path(QStringLiteral("src"))};
    request.numberOfFiles = 1;
    const QString out = tree.Path(QStringLiteral("out"));
    EXPECT_EQ(CorrelateListviews(request, {out}, random, dialogs).Texts(), QStringList{Row(file, out + kSep + "only.mp3")});
}

TEST(Pairing, TheRowLimitCountsEveryDestination)
{
    TempTree tree;
    tree.WriteFile(QStringLiteral("src/a"), "a");
    ScriptedRandom random;
    ScriptedDialogs dialogs;
    SelectionRequest request;
    request.sourceRows = {tree.Path(QStringLiteral("src"))};
    request.numberOfFiles = 3;
    request.allowRepeats = true;
    request.maxRows = 5; // three files to two folders would be six rows
    EXPECT_TRUE(CorrelateListviews(request, {QStringLiteral("d1"), QStringLiteral("d2")}, random, dialogs).rows.isEmpty());
    EXPECT_EQ(dialogs.Messages().size(), 1);
}

TEST(Pairing, BlankRowsNameNoFolder)
{
    const QString a = kSep + QStringLiteral("a.txt");
    const QString out = kSep + QStringLiteral("out") + kSep;
    // A blank line of a list file must not send files to the root.
    EXPECT_EQ(PairWithDestinations({{a, 0}}, {QString(), QStringLiteral("  "), out}).Texts(),
              QStringList{Row(a, out + "a.txt")});

    TempTree tree;
    ScriptedRandom random;
    ScriptedDialogs dialogs;
    SelectionRequest request;
    request.sourceRows = {QString(), QStringLiteral(" ")};
    request.numberOfFiles = 5;
    EXPECT_TRUE(randomFileList(request, random, dialogs).empty());
    EXPECT_TRUE(dialogs.shown.empty());
}
