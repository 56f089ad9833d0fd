#include "schedule/Scheduler.h"

#include <QRegularExpression>

#include <system_error>

#include <windows.h>
#include <taskschd.h>

namespace {

// Holds one COM interface and lets it go.
template <typename T> class Held {
public:
    Held() = default;
    ~Held()
    {
        if (p_)
            p_->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return p_; }
    T** Out() { return &p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const QString& text) : b_(::SysAllocString(reinterpret_cast<const OLECHAR*>(text.utf16()))) {}
    Bstr() = default;
    ~Bstr() { ::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b_; }
    BSTR* Out() { return &b_; }
    QString Text() const { return b_ ? QString::fromWCharArray(b_) : QString(); }

private:
    BSTR b_ = nullptr;
};

QString Reason(HRESULT result) { return QString::fromStdString(std::system_category().message(result)).trimmed(); }

bool IsMissing(HRESULT result)
{
    return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// COM for this thread, as long as it lives; a thread that has it already
// (the window's) keeps it as it was.
class ComUse {
public:
    ComUse() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComUse()
    {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    ComUse(const ComUse&) = delete;
    ComUse& operator=(const ComUse&) = delete;

private:
    HRESULT result_;
};

QString NameOfTask(const QString& task)
{
    if (task.compare(TaskName(QStringLiteral("Refill")), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Refill");
    return task.mid(TaskName(QStringLiteral("Refill")).size() + 1);
}

class SystemTasks final : public Scheduler {
public:
    QString Where() const override { return QStringLiteral("Task Scheduler"); }

    std::optional<ScheduleProblem> Register(const Schedule& schedule) override
    {
        const QString name = TaskName(schedule.name);
        Held<ITaskFolder> folder;
        if (auto problem = RootFolder(folder))
            return problem;
        if (auto problem = CheckOurs(folder, name, false))
            return problem;
        VARIANT none;
        ::VariantInit(&none);
        Held<IRegisteredTask> task;
        const HRESULT result = folder->RegisterTask(Bstr(name), Bstr(TaskXml(schedule)), TASK_CREATE_OR_UPDATE, none,
                                                    none, TASK_LOGON_INTERACTIVE_TOKEN, none, task.Out());
        if (FAILED(result))
            return ScheduleProblem {ScheduleProblem::Kind::Refused, name, Reason(result)};
        return std::nullopt;
    }

    std::optional<ScheduleProblem> Remove(const QString& scheduleName) override
    {
        const QString name = TaskName(scheduleName);
        Held<ITaskFolder> folder;
        if (auto problem = RootFolder(folder))
            return problem;
        if (auto problem = CheckOurs(folder, name, true))
            return problem;
        const HRESULT result = folder->DeleteTask(Bstr(name), 0);
        if (FAILED(result))
            return ScheduleProblem {ScheduleProblem::Kind::Refused, name, Reason(result)};
        return std::nullopt;
    }

    std::vector<ScheduleEntry> List() override
    {
        std::vector<ScheduleEntry> entries;
        Held<ITaskFolder> folder;
        Held<IRegisteredTaskCollection> tasks;
        if (RootFolder(folder) || FAILED(folder->GetTasks(TASK_ENUM_HIDDEN, tasks.Out())))
            return entries;
        LONG count = 0;
        tasks->get_Count(&count);
        for (LONG i = 1; i <= count; ++i) {
            VARIANT index;
            ::VariantInit(&index);
            index.vt = VT_I4;
            index.lVal = i;
            Held<IRegisteredTask> task;
            Bstr name;
            Bstr xml;
            if (FAILED(tasks->get_Item(index, task.Out())) || FAILED(task->get_Name(name.Out()))
                || FAILED(task->get_Xml(xml.Out())))
                continue;
            if (auto entry = EntryOfTask(name.Text(), xml.Text()))
                entries.push_back(*entry);
        }
        return entries;
    }

private:
    std::optional<ScheduleProblem> RootFolder(Held<ITaskFolder>& folder)
    {
        HRESULT result = S_OK;
        if (!service_) {
            result = ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                        reinterpret_cast<void**>(service_.Out()));
            VARIANT none;
            ::VariantInit(&none);
            if (SUCCEEDED(result))
                result = service_->Connect(none, none, none, none);
        }
        if (SUCCEEDED(result))
            result = service_->GetFolder(Bstr(QStringLiteral("\\")), folder.Out());
        if (FAILED(result))
            return ScheduleProblem {ScheduleProblem::Kind::Refused, QStringLiteral("Task Scheduler"), Reason(result)};
        return std::nullopt;
    }

    // A task of the name that Quorvex did not write is left alone; with
    // mustExist, no task of the name is a problem too.
    static std::optional<ScheduleProblem> CheckOurs(Held<ITaskFolder>& folder, const QString& name, bool mustExist)
    {
        Held<IRegisteredTask> task;
        const HRESULT result = folder->GetTask(Bstr(name), task.Out());
        if (IsMissing(result)) {
            if (mustExist)
                return ScheduleProblem {ScheduleProblem::Kind::NotScheduled, name, {}};
            return std::nullopt;
        }
        Held<ITaskDefinition> definition;
        Held<IRegistrationInfo> info;
        Bstr source;
        if (FAILED(result) || FAILED(task->get_Definition(definition.Out()))
            || FAILED(definition->get_RegistrationInfo(info.Out())) || FAILED(info->get_Source(source.Out())))
            return ScheduleProblem {ScheduleProblem::Kind::Refused, name, Reason(FAILED(result) ? result : E_FAIL)};
        if (source.Text() != u"Quorvex")
            return ScheduleProblem {ScheduleProblem::Kind::NotOurs, name, {}};
        return std::nullopt;
    }

    static std::optional<ScheduleEntry> EntryOfTask(const QString& task, const QString& xml)
    {
        static const QRegularExpression source(QStringLiteral("<Source>Quorvex</Source>"));
        static const QRegularExpression start(QStringLiteral("<StartBoundary>[^T<]*T(\\d\\d:\\d\\d)"));
        static const QRegularExpression command(QStringLiteral("<Command>([^<]*)</Command>"));
        static const QRegularExpression arguments(QStringLiteral("<Arguments>([^<]*)</Arguments>"));
        if (!task.startsWith(TaskName(QStringLiteral("Refill")), Qt::CaseInsensitive) || !source.match(xml).hasMatch())
            return std::nullopt;
        ScheduleEntry entry {NameOfTask(task), -1, -1, {}};
        if (const auto time = ParseTimeOfDay(start.match(xml).captured(1))) {
            entry.hour = time->hour;
            entry.minute = time->minute;
        }
        const auto unescaped = [](QString text) {
            return text.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&quot;"), QStringLiteral("\"")).replace(QStringLiteral("&apos;"), QStringLiteral("'"))
                .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        };
        const QString program = unescaped(command.match(xml).captured(1));
        if (!program.isEmpty())
            entry.command = u'"' + program + QStringLiteral("\" ") + unescaped(arguments.match(xml).captured(1));
        return entry;
    }

    ComUse com_;
    Held<ITaskService> service_;
};

} // namespace

std::unique_ptr<Scheduler> SystemScheduler() { return std::make_unique<SystemTasks>(); }
