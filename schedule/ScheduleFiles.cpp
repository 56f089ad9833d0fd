#include "schedule/ScheduleFiles.h"

#include "platform/NameCodec.h"

#include <QRegularExpression>

const char* const kUnitMark = "# written by quorvex";

namespace {

bool IsDefaultName(const QString& name) { return SameScheduleName(name, QStringLiteral("Refill")); }

bool IsPlainWord(const QString& argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@+=:,./-]+$"));
    return plain.match(argument).hasMatch();
}

QString ScheduleLine(const QString& name) { return QStringLiteral("# schedule ") + name; }

QString Description(const Schedule& schedule)
{
    return QStringLiteral("Quorvex refill \"%1\", every day at %2")
        .arg(schedule.name, TimeOfDayText(schedule.hour, schedule.minute));
}

// A value inside a unit's double quotes: C escapes for \ and ", and for
// bytes that are not UTF-8, which a unit file cannot hold as they are.
QString UnitEscaped(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        if (platform::IsEscapedByte(c.unicode()))
            escaped += QStringLiteral("\\x%1").arg(c.unicode() - 0xDC00, 2, 16, QLatin1Char('0'));
        else if (c == u'\\' || c == u'"')
            escaped += u'\\' + QString(c);
        else
            escaped += c;
    }
    return escaped.replace(u'%', QStringLiteral("%%"));
}

QString XmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().replace(u'\'', QStringLiteral("&apos;"));
}

std::optional<TimeOfDay> TimeOfCalendar(const QString& timer)
{
    static const QRegularExpression calendar(QStringLiteral("^OnCalendar=\\*-\\*-\\* (\\d\\d:\\d\\d):00$"),
                                             QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = calendar.match(timer);
    return match.hasMatch() ? ParseTimeOfDay(match.captured(1)) : std::nullopt;
}

// The crontab's lines, each with its line break, so that they go back as
// they came.
QList<QByteArray> LinesOf(const QByteArray& crontab)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < crontab.size()) {
        const qsizetype end = crontab.indexOf('\n', start);
        const qsizetype next = end < 0 ? crontab.size() : end + 1;
        lines.append(crontab.mid(start, next - start));
        start = next;
    }
    return lines;
}

QByteArray Encoded(const QString& text) { return QByteArray::fromStdString(platform::EncodeName(text.toStdU16String())); }

// The schedule's name, where the line is Quorvex's comment line.
std::optional<QString> NameOfMark(const QByteArray& line)
{
    static const QRegularExpression mark(QStringLiteral("^# quorvex schedule ([A-Za-z0-9_-]+): written by quorvex; "
                                                        "quorvex --unschedule removes it$"));
    const QRegularExpressionMatch match = mark.match(QString::fromUtf8(line.trimmed()));
    return match.hasMatch() ? std::optional(match.captured(1)) : std::nullopt;
}

// Where the name's comment line is, or -1.
qsizetype MarkOf(const QList<QByteArray>& lines, const QString& name)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const std::optional<QString> marked = NameOfMark(lines[i]); marked && SameScheduleName(*marked, name))
            return i;
    }
    return -1;
}

} // namespace

QString UnitBaseName(const QString& name)
{
    return IsDefaultName(name) ? QStringLiteral("quorvex-refill") : QStringLiteral("quorvex-refill-") + name.toLower();
}

QString ExecStartQuoted(const QString& argument)
{
    if (argument == u";")
        return QStringLiteral("\\;");
    if (IsPlainWord(argument))
        return argument;
    return u'"' + UnitEscaped(argument).replace(u'$', QStringLiteral("$$")) + u'"';
}

QString ServiceUnit(const Schedule& schedule)
{
    QString unit = QString::fromLatin1(kUnitMark) + u'\n' + ScheduleLine(schedule.name) + u'\n';
    unit += QStringLiteral("[Unit]\nDescription=%1\n").arg(Description(schedule));
    if (!schedule.onBattery)
        unit += QStringLiteral("ConditionACPower=true\n");
    unit += QStringLiteral("\n[Service]\nType=oneshot\n");
    if (!schedule.stateFolder.isEmpty())
        unit += QStringLiteral("Environment=\"XDG_STATE_HOME=%1\"\n").arg(UnitEscaped(schedule.stateFolder));
    QStringList words {ExecStartQuoted(schedule.program)};
    for (const QString& argument : schedule.arguments)
        words << ExecStartQuoted(argument);
    unit += QStringLiteral("ExecStart=") + words.join(u' ') + u'\n';
    return unit;
}

QString TimerUnit(const Schedule& schedule)
{
    QString unit = QString::fromLatin1(kUnitMark) + u'\n' + ScheduleLine(schedule.name) + u'\n';
    unit += QStringLiteral("[Unit]\nDescription=%1\n\n[Timer]\n").arg(Description(schedule));
    unit += QStringLiteral("OnCalendar=*-*-* %1:00\n").arg(TimeOfDayText(schedule.hour, schedule.minute));
    if (schedule.startWhenAvailable)
        unit += QStringLiteral("Persistent=true\n");
    if (schedule.wake)
        unit += QStringLiteral("WakeSystem=true\n");
    unit += QStringLiteral("Unit=%1.service\n\n[Install]\nWantedBy=timers.target\n").arg(UnitBaseName(schedule.name));
    return unit;
}

std::optional<ScheduleEntry> EntryOfTimer(const QString& timer, const QString& service)
{
    static const QRegularExpression named(QStringLiteral("^# schedule (\\S+)$"), QRegularExpression::MultilineOption);
    static const QRegularExpression exec(QStringLiteral("^ExecStart=(.*)$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch name = named.match(timer);
    const std::optional<TimeOfDay> time = TimeOfCalendar(timer);
    if (!timer.startsWith(QString::fromLatin1(kUnitMark) + u'\n') || !name.hasMatch() || !time)
        return std::nullopt;
    return ScheduleEntry {name.captured(1), time->hour, time->minute, exec.match(service).captured(1)};
}

QString CronQuoted(const QString& argument)
{
    if (IsPlainWord(argument))
        return argument;
    QString quoted = QStringLiteral("'");
    for (const QChar c : argument) {
        if (c == u'\'')
            quoted += QStringLiteral("'\\''");
        else if (c == u'%')
            quoted += QStringLiteral("'\\%'"); // the \ never follows one of the argument's own
        else
            quoted += c;
    }
    return quoted + u'\'';
}

QString CronMark(const QString& name)
{
    return QStringLiteral("# quorvex schedule %1: written by quorvex; quorvex --unschedule removes it").arg(name);
}

QString CronEntry(const Schedule& schedule)
{
    QString line = QStringLiteral("%1 %2 * * * ").arg(schedule.minute).arg(schedule.hour);
    if (!schedule.stateFolder.isEmpty())
        line += QStringLiteral("XDG_STATE_HOME=") + CronQuoted(schedule.stateFolder) + u' ';
    line += CronQuoted(schedule.program);
    for (const QString& argument : schedule.arguments)
        line += u' ' + CronQuoted(argument);
    return CronMark(schedule.name) + u'\n' + line + u'\n';
}

QByteArray CrontabWith(const QByteArray& crontab, const Schedule& schedule)
{
    const QByteArray entry = Encoded(CronEntry(schedule));
    const std::optional<QByteArray> without = CrontabWithout(crontab, schedule.name);
    QByteArray result = without ? *without : crontab;
    if (!result.isEmpty() && !result.endsWith('\n'))
        result += '\n';
    return result + entry;
}

std::optional<QByteArray> CrontabWithout(const QByteArray& crontab, const QString& name)
{
    QList<QByteArray> lines = LinesOf(crontab);
    const qsizetype mark = MarkOf(lines, name);
    if (mark < 0)
        return std::nullopt;
    // The mark and the line beneath it, unless that is another comment.
    const bool withLine = mark + 1 < lines.size() && !lines[mark + 1].trimmed().startsWith('#');
    lines.remove(mark, withLine ? 2 : 1);
    return lines.join();
}

std::vector<ScheduleEntry> CronEntries(const QByteArray& crontab)
{
    static const QRegularExpression timed(QStringLiteral("^(\\d{1,2}) (\\d{1,2}) \\* \\* \\* (.*)$"));
    std::vector<ScheduleEntry> entries;
    const QList<QByteArray> lines = LinesOf(crontab);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const std::optional<QString> name = NameOfMark(lines[i]);
        const QRegularExpressionMatch match = timed.match(QString::fromUtf8(lines[i + 1].trimmed()));
        if (name && match.hasMatch())
            entries.push_back({*name, match.captured(2).toInt(), match.captured(1).toInt(), match.captured(3)});
    }
    return entries;
}

QString WindowsArgumentsQuoted(const QStringList& arguments)
{
    QStringList quoted;
    for (const QString& argument : arguments) {
        if (!argument.isEmpty() && !argument.contains(QRegularExpression(QStringLiteral("[ \t\"]")))) {
            quoted << argument;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled.
        QString text = QStringLiteral("\"");
        int backslashes = 0;
        for (const QChar c : argument) {
            if (c == u'\\') {
                ++backslashes;
                continue;
            }
            text += QString(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\') + c;
            backslashes = 0;
        }
        quoted << text + QString(backslashes * 2, u'\\') + u'"';
    }
    return quoted.join(u' ');
}

QString TaskName(const QString& name)
{
    return IsDefaultName(name) ? QStringLiteral("Quorvex Refill") : QStringLiteral("Quorvex Refill ") + name;
}

QString TaskXml(const Schedule& schedule)
{
    const auto flag = [](bool set) { return set ? QStringLiteral("true") : QStringLiteral("false"); };
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                                 "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n");
    xml += QStringLiteral("  <RegistrationInfo>\n    <Source>Quorvex</Source>\n    <Description>%1</Description>\n"
                          "  </RegistrationInfo>\n").arg(XmlEscaped(Description(schedule)));
    xml += QStringLiteral("  <Triggers>\n    <CalendarTrigger>\n      <StartBoundary>2026-01-01T%1:00</StartBoundary>\n"
                          "      <Enabled>true</Enabled>\n      <ScheduleByDay>\n        <DaysInterval>1</DaysInterval>\n"
                          "      </ScheduleByDay>\n    </CalendarTrigger>\n  </Triggers>\n")
               .arg(TimeOfDayText(schedule.hour, schedule.minute));
    xml += QStringLiteral("  <Principals>\n    <Principal id=\"Author\">\n      <LogonType>InteractiveToken</LogonType>\n"
                          "      <RunLevel>LeastPrivilege</RunLevel>\n    </Principal>\n  </Principals>\n");
    xml += QStringLiteral("  <Settings>\n    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
                          "    <DisallowStartIfOnBatteries>%1</DisallowStartIfOnBatteries>\n"
                          "    <StopIfGoingOnBatteries>%1</StopIfGoingOnBatteries>\n"
                          "    <StartWhenAvailable>%2</StartWhenAvailable>\n    <WakeToRun>%3</WakeToRun>\n"
                          "    <ExecutionTimeLimit>PT12H</ExecutionTimeLimit>\n    <Enabled>true</Enabled>\n"
                          "  </Settings>\n")
               .arg(flag(!schedule.onBattery), flag(schedule.startWhenAvailable), flag(schedule.wake));
    xml += QStringLiteral("  <Actions Context=\"Author\">\n    <Exec>\n      <Command>%1</Command>\n"
                          "      <Arguments>%2</Arguments>\n    </Exec>\n  </Actions>\n</Task>\n")
               .arg(XmlEscaped(schedule.program), XmlEscaped(WindowsArgumentsQuoted(schedule.arguments)));
    return xml;
}
