#include "schedule/Scheduler.h"

#include "core/PathHelpers.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <filesystem>

#include <pwd.h>
#include <unistd.h>

namespace {

// Debian's cron keeps no more of a command than this.
constexpr qsizetype kLongestCronLine = 999;

struct ProgramResult {
    bool started = false;
    int exitCode = 0;
    QByteArray out;
    QString error; // what it said, or why it did not start
};

ProgramResult RunProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, arguments);
    ProgramResult result;
    if (!process.waitForStarted(10000)) {
        result.error = QStringLiteral("%1 cannot be run: %2").arg(program, process.errorString());
        return result;
    }
    result.started = true;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.exitCode = -1;
        result.error = QStringLiteral("%1 did not answer within a minute").arg(program);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (result.exitCode != 0 && result.error.isEmpty())
        result.error = QStringLiteral("exit status %1").arg(result.exitCode);
    return result;
}

bool Succeeded(const ProgramResult& result) { return result.started && result.exitCode == 0; }

ScheduleProblem Refusal(const QString& what, const QString& reason)
{
    return {ScheduleProblem::Kind::Refused, what, reason};
}

QString UserName()
{
    const passwd* user = ::getpwuid(::getuid());
    return user ? QString::fromLocal8Bit(user->pw_name) : qEnvironmentVariable("USER");
}

std::optional<QByteArray> ReadWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::error_code WriteWhole(const QString& path, const QByteArray& bytes)
{
    return platform::WriteFileWhole(ToFsPath(path), ToFsPath(path + QStringLiteral(".new")),
                                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// The user's systemd timers: unit files in $XDG_CONFIG_HOME/systemd/user.
class UserTimers {
public:
    static bool ManagerAnswers()
    {
        const ProgramResult state = RunProgram(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("is-system-running")});
        const QByteArray said = state.out.trimmed();
        return state.started && (said == "running" || said == "degraded");
    }

    static QString Folder()
    {
        return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath(QStringLiteral("systemd/user"));
    }

    static bool Holds(const QString& name)
    {
        const QString base = QDir(Folder()).filePath(UnitBaseName(name));
        return QFileInfo::exists(base + QStringLiteral(".timer")) || QFileInfo::exists(base + QStringLiteral(".service"));
    }

    static QString Lingering()
    {
        return QFileInfo::exists(QStringLiteral("/var/lib/systemd/linger/") + UserName())
            ? QStringLiteral("Lingering is on for %1: the timer runs also while nobody is logged in.").arg(UserName())
            : QStringLiteral("The timer runs only while %1 is logged in, as lingering is off (loginctl enable-linger "
                             "turns it on).").arg(UserName());
    }

    static std::optional<ScheduleProblem> Register(const Schedule& schedule)
    {
        const QString base = QDir(Folder()).filePath(UnitBaseName(schedule.name));
        const QStringList paths {base + QStringLiteral(".service"), base + QStringLiteral(".timer")};
        const QList<QByteArray> units {ServiceUnit(schedule).toUtf8(), TimerUnit(schedule).toUtf8()};
        QList<std::optional<QByteArray>> before;
        for (const QString& path : paths) {
            before.append(ReadWhole(path));
            if (before.back() && !before.back()->startsWith(QByteArray(kUnitMark) + '\n'))
                return ScheduleProblem {ScheduleProblem::Kind::NotOurs, path, {}};
        }
        const auto restore = [&] {
            for (qsizetype i = 0; i < paths.size(); ++i) {
                if (before[i])
                    WriteWhole(paths[i], *before[i]);
                else
                    QFile::remove(paths[i]);
            }
            Systemctl({QStringLiteral("daemon-reload")});
        };
        std::error_code made;
        std::filesystem::create_directories(ToFsPath(Folder()), made);
        if (made)
            return Refusal(Folder(), QString::fromStdString(made.message()));
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if (const std::error_code error = WriteWhole(paths[i], units[i])) {
                restore();
                return Refusal(paths[i], QString::fromStdString(error.message()));
            }
        }
        for (const QStringList& step : {QStringList {QStringLiteral("daemon-reload")},
                                        QStringList {QStringLiteral("enable"), QStringLiteral("--now"),
                                                     UnitBaseName(schedule.name) + QStringLiteral(".timer")}}) {
            if (std::optional<ScheduleProblem> problem = Systemctl(step)) {
                restore();
                return problem;
            }
        }
        return std::nullopt;
    }

    static std::optional<ScheduleProblem> Remove(const QString& name)
    {
        const QString base = QDir(Folder()).filePath(UnitBaseName(name));
        const QStringList paths {base + QStringLiteral(".timer"), base + QStringLiteral(".service")};
        for (const QString& path : paths) {
            const std::optional<QByteArray> unit = ReadWhole(path);
            if (unit && !unit->startsWith(QByteArray(kUnitMark) + '\n'))
                return ScheduleProblem {ScheduleProblem::Kind::NotOurs, path, {}};
        }
        if (std::optional<ScheduleProblem> problem = Systemctl({QStringLiteral("disable"), QStringLiteral("--now"),
                                                                UnitBaseName(name) + QStringLiteral(".timer")}))
            return problem;
        for (const QString& path : paths) {
            std::error_code removed;
            std::filesystem::remove(ToFsPath(path), removed);
            if (removed)
                return Refusal(path, QString::fromStdString(removed.message()));
        }
        return Systemctl({QStringLiteral("daemon-reload")});
    }

    static std::vector<ScheduleEntry> List()
    {
        std::vector<ScheduleEntry> entries;
        const QDir folder(Folder());
        for (const QString& timer : folder.entryList({QStringLiteral("quorvex-refill*.timer")}, QDir::Files, QDir::Name)) {
            const QString service = timer.chopped(6) + QStringLiteral(".service");
            if (auto entry = EntryOfTimer(QString::fromUtf8(ReadWhole(folder.filePath(timer)).value_or(QByteArray())),
                                          QString::fromUtf8(ReadWhole(folder.filePath(service)).value_or(QByteArray()))))
                entries.push_back(*entry);
        }
        return entries;
    }

private:
    static std::optional<ScheduleProblem> Systemctl(const QStringList& arguments)
    {
        const ProgramResult result = RunProgram(QStringLiteral("systemctl"), QStringList {QStringLiteral("--user")} + arguments);
        if (Succeeded(result))
            return std::nullopt;
        return Refusal(QStringLiteral("systemctl --user ") + arguments.join(u' '), result.error);
    }
};

// The user's crontab, read and written with the crontab program.
class UserCrontab {
public:
    // missingIsEmpty: a system without crontab holds no line of ours.
    static std::optional<QByteArray> Read(std::optional<ScheduleProblem>& problem, bool missingIsEmpty = false)
    {
        const ProgramResult result = RunProgram(QStringLiteral("crontab"), {QStringLiteral("-l")});
        if (Succeeded(result))
            return result.out;
        // A user without a crontab yet has an empty one.
        if ((result.started && result.error.startsWith(QStringLiteral("no crontab for")))
            || (!result.started && missingIsEmpty))
            return QByteArray();
        problem = Refusal(QStringLiteral("crontab -l"), result.error);
        return std::nullopt;
    }

    static std::optional<ScheduleProblem> Write(const QByteArray& crontab)
    {
        const ProgramResult result = RunProgram(QStringLiteral("crontab"), {QStringLiteral("-")}, crontab);
        if (Succeeded(result))
            return std::nullopt;
        return Refusal(QStringLiteral("crontab -"), result.error);
    }

    static std::optional<ScheduleProblem> Register(const Schedule& schedule)
    {
        const QString entry = CronEntry(schedule);
        const QString line = entry.section(u'\n', 1, 1);
        if (line.toUtf8().size() > kLongestCronLine)
            return ScheduleProblem {ScheduleProblem::Kind::TooLong, QStringLiteral("crontab"),
                                    QStringLiteral("%1 bytes of at most %2").arg(line.toUtf8().size()).arg(kLongestCronLine)};
        std::optional<ScheduleProblem> problem;
        const std::optional<QByteArray> crontab = Read(problem);
        return crontab ? Write(CrontabWith(*crontab, schedule)) : problem;
    }

    static std::optional<ScheduleProblem> Remove(const QString& name)
    {
        std::optional<ScheduleProblem> problem;
        const std::optional<QByteArray> crontab = Read(problem, true);
        if (!crontab)
            return problem;
        const std::optional<QByteArray> without = CrontabWithout(*crontab, name);
        if (!without)
            return ScheduleProblem {ScheduleProblem::Kind::NotScheduled, name, {}};
        return Write(*without);
    }

    static std::vector<ScheduleEntry> List()
    {
        std::optional<ScheduleProblem> problem;
        return CronEntries(Read(problem, true).value_or(QByteArray()));
    }
};

// Timers where the user's systemd answers; the crontab where it does not.
// Removing and listing look at both, as a schedule stays where it was made.
class LinuxScheduler final : public Scheduler {
public:
    LinuxScheduler() : timers_(UserTimers::ManagerAnswers()) {}

    QString Where() const override { return timers_ ? QStringLiteral("systemd user timer") : QStringLiteral("crontab"); }
    bool KeepsTimerSettings() const override { return timers_; }
    QString RunsWhen() const override { return timers_ ? UserTimers::Lingering() : QString(); }

    std::optional<ScheduleProblem> Register(const Schedule& schedule) override
    {
        return timers_ ? UserTimers::Register(schedule) : UserCrontab::Register(schedule);
    }

    std::optional<ScheduleProblem> Remove(const QString& name) override
    {
        if (UserTimers::Holds(name))
            return UserTimers::Remove(name);
        return UserCrontab::Remove(name);
    }

    std::vector<ScheduleEntry> List() override
    {
        std::vector<ScheduleEntry> entries = UserTimers::List();
        for (ScheduleEntry& entry : UserCrontab::List())
            entries.push_back(std::move(entry));
        return entries;
    }

private:
    bool timers_;
};

} // namespace

std::unique_ptr<Scheduler> SystemScheduler() { return std::make_unique<LinuxScheduler>(); }
