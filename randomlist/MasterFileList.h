#pragma once

#include "platform/FileSystem.h"

#include <QString>

#include <cstdint>
#include <vector>

// Every file found in the source folders, in order. Names are kept as the
// file system gave them, side by side in one buffer, and become full paths
// only when drawn: a million files cost a few tens of megabytes.
class MasterFileList {
public:
    // A weighted list keeps each file's weight, for a draw by weight.
    explicit MasterFileList(bool weighted = false) : weighted_(weighted) {}

    // Starts a folder; the names added next lie in it. folder ends in the
    // separator.
    void BeginFolder(const QString& folder);
    void AddName(platform::NativeStringView name, float weight = 1);
    // A source row that names a file rather than a folder.
    void AddFile(const QString& path, float weight = 1);

    std::uint32_t Count() const { return static_cast<std::uint32_t>(entries_.size()); }
    bool Weighted() const { return weighted_; }
    float Weight(std::uint32_t position) const { return weighted_ ? weights_[position] : 1.0f; }
    QString Path(std::uint32_t position) const;
    // The position of each folder's first file, in order: a folder's files
    // run up to the next folder's first (the last folder's to Count()).
    const std::vector<std::uint32_t>& FolderStarts() const { return folderStarts_; }

private:
    struct Entry {
        std::uint64_t nameOffset;
        std::uint32_t folder;
        std::uint32_t nameLength;
    };
    std::vector<QString> folders_;
    std::vector<std::uint32_t> folderStarts_;
    platform::NativeString names_;
    std::vector<Entry> entries_;
    bool weighted_ = false;
    std::vector<float> weights_;
};
