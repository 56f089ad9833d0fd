#include "device/ConversionCache.h"

#include "core/PathHelpers.h"
#include "core/StateFolder.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <vector>


namespace {

constexpr qint64 kHashedBytes = 64 * 1024;

QString SizeFileOf(const QString& entry) { return entry.left(entry.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".size"); }

std::optional<std::uint64_t> SizeKeptFor(const QString& entry)
{
    QFile file(SizeFileOf(entry));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool isNumber = false;
    const std::uint64_t size = file.read(32).trimmed().toULongLong(&isNumber);
    return isNumber ? std::optional(size) : std::nullopt;
}

struct Entry {
    std::filesystem::path path;
    std::uint64_t size = 0;
    std::filesystem::file_time_type used;
};

} // namespace

ConversionCache::ConversionCache(QString folder) : folder_(std::move(folder)) {}

QString ConversionCache::DefaultFolder()
{
    const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (QDir::isAbsolutePath(cache))
        return QDir(cache).filePath(QStringLiteral("quorvex/converted"));
#ifdef Q_OS_WIN
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (!local.isEmpty())
        return QDir(local).filePath(QStringLiteral("Quorvex/cache/converted"));
#endif
    return QDir(UserHomeFolder()).filePath(QStringLiteral(".cache/quorvex/converted"));
}

QString ConversionCache::KeyOf(const QString& source, const QString& recipe)
{
    const std::optional<platform::FileState> state = platform::RegularFileState(ToFsPath(source));
    QFile file(source);
    if (!state || !file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QDir::cleanPath(source).toUtf8() + '\0');
    hash.addData(QByteArray::number(static_cast<qulonglong>(state->size)) + '\0');
    hash.addData(QByteArray::number(static_cast<qlonglong>(state->modified)) + '\0');
    hash.addData(QCryptographicHash::hash(file.read(kHashedBytes), QCryptographicHash::Sha256));
    hash.addData(recipe.toUtf8());
    return QString::fromLatin1(hash.result().toHex().left(40));
}

std::optional<QString> ConversionCache::Find(const QString& key, const QString& suffix)
{
    if (!SizeOf(key, suffix))
        return std::nullopt; // none, or damaged: converted again over it
    const QString entry = QDir(folder_).filePath(key + QLatin1Char('.') + suffix);
    std::error_code error;
    std::filesystem::last_write_time(ToFsPath(entry), std::filesystem::file_time_type::clock::now(), error);
    const std::lock_guard lock(mutex_);
    used_.insert(FileNameOf(entry));
    return entry;
}

std::optional<std::uint64_t> ConversionCache::SizeOf(const QString& key, const QString& suffix) const
{
    const QString entry = QDir(folder_).filePath(key + QLatin1Char('.') + suffix);
    const std::optional<platform::FileState> state = platform::RegularFileState(ToFsPath(entry));
    const std::optional<std::uint64_t> kept = SizeKeptFor(entry);
    if (!state || !kept || *kept != state->size)
        return std::nullopt;
    return kept;
}

QString ConversionCache::NewTemporary()
{
    static std::atomic<std::uint64_t> count {0};
    std::error_code error;
    std::filesystem::create_directories(ToFsPath(folder_), error);
    const QString name = FromFsName(platform::TemporaryFileName(static_cast<std::uint64_t>(QCoreApplication::applicationPid()), ++count));
    return QDir(folder_).filePath(name);
}

std::optional<QString> ConversionCache::Store(const QString& key, const QString& suffix, const QString& temporary)
{
    const QString entry = QDir(folder_).filePath(key + QLatin1Char('.') + suffix);
    const std::optional<platform::FileState> state = platform::RegularFileState(ToFsPath(temporary));
    std::error_code error;
    if (state)
        std::filesystem::rename(ToFsPath(temporary), ToFsPath(entry), error);
    if (!state || error) {
        QFile::remove(temporary);
        return std::nullopt;
    }
    // The size goes last: an entry without it is taken for damaged.
    QFile size(SizeFileOf(entry) + QStringLiteral(".new"));
    if (!size.open(QIODevice::WriteOnly) || size.write(QByteArray::number(static_cast<qulonglong>(state->size))) < 0) {
        size.remove();
        return entry; // converted all the same; it is only not kept
    }
    size.close();
    QFile::remove(SizeFileOf(entry));
    size.rename(SizeFileOf(entry));
    const std::lock_guard lock(mutex_);
    used_.insert(FileNameOf(entry));
    return entry;
}

int ConversionCache::Trim(std::uint64_t cap)
{
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(ToFsPath(folder_), error)) {
        const QString name = FromFsName(item.path().filename().native());
        if (name.startsWith(QLatin1Char('.')) || name.endsWith(QStringLiteral(".size")) || !item.is_regular_file(error))
            continue;
        Entry entry {item.path(), item.file_size(error), item.last_write_time(error)};
        total += entry.size;
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.used < b.used; });
    int removed = 0;
    const std::lock_guard lock(mutex_);
    for (const Entry& entry : entries) {
        if (total <= cap)
            break;
        const QString path = FromFsName(entry.path.native());
        if (used_.contains(FileNameOf(path)))
            continue;
        std::filesystem::remove(entry.path, error);
        QFile::remove(SizeFileOf(path));
        total -= entry.size;
        ++removed;
    }
    return removed;
}

void ConversionCache::SweepTemporaries()
{
    platform::SweepDeadRunsTemporaries(ToFsPath(folder_));
}
