#pragma once

#include <QStringList>

// The command line: the window's plan and copy without the window, for
// scripts, cron and ssh. Parsing and printing live here and in
// ConsoleOutput; all else is the code the window runs.

// The program's arguments as texts, through the program's path conversion,
// so a path that is not UTF-8 keeps its bytes. The first is the program.
QStringList ProgramArguments(int argc, char* argv[]);

// True when the arguments hold an option of the command line. Qt's own
// (-platform, -session, ...) do not count: with them the window opens.
bool IsCommandLineRun(const QStringList& arguments);

// Runs the command line on a QCoreApplication; the program's exit status.
int RunCommandLine(const QStringList& arguments);
