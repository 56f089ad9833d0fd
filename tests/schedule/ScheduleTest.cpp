#include "schedule/RefillLog.h"
#include "schedule/ScheduleFiles.h"

#include <gtest/gtest.h>

#include <tuple>

#include <QProcess>
#include <QXmlStreamReader>

#ifdef _WIN32
#include "schedule/Scheduler.h"

#include <windows.h>
#include <shellapi.h>
#include <taskschd.h>
#endif

namespace {

// Paths as users name them: blanks, quotes, $, %, &, <, a backslash, a
// lone ; and letters beyond ASCII.
const QStringList kAwkward {
    QStringLiteral("/srv/My Music/it's $HOME 100% & <more>"), QStringLiteral("C:\\Users\\Zoë\\\"quoted\"\\"),
    QStringLiteral(";"), QStringLiteral("a\\%b\\\\%%"), QStringLiteral("Björk – Homogenic"), QStringLiteral("")};

Schedule Sample()
{
    Schedule schedule;
    schedule.name = QStringLiteral("Car");
    schedule.hour = 3;
    schedule.minute = 5;
    schedule.program = QStringLiteral("/opt/Quorvex Beta/quorvex");
    schedule.arguments = ScheduledArguments(QStringList {QStringLiteral("-s")} + kAwkward, schedule.name);
    return schedule;
}

#ifndef _WIN32
// What cron hands to sh: "\%" is "%", and a bare % ends the command.
QString AfterCron(const QString& command)
{
    QString out;
    for (qsizetype i = 0; i < command.size(); ++i) {
        if (command[i] == u'\\' && i + 1 < command.size() && command[i + 1] == u'%') {
            out += u'%';
            ++i;
        } else if (command[i] == u'%') {
            break;
        } else {
            out += command[i];
        }
    }
    return out;
}
#endif

} // namespace

// systemd unquotes ExecStart= words with C escapes, expands % specifiers
// and $ variables, and takes a lone ; for the end of a command.
TEST(ScheduleFiles, ExecStartKeepsEachArgumentWhole)
{
    const struct {
        QString argument;
        QString written;
    } cases[] = {
        {QStringLiteral("--log"), QStringLiteral("--log")},
        {QStringLiteral("/srv/My Music"), QStringLiteral("\"/srv/My Music\"")},
        {QStringLiteral("100%"), QStringLiteral("\"100%%\"")},
        {QStringLiteral("$HOME"), QStringLiteral("\"$$HOME\"")},
        {QStringLiteral("it's \"x\""), QStringLiteral("\"it's \\\"x\\\"\"")},
        {QStringLiteral("a\\b"), QStringLiteral("\"a\\\\b\"")},
        {QStringLiteral(";"), QStringLiteral("\\;")},
        {QStringLiteral("a;b"), QStringLiteral("\"a;b\"")},
        {QStringLiteral(""), QStringLiteral("\"\"")},
        {QStringLiteral("Zoë"), QStringLiteral("\"Zoë\"")},
        {QString(QChar(0xDCFF)), QStringLiteral("\"\\xff\"")},
    };
    for (const auto& [argument, written] : cases)
        EXPECT_EQ(ExecStartQuoted(argument), written) << argument.toStdString();
}

TEST(ScheduleFiles, UnitsCarryTheTimeTheFlagsAndTheStateFolder)
{
    Schedule schedule = Sample();
    const QString timer = TimerUnit(schedule);
    const QString service = ServiceUnit(schedule);
    EXPECT_TRUE(timer.startsWith(QStringLiteral("# written by quorvex\n# schedule Car\n")));
    EXPECT_TRUE(timer.contains(QStringLiteral("\nOnCalendar=*-*-* 03:05:00\nPersistent=true\nUnit=quorvex-refill-car.service\n")));
    EXPECT_FALSE(timer.contains(QStringLiteral("WakeSystem")));
    EXPECT_FALSE(service.contains(QStringLiteral("ConditionACPower")));
    EXPECT_FALSE(service.contains(QStringLiteral("Environment")));
    EXPECT_TRUE(service.contains(QStringLiteral("\nExecStart=\"/opt/Quorvex Beta/quorvex\" -q -s ")));
    EXPECT_TRUE(service.endsWith(QStringLiteral(" --log --schedule-name Car\n")));

    schedule.startWhenAvailable = false;
    schedule.onBattery = false;
    schedule.wake = true;
    schedule.stateFolder = QStringLiteral("/home/me/state 100%");
    EXPECT_FALSE(TimerUnit(schedule).contains(QStringLiteral("Persistent")));
    EXPECT_TRUE(TimerUnit(schedule).contains(QStringLiteral("\nWakeSystem=true\n")));
    EXPECT_TRUE(ServiceUnit(schedule).contains(QStringLiteral("\nConditionACPower=true\n")));
    EXPECT_TRUE(ServiceUnit(schedule).contains(QStringLiteral("\nEnvironment=\"XDG_STATE_HOME=/home/me/state 100%%\"\n")));

    const std::optional<ScheduleEntry> entry = EntryOfTimer(TimerUnit(schedule), ServiceUnit(schedule));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, QStringLiteral("Car"));
    EXPECT_EQ(entry->hour * 60 + entry->minute, 3 * 60 + 5);
    EXPECT_FALSE(EntryOfTimer(QStringLiteral("[Timer]\nOnCalendar=*-*-* 03:05:00\n"), service));
    EXPECT_EQ(UnitBaseName(QStringLiteral("refill")), QStringLiteral("quorvex-refill"));
}

#ifndef _WIN32
// The crontab line, through cron's % rule and then sh, gives the program
// exactly its arguments.
TEST(ScheduleFiles, ACrontabLineGivesBackEveryArgument)
{
    Schedule schedule = Sample();
    schedule.program = QStringLiteral("printf");
    schedule.arguments = QStringList {QStringLiteral("%s\\000")} + kAwkward;
    const QString line = CronEntry(schedule).section(u'\n', 1, 1);
    ASSERT_TRUE(line.startsWith(QStringLiteral("5 3 * * * ")));
    QProcess sh;
    sh.start(QStringLiteral("sh"), {QStringLiteral("-c"), AfterCron(line.mid(10))});
    ASSERT_TRUE(sh.waitForFinished());
    QList<QByteArray> printed = sh.readAllStandardOutput().split('\0');
    printed.removeLast();
    QStringList arguments;
    for (const QByteArray& argument : printed)
        arguments << QString::fromUtf8(argument);
    EXPECT_EQ(arguments, kAwkward);
}
#endif

// Only Quorvex's own two lines change; every other byte of the user's
// crontab stays, and taking the entry out gives the crontab back.
TEST(ScheduleFiles, TheCrontabKeepsTheUsersLines)
{
    const QByteArray users = "MAILTO=me@example.org\r\n# quorvex schedule is a fine name\n0 1 * * * backup %daily\n"
                             "  # indented\n*/5 * * * * poll";
    Schedule schedule = Sample();
    const QByteArray once = CrontabWith(users, schedule);
    EXPECT_TRUE(once.startsWith(users + '\n'));
    schedule.hour = 4;
    const QByteArray twice = CrontabWith(once, schedule);
    EXPECT_EQ(twice.count("# quorvex schedule Car:"), 1);
    EXPECT_TRUE(twice.contains("\n5 4 * * * "));
    EXPECT_FALSE(twice.contains("\n5 3 * * * "));
    Schedule other = Sample();
    other.name = QStringLiteral("Frame");
    const QByteArray both = CrontabWith(twice, other);
    ASSERT_EQ(CronEntries(both).size(), 2u);
    EXPECT_EQ(CronEntries(both)[0].name, QStringLiteral("Car"));
    EXPECT_EQ(CronEntries(both)[1].hour, 3);
    EXPECT_EQ(CrontabWithout(*CrontabWithout(both, QStringLiteral("FRAME")), QStringLiteral("car")), users + '\n');
    EXPECT_FALSE(CrontabWithout(users, QStringLiteral("Car")));
}

// The task's XML is well-formed, carries every setting, and its Arguments
// split back into the arguments by Windows' rules.
TEST(ScheduleFiles, TheTaskCarriesItsSettingsAndArguments)
{
    Schedule schedule = Sample();
    schedule.onBattery = false;
    schedule.wake = true;
    QXmlStreamReader xml(TaskXml(schedule));
    QMap<QString, QString> values;
    QString element;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement)
            element = xml.name().toString();
        else if (token == QXmlStreamReader::Characters && !xml.isWhitespace())
            values[element] += xml.text();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(values[QStringLiteral("Source")], QStringLiteral("Quorvex"));
    EXPECT_EQ(values[QStringLiteral("StartBoundary")].mid(10), QStringLiteral("T03:05:00"));
    EXPECT_EQ(values[QStringLiteral("LogonType")], QStringLiteral("InteractiveToken"));
    EXPECT_EQ(values[QStringLiteral("DisallowStartIfOnBatteries")], QStringLiteral("true"));
    EXPECT_EQ(values[QStringLiteral("StopIfGoingOnBatteries")], QStringLiteral("true"));
    EXPECT_EQ(values[QStringLiteral("StartWhenAvailable")], QStringLiteral("true"));
    EXPECT_EQ(values[QStringLiteral("WakeToRun")], QStringLiteral("true"));
    EXPECT_EQ(values[QStringLiteral("ExecutionTimeLimit")], QStringLiteral("PT12H"));
    EXPECT_EQ(values[QStringLiteral("MultipleInstancesPolicy")], QStringLiteral("IgnoreNew"));
    EXPECT_EQ(values[QStringLiteral("Command")], schedule.program);
    const QString arguments = values[QStringLiteral("Arguments")];
#ifdef _WIN32
    int count = 0;
    wchar_t** split = ::CommandLineToArgvW(reinterpret_cast<const wchar_t*>((QStringLiteral("x ") + arguments).utf16()), &count);
    QStringList back;
    for (int i = 1; i < count; ++i)
        back << QString::fromWCharArray(split[i]);
    ::LocalFree(split);
    EXPECT_EQ(back, schedule.arguments);
#else
    EXPECT_TRUE(arguments.startsWith(QStringLiteral("-q -s \"/srv/My Music/it's $HOME 100% & <more>\" "
                                                    "\"C:\\Users\\Zoë\\\\\\\"quoted\\\"\\\\\" ; a\\%b\\\\%% "
                                                    "\"Björk – Homogenic\" \"\" --log")))
        << arguments.toStdString();
#endif
}

// The log keeps the newest runs, each with its failure lines, and tells a
// schedule's last run whatever the letter case of its name.
TEST(RefillLog, KeepsTheNewestRunsWhole)
{
    QByteArray log;
    for (int night = 1; night <= 4; ++night) {
        const RunResult result {QDateTime(QDate(2026, 12, night), QTime(3, 0, 12)), night % 2 ? QStringLiteral("Car")
                                                                                             : QStringLiteral("Frame"),
                                night == 3 ? 1 : 0, 300, 300, 0, 0, night == 3 ? 1 : 0};
        log = LogWith(log, RunLine(result) + (night == 3 ? QStringLiteral("\n  dest: /media/car/: no such folder\n")
                                                         : QStringLiteral("\n")), 3);
    }
    EXPECT_TRUE(log.startsWith("2026-12-02T03:00:12 Frame exit=0 copied=300 removed=300 verified=0 skipped=0 failed=0\n"));
    EXPECT_EQ(log.count('\n'), 4);
    const std::optional<LastRun> car = LastRunOf(log, QStringLiteral("car"));
    ASSERT_TRUE(car);
    EXPECT_TRUE(car->line.startsWith(QStringLiteral("2026-12-03T03:00:12 Car exit=1")));
    EXPECT_EQ(car->failures, QStringList {QStringLiteral("dest: /media/car/: no such folder")});
    EXPECT_EQ(car->result.when, QDateTime(QDate(2026, 12, 3), QTime(3, 0, 12)));
    EXPECT_EQ(std::tie(car->result.name, car->result.exitStatus, car->result.copied, car->result.failed),
              std::make_tuple(QStringLiteral("Car"), 1, 300, 1));
    EXPECT_FALSE(LastRunOf(log, QStringLiteral("Bike")));
}

TEST(Schedule, NamesAndTimesOfDay)
{
    for (const char* name : {"Refill", "car-2", "photo_frame"})
        EXPECT_TRUE(IsScheduleName(QString::fromLatin1(name))) << name;
    for (const char* name : {"", "two words", "Zoë", "a/b", "x;y"})
        EXPECT_FALSE(IsScheduleName(QString::fromUtf8(name))) << name;
    EXPECT_TRUE(ParseTimeOfDay(QStringLiteral("00:00")));
    EXPECT_EQ(ParseTimeOfDay(QStringLiteral("23:59"))->minute, 59);
    for (const char* time : {"24:00", "3:00", "03:60", "03:00:00", " 03:00"})
        EXPECT_FALSE(ParseTimeOfDay(QString::fromLatin1(time))) << time;
}

#ifdef _WIN32
namespace {

// The root folder of Task Scheduler, through its COM API, for a look at
// what is stored that goes round the code under test.
struct TaskRoot {
    TaskRoot()
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        VARIANT none;
        ::VariantInit(&none);
        if (SUCCEEDED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                         reinterpret_cast<void**>(&service)))
            && SUCCEEDED(service->Connect(none, none, none, none)))
            service->GetFolder(Bstr(L"\\"), &folder);
    }
    ~TaskRoot()
    {
        if (folder)
            folder->Release();
        if (service)
            service->Release();
        ::CoUninitialize();
    }
    static BSTR Bstr(const wchar_t* text) { return ::SysAllocString(text); }

    // The stored task's XML; empty when there is none.
    QString Xml(const QString& name) const
    {
        IRegisteredTask* task = nullptr;
        BSTR xml = nullptr;
        QString text;
        if (SUCCEEDED(folder->GetTask(Bstr(reinterpret_cast<const wchar_t*>(name.utf16())), &task))) {
            if (SUCCEEDED(task->get_Xml(&xml)))
                text = QString::fromWCharArray(xml);
            ::SysFreeString(xml);
            task->Release();
        }
        return text;
    }

    ITaskService* service = nullptr;
    ITaskFolder* folder = nullptr;
};

} // namespace

// Registered, replaced and removed through Task Scheduler's COM API; a task
// of the name that Quorvex did not write is left alone.
TEST(TaskScheduler, RegistersReplacesAndRemovesOnlyItsOwnTask)
{
    TaskRoot root;
    ASSERT_TRUE(root.folder);
    const std::unique_ptr<Scheduler> scheduler = SystemScheduler();
    Schedule schedule = Sample();
    schedule.name = QStringLiteral("WineTest");
    schedule.program = QStringLiteral("C:\\Program Files\\Quorvex\\Quorvex.exe");
    ASSERT_FALSE(scheduler->Register(schedule));
    QString xml = root.Xml(QStringLiteral("Quorvex Refill WineTest"));
    for (const char* stored : {"<Source>Quorvex</Source>",
                               "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
                               "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>",
                               "<StartWhenAvailable>true</StartWhenAvailable>", "<WakeToRun>false</WakeToRun>",
                               "<ExecutionTimeLimit>PT12H</ExecutionTimeLimit>",
                               "<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"})
        EXPECT_TRUE(xml.contains(QString::fromLatin1(stored))) << stored << "\n" << xml.toStdString();
    schedule.onBattery = false;
    ASSERT_FALSE(scheduler->Register(schedule));
    xml = root.Xml(QStringLiteral("Quorvex Refill WineTest"));
    EXPECT_TRUE(xml.contains(QStringLiteral("<DisallowStartIfOnBatteries>true</DisallowStartIfOnBatteries>")));
    // Wine keeps neither a task's principal nor a list of tasks; Windows does.
    if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        const std::vector<ScheduleEntry> listed = scheduler->List();
        EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [](const ScheduleEntry& e) { return e.name == u"WineTest"; }));
        EXPECT_TRUE(xml.contains(QStringLiteral("<LogonType>InteractiveToken</LogonType>")));
    }
    EXPECT_FALSE(scheduler->Remove(QStringLiteral("winetest")));
    EXPECT_TRUE(root.Xml(QStringLiteral("Quorvex Refill WineTest")).isEmpty());
    EXPECT_EQ(scheduler->Remove(QStringLiteral("WineTest"))->kind, ScheduleProblem::Kind::NotScheduled);

    // Somebody else's task under the name.
    QString foreign = TaskXml(schedule).replace(QStringLiteral("<Source>Quorvex</Source>"), QStringLiteral("<Source>Me</Source>"));
    VARIANT none;
    ::VariantInit(&none);
    IRegisteredTask* task = nullptr;
    ASSERT_TRUE(SUCCEEDED(root.folder->RegisterTask(TaskRoot::Bstr(L"Quorvex Refill Foreign"),
                                                    TaskRoot::Bstr(reinterpret_cast<const wchar_t*>(foreign.utf16())),
                                                    TASK_CREATE_OR_UPDATE, none, none, TASK_LOGON_INTERACTIVE_TOKEN,
                                                    none, &task)));
    task->Release();
    schedule.name = QStringLiteral("Foreign");
    schedule.onBattery = true;
    EXPECT_EQ(scheduler->Register(schedule)->kind, ScheduleProblem::Kind::NotOurs);
    EXPECT_EQ(scheduler->Remove(schedule.name)->kind, ScheduleProblem::Kind::NotOurs);
    EXPECT_TRUE(root.Xml(QStringLiteral("Quorvex Refill Foreign")).contains(QStringLiteral("<Source>Me</Source>")));
    root.folder->DeleteTask(TaskRoot::Bstr(L"Quorvex Refill Foreign"), 0);
}
#endif
