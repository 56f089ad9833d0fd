#include "commandline/CommandLine.h"
#include "core/PathHelpers.h"
#include "core/RandomSource.h"
#include "core/RowListModel.h"
#include "support/FormFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// The real program, started as a script would start it.
class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { process.setProcessEnvironment(Environment()); }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), tree.Path(QStringLiteral("config")));
        environment.remove(QStringLiteral("DISPLAY"));
        return environment;
    }

    Outcome Run(const QStringList& arguments)
    {
        process.start(QStringLiteral(QUORVEX_PROGRAM), arguments);
        EXPECT_TRUE(process.waitForFinished(60'000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    // Six files in two folders, of 1 to 6 bytes.
    QString Library()
    {
        for (int i = 1; i <= 6; ++i)
            tree.WriteFile(QStringLiteral("lib/%1/f%2.txt").arg(i % 2).arg(i), QByteArray(i, 'x'));
        return tree.Path(QStringLiteral("lib"));
    }

    std::set<std::string> Names(const QString& folder)
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(folder)))
            names.insert(entry.path().filename().native());
        return names;
    }

    TempTree tree;
    QProcess process;
};

} // namespace

// Qt's own options, such as a session manager's -session, still open the window.
TEST(CommandLineOptions, OnlyOptionsOfItsOwnLeaveTheWindowClosed)
{
    const std::pair<QStringList, bool> cases[] = {
        {{"quorvex"}, false},
        {{"quorvex", "-platform", "offscreen"}, false},
        {{"quorvex", "-session", "1234", "-style", "fusion", "-reverse"}, false},
        {{"quorvex", "--platform", "xcb", "notes.txt"}, false},
        {{"quorvex", "-s", "music", "-d", "stick"}, true},
        {{"quorvex", "-platform", "offscreen", "--dry-run"}, true},
        {{"quorvex", "--count=5"}, true},
        {{"quorvex", "-rq"}, true},
        {{"quorvex", "--help"}, true},
    };
    for (const auto& [arguments, withoutWindow] : cases)
        EXPECT_EQ(IsCommandLineRun(arguments), withoutWindow) << arguments.join(u' ').toStdString();
}

TEST_F(CommandLine, ExitStatusesAndTheirMessages)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const QString empty = tree.MakeFolder(QStringLiteral("empty"));
    const struct {
        QStringList arguments;
        int status;
        const char* message;
    } cases[] = {
        {{"-q"}, 2, "give at least one source"},
        {{"-s", library, "-d", out, "-n", "0"}, 2, "at least 1"},
        {{"-s", library, "-d", out, "-n", "many"}, 2, "at least 1"},
        {{"-s", library, "-d", out, "--max-size", "12Q"}, 2, "no size"},
        {{"--plan", "p.txt", "-s", library}, 2, "takes no sources"},
        {{"-s", library, "-d", out, "stray"}, 2, "unexpected argument"},
        {{"-s", library, "-d", out, "-platform", "offscreen"}, 2, "-platform is an option of the window"},
        {{"-s", library, "-d", out, "-r", "--max-size", "1G"}, 2, "with -r, --max-size needs -n"},
        {{"-s", empty, "-d", out, "--seed", "1"}, 1, "No files added."},
        {{"-s", library + "/1", "-d", tree.Path(QStringLiteral("missing")), "-n", "1", "--seed", "1"}, 1,
         "1 file could not be copied"},
        {{"--source-tree", library, "-d", out, "-n", "2", "--seed", "1"}, 0, "2 copied, 0 skipped, 0 failed"},
    };
    for (const auto& [arguments, status, message] : cases) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, status) << arguments.join(u' ').toStdString() << "\n" << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(QString::fromUtf8(message))) << outcome.err.toStdString();
        // A usage error reads and copies nothing; no run draws without saying its seed.
        EXPECT_EQ(outcome.err.contains(QStringLiteral("quorvex: seed ")), status != 2 && !arguments.contains("--seed"));
    }
    // Only the last case copied, and a progress line shows on terminals only.
    EXPECT_EQ(Names(out).size(), 2u);
    EXPECT_FALSE(Run({"-s", library, "-d", out, "-n", "1", "--seed", "1"}).err.contains(u'\r'));
}

TEST_F(CommandLine, ADryRunPrintsTheRowsAndASeedReproducesThem)
{
    tree.WriteFile(QStringLiteral("odd/caf") + QChar(0xDCE9) + QStringLiteral(".txt"), "e");
    tree.WriteFile(QStringLiteral("odd/new\nline\\.txt"), "n");
    for (int i = 0; i < 20; ++i)
        tree.WriteFile(QStringLiteral("odd/%1.txt").arg(i), "x");
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const QStringList arguments = {"-s", tree.Path(QStringLiteral("odd")), "-d", out, "-d", out, "-n", "22", "--dry-run"};
    const Outcome first = Run(arguments + QStringList{"--seed", "42"});
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(Names(out).empty());
    const QStringList rows = first.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 44);
    EXPECT_EQ(rows[0], rows[1]); // one file to the same folder twice
    const QString odd = tree.Path(QStringLiteral("odd/"));
    EXPECT_TRUE(rows.contains(odd + "caf\\xe9.txt will be copied to " + out + "/caf\\xe9.txt"));
    EXPECT_TRUE(rows.contains(odd + "new\\x0aline\\\\.txt will be copied to " + out + "/new\\x0aline\\\\.txt"));
    EXPECT_EQ(Run(arguments + QStringList{"--seed", "42"}).out, first.out);
    EXPECT_NE(Run(arguments + QStringList{"--seed", "43"}).out, first.out);
}

// A seed gives the same plan from the same tree, whatever order the file
// system lists its folders in: tmpfs lists the newest first.
TEST_F(CommandLine, ASeedDrawsTheSameFromTheSameTreeListedInAnotherOrder)
{
    QTemporaryDir memory(QStringLiteral("/dev/shm/quorvex-XXXXXX"));
    ASSERT_TRUE(memory.isValid());
    QStringList plans;
    for (const QString& order : {QStringLiteral("abcd"), QStringLiteral("dcba")}) {
        const QString root = memory.filePath(order);
        for (const QChar folder : order) {
            QDir().mkpath(root + u'/' + folder);
            std::ofstream(ToFsPath(root + u'/' + folder + QStringLiteral("/1.txt"))) << "x";
        }
        const QString plan = Run({"--source-tree", root, "-d", "/out", "-n", "3", "--seed", "7", "--dry-run"}).out;
        plans << QString(plan).replace(root, QStringLiteral("ROOT"));
    }
    EXPECT_EQ(plans[0], plans[1]);
    EXPECT_EQ(plans[0].count(u'\n'), 3);
}

// Without a number the budget alone decides: the plan never passes it, and
// every file left out would not have fitted in what was left.
TEST_F(CommandLine, TheSizeBudgetIsFilledAsFarAsTheDrawAllows)
{
    const QString library = Library(); // 21 bytes in all
    const QString stick = tree.MakeFolder(QStringLiteral("stick"));
    const Outcome outcome = Run({"--source-tree", library, "-d", stick, "--max-size", "0.0107K", "--seed", "5"});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("plan: "))) << outcome.err.toStdString();
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ToFsPath(stick)))
        total += entry.file_size();
    EXPECT_LE(total, 10u);
    for (int i = 1; i <= 6; ++i) {
        if (!Names(stick).count(QStringLiteral("f%1.txt").arg(i).toStdString())) {
            EXPECT_GT(total + i, 10u) << "f" << i << " would still have fitted";
        }
    }
    // Asked for more files than there are, the files that fit are still drawn.
    const QStringList arguments = {"--source-tree", library, "-d", stick, "-n", "100", "--max-size", "10", "--dry-run"};
    EXPECT_NE(Run(arguments + QStringList {"--seed", "1"}).out, Run(arguments + QStringList {"--seed", "2"}).out);
}

TEST_F(CommandLine, AnEditedPlanIsCarriedOutAndExistingCopiesAreSkipped)
{
    const QString library = Library();
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    const QString plan = tree.Path(QStringLiteral("plan.txt"));
    ASSERT_EQ(Run({"--source-tree", library, "-d", out, "-n", "3", "--save-plan", plan, "--dry-run"}).status, 0);
    EXPECT_TRUE(Names(out).empty());
    std::ifstream saved(ToFsPath(plan));
    std::string first, second;
    std::getline(saved, first);
    std::getline(saved, second);
    // By hand: one row renamed, one gone, a blank line and a broken line added.
    first.replace(first.rfind('/') + 1, std::string::npos, "renamed.txt");
    std::ofstream(ToFsPath(plan)) << first << "\n\n" << second << "\nno row here\n";
    const Outcome edited = Run({"--plan", plan});
    EXPECT_EQ(edited.status, 1);
    EXPECT_TRUE(edited.err.contains(plan + ":4: the row does not say what is copied where")) << edited.err.toStdString();
    EXPECT_EQ(Names(out).size(), 2u);
    EXPECT_TRUE(Names(out).count("renamed.txt"));

    const Outcome again = Run({"--plan", plan, "--skip-existing", "--exclude", "no row"});
    EXPECT_TRUE(again.err.contains(QStringLiteral("0 copied, 2 skipped"))) << again.err.toStdString();
    // A copy whose time differs by more than FAT's two seconds is copied again.
    const std::filesystem::path renamed = ToFsPath(out + "/renamed.txt");
    std::filesystem::last_write_time(renamed, std::filesystem::last_write_time(renamed) - std::chrono::seconds(3));
    EXPECT_TRUE(Run({"--plan", plan, "--skip-existing"}).err.contains(QStringLiteral("1 copied, 1 skipped")));
}

// Ctrl+C in the middle of a large file that replaces an existing one: the
// old file stays and no temporary file is left.
TEST_F(CommandLine, AnInterruptLeavesTheOldFileAndNoTemporaryOne)
{
    const QString big = tree.WriteFile(QStringLiteral("src/big.bin"));
    ASSERT_EQ(::truncate(ToFsPath(big).c_str(), 3LL << 30), 0); // a sparse file, copied byte for byte
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    tree.WriteFile(QStringLiteral("out/big.bin"), "old");
    process.start(QStringLiteral(QUORVEX_PROGRAM), {"-s", tree.Path(QStringLiteral("src")), "-d", out, "-n", "1"});
    ASSERT_TRUE(process.waitForStarted());
    // The copy is being written once the program holds a file open in out/
    // (with or without a name yet).
    const std::string inside = std::filesystem::canonical(ToFsPath(out)).native() + '/';
    const std::filesystem::path held = "/proc/" + std::to_string(process.processId()) + "/fd";
    bool seen = false;
    for (int wait = 0; wait < 20'000 && !seen && process.state() == QProcess::Running; ++wait) {
        std::error_code error;
        for (auto it = std::filesystem::directory_iterator(held, error); !error && it != std::filesystem::directory_iterator(); it.increment(error))
            seen = seen || std::filesystem::read_symlink(it->path(), error).native().starts_with(inside);
        if (!seen)
            ::usleep(500);
    }
    ASSERT_TRUE(seen) << "the copy ended before it could be interrupted";
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30'000));
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(Names(out), std::set<std::string>{"big.bin"});
    std::ifstream old(ToFsPath(out + "/big.bin"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
}

// One implementation: the window, given the same seed, makes the same rows.
TEST_F(CommandLine, TheWindowDrawsTheSamePlanFromTheSameSeed)
{
    QStringList sources;
    for (int i = 0; i < 8; ++i)
        sources << tree.WriteFile(QStringLiteral("one/%1/only.txt").arg(i), "x").chopped(9);
    const QString out = tree.MakeFolder(QStringLiteral("out"));
    QStringList arguments = {"-d", out, "-n", "5", "-r", "--seed", "9", "--dry-run"};
    for (const QString& source : sources)
        arguments << "-s" << source;
    const QStringList printed = Run(arguments).out.split(u'\n', Qt::SkipEmptyParts);

    ScriptedDialogs dialogs;
    ProcessRandom random;
    Form1 form(dialogs, random, tree.Path());
    random.Seed(9);
    for (const QString& source : sources)
        form.SourceList->Append(source + u'/');
    form.DestinationList->Append(out);
    form.Text1->setText(QStringLiteral("5"));
    form.Check11->setChecked(true);
    form.PushButton12_Click();
    EXPECT_EQ(form.CopyList->Rows(), printed);
}
