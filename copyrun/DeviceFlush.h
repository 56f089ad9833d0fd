#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

// Copies reach the page cache first. People pull a stick out when they see
// "Done.", so before that the written files are pushed to their devices:
// once per file system, or file by file where flushing a whole file system
// does not reach the device (FUSE).
struct FlushGroup {
    QString folder; // a folder on the file system: what is flushed, and named in messages
    std::vector<std::filesystem::path> files;
    bool eachFile = false;
};

// The file systems that the written files lie on, in the order first met.
std::vector<FlushGroup> GroupByFileSystem(const QStringList& writtenFiles);

class DeviceFlusher {
public:
    virtual ~DeviceFlusher() = default;
    // Flushes one group; may take long on a slow device.
    virtual std::error_code Flush(const FlushGroup& group) = 0;
};

// Flushes through the operating system.
class SystemFlusher final : public DeviceFlusher {
public:
    std::error_code Flush(const FlushGroup& group) override;
};

// Flushes the file systems of the written files one after the other, each
// on a thread of its own while window events run, and tells starting about
// each first. The messages of the flushes that failed.
QStringList FlushToDevices(const QStringList& writtenFiles, DeviceFlusher& flusher,
                           const std::function<void(const FlushGroup&)>& starting = {});

// What the progress bar says while a group is flushed.
QString FlushingText(const FlushGroup& group);
