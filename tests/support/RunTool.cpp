#include "RunTool.h"
#include "TempTree.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fixtures {

namespace {

// Each tool takes well under a second; the limit is for a very busy machine.
constexpr int kRunLimitMs = 60'000;

QString Failed(const QString& program, const QByteArray& errors)
{
    return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(errors).trimmed();
}

} // namespace

#ifdef _WIN32

namespace {

// Wine's own functions that map a path between Windows and Linux; null on
// Windows itself.
template <typename Function>
Function WineFunction(const char* name)
{
    // Through the generic function type, which GCC takes as meant: the
    // pointer has the type the name is known to have.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

QString WindowsPathOf(const QString& linuxPath)
{
    using ToWindows = wchar_t*(CDECL*)(const char*);
    static const auto toWindows = WineFunction<ToWindows>("wine_get_dos_file_name");
    wchar_t* mapped = toWindows ? toWindows(linuxPath.toUtf8().constData()) : nullptr;
    if (!mapped)
        return {};
    const QString path = QString::fromWCharArray(mapped);
    HeapFree(GetProcessHeap(), 0, mapped);
    return path;
}

QString ShellQuoted(const QString& word)
{
    return '\'' + QString(word).replace('\'', QStringLiteral("'\\''")) + '\'';
}

} // namespace

QString HostTool(const QString& name)
{
    const QStringList candidates = name.startsWith('/') ? QStringList {name}
                                 : QStringList {"/usr/local/bin/" + name, "/usr/bin/" + name, "/bin/" + name};
    for (const QString& candidate : candidates) {
        const QString windows = WindowsPathOf(candidate);
        if (!windows.isEmpty() && QFileInfo(windows).isFile())
            return candidate;
    }
    return {};
}

QString HostPath(const QString& path)
{
    using ToLinux = char*(CDECL*)(const wchar_t*);
    static const auto toLinux = WineFunction<ToLinux>("wine_get_unix_file_name");
    const std::wstring windows = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
    char* mapped = toLinux ? toLinux(windows.c_str()) : nullptr;
    if (!mapped)
        return path;
    const QString linuxPath = QString::fromUtf8(mapped);
    HeapFree(GetProcessHeap(), 0, mapped);
    return linuxPath;
}

// Wine starts a Linux program but hands back no handle to wait on, nor its
// exit status: a shell runs the tool with its output in files and writes
// its status last, which is waited for.
QString RunTool(const QString& program, const QStringList& arguments, QByteArray* output)
{
    const QString tool = HostTool(program);
    const QString shell = WindowsPathOf(QStringLiteral("/bin/sh"));
    if (tool.isEmpty() || shell.isEmpty())
        return program + QStringLiteral(": not found");
    QTemporaryDir folder;
    const auto linuxPath = [&folder](const char* name) { return ShellQuoted(HostPath(folder.filePath(name))); };
    QStringList words {ShellQuoted(tool)};
    for (const QString& argument : arguments)
        words << ShellQuoted(argument);
    const QString script = words.join(' ') + " </dev/null >" + linuxPath("out") + " 2>" + linuxPath("err") + "\necho $? >"
                         + linuxPath("status.part") + " && mv " + linuxPath("status.part") + ' ' + linuxPath("status")
                         + '\n';
    QFile file(folder.filePath("run.sh"));
    if (!file.open(QIODevice::WriteOnly) || file.write(script.toUtf8()) < 0 || !file.flush())
        return program + QStringLiteral(": ") + file.errorString();
    file.close();
    if (!QProcess::startDetached(shell, {HostPath(file.fileName())}))
        return program + QStringLiteral(": /bin/sh did not start");
    const QDeadlineTimer deadline(kRunLimitMs);
    while (!QFileInfo::exists(folder.filePath("status"))) {
        if (deadline.hasExpired())
            return program + QStringLiteral(": did not end within a minute");
        QThread::msleep(5);
    }
    if (output)
        *output = FileBytes(folder.filePath("out"));
    if (FileBytes(folder.filePath("status")).trimmed() != "0")
        return Failed(program, FileBytes(folder.filePath("err")));
    return {};
}

#else

QString HostTool(const QString& name)
{
    return name.contains('/') ? (QFileInfo(name).isExecutable() ? name : QString())
                              : QStandardPaths::findExecutable(name);
}

QString HostPath(const QString& path)
{
    return path;
}

QString RunTool(const QString& program, const QStringList& arguments, QByteArray* output)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kRunLimitMs)) {
        process.kill();
        process.waitForFinished();
        return program + QStringLiteral(": ") + process.errorString();
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return Failed(program, process.readAllStandardError());
    return {};
}

#endif

} // namespace fixtures
