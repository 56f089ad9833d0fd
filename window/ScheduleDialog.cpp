#include "window/ScheduleDialog.h"

#include "core/Dialogs.h"
#include "core/ShellQuoting.h"
#include "schedule/RefillLog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

const QString kTimerSettingsUnkept =
    QStringLiteral("The schedule goes in your crontab, as no systemd user manager answers here: cron cannot make up "
                   "for a start missed while the computer was off (it runs again the next day), tell battery from "
                   "mains, or wake the computer.");

QLabel* WrappedLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

QString ScheduleProblemMessage(const ScheduleProblem& problem)
{
    switch (problem.kind) {
    case ScheduleProblem::Kind::NotOurs:
        return QStringLiteral("%1 was not written by Quorvex, so it was left alone. Choose another name for the "
                              "schedule.").arg(problem.what);
    case ScheduleProblem::Kind::NotScheduled:
        return QStringLiteral("There is no schedule named \"%1\".").arg(problem.what);
    case ScheduleProblem::Kind::TooLong:
        return QStringLiteral("The command is too long for the %1 (%2). Fewer source rows make it shorter.")
            .arg(problem.what, problem.reason);
    case ScheduleProblem::Kind::Refused:
        break;
    }
    return QStringLiteral("The system's scheduler refused the schedule:\r\r%1: %2").arg(problem.what, problem.reason);
}

QString LastRunText(const QString& name)
{
    const std::optional<LastRun> last = LastRunOf(name);
    if (!last)
        return QStringLiteral("It has not run yet.");
    const RunResult& run = last->result;
    QString text = QStringLiteral("Last run %1: %2 copied, %3 removed, %4 verified, %5 skipped, %6 failed; exit status %7.")
                       .arg(run.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                       .arg(run.copied)
                       .arg(run.removed)
                       .arg(run.verified)
                       .arg(run.skipped)
                       .arg(run.failed)
                       .arg(run.exitStatus);
    for (const QString& failure : last->failures)
        text += u'\n' + failure;
    return text;
}

ScheduleDialog::ScheduleDialog(Scheduler& scheduler, Dialogs& dialogs, QString program, QStringList refillArguments,
                               QWidget* parent)
    : QDialog(parent), scheduler_(scheduler), dialogs_(dialogs), program_(std::move(program)),
      refillArguments_(std::move(refillArguments))
{
    setWindowTitle(QStringLiteral("Schedule Refill"));
    CreateControls();
    LayOut();
    ListSchedules();
    Name->setCurrentText(QStringLiteral("Refill"));
    if (!scheduler_.KeepsTimerSettings()) {
        for (QCheckBox* box : {MissedStart, OnBattery, Wake}) {
            box->setChecked(box == OnBattery);
            box->setEnabled(false);
            box->setToolTip(kTimerSettingsUnkept);
        }
    }
    connect(Name, &QComboBox::currentTextChanged, this, &ScheduleDialog::FollowName);
    connect(CopyCommand, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(Command->text()); });
    connect(RemoveSchedule, &QPushButton::clicked, this, &ScheduleDialog::RemoveNamed);
    FollowName();
}

void ScheduleDialog::CreateControls()
{
    Name = new QComboBox(this);
    Name->setObjectName(QStringLiteral("Name"));
    Name->setEditable(true);
    Time = new QTimeEdit(QTime(3, 0), this);
    Time->setObjectName(QStringLiteral("Time"));
    Time->setDisplayFormat(QStringLiteral("HH:mm"));
    MissedStart = new QCheckBox(QStringLiteral("Run as soon as possible after a missed start"), this);
    MissedStart->setChecked(true);
    OnBattery = new QCheckBox(QStringLiteral("Run on battery power"), this);
    OnBattery->setChecked(true);
    Wake = new QCheckBox(QStringLiteral("Wake the computer to run"), this);
    RunsWhen = WrappedLabel(this);
    RunsWhen->setText(scheduler_.KeepsTimerSettings() ? scheduler_.RunsWhen() : kTimerSettingsUnkept);
    RunsWhen->setVisible(!RunsWhen->text().isEmpty());
    Command = new QLineEdit(this);
    Command->setObjectName(QStringLiteral("Command"));
    Command->setReadOnly(true);
    CopyCommand = new QPushButton(QStringLiteral("Copy"), this);
    Existing = WrappedLabel(this);
    Existing->setObjectName(QStringLiteral("Existing"));
    ExistingCommand = new QLineEdit(this);
    ExistingCommand->setReadOnly(true);
    LastRunShown = WrappedLabel(this);
    RemoveSchedule = new QPushButton(QStringLiteral("Remove Schedule"), this);
    Refusal = WrappedLabel(this);
    Refusal->setStyleSheet(QStringLiteral("color: #b00000"));
    Refusal->hide();
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &ScheduleDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &ScheduleDialog::reject);
}

void ScheduleDialog::LayOut()
{
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), Name);
    form->addRow(QStringLiteral("Every day &at:"), Time);
    auto* command = new QHBoxLayout;
    command->addWidget(Command, 1);
    command->addWidget(CopyCommand);
    auto* existing = new QGridLayout;
    existing->addWidget(Existing, 0, 0);
    existing->addWidget(RemoveSchedule, 0, 1, Qt::AlignTop);
    existing->addWidget(ExistingCommand, 1, 0, 1, 2);
    existing->addWidget(LastRunShown, 2, 0, 1, 2);
    existing->setColumnStretch(0, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    for (QWidget* widget : std::initializer_list<QWidget*> {MissedStart, OnBattery, Wake, RunsWhen})
        layout->addWidget(widget);
    layout->addWidget(new QLabel(QStringLiteral("The command that will run:"), this));
    layout->addLayout(command);
    layout->addLayout(existing);
    layout->addWidget(Refusal);
    layout->addWidget(Buttons);
    setMinimumWidth(560);
}

void ScheduleDialog::ListSchedules()
{
    entries_ = scheduler_.List();
    const QString typed = Name->currentText();
    Name->clear();
    for (const ScheduleEntry& entry : entries_)
        Name->addItem(entry.name);
    Name->setCurrentText(typed);
}

void ScheduleDialog::FollowName()
{
    const QString name = Name->currentText().trimmed();
    Command->setText(ShellCommandLine(program_, ScheduledArguments(refillArguments_, name)));
    Command->setCursorPosition(0);
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const ScheduleEntry& e) { return SameScheduleName(e.name, name); });
    RemoveSchedule->setEnabled(entry != entries_.end());
    ExistingCommand->setVisible(entry != entries_.end());
    LastRunShown->setVisible(entry != entries_.end());
    if (entry == entries_.end()) {
        Existing->setText(QStringLiteral("No schedule named \"%1\" exists yet.").arg(name));
    } else {
        const bool timed = entry->hour >= 0;
        Existing->setText(QStringLiteral("\"%1\" runs %2 (%3):")
                              .arg(entry->name,
                                   timed ? QStringLiteral("every day at ") + TimeOfDayText(entry->hour, entry->minute)
                                         : QStringLiteral("at a time the scheduler does not tell"),
                                   scheduler_.Where()));
        ExistingCommand->setText(entry->command);
        ExistingCommand->setCursorPosition(0);
        LastRunShown->setText(LastRunText(entry->name));
        // Picked to be changed: its time is the one to start from.
        if (timed)
            Time->setTime(QTime(entry->hour, entry->minute));
    }
    adjustSize();
}

void ScheduleDialog::RemoveNamed()
{
    if (const std::optional<ScheduleProblem> problem = scheduler_.Remove(Name->currentText().trimmed()))
        dialogs_.MsgBox(ScheduleProblemMessage(*problem));
    ListSchedules();
    FollowName();
}

Schedule ScheduleDialog::ScheduleValue() const
{
    Schedule schedule;
    schedule.name = Name->currentText().trimmed();
    schedule.hour = Time->time().hour();
    schedule.minute = Time->time().minute();
    schedule.startWhenAvailable = MissedStart->isChecked();
    schedule.onBattery = OnBattery->isChecked();
    schedule.wake = Wake->isChecked();
    schedule.program = program_;
    schedule.arguments = ScheduledArguments(refillArguments_, schedule.name);
    schedule.stateFolder = StateFolderToName();
    return schedule;
}

void ScheduleDialog::accept()
{
    const Schedule schedule = ScheduleValue();
    QString refusal;
    if (!IsScheduleName(schedule.name))
        refusal = QStringLiteral("A schedule's name is one word of the letters A to Z, digits, - and _.");
    else if (const QString broken = ArgumentWithLineBreak(schedule); !broken.isEmpty())
        refusal = QStringLiteral("A folder's name holds a line break, which no scheduler's command can carry:\n")
            + broken.simplified();
    Refusal->setText(refusal);
    Refusal->setVisible(!refusal.isEmpty());
    if (!refusal.isEmpty())
        return;
    if (const std::optional<ScheduleProblem> problem = scheduler_.Register(schedule)) {
        dialogs_.MsgBox(ScheduleProblemMessage(*problem));
        return;
    }
    QDialog::accept();
}
