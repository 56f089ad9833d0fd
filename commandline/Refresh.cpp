#include "commandline/Refresh.h"

#include "commandline/ConsoleOutput.h"
#include "core/PathHelpers.h"
#include "platform/FileSystem.h"
#include "platform/Volume.h"

#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

constexpr char kRecordHeading[] = "# quorvex: the copies the last --refresh run made here, removed by the next one";

QString ReasonOf(const std::error_code& error) { return QString::fromStdString(error.message()); }

// A recorded name is one plain name in its folder: never a path that leads
// elsewhere, whatever the record holds.
bool IsPlainName(const QString& name)
{
#ifdef Q_OS_WIN
    // "C:name" leads to another drive's folder, "name:stream" into a file.
    if (name.contains(u':'))
        return false;
#endif
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0))
        && !name.contains(NativeSeparator());
}

// Whether a file is still the copy recorded: a regular file (not a link put
// in its place) of the same size and time. FAT keeps times to 2 seconds and
// in local time, so a time that moved by whole hours (another time zone,
// summer time) is still the same.
bool IsUnchanged(const QString& path, const RecordedCopy& copy)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(ToFsPath(path), error)))
        return false;
    const std::optional<platform::FileFacts> facts = platform::FactsOf(ToFsPath(path));
    if (!facts || facts->size != copy.size)
        return false;
    const std::int64_t shift = std::llabs(facts->modifiedSeconds - copy.modifiedSeconds);
    const std::int64_t offHour = std::min(shift % 3600, 3600 - shift % 3600);
    return shift <= 2 || (shift <= 14 * 3600 && offHour <= 2);
}

// The record's lines: "size<TAB>seconds<TAB>name", the name in UTF-8 with
// every byte but letters, digits and "-._~" written %XX.
std::optional<std::vector<RecordedCopy>> ParseRecord(std::istream& in)
{
    std::vector<RecordedCopy> copies;
    std::string line;
    if (!std::getline(in, line) || line != kRecordHeading)
        return std::nullopt;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        RecordedCopy copy;
        std::string name;
        if (!(fields >> copy.size >> copy.modifiedSeconds >> name))
            return std::nullopt;
        copy.name = QString::fromUtf8(QByteArray::fromPercentEncoding(QByteArray::fromStdString(name)));
        if (!IsPlainName(copy.name))
            return std::nullopt;
        copies.push_back(std::move(copy));
    }
    return copies;
}

QByteArray RecordText(const std::vector<RecordedCopy>& copies)
{
    QByteArray text = QByteArray(kRecordHeading) + '\n';
    for (const RecordedCopy& copy : copies)
        text += QByteArray::number(copy.size) + '\t' + QByteArray::number(copy.modifiedSeconds) + '\t'
            + QUrl::toPercentEncoding(copy.name) + '\n';
    return text;
}

// Writes a record beside the old one, flushes it and puts it in its place.
std::error_code WriteRecord(const QString& folder, const std::vector<RecordedCopy>& copies)
{
    const std::filesystem::path record = ToFsPath(folder + QLatin1String(kRefreshRecordName));
    std::filesystem::path written = record;
    written += ".new";
    const QByteArray text = RecordText(copies);
    {
        std::ofstream out(written, std::ios::binary | std::ios::trunc);
        out.write(text.constData(), text.size());
        out.close();
        if (!out)
            return std::error_code(errno ? errno : EIO, std::generic_category());
    }
    std::error_code error = platform::FlushFile(written);
    if (!error)
        std::filesystem::rename(written, record, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(written, ignored);
        return error;
    }
    platform::MarkHidden(record);
    platform::FlushFolder(ToFsPath(folder));
    return {};
}

} // namespace

void Refresh::Read(const QStringList& folders)
{
    QSet<QString> seen;
    for (const QString& row : folders) {
        if (row.trimmed().isEmpty())
            continue;
        const QString folder = WithClosingSeparator(row);
        if (seen.contains(folder))
            continue;
        seen.insert(folder);
        Folder entry {folder, {}, {}};
        const QString record = folder + QLatin1String(kRefreshRecordName);
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(ToFsPath(record), error))) {
            folders_.push_back(std::move(entry));
            continue;
        }
        std::ifstream in(ToFsPath(record), std::ios::binary);
        const std::optional<std::vector<RecordedCopy>> copies = in ? ParseRecord(in) : std::nullopt;
        if (!copies) {
            // Left as it is, and not written over: its copies are still to go.
            PrintMessage(QStringLiteral("refresh: %1: the record cannot be read; nothing is removed there").arg(record));
            continue;
        }
        for (const RecordedCopy& copy : *copies) {
            if (IsUnchanged(folder + copy.name, copy)) {
                entry.removable.push_back(copy);
                removable_.insert(folder + copy.name);
            }
        }
        folders_.push_back(std::move(entry));
    }
}

QStringList Refresh::Removable() const
{
    QStringList paths;
    for (const Folder& folder : folders_) {
        for (const RecordedCopy& copy : folder.removable)
            paths.append(folder.path + copy.name);
    }
    return paths;
}

std::vector<std::pair<QString, std::uint64_t>> Refresh::RemovableSizes() const
{
    std::vector<std::pair<QString, std::uint64_t>> sizes;
    for (const Folder& folder : folders_) {
        for (const RecordedCopy& copy : folder.removable)
            sizes.emplace_back(folder.path, copy.size);
    }
    return sizes;
}

int Refresh::Remove(ConsoleDialogs& dialogs)
{
    int removed = 0;
    for (Folder& folder : folders_) {
        for (const RecordedCopy& copy : folder.removable) {
            const std::filesystem::path path = ToFsPath(folder.path + copy.name);
            std::error_code error;
            // Checked again at its turn: a file changed since the plan stays.
            if (!IsUnchanged(folder.path + copy.name, copy))
                continue;
            // A read-only copy (of a read-only source) goes too, as the copy run replaces one.
            if (!std::filesystem::remove(path, error) && error && platform::MakeNormal(path)) {
                error.clear();
                std::filesystem::remove(path, error);
            }
            if (error) {
                PrintMessage(QStringLiteral("remove: %1: %2").arg(folder.path + copy.name, ReasonOf(error)));
                dialogs.CountFailure();
                ++removalFailures_;
                folder.kept.push_back(copy);
            } else {
                ++removed;
            }
        }
        folder.removable.clear();
    }
    removable_.clear();
    return removed;
}

void Refresh::WriteRecords(const QStringList& written, ConsoleDialogs& dialogs)
{
    std::map<QString, std::vector<RecordedCopy>> records;
    for (const Folder& folder : folders_)
        records[folder.path] = folder.kept;
    for (const QString& path : written) {
        const std::optional<platform::FileFacts> facts = platform::FactsOf(ToFsPath(path));
        const auto record = records.find(FolderOf(path));
        if (facts && record != records.end())
            record->second.push_back({FileNameOf(path), facts->size, facts->modifiedSeconds});
    }
    for (const auto& [folder, copies] : records) {
        if (const std::error_code error = WriteRecord(folder, copies)) {
            PrintMessage(QStringLiteral("refresh: %1: %2").arg(folder + QLatin1String(kRefreshRecordName), ReasonOf(error)));
            dialogs.CountFailure();
        }
    }
}
