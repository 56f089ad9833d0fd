#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A refill that the system's scheduler runs every day: one value, from which
// the task, the units and the crontab line are all made.
struct Schedule {
    QString name = QStringLiteral("Refill");
    int hour = 3;
    int minute = 0;
    bool startWhenAvailable = true; // run as soon as possible after a missed start
    bool onBattery = true;
    bool wake = false;              // wake the computer to run
    QString program;                // absolute
    QStringList arguments;          // as the program is to get them, --log included
    QString stateFolder;            // named only where it is not the default one
};

// A schedule's name: a plain word of ASCII letters, digits, - and _.
// Letter case does not tell two names apart.
bool IsScheduleName(const QString& name);
bool SameScheduleName(const QString& one, const QString& other);

// "HH:MM", 00:00 to 23:59; nothing when the text is no such time.
struct TimeOfDay {
    int hour = 0;
    int minute = 0;
};
std::optional<TimeOfDay> ParseTimeOfDay(const QString& text);
QString TimeOfDayText(int hour, int minute);

// The arguments a scheduled run gets: quiet, logged under its name.
QStringList ScheduledArguments(const QStringList& refillArguments, const QString& name);

// The program a scheduler starts: this one, or on Windows the window
// program beside the console twin, since a scheduled run is to show no
// console.
QString ScheduledProgram();

// The state folder to name in the schedule: this process's, where a run
// started without this environment would take another one.
QString StateFolderToName();

// The first argument that holds a line break, which no crontab line or
// unit can carry; empty when none does.
QString ArgumentWithLineBreak(const Schedule& schedule);
