#pragma once

#include "schedule/Schedule.h"
#include "schedule/ScheduleFiles.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Why the system's scheduler took no schedule, as facts each face words.
struct ScheduleProblem {
    enum class Kind {
        NotOurs,      // a task, unit or line of that name that Quorvex did not write
        Refused,      // the system said no: reason holds its words
        NotScheduled, // no schedule of that name
        TooLong,      // the command is longer than the scheduler keeps
    };
    Kind kind = Kind::Refused;
    QString what; // the file, task or program
    QString reason;
};

// The system's own scheduler, which runs a schedule with no program of
// ours kept running.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // "systemd user timer", "crontab" or "Task Scheduler".
    virtual QString Where() const = 0;
    // Whether a start missed while the computer was off is made up for, and
    // the battery and wake settings are kept (cron keeps none of them).
    virtual bool KeepsTimerSettings() const { return true; }
    // When the schedule runs, where that is not plain (a user timer without
    // lingering runs only while its user is logged in); else empty.
    virtual QString RunsWhen() const { return {}; }
    // Registers the schedule, replacing the one before of its name; on a
    // problem, nothing of it is left registered.
    virtual std::optional<ScheduleProblem> Register(const Schedule& schedule) = 0;
    virtual std::optional<ScheduleProblem> Remove(const QString& name) = 0;
    virtual std::vector<ScheduleEntry> List() = 0;
};

// The scheduler this system has: Task Scheduler on Windows; on Linux the
// user's systemd timers where a user manager answers, else the crontab.
std::unique_ptr<Scheduler> SystemScheduler();
