#include "schedule/Schedule.h"

#include "core/ShellQuoting.h"
#include "core/StateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

bool IsScheduleName(const QString& name)
{
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    return word.match(name).hasMatch();
}

bool SameScheduleName(const QString& one, const QString& other)
{
    return one.compare(other, Qt::CaseInsensitive) == 0;
}

std::optional<TimeOfDay> ParseTimeOfDay(const QString& text)
{
    static const QRegularExpression clock(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch match = clock.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return TimeOfDay {match.captured(1).toInt(), match.captured(2).toInt()};
}

QString TimeOfDayText(int hour, int minute)
{
    return QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
}

QStringList ScheduledArguments(const QStringList& refillArguments, const QString& name)
{
    return QStringList {QStringLiteral("-q")} + refillArguments
        + QStringList {QStringLiteral("--log"), QStringLiteral("--schedule-name"), name};
}

QString ScheduledProgram()
{
    const QString program = QCoreApplication::applicationFilePath();
#ifdef Q_OS_WIN
    if (program.endsWith(QStringLiteral(".com"), Qt::CaseInsensitive))
        return QDir::toNativeSeparators(QFileInfo(program).absolutePath() + QStringLiteral("/Quorvex.exe"));
    return QDir::toNativeSeparators(program);
#else
    return program;
#endif
}

QString StateFolderToName()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        return {};
    return QDir::cleanPath(StateFolder()) == QDir::cleanPath(DefaultStateFolder()) ? QString() : state;
}

QString ArgumentWithLineBreak(const Schedule& schedule)
{
    for (const QString& argument : QStringList {schedule.program, schedule.stateFolder} + schedule.arguments) {
        if (UncarriedIn(argument).lineBreak)
            return argument;
    }
    return {};
}
