#include "core/PathHelpers.h"
#include "device/Ffmpeg.h"
#include "randomlist/CorrelateListviews.h"
#include "core/RowListModel.h"
#include "core/ShellQuoting.h"
#include "core/SummaryText.h"
#include "support/AudioFixtures.h"
#include "support/FormFixture.h"
#include "support/LockHeldElsewhere.h"
#include "support/RequireTools.h"
#include "refill/RatedSources.h"
#include "refill/RefillOptions.h"
#include "schedule/RefillLog.h"
#include "window/RefillChoicesDialog.h"
#include "window/ScheduleDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QTimeEdit>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <QImage>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The Refill Settings, opened from the menu and set as the user would.
// ok: what pressing OK did (false when the dialog stayed or was cancelled).
bool SetRefill(FormFixture& fixture, const std::function<void(RefillChoicesDialog&)>& set, bool pressOk = true)
{
    bool accepted = false;
    fixture.dialogs.dialogAnswers.push_back([&](QDialog& dialog) {
        auto& settings = dynamic_cast<RefillChoicesDialog&>(dialog);
        set(settings);
        settings.Buttons->button(pressOk ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        accepted = settings.result() == QDialog::Accepted;
        return accepted;
    });
    fixture.Frame().RefillSettingsItem->trigger();
    return accepted;
}

class RefillWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(RefillChoicesFile());
        // The user's own device profiles are the test's, and so is the
        // library index a draw by rating keeps.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(fixture.tree.Path(QStringLiteral("config"))));
        qputenv("XDG_STATE_HOME", QFile::encodeName(fixture.tree.Path(QStringLiteral("state"))));
        form = &fixture.Open();
    }
    void TearDown() override
    {
        QFile::remove(RefillChoicesFile());
        qputenv("XDG_CONFIG_HOME", configBefore);
        qputenv("XDG_STATE_HOME", stateBefore);
    }

    // The command line Copy Command Line puts on the clipboard.
    QString CopiedCommandLine()
    {
        fixture.Frame().CopyCommandLineItem->trigger();
        return QGuiApplication::clipboard()->text();
    }

    // "3." with device chosen in Refill Settings: two files drawn from the
    // tree's lib folder into out.
    void DrawFor(const char* device, const QString& out, int count = 2)
    {
        SetRefill(fixture, [device](RefillChoicesDialog& dialog) {
            dialog.Device->setCurrentIndex(dialog.Device->findText(QString::fromLatin1(device)));
        });
        form->SourceList->Append(fixture.tree.Path(QStringLiteral("lib")) + NativeSeparator());
        form->DestinationList->Append(out);
        form->Text1->setText(QString::number(count));
        fixture.random.values.assign(static_cast<std::size_t>(count), 0.0f);
        form->PushButton12_Click();
    }

    const QByteArray configBefore = qgetenv("XDG_CONFIG_HOME");
    const QByteArray stateBefore = qgetenv("XDG_STATE_HOME");
    FormFixture fixture;
    Form1* form = nullptr;
};

} // namespace

// What OK keeps comes back at the next start; Cancel drops it; a setting
// that would not go with a ticked one is greyed, and a bad value stays in
// the dialog with its reason. The devices listed are the user's own and
// the built-in ones; an own file that cannot be read is named, and a
// profile chosen that is gone since stays chosen, and is said to be gone.
TEST_F(RefillWindow, SettingsAreKeptGreyedAndRefusedAsTheyShouldBe)
{
    EXPECT_FALSE(form->Refill().Any());
    const QString van = fixture.tree.WriteFile(QStringLiteral("config/Quorvex/devices/van.ini"), "[Audio]\nPlays=mp3\n");
    fixture.tree.WriteFile(QStringLiteral("config/Quorvex/devices/broken.ini"), "[Audio]\nArt=big\n");
    EXPECT_TRUE(SetRefill(fixture, [](RefillChoicesDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Refill Settings"));
        QStringList devices;
        for (int i = 0; i < dialog.Device->count(); ++i)
            devices.append(dialog.Device->itemText(i));
        EXPECT_EQ(devices, QStringList({"As the device says", "van", "as-is", "car-mp3", "player-mp3-aac", "frame-800x480",
                                        "frame-1024x600", "frame-1280x800", "frame-1920x1080"}));
        EXPECT_EQ(dialog.DeviceNote->text(), QStringLiteral("A destination's own .quorvex-device.ini, else every file as it is."));
        EXPECT_TRUE(dialog.DeviceRefusals->text().contains(QStringLiteral("broken.ini:2: Art: not a number")));
        EXPECT_FALSE(dialog.DeviceRefusals->isHidden());
        dialog.Device->setCurrentIndex(3);
        EXPECT_TRUE(dialog.DeviceNote->text().contains(QStringLiteral("converts the rest to MP3"))) << dialog.DeviceNote->text().toStdString();
        dialog.Device->setCurrentIndex(1);
        dialog.WholeFolders->setChecked(true);
        EXPECT_FALSE(dialog.Balance->isEnabled());
        EXPECT_TRUE(dialog.Balance->toolTip().contains(QStringLiteral("Whole folders")));
        dialog.WholeFolders->setChecked(false);
        EXPECT_TRUE(dialog.Balance->isEnabled());
        dialog.Balance->setChecked(true);
        EXPECT_FALSE(dialog.WholeFolders->isEnabled());
        EXPECT_FALSE(dialog.WholeFolders->toolTip().isEmpty());
        dialog.Fill->setChecked(true);
        dialog.Refresh->setChecked(true);
        dialog.AsciiNames->setChecked(true);
        dialog.Playlist->setChecked(true);
        dialog.PlaylistName->setText(QStringLiteral("mix.pls"));
        dialog.Buttons->button(QDialogButtonBox::Ok)->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(dialog.Refusal->text().contains(QStringLiteral("\"mix.pls\" is no playlist's name")));
        dialog.PlaylistName->setText(QStringLiteral("car.m3u8"));
        dialog.AtMost->setChecked(true);
        dialog.MaxSize->setText(QStringLiteral("lots"));
        dialog.Buttons->button(QDialogButtonBox::Ok)->click();
        EXPECT_TRUE(dialog.Refusal->text().contains(QStringLiteral("\"lots\" is no size")));
        dialog.MaxSize->setText(QStringLiteral("14.5G"));
        // Where unrated files stand counts only in a draw by rating.
        EXPECT_FALSE(dialog.UnratedAs->isEnabled());
        dialog.PreferRated->setChecked(true);
        EXPECT_TRUE(dialog.UnratedAs->isEnabled() && !dialog.MinRating->isEnabled());
        dialog.AtLeast->setChecked(true);
        for (QLineEdit* stars : {dialog.MinRating, dialog.UnratedAs}) {
            for (const QString& bad : {QString(), QStringLiteral("5.5")}) {
                stars->setText(bad);
                dialog.Buttons->button(QDialogButtonBox::Ok)->click();
                EXPECT_TRUE(dialog.Refusal->text().startsWith(QStringLiteral("\"%1\" is no rating").arg(bad)))
                    << dialog.Refusal->text().toStdString();
            }
            stars->setText(stars == dialog.MinRating ? QStringLiteral("4") : QStringLiteral("2.5"));
        }
    }));
    RefillChoices kept;
    kept.fill = kept.balance = kept.refresh = kept.playlist = kept.atMost = kept.asciiNames = true;
    kept.preferRated = kept.atLeast = true;
    kept.minRating = QStringLiteral("4");
    kept.unratedAs = QStringLiteral("2.5");
    kept.playlistName = QStringLiteral("car.m3u8");
    kept.maxSize = QStringLiteral("14.5G");
    kept.device = QStringLiteral("van");
    EXPECT_EQ(form->Refill(), kept);
    EXPECT_FALSE(SetRefill(fixture, [](RefillChoicesDialog& dialog) { dialog.Fill->setChecked(false); }, false));
    EXPECT_EQ(form->Refill(), kept);
    ASSERT_TRUE(QFile::remove(van));
    EXPECT_EQ(fixture.Open().Refill(), kept);
    EXPECT_TRUE(fixture.dialogs.Messages().isEmpty());
    Form1& reopened = fixture.Window();
    reopened.SourceList->Append(fixture.tree.MakeFolder(QStringLiteral("lib")));
    reopened.DestinationList->Append(fixture.tree.MakeFolder(QStringLiteral("out")));
    // As the system's shell writes it: PowerShell quotes 2.5.
#ifdef _WIN32
    const QString halves = PowerShellQuoted(QStringLiteral("2.5"));
#else
    const QString halves = PosixShellQuoted(QStringLiteral("2.5"));
#endif
    EXPECT_TRUE(CopiedCommandLine().endsWith(QStringLiteral(" --device van --prefer-rated --min-rating 4 --unrated-as ") + halves))
        << QGuiApplication::clipboard()->text().toStdString();
    EXPECT_TRUE(SetRefill(fixture, [](RefillChoicesDialog& dialog) {
        EXPECT_EQ(dialog.Device->currentText(), QStringLiteral("van"));
        EXPECT_TRUE(dialog.DeviceNote->text().contains(QStringLiteral("no device profile named \"van\"")))
            << dialog.DeviceNote->text().toStdString();
        EXPECT_EQ(dialog.Choices().device, QStringLiteral("van"));
        dialog.Device->setCurrentIndex(0);
        dialog.PreferRated->setChecked(false);
        dialog.UnratedAs->setText(QStringLiteral("3"));
    }));
    EXPECT_EQ(fixture.Window().Refill().device, QString());
    // Unrated files at three stars, or in no draw by rating, go without saying.
    EXPECT_TRUE(CopiedCommandLine().endsWith(QStringLiteral(" --ascii-names --min-rating 4")))
        << QGuiApplication::clipboard()->text().toStdString();
    EXPECT_TRUE(SetRefill(fixture, [](RefillChoicesDialog& dialog) {
        dialog.AtLeast->setChecked(false);
        dialog.UnratedAs->setText(QStringLiteral("1"));
    }));
    EXPECT_TRUE(CopiedCommandLine().endsWith(QStringLiteral(" --ascii-names"))) << QGuiApplication::clipboard()->text().toStdString();
    EXPECT_TRUE(RefillChoices {.device = QStringLiteral("car-mp3")}.Any());

    // The duplicates option is no setting of the dialog: filling with it
    // is said at "3.", and nothing is drawn.
    reopened.Check11->setChecked(true);
    reopened.PushButton12_Click();
    EXPECT_TRUE(reopened.CopyList->IsEmpty());
    ASSERT_EQ(fixture.dialogs.Messages().size(), 1);
    EXPECT_TRUE(fixture.dialogs.Messages().front().contains(QStringLiteral("cannot go with \"Allow same file to be copied")));
    // A stick that is not plugged in is said, and gets nothing.
    reopened.Check11->setChecked(false);
    reopened.DestinationList->Append(fixture.tree.Path(QStringLiteral("stick")) + NativeSeparator());
    fixture.tree.WriteFile(QStringLiteral("lib/a.mp3"), "a");
    fixture.random.values = {0.5f, 0.5f};
    fixture.dialogs.shown.clear();
    reopened.PushButton12_Click();
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList {QStringLiteral("The destination folder %1 is not there, so nothing "
                                                                      "is copied into it.")
                                                           .arg(fixture.tree.Path(QStringLiteral("stick")) + NativeSeparator())});
    EXPECT_EQ(reopened.CopyList->Count(), 1);

    // A file that is no file of ours is said once, and the defaults hold.
    for (const QByteArray& damage : {QByteArray("\x7f" "ELF garbage"), QByteArray("[Refill]\nfill=maybe\n"),
                                     QByteArray("[Refill]\natLeast=true\nminRating=6\n"),
                                     QByteArray("[Refill]\npreferRated=true\nunratedAs=\n")}) {
        QFile file(RefillChoicesFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damage);
        file.close();
        fixture.dialogs.shown.clear();
        EXPECT_FALSE(fixture.Open().Refill().Any());
        ASSERT_EQ(fixture.dialogs.Messages().size(), 1) << damage.toStdString();
        EXPECT_TRUE(fixture.dialogs.Messages().front().contains(QStringLiteral("are damaged"))) << damage.toStdString();
    }
}

// Two refills into a folder of the user's: each replaces the last one's
// copies and playlist, never the user's file, though it has a drawn name.
// Unrated files counted at three stars pass at least three, and the summary
// says what the draw by rating found.
TEST_F(RefillWindow, TwoRefillsLeaveOneMixItsPlaylistAndTheUsersFile)
{
    const QString sep = NativeSeparator();
    for (int i = 1; i <= 6; ++i)
        fixture.tree.WriteFile(QStringLiteral("lib/f%1.mp3").arg(i), QByteArray(100 * i, 'x'));
    const QString out = fixture.tree.MakeFolder(QStringLiteral("out")) + sep;
    fixture.tree.WriteFile(QStringLiteral("out/f1.mp3"), "mine");
    SetRefill(fixture, [](RefillChoicesDialog& dialog) {
        dialog.Refresh->setChecked(true);
        dialog.Playlist->setChecked(true);
        dialog.AtLeast->setChecked(true);
    });
    RatedDraw rated; // six unrated files, three drawn each time
    rated.minRating = rated.pool = 6;
    rated.drawn[0] = 3;
    form->SourceList->Append(fixture.tree.Path(QStringLiteral("lib")) + sep);
    form->DestinationList->Append(out);
    form->Text1->setText(QStringLiteral("3"));
    fixture.random.values = {0.0f, 0.0f, 0.0f, 0.9f, 0.9f, 0.9f};
    for (int night = 0; night < 2; ++night) {
        fixture.dialogs.shown.clear();
        form->PushButton12_Click();
        ASSERT_EQ(form->CopyList->Count(), 3);
        EXPECT_EQ(form->Summary->Notes(),
                  QStringList({RatedDrawText(rated),
                               QStringLiteral("Replaces %1 copies of the last refill in %2.").arg(3 * night).arg(out.chopped(1)),
                               QStringLiteral("Playlist: %1Quorvex.m3u8.").arg(out)}));
        form->PushButton2_Click();
        EXPECT_EQ(fixture.dialogs.Messages(), QStringList {QStringLiteral("Done.")});
        QStringList expected = {QStringLiteral(".quorvex-refresh"), QStringLiteral("Quorvex.m3u8"), QStringLiteral("f1.mp3")};
        QByteArray playlist = "#EXTM3U\r\n# written by quorvex; its next run replaces it\r\n";
        for (const CopyRow& row : form->CopyList->CopyRows()) {
            expected.append(row.name);
            playlist += row.name.toUtf8() + "\r\n";
            EXPECT_EQ(FileBytes(row.Destination()), FileBytes(row.source));
        }
        expected.sort();
        EXPECT_EQ(FolderEntries(out), expected);
        EXPECT_EQ(FileBytes(out + QStringLiteral("Quorvex.m3u8")), playlist);
        EXPECT_EQ(FileBytes(out + QStringLiteral("f1.mp3")), "mine");
    }

    // A name the plan drew, taken by the user after "3.": the copy takes the
    // next free number at "4.", and the user's file stays.
    fixture.random.values.insert(fixture.random.values.end(), {0.5f, 0.5f, 0.5f});
    form->PushButton12_Click();
    const CopyRow planned = form->CopyList->CopyRowAt(0);
    fixture.tree.WriteFile(QStringLiteral("out/") + planned.name, "the user's");
    form->PushButton2_Click();
    const QString renamed = DestinationFileName(planned.name, 1);
    EXPECT_EQ(form->CopyList->CopyRowAt(0).name, renamed);
    EXPECT_EQ(FileBytes(out + planned.name), "the user's");
    EXPECT_EQ(FileBytes(out + renamed), FileBytes(planned.source));
}

// What goes wrong is said once for each kind, naming its folders: a folder
// another run fills, a record that is no record of ours.
TEST_F(RefillWindow, EachKindOfProblemIsOneMessageNamingItsFolders)
{
    const QString sep = NativeSeparator();
    fixture.tree.WriteFile(QStringLiteral("lib/a.mp3"), "a");
    const QString busy = fixture.tree.MakeFolder(QStringLiteral("busy")) + sep;
    const QString odd = fixture.tree.MakeFolder(QStringLiteral("odd")) + sep;
    fixture.tree.WriteFile(QStringLiteral("odd/.quorvex-refresh"), "my own notes\n");
    SetRefill(fixture, [](RefillChoicesDialog& dialog) { dialog.Refresh->setChecked(true); });
    form->SourceList->Append(fixture.tree.Path(QStringLiteral("lib")) + sep);
    for (const QString& folder : {busy, odd})
        form->DestinationList->Append(folder);
    form->Text1->setText(QStringLiteral("1"));
    fixture.random.values = {0.0f};
    form->PushButton12_Click();
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList {QStringLiteral("The record of the last refill cannot be trusted in "
                                                                      "these folders, so nothing will be removed there:\r\r%1.quorvex-refresh (Quorvex did not write it)")
                                                          .arg(odd)});
    fixture.dialogs.shown.clear();
    LockHeldElsewhere other(busy);
    ASSERT_TRUE(other.Held());
    form->PushButton2_Click();
    const QStringList messages = fixture.dialogs.Messages();
    ASSERT_EQ(messages.size(), 3) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Another run is copying into these folders")));
    EXPECT_TRUE(messages[0].contains(busy)) << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains(odd + QStringLiteral(".quorvex-refresh (Quorvex did not write it)")));
    EXPECT_EQ(messages[2], QStringLiteral("Done."));
    EXPECT_EQ(FileBytes(odd + QStringLiteral("a.mp3")), "a");
    EXPECT_EQ(FileBytes(odd + QStringLiteral(".quorvex-refresh.refused")), "my own notes\n");
    EXPECT_EQ(FolderEntries(busy), QStringList());
}

namespace {

// A scheduler that keeps what it is given, and may refuse it.
class KeptSchedules final : public Scheduler {
public:
    QString Where() const override { return QStringLiteral("kept schedules"); }
    bool KeepsTimerSettings() const override { return missedStart; }
    std::optional<ScheduleProblem> Register(const Schedule& schedule) override
    {
        registered.push_back(schedule);
        return refusal;
    }
    std::optional<ScheduleProblem> Remove(const QString& name) override
    {
        std::erase_if(entries, [&](const ScheduleEntry& entry) { return SameScheduleName(entry.name, name); });
        return std::nullopt;
    }
    std::vector<ScheduleEntry> List() override { return entries; }

    bool missedStart = true;
    std::optional<ScheduleProblem> refusal;
    std::vector<Schedule> registered;
    std::vector<ScheduleEntry> entries;
};

} // namespace

// "Schedule...": the dialog's values make the schedule of the window's
// refill; a schedule that exists is shown with its last run from the log;
// a bad name or a refusal of the system keeps the dialog open.
TEST_F(RefillWindow, TheScheduleDialogRegistersTheWindowsRefill)
{
    const QString sep = NativeSeparator();
    fixture.tree.WriteFile(QStringLiteral("lib/a.mp3"), "a");
    const RunResult logged {QDateTime(QDate(2026, 12, 8), QTime(3, 0, 12)), QStringLiteral("Car"), 1, 300, 299, 0, 0, 1};
    ASSERT_FALSE(AppendToLog(logged, {QStringLiteral("dest: /media/car/x.mp3: No space left on device")}));
    // Blank rows, as a list file's last line break leaves, name no folder.
    for (const QString& row : {fixture.tree.Path(QStringLiteral("lib")) + sep, QString(), QStringLiteral(" ")})
        form->SourceList->Append(row);
    form->DestinationList->Append(fixture.tree.MakeFolder(QStringLiteral("out")) + sep);
    form->DestinationList->Append(QString());
    form->Text1->setText(QStringLiteral("7"));
    form->SetCommandProgram(QStringLiteral("/opt/quorvex"));
    KeptSchedules scheduler;
    scheduler.entries = {{QStringLiteral("Car"), 5, 7, QStringLiteral("/opt/quorvex -q ...")}};
    form->UseScheduler(scheduler);
    const auto schedule = [&](const std::function<void(ScheduleDialog&)>& set) {
        fixture.dialogs.dialogAnswers.push_back([&](QDialog& dialog) {
            auto& shown = dynamic_cast<ScheduleDialog&>(dialog);
            set(shown);
            return shown.result() == QDialog::Accepted;
        });
        fixture.Frame().ScheduleItem->trigger();
    };

    schedule([&](ScheduleDialog& dialog) {
        EXPECT_EQ(dialog.Name->currentText(), QStringLiteral("Refill"));
        EXPECT_EQ(dialog.Time->time(), QTime(3, 0));
        EXPECT_FALSE(dialog.RemoveSchedule->isEnabled());
        dialog.Name->setCurrentText(QStringLiteral("car"));
        EXPECT_TRUE(dialog.RemoveSchedule->isEnabled());
        EXPECT_TRUE(dialog.Existing->text().contains(QStringLiteral("every day at 05:07")));
        EXPECT_EQ(dialog.Time->time(), QTime(5, 7));
        EXPECT_EQ(dialog.ExistingCommand->text(), QStringLiteral("/opt/quorvex -q ..."));
        EXPECT_TRUE(dialog.LastRunShown->text().contains(
            QStringLiteral("Last run 2026-12-08 03:00:12: 300 copied, 299 removed, 0 verified, 0 skipped, 1 failed; exit "
                           "status 1.\ndest: /media/car/x.mp3: No space left on device")))
            << dialog.LastRunShown->text().toStdString();
        dialog.Name->setCurrentText(QStringLiteral("two words"));
        dialog.Buttons->button(QDialogButtonBox::Ok)->click();
        EXPECT_FALSE(dialog.Refusal->isHidden());
        dialog.Name->setCurrentText(QStringLiteral("Frame"));
        dialog.Time->setTime(QTime(4, 15));
        dialog.OnBattery->setChecked(false);
        dialog.Wake->setChecked(true);
        EXPECT_TRUE(dialog.Command->text().endsWith(QStringLiteral("--log --schedule-name Frame")));
        dialog.Buttons->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_EQ(scheduler.registered.size(), 1u);
    const Schedule& frame = scheduler.registered[0];
    EXPECT_EQ(frame.name, QStringLiteral("Frame"));
    EXPECT_EQ(frame.hour * 60 + frame.minute, 4 * 60 + 15);
    EXPECT_TRUE(frame.startWhenAvailable && !frame.onBattery && frame.wake);
    EXPECT_EQ(frame.program, QStringLiteral("/opt/quorvex"));
    EXPECT_EQ(frame.arguments, ScheduledArguments({QStringLiteral("-s"), fixture.tree.Path(QStringLiteral("lib")) + sep,
                                                   QStringLiteral("-d"), fixture.tree.Path(QStringLiteral("out")) + sep,
                                                   QStringLiteral("-n"), QStringLiteral("7")},
                                                  QStringLiteral("Frame")));

    // The system says no: its words, and the dialog stays; with cron the
    // missed start, the battery and the wake cannot be kept.
    scheduler.refusal = ScheduleProblem {ScheduleProblem::Kind::Refused, QStringLiteral("crontab -"), QStringLiteral("denied")};
    scheduler.missedStart = false;
    schedule([&](ScheduleDialog& dialog) {
        EXPECT_FALSE(dialog.MissedStart->isEnabled() || dialog.MissedStart->isChecked() || dialog.Wake->isEnabled());
        dialog.Buttons->button(QDialogButtonBox::Ok)->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        dialog.Name->setCurrentText(QStringLiteral("Car"));
        dialog.RemoveSchedule->click();
        dialog.Buttons->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_EQ(fixture.dialogs.Messages().back(), QStringLiteral("The system's scheduler refused the schedule:\r\rcrontab -: denied"));
    EXPECT_TRUE(scheduler.entries.empty());
    EXPECT_FALSE(scheduler.registered.back().startWhenAvailable);
}

// Songs for the car from the window: "3." says which rows are converted and
// how many in each destination, and "4." writes what the car plays.
TEST_F(RefillWindow, TheCarGetsItsSongsConverted)
{
    REQUIRE_AUDIO_TOOLS();
    const QString sep = NativeSeparator();
    fixture.tree.MakeFolder(QStringLiteral("lib"));
    const QString flac = fixtures::PlainFlac(fixture.tree.Path(QStringLiteral("lib/Sång.flac")));
    const QString mp3 = fixtures::Mp3Fitting(fixture.tree.Path(QStringLiteral("lib/fits.mp3")));
    const QString empty = fixture.tree.WriteFile(QStringLiteral("lib/empty.mp3"), "");
    const QString out = fixture.tree.MakeFolder(QStringLiteral("out")) + sep;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(fixture.tree.Path(QStringLiteral("cache"))));
    DrawFor("car-mp3", out, 3);
    ASSERT_EQ(form->CopyList->Count(), 3);
    QStringList texts = form->CopyList->Rows();
    texts.sort();
    const QString emptyRow = empty + QStringLiteral(" will be converted to ") + out + QStringLiteral("empty.mp3");
    EXPECT_EQ(texts, QStringList({flac + QStringLiteral(" will be converted to ") + out + QString::fromUtf8("Sång.mp3"), emptyRow,
                                  mp3 + QStringLiteral(" will be copied to ") + out + QStringLiteral("fits.mp3")}));
    EXPECT_EQ(form->Summary->Notes(),
              QStringList {QStringLiteral("Converts 1 of the files to MP3 at 192 kbit/s for %1 (car-mp3).").arg(out.chopped(1))});
    form->PushButton2_Click();
    // A file named as a song that holds no sound fails its row: the car gets nothing of it.
    EXPECT_EQ(fixture.dialogs.Messages(),
              QStringList({QStringLiteral("1 file could not be copied:\r\r") + emptyRow
                               + QStringLiteral("\rcould not be converted: it is named as a song but holds no sound that a player can read"),
                           QStringLiteral("Done.")}));
    EXPECT_EQ(FolderEntries(out), QStringList({QString::fromUtf8("Sång.mp3"), QStringLiteral("fits.mp3")}));
    EXPECT_TRUE(FileBytes(out + QString::fromUtf8("Sång.mp3")).startsWith(QByteArray("ID3\x03", 4)));

    // Without an ffmpeg, "3." says how to get one, in one box, and draws nothing.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(fixture.tree.Path(QStringLiteral("no-programs"))));
    fixture.dialogs.shown.clear();
    fixture.random.values.insert(fixture.random.values.end(), {0.0f, 0.0f, 0.0f});
    form->PushButton12_Click();
    qputenv("PATH", path);
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList {FfmpegMissingText()});
    EXPECT_EQ(form->CopyList->Count(), 0);
    qunsetenv("XDG_CACHE_HOME");
}

// A frame's photos need no ffmpeg: "3." says how many it fits to the
// screen, and "4." makes them.
TEST_F(RefillWindow, TheFrameGetsItsPhotosFitted)
{
    const QString sep = NativeSeparator();
    QImage shot(800, 1400, QImage::Format_RGB32);
    shot.fill(Qt::red);
    const QString png = fixture.tree.MakeFolder(QStringLiteral("lib")) + sep + QStringLiteral("shot.png");
    ASSERT_TRUE(shot.save(png));
    const QString notes = fixture.tree.WriteFile(QStringLiteral("lib/notes.txt"), "not a photo");
    const QString out = fixture.tree.MakeFolder(QStringLiteral("out")) + sep;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(fixture.tree.Path(QStringLiteral("cache"))));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(fixture.tree.Path(QStringLiteral("no-programs"))));
    DrawFor("frame-1024x600", out);
    QStringList texts = form->CopyList->Rows();
    texts.sort();
    EXPECT_EQ(texts, QStringList({notes + QStringLiteral(" will be copied to ") + out + QStringLiteral("notes.txt"),
                                  png + QStringLiteral(" will be converted to ") + out + QStringLiteral("shot.jpg")}));
    EXPECT_EQ(form->Summary->Notes(),
              QStringList {QStringLiteral("Fits 1 of the files to the 1024x600 screen of %1 (frame-1024x600).").arg(out.chopped(1))});
    form->PushButton2_Click();
    qputenv("PATH", path);
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(fixture.dialogs.Messages(), QStringList {QStringLiteral("Done.")});
    EXPECT_EQ(QImage(out + QStringLiteral("shot.jpg")).size(), QSize(343, 600));
}

// A stick with a profile of its own is filled as it says with no refill
// setting ticked: "3." says where its count of files cut the draw.
TEST_F(RefillWindow, AStickSaysHowManyFilesItTakes)
{
    const QString sep = NativeSeparator();
    for (int i = 1; i <= 6; ++i)
        fixture.tree.WriteFile(QStringLiteral("lib/f%1.mp3").arg(i), "x");
    const QString out = fixture.tree.MakeFolder(QStringLiteral("out")) + sep;
    fixture.tree.WriteFile(QStringLiteral("out/.quorvex-device.ini"), "[Limits]\nFiles=4\n");
    form->SourceList->Append(fixture.tree.Path(QStringLiteral("lib")) + sep);
    form->DestinationList->Append(out);
    form->Text1->setText(QStringLiteral("6"));
    fixture.random.values = std::vector<float>(6, 0.0f);
    form->PushButton12_Click();
    EXPECT_EQ(form->CopyList->Count(), 3);
    EXPECT_EQ(form->Summary->Notes(),
              QStringList {QStringLiteral("The device of %1 takes 4 files in all: 3 drawn files left out.").arg(out.chopped(1))});
}
