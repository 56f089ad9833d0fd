#include "core/PathHelpers.h"
#include "core/RowListModel.h"
#include "core/SummaryText.h"
#include "support/FormFixture.h"
#include "support/LockHeldElsewhere.h"
#include "support/YieldEveryStep.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "window/TextProgressBar.h"
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

#include <gtest/gtest.h>

namespace {

const QString kSep = NativeSeparator();

CopyRow Row(const QString& source, const QString& destination) { return CopyRowTo(source, destination); }

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class CopyRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = &fixture.Open();
        fixture.ShowActive();
        out = fixture.tree.MakeFolder(QStringLiteral("out")) + kSep;
        // The bar as the user sees it at the start of every row.
        QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, [this](int value) {
            if (value > 0)
                bar << QStringLiteral("%1 %2").arg(value).arg(form->ProgressBar1->text());
        });
    }

    QString Source(const QString& name, const QByteArray& content)
    {
        return fixture.tree.WriteFile(QStringLiteral("src/") + name, content);
    }

    void Run() { QTest::mouseClick(form->PushButton2, Qt::LeftButton); }

    // Four rows of new files named prefix0.txt to prefix3.txt.
    QList<CopyRow> FourRows(const QString& prefix)
    {
        QList<CopyRow> rows;
        for (int i = 0; i < 4; ++i) {
            const QString name = prefix + QString::number(i) + QStringLiteral(".txt");
            rows << Row(Source(name, "x"), out + name);
        }
        return rows;
    }

    FormFixture fixture;
    Form1* form = nullptr;
    QString out;
    QStringList bar;
};

} // namespace

TEST_F(CopyRun, AnEmptyListSaysSoAndTouchesNothing)
{
    form->ProgressBar1->setValue(0);
    Run();
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("No files added.")});
    EXPECT_EQ(form->ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}

TEST_F(CopyRun, CopiesEveryRowWithProgressAndEndsWithDone)
{
    CopyPlan rows;
    // The bar shows a name as it is, "%p" and "%v" included; a name may hold
    // the words that join a row's two paths.
    const char* names[] = {"a.txt", "b.txt", "photo.jpg", "100%p %v.txt", "x will be copied to y.txt"};
    for (const char* name : names)
        rows.Append(Row(Source(QString::fromLatin1(name), name), out + QString::fromLatin1(name)));
    form->CopyList->SetRows(rows);
    form->Summary->SetLines(rows.Texts());
    Run();

    EXPECT_EQ(bar, (QStringList{"20 Processing: a.txt", "40 Processing: b.txt", "60 Processing: photo.jpg",
                                "80 Processing: 100%p %v.txt", "100 Processing: x will be copied to y.txt"}));
    for (const char* name : names)
        EXPECT_EQ(Read(out + QString::fromLatin1(name)), QByteArray(name));
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    EXPECT_EQ(form->ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
    // The run only reads its rows.
    EXPECT_EQ(form->CopyList->Rows(), rows.Texts());
    EXPECT_EQ(form->CopyList->CopyRows(), rows.rows);
    EXPECT_EQ(form->Summary->Lines(), rows.Texts());
}

TEST_F(CopyRun, ASecondRunReplacesTheFirstRunsCopies)
{
    const QString source = Source(QStringLiteral("a.txt"), "fresh");
    form->CopyList->Append(QList<CopyRow>{Row(source, out + "a.txt")});
    Run();
    QFile::remove(out + "a.txt");
    fixture.tree.WriteFile(QStringLiteral("out/a.txt"), "changed by hand");
    Run();
    EXPECT_EQ(Read(out + "a.txt"), QByteArray("fresh"));
}

TEST_F(CopyRun, SameFilesAreSkippedAndNamedOnceBeforeDone)
{
    const QString source = Source(QStringLiteral("same.txt"), "keep me");
    const QString other = Source(QStringLiteral("other.txt"), "other");
    const QString sameByIdentity = fixture.tree.Path(QStringLiteral("src")) + kSep + kSep + QStringLiteral("same.txt");
    form->CopyList->Append(QList<CopyRow>{Row(source, source), Row(other, out + "other.txt"), Row(source, sameByIdentity)});
    Run();
    EXPECT_EQ(Read(source), QByteArray("keep me"));
    EXPECT_EQ(Read(out + "other.txt"), QByteArray("other"));
    EXPECT_EQ(fixture.dialogs.Messages(),
              (QStringList{QStringLiteral("Source files and destination files were the same. Please check folders."),
                           QStringLiteral("Done.")}));
}

TEST_F(CopyRun, RowsThatFailAreCountedAndListedBeforeDone)
{
    const QString good = Source(QStringLiteral("good.txt"), "g");
    const QList<CopyRow> failing{Row(fixture.tree.Path(QStringLiteral("src/gone.txt")), out + "gone.txt"),
                                 Row(good, fixture.tree.Path(QStringLiteral("nowhere/good.txt")))};
    form->CopyList->Append(QList<CopyRow>{failing[0], Row(good, out + "good.txt"), failing[1]});
    Run();
    EXPECT_EQ(Read(out + "good.txt"), QByteArray("g"));
    const QStringList messages = fixture.dialogs.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("2 files could not be copied:\r\r") + CopyRowText(failing[0]) + u'\r'))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(CopyRowText(failing[1]) + u'\r'));
    EXPECT_EQ(messages[1], QStringLiteral("Done."));
}

// A folder another run is filling (a cron job, another window), in any
// writing, is left to it: one message names it, and the other destinations
// get their copies. The lock goes with the run.
TEST_F(CopyRun, AFolderAnotherRunFillsIsLeftToIt)
{
    const QString busy = fixture.tree.MakeFolder(QStringLiteral("busy")) + kSep;
    const QString a = Source(QStringLiteral("a.txt"), "a");
    form->CopyList->Append(QList<CopyRow>{Row(a, busy + "a.txt"), Row(a, out + "a.txt"), Row(a, busy + kSep + "b.txt")});
    {
        LockHeldElsewhere held(busy);
        ASSERT_TRUE(held.Held());
        Run();
    }
    EXPECT_EQ(Read(out + "a.txt"), QByteArray("a"));
    EXPECT_TRUE(QDir(busy).isEmpty());
    const QStringList messages = fixture.dialogs.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(
        QStringLiteral("Another run is copying into this folder, so nothing was copied there:\r\r") + busy))
        << messages[0].toStdString();
    EXPECT_EQ(messages[1], QStringLiteral("Done."));
    Run();
    EXPECT_EQ(Read(busy + "b.txt"), QByteArray("a"));
}

// "Done." means the copies are on the device: the flush comes right after
// the last row, once per file system, before every closing message, and the
// window stays live while it runs.
TEST_F(CopyRun, CopiesAreFlushedOncePerFileSystemBeforeAnyClosingMessage)
{
    QTemporaryDir otherFileSystem(QStringLiteral("/dev/shm/quorvex-XXXXXX"));
    ASSERT_TRUE(otherFileSystem.isValid());
    const QString other = otherFileSystem.path() + kSep;
    const QString same = Source(QStringLiteral("same.txt"), "s");
    form->CopyList->Append(QList<CopyRow>{Row(Source(QStringLiteral("a.txt"), "a"), out + "a.txt"),
                                       Row(Source(QStringLiteral("b.txt"), "b"), other + "b.txt"),
                                       Row(same, same), Row(fixture.tree.Path(QStringLiteral("src/gone.txt")), out + "x"),
                                       Row(Source(QStringLiteral("c.txt"), "c"), out + "c.txt")});
    std::atomic<bool> windowRan = false;
    QString barWhileFlushing;
    fixture.flusher.whileFlushing = [&] {
        QMetaObject::invokeMethod(form, [&] {
            barWhileFlushing = form->ProgressBar1->text();
            windowRan = true;
        });
        for (int waited = 0; !windowRan && waited < 5000; waited += 10)
            QThread::msleep(10);
    };
    fixture.flusher.error = std::make_error_code(std::errc::io_error);
    Run();

    const std::vector<FlushGroup>& flushed = fixture.flusher.flushed;
    ASSERT_EQ(flushed.size(), 2u);
    EXPECT_EQ(flushed[0].files, (std::vector<std::filesystem::path>{ToFsPath(out + "a.txt"), ToFsPath(out + "c.txt")}));
    EXPECT_EQ(flushed[1].files, std::vector<std::filesystem::path>{ToFsPath(other + "b.txt")});
    EXPECT_EQ(fixture.flusher.messagesBefore, (std::vector<std::size_t>{0, 0}));
    EXPECT_TRUE(windowRan);
    EXPECT_TRUE(barWhileFlushing.startsWith(QStringLiteral("Writing to the device: "))) << barWhileFlushing.toStdString();
    const QStringList messages = fixture.dialogs.Messages();
    ASSERT_EQ(messages.size(), 5);
    EXPECT_TRUE(messages[2].startsWith(QStringLiteral("The copies in ") + out)) << messages[2].toStdString();
    EXPECT_TRUE(messages[3].startsWith(QStringLiteral("The copies in ") + other));
    EXPECT_EQ(messages[4], QStringLiteral("Done."));
}

TEST_F(CopyRun, RowsClearedDuringTheRunEndItCleanly)
{
    form->CopyList->Append(FourRows(QStringLiteral("f")));
    YieldEveryStep everyStep;
    // While the first row is shown, the user clears the copy list.
    QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, form, [this](int value) {
        if (value == 25)
            QTimer::singleShot(0, form, [this] { QTest::mouseClick(form->PushButton9, Qt::LeftButton); });
    });
    Run();
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(form->CopyList->Count(), 0);
    EXPECT_LE(QDir(out).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(form->MousePointer(), Form1::kDefaultPointer);
}

TEST_F(CopyRun, TheBarFollowsTheRowsThatRemain)
{
    form->CopyList->Append(FourRows(QStringLiteral("r")));
    YieldEveryStep everyStep;
    // While the second row is shown, the last row goes away.
    QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, form, [this](int value) {
        if (value == 50)
            QTimer::singleShot(0, form, [this] { form->CopyList->Remove(3); });
    });
    Run();
    EXPECT_EQ(bar, (QStringList{"25 Processing: r0.txt", "50 Processing: r1.txt", "100 Processing: r2.txt"}));
    EXPECT_FALSE(QFileInfo::exists(out + "r3.txt"));
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});
}

// A row is copied from what it carries, never from its text: a row of text
// alone copies nothing, whatever it says.
TEST_F(CopyRun, ARowOfTextAloneFailsAndTheRunGoesOn)
{
    const QString good = Source(QStringLiteral("good.txt"), "g");
    const QString looksLikeARow = good + QStringLiteral(" will be copied to ") + out + QStringLiteral("text.txt");
    form->CopyList->Append(QStringList{QStringLiteral("not a copy row"), looksLikeARow});
    form->CopyList->Append(QList<CopyRow>{Row(good, out + "good.txt")});
    Run();
    const QStringList messages = fixture.dialogs.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("2 files could not be copied:\r\rnot a copy row\r")));
    EXPECT_EQ(messages[1], QStringLiteral("Done."));
    EXPECT_EQ(Read(out + "good.txt"), QByteArray("g"));
    EXPECT_FALSE(QFileInfo::exists(out + "text.txt"));
}

TEST_F(CopyRun, AFilterDuringTheRunSkipsOnlyTheRowsItRemoves)
{
    QList<CopyRow> rows = FourRows(QStringLiteral("k"));
    rows << FourRows(QStringLiteral("x"));
    form->CopyList->Append(rows);
    YieldEveryStep everyStep;
    // During the third row, the rows of k0 and x1 are filtered away: k0 is
    // copied already, x1 must not be, and nothing else may be skipped.
    QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, form, [this, rows](int) {
        if (form->ProgressBar1->text() == QStringLiteral("Processing: k2.txt") && form->CopyList->Count() == 8)
            QTimer::singleShot(0, form, [this, rows] { form->CopyList->Remove(std::vector<int>{0, 5}); });
    });
    Run();
    for (const char* name : {"k0.txt", "k1.txt", "k2.txt", "k3.txt", "x0.txt", "x2.txt", "x3.txt"})
        EXPECT_TRUE(QFileInfo::exists(out + QString::fromLatin1(name))) << name;
    EXPECT_FALSE(QFileInfo::exists(out + "x1.txt"));
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});
}

TEST_F(CopyRun, ASecondRunStartedDuringTheFirstIsHeldBack)
{
    form->CopyList->Append(FourRows(QStringLiteral("s")));
    YieldEveryStep everyStep;
    bool clicked = false;
    QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, form, [this, &clicked](int value) {
        if (value == 50 && !clicked) {
            clicked = true;
            QTimer::singleShot(0, form, [this] { Run(); });
        }
    });
    Run();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 4);
}
