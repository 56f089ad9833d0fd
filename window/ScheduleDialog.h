#pragma once

#include "schedule/Scheduler.h"

#include <QDialog>

#include <vector>

class Dialogs;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// "Schedule Refill": registers the window's refill with the system's
// scheduler under a name, every day at a time, and shows the schedule of
// that name that exists, with its last run from the refill log. OK
// registers, replacing the schedule of the name; a refusal is said and the
// dialog stays. Cancel changes nothing.
class ScheduleDialog final : public QDialog {
    Q_OBJECT

public:
    // refillArguments: the window's command, without the scheduled run's own.
    ScheduleDialog(Scheduler& scheduler, Dialogs& dialogs, QString program, QStringList refillArguments,
                   QWidget* parent = nullptr);

    // What the dialog's controls hold now, as the schedule to register.
    Schedule ScheduleValue() const;

    void accept() override;

    QComboBox* Name = nullptr;
    QTimeEdit* Time = nullptr;
    QCheckBox* MissedStart = nullptr;
    QCheckBox* OnBattery = nullptr;
    QCheckBox* Wake = nullptr;
    QLabel* RunsWhen = nullptr;
    QLineEdit* Command = nullptr;
    QPushButton* CopyCommand = nullptr;
    QLabel* Existing = nullptr;          // the schedule of the name: when it runs
    QLineEdit* ExistingCommand = nullptr; // what it runs
    QLabel* LastRunShown = nullptr;      // its last run, from the refill log
    QPushButton* RemoveSchedule = nullptr;
    QLabel* Refusal = nullptr;  // why OK was refused
    QDialogButtonBox* Buttons = nullptr;

private:
    void CreateControls();
    void LayOut();
    // The command and the existing schedule, for the name in the box.
    void FollowName();
    void RemoveNamed();
    void ListSchedules();

    Scheduler& scheduler_;
    Dialogs& dialogs_;
    QString program_;
    QStringList refillArguments_;
    std::vector<ScheduleEntry> entries_;
};

// How a schedule's problem reads in the window.
QString ScheduleProblemMessage(const ScheduleProblem& problem);

// A logged run as the window tells it: "2026-12-08 03:00:12: 300 copied,
// 300 removed, 0 verified, 0 skipped, 0 failed; exit status 0", and beneath
// it what failed.
QString LastRunText(const QString& name);
