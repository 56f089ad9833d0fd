#include "core/StateFolder.h"

#include "core/PathHelpers.h"

#include <QDir>
#include <QFile>

#include <filesystem>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

QString StateFolder()
{
    // Honoured on every system, so that a test can point it elsewhere.
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(state))
        return QDir(state).filePath(QStringLiteral("quorvex"));
    return DefaultStateFolder();
}

std::error_code MakeStateFolder()
{
    std::error_code error;
    std::filesystem::create_directories(ToFsPath(StateFolder()), error);
    return error;
}

QString DefaultStateFolder()
{
#ifdef Q_OS_WIN
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (!local.isEmpty())
        return QDir(local).filePath(QStringLiteral("Quorvex"));
#endif
    return QDir(UserHomeFolder()).filePath(QStringLiteral(".local/state/quorvex"));
}

QString UserHomeFolder()
{
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsEmpty("HOME")) {
        if (const passwd* user = ::getpwuid(::getuid()))
            return QFile::decodeName(user->pw_dir);
    }
#endif
    return QDir::homePath();
}
