#pragma once

#include <QString>
#include <QStringList>

// A command as a line a shell runs unchanged: each argument quoted so that
// the shell hands it on exactly, whatever it holds.

// For POSIX sh: in single quotes, a quote within written '\''.
QString PosixShellQuoted(const QString& argument);

// For PowerShell: in single quotes, a quote within doubled. PowerShell
// takes the typographic quotes for quotes too, and expands nothing inside.
QString PowerShellQuoted(const QString& argument);

// The whole line: on Windows a PowerShell call ("& 'C:\...\quorvex.com' -s
// 'D:\Music'"), elsewhere a sh command.
QString ShellCommandLine(const QString& program, const QStringList& arguments);

// What in an argument a command line cannot carry as it stands.
struct Uncarried {
    bool lineBreak = false; // no scheduler's command (a crontab line, a unit, a task) holds one
    bool variable = false;  // on Windows: a %, which Task Scheduler reads as a variable
    bool bytes = false;     // bytes of a name that are no UTF-8, which no text holds

    bool Any() const { return lineBreak || variable || bytes; }
};
Uncarried UncarriedIn(const QString& argument);
