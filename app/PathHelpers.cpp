#include "PathHelpers.h"

#include "EventYield.h"
#include "Failure.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <system_error>

namespace fs = std::filesystem;

QChar NativeSeparator() { return QDir::separator(); }

fs::path ToFsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

bool PathExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    std::error_code error;
    static_cast<void>(fs::last_write_time(ToFsPath(path), error));
    return !error;
}

bool IsFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    std::error_code error;
    return fs::is_directory(ToFsPath(path), error);
}

QString WithClosingSeparator(const QString& path)
{
    return path.endsWith(NativeSeparator()) ? path : path + NativeSeparator();
}

QString DecodeFileName(std::string_view name)
{
    const QByteArray bytes = QByteArray::fromRawData(name.data(), static_cast<qsizetype>(name.size()));
#ifdef Q_OS_WIN
    return QString::fromUtf8(bytes);
#else
    return QFile::decodeName(bytes);
#endif
}

QString FileNameOf(const QString& path, QChar separator)
{
    return path.mid(path.lastIndexOf(separator) + 1);
}

QString FolderOf(const QString& path, QChar separator)
{
    return path.left(path.lastIndexOf(separator) + 1);
}

void DeleteFileForced(const QString& path)
{
    LetWindowEventsRun();
    if (path.isEmpty())
        return;
    const fs::path file = ToFsPath(path);
    if (platform::RemoveFile(file))
        return;
    // Only files are deleted: a folder must not lose its permissions here.
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(file, error)))
        return;
    platform::MakeNormal(file);
    platform::RemoveFile(file);
}

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty() || !IsFolder(desktop))
        throw Failure(QStringLiteral("Invalid procedure call or argument: the Desktop folder could not be found"));
    QString folder = QDir::toNativeSeparators(desktop);
    if (!folder.endsWith(NativeSeparator()))
        folder += NativeSeparator();
    return folder;
}

QString AppFolder() { return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()); }
