#pragma once

#include "schedule/Schedule.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What each system's scheduler reads, made from a Schedule: a systemd user
// timer and its service, a crontab line, a Task Scheduler task. Each
// carries Quorvex's mark, so that only what Quorvex wrote is ever replaced.

// The first line of every unit file Quorvex writes.
extern const char* const kUnitMark;

// "quorvex-refill" for the default name, else "quorvex-refill-NAME", the
// name in small letters: names differ by more than their letter case.
QString UnitBaseName(const QString& name);

// One argument as ExecStart= reads it back: specifiers (%) and variables
// ($) doubled, and quoted with C escapes where it holds more than a plain
// word; a lone ";" escaped, since it would end the command.
QString ExecStartQuoted(const QString& argument);

QString ServiceUnit(const Schedule& schedule);
QString TimerUnit(const Schedule& schedule);

// The schedule's name and time, read back from a timer unit Quorvex wrote;
// nothing from any other file.
struct ScheduleEntry {
    QString name;
    int hour = 0;
    int minute = 0;
    QString command; // as the scheduler holds it
};
std::optional<ScheduleEntry> EntryOfTimer(const QString& timer, const QString& service);

// One argument as a crontab line hands it to sh: quoted for sh, with
// every % written \% outside the quotes, since cron makes a bare % a line
// break.
QString CronQuoted(const QString& argument);

// The comment line Quorvex writes above its crontab line for the name.
QString CronMark(const QString& name);

// "MM HH * * * COMMAND", beneath its comment line.
QString CronEntry(const Schedule& schedule);

// The crontab with the schedule's entry in place of the one before of its
// name, or added at its end; every other line kept byte for byte.
QByteArray CrontabWith(const QByteArray& crontab, const Schedule& schedule);
// The crontab without the name's entry; nothing when it holds none.
std::optional<QByteArray> CrontabWithout(const QByteArray& crontab, const QString& name);
// Quorvex's entries in a crontab.
std::vector<ScheduleEntry> CronEntries(const QByteArray& crontab);

// The arguments as one string that CommandLineToArgvW splits back into them.
QString WindowsArgumentsQuoted(const QStringList& arguments);

// "Quorvex Refill", or "Quorvex Refill NAME".
QString TaskName(const QString& name);

// The task's XML for Task Scheduler's RegisterTask.
QString TaskXml(const Schedule& schedule);
