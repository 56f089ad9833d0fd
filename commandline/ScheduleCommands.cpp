#include "commandline/ScheduleCommands.h"

#include "commandline/ConsoleOutput.h"
#include "commandline/Options.h"
#include "core/PathHelpers.h"
#include "refill/RefillOptions.h"
#include "schedule/RefillLog.h"
#include "schedule/Scheduler.h"

#include <QFileInfo>

namespace {

constexpr int kFailedStatus = 1;

// The command's own arguments, its paths made absolute, as they are to
// run from wherever the scheduler starts them.
QStringList CommandArguments(const Options& options)
{
    RefillSettings refill = options.refill;
    for (auto* folders : {&refill.sources, &refill.destinations}) {
        for (FolderOption& folder : *folders)
            folder.value = AbsolutePath(folder.value);
    }
    QStringList arguments = RefillArguments(refill);
    if (options.seed)
        arguments << QStringLiteral("--seed") << QString::number(*options.seed);
    if (!options.savePlan.isEmpty())
        arguments << QStringLiteral("--save-plan") << AbsolutePath(options.savePlan);
    if (!options.plan.isEmpty())
        arguments << QStringLiteral("--plan") << AbsolutePath(options.plan);
    return arguments;
}

// A folder that is not there tonight may be there at night (a stick not
// plugged in): said, and scheduled all the same.
void SayMissingFolders(const Options& options)
{
    for (const auto* folders : {&options.refill.sources, &options.refill.destinations}) {
        for (const FolderOption& folder : *folders) {
            const QString path = AbsolutePath(folder.value);
            if (folder.kind != FolderSource::ListFile && !QFileInfo(path).isDir() && !QFileInfo(path).isFile())
                PrintMessage(QStringLiteral("%1: %2: no such folder; scheduled all the same")
                                 .arg(folders == &options.refill.sources ? QStringLiteral("source") : QStringLiteral("dest"),
                                      path));
        }
    }
}

QString TimeText(const ScheduleEntry& entry)
{
    return entry.hour < 0 ? QStringLiteral("at a time the scheduler does not tell")
                          : QStringLiteral("every day at ") + TimeOfDayText(entry.hour, entry.minute);
}

} // namespace

QString ScheduleProblemText(const ScheduleProblem& problem)
{
    switch (problem.kind) {
    case ScheduleProblem::Kind::NotOurs:
        return QStringLiteral("schedule: %1: not written by quorvex, so left alone").arg(problem.what);
    case ScheduleProblem::Kind::NotScheduled:
        return QStringLiteral("schedule: %1: no such schedule").arg(problem.what);
    case ScheduleProblem::Kind::TooLong:
        return QStringLiteral("schedule: %1: the command is too long for it (%2); name the folders in list files "
                              "(--source-list, --dest-list)").arg(problem.what, problem.reason);
    case ScheduleProblem::Kind::Refused:
        break;
    }
    return QStringLiteral("schedule: %1: %2").arg(problem.what, problem.reason);
}

int ScheduleCommand(const Options& options)
{
    const TimeOfDay time = *ParseTimeOfDay(options.scheduleAt);
    Schedule schedule;
    schedule.name = options.scheduleName;
    schedule.hour = time.hour;
    schedule.minute = time.minute;
    schedule.program = ScheduledProgram();
    schedule.arguments = ScheduledArguments(CommandArguments(options), options.scheduleName);
    schedule.stateFolder = StateFolderToName();
    if (!options.quiet)
        SayMissingFolders(options);
    const std::unique_ptr<Scheduler> scheduler = SystemScheduler();
    if (const std::optional<ScheduleProblem> problem = scheduler->Register(schedule)) {
        PrintMessage(ScheduleProblemText(*problem));
        return kFailedStatus;
    }
    if (!options.quiet) {
        PrintMessage(QStringLiteral("schedule %1: every day at %2, as a %3")
                         .arg(schedule.name, options.scheduleAt, scheduler->Where()));
        if (const QString when = scheduler->RunsWhen(); !when.isEmpty())
            PrintMessage(QStringLiteral("schedule %1: %2").arg(schedule.name, when));
        if (!scheduler->KeepsTimerSettings())
            PrintMessage(QStringLiteral("schedule %1: cron cannot make up for a start missed while the computer was "
                                        "off, tell battery from mains, or wake the computer.").arg(schedule.name));
    }
    return 0;
}

int UnscheduleCommand(const Options& options)
{
    if (const std::optional<ScheduleProblem> problem = SystemScheduler()->Remove(options.scheduleName)) {
        PrintMessage(ScheduleProblemText(*problem));
        return kFailedStatus;
    }
    return 0;
}

int ShowScheduleCommand(const Options& options)
{
    QByteArray text;
    for (const ScheduleEntry& entry : SystemScheduler()->List()) {
        if (options.scheduleNamed && !SameScheduleName(entry.name, options.scheduleName))
            continue;
        QString shown = QStringLiteral("%1: %2\n  command: %3\n").arg(entry.name, TimeText(entry), entry.command);
        if (const std::optional<LastRun> last = LastRunOf(entry.name)) {
            shown += QStringLiteral("  last run: ") + last->line + u'\n';
            for (const QString& failure : last->failures)
                shown += QStringLiteral("    ") + failure + u'\n';
        } else {
            shown += QStringLiteral("  last run: none yet\n");
        }
        text += shown.toUtf8();
    }
    if (text.isEmpty())
        text = "no schedule\n";
    if (!PrintOut(text)) {
        PrintMessage(QStringLiteral("standard output: the schedules could not be written"));
        return kFailedStatus;
    }
    return 0;
}
