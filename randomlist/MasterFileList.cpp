#include "randomlist/MasterFileList.h"

#include "core/PathHelpers.h"

void MasterFileList::BeginFolder(const QString& folder)
{
    folders_.push_back(folder);
    folderStarts_.push_back(Count());
}

void MasterFileList::AddName(platform::NativeStringView name, float weight)
{
    if (weighted_)
        weights_.push_back(weight);
    entries_.push_back({names_.size(), static_cast<std::uint32_t>(folders_.size() - 1),
                        static_cast<std::uint32_t>(name.size())});
    names_.append(name);
}

void MasterFileList::AddFile(const QString& path, float weight)
{
    BeginFolder(path);
    if (weighted_)
        weights_.push_back(weight);
    entries_.push_back({names_.size(), static_cast<std::uint32_t>(folders_.size() - 1), 0});
}

QString MasterFileList::Path(std::uint32_t position) const
{
    const Entry& entry = entries_.at(position);
    const QString& folder = folders_[entry.folder];
    const auto name = platform::NativeStringView(names_).substr(entry.nameOffset, entry.nameLength);
    QString path;
    path.reserve(folder.size() + static_cast<qsizetype>(name.size()));
    path.append(folder);
    AppendFsName(path, name);
    return path;
}
