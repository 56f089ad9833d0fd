#pragma once

struct Options;

// --schedule, --unschedule and --show-schedule: the command registered
// with the system's scheduler, taken out, or shown with its last run. Each
// returns the exit status.
int ScheduleCommand(const Options& options);
int UnscheduleCommand(const Options& options);
int ShowScheduleCommand(const Options& options);

// How a schedule's problem reads on standard error.
class QString;
struct ScheduleProblem;
QString ScheduleProblemText(const ScheduleProblem& problem);
