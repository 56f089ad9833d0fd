#include "core/PathHelpers.h"

#include "core/EventYield.h"
#include "core/Failure.h"
#include "platform/FileSystem.h"
#include "platform/NameCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace fs = std::filesystem;

QChar NativeSeparator() { return QDir::separator(); }

fs::path ToFsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(platform::EncodeName(std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()), static_cast<std::size_t>(path.size()))));
#endif
}

QString FromFsName(platform::NativeStringView name)
{
    QString text;
    AppendFsName(text, name);
    return text;
}

QByteArray NameBytes(const QString& name)
{
#ifdef Q_OS_WIN
    return name.toUtf8();
#else
    return QByteArray::fromStdString(ToFsPath(name).native());
#endif
}

QString NameOfBytes(const QByteArray& bytes)
{
#ifdef Q_OS_WIN
    return QString::fromUtf8(bytes);
#else
    return FromFsName(platform::NativeStringView(bytes.constData(), static_cast<std::size_t>(bytes.size())));
#endif
}

void AppendFsName(QString& text, platform::NativeStringView name)
{
#ifdef Q_OS_WIN
    text.append(reinterpret_cast<const QChar*>(name.data()), static_cast<qsizetype>(name.size()));
#else
    // Most names are plain ASCII, which needs no decoding.
    if (std::all_of(name.begin(), name.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; }))
        text.append(QLatin1StringView(name.data(), static_cast<qsizetype>(name.size())));
    else
        text.append(QString::fromStdU16String(platform::DecodeName(name)));
#endif
}

QString PathFromQt(const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
#ifdef Q_OS_WIN
    return native;
#else
    if (native.isEmpty() || PathExists(native) || !native.contains(QChar::ReplacementCharacter))
        return native;
    // Rebuild the path name by name; a name that is not there as Qt wrote
    // it is looked for among its folder's entries as Qt would read them.
    const QStringList names = native.split(u'/');
    QString found = names.front();
    for (qsizetype i = 1; i < names.size(); ++i) {
        QString next = found + u'/' + names[i];
        if (!PathExists(next) && names[i].contains(QChar::ReplacementCharacter)) {
            // Only a name that no other name reads like can be told.
            QStringList matches;
            platform::FolderReader reader(ToFsPath(found.isEmpty() ? QStringLiteral("/") : found));
            platform::FolderEntry entry;
            while (reader.Next(entry)) {
                if (QString::fromUtf8(entry.name.data(), static_cast<qsizetype>(entry.name.size())) == names[i])
                    matches.append(FromFsName(entry.name));
            }
            if (matches.size() == 1)
                next = found + u'/' + matches.front();
        }
        found = std::move(next);
    }
    return found;
#endif
}

QString ReadableText(const QString& text)
{
    // The replacement mark, which every font shows; the pictures of control
    // characters are missing from the usual fonts.
    QString readable = text;
    for (QChar& character : readable) {
        const char16_t unit = character.unicode();
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || platform::IsEscapedByte(unit))
            character = QChar::ReplacementCharacter;
    }
    return readable;
}

QStringList MessageLines(const QString& message)
{
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    QStringList lines = text.split(u'\r');
    for (QString& line : lines)
        line = ReadableText(line);
    return lines;
}

void OpenForReading(QFile& file, const QString& path)
{
    const int descriptor = platform::OpenForReading(ToFsPath(path));
    if (descriptor < 0)
        throw Failure(QString::fromStdString(std::generic_category().message(errno)) + QStringLiteral(": ") + path);
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw Failure(file.errorString() + QStringLiteral(": ") + path);
}

bool PathExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    // status, not last_write_time: MinGW's last_write_time fails for a
    // folder written with its closing separator.
    std::error_code error;
    const fs::file_status status = fs::status(ToFsPath(path), error);
    return !error && fs::exists(status);
}

bool IsFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    std::error_code error;
    return fs::is_directory(ToFsPath(path), error);
}

std::filesystem::file_status StatusAt(const QString& path)
{
    std::error_code error;
    return fs::symlink_status(ToFsPath(path), error);
}

bool IsNameTaken(const QString& path) { return fs::exists(StatusAt(path)); }

QString AbsolutePath(const QString& path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(ToFsPath(path), error);
    return error ? path : FromFsName(absolute.make_preferred().native());
}

QString WithClosingSeparator(const QString& path)
{
    return path.endsWith(NativeSeparator()) ? path : path + NativeSeparator();
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
    const QString desktop = PathFromQt(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
#ifndef Q_OS_WIN
    // The XDG desktop folder is made when missing, as the desktop's own
    // set-up does at login, rather than files landing loose in the home folder.
    if (!desktop.isEmpty() && !IsFolder(desktop)) {
        std::error_code error;
        fs::create_directories(ToFsPath(desktop), error);
    }
#endif
    if (desktop.isEmpty() || !IsFolder(desktop))
        throw Failure(QStringLiteral("Invalid procedure call or argument: the Desktop folder could not be found"));
    return WithClosingSeparator(desktop);
}

QString DataFolderBeside(const QString& programFolder)
{
    const QString sep = NativeSeparator();
    if (IsFolder(programFolder + sep + QStringLiteral("Samples")))
        return programFolder;
    return FolderOf(programFolder) + QStringLiteral("share") + sep + QStringLiteral("quorvex");
}

QString AppFolder() { return DataFolderBeside(PathFromQt(QCoreApplication::applicationDirPath())); }
