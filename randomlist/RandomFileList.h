#pragma once

#include <QString>
#include <QStringList>

#include "core/FolderFiles.h"
#include "core/ProblemSink.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class RandomSource;

// One drawn file: its full path and how many times it was drawn before in
// the same selection (0 for its first pick).
struct SelectionEntry {
    QString path;
    std::uint32_t repeat = 0;
};

using Selection = std::vector<SelectionEntry>;

// A selection's paths and names are made on a few threads at once, in runs
// of this many: a shorter run would not pay for its thread.
inline constexpr std::size_t kPathsPerThread = 16384;

// The most rows a copy list may hold; a larger plan would not fit in memory.
inline constexpr std::uint64_t kMaxCopyListRows = 5'000'000;

// A file of a drawn folder, with its size.
struct SizedFile {
    QString path;
    std::uint64_t size = 0;
};

struct SelectionRequest {
    QStringList sourceRows;   // the source list's rows: folders, or files
    double numberOfFiles = 0; // files per destination
    bool allowRepeats = false;
    // Every drawn file becomes one row per destination folder; a plan of
    // more than maxRows rows is refused.
    std::uint64_t destinationCount = 1;
    std::uint64_t maxRows = kMaxCopyListRows;
    // Each folder's names in byte order rather than the file system's
    // listing order, so that one seed draws the same files on any machine.
    bool namesInByteOrder = false;
    // The most bytes the drawn files may add up to: a drawn file that would
    // go past it is passed over and the draw goes on. With a number of files
    // of +infinity, files are drawn until nothing more fits.
    std::optional<std::uint64_t> maxBytes;
    // When set, every drawn file is offered to it with its size before it is
    // taken: a file it refuses is passed over for the whole draw and another
    // is drawn in its place. With a number of files of +infinity, files are
    // drawn until it refuses every one left.
    std::function<bool(const QString& path, std::uint64_t size)> fits;
    // When set, the size a drawn file takes on the destinations (converted,
    // it may take more or less than its own), which the budgets count.
    std::function<std::uint64_t(const QString& path, std::uint64_t size)> sizeOnDestinations;
    // When set, only the files it accepts are drawn from; it is given the
    // position of the source row a file was found in and the file's name. A
    // folder is still named as holding no files only when it holds none.
    std::function<bool(qsizetype row, platform::NativeStringView name)> accepts;
    // Folders already read (by a scan): their files are taken from here, and
    // taken out, rather than read again.
    FolderFiles* listed = nullptr;
    // Every source row (a folder, or a file of its own) has the same chance
    // to give the next file, whatever its size, and each of its files the
    // same chance within it. A row that runs out drops out.
    bool balance = false;
    // Without repeats, when set: the files it holds back (it is given each
    // file's path as the selection names it) are drawn only when the others
    // are too few; all the others are then drawn, and the rest from them.
    std::function<bool(const QString& path)> heldBack;
    // The draw picks folders, each once: every source folder holding a file
    // (that accepts takes) is one candidate, and a drawn folder gives all its
    // files, in name order, one after the other. numberOfFiles then counts
    // folders; heldBack is asked of folders (with their closing separator);
    // maxBytes and folderFits take or refuse a folder whole. Rows that name a
    // file are no folder, and give nothing.
    bool wholeFolders = false;
    std::function<bool(const QString& folder, const std::vector<SizedFile>& files)> folderFits;
    // When set, each file's chance is in proportion to its weight: the
    // weights of the listed folders' files, at the places listed holds their
    // names (keyed as listed is). A file of any other folder weighs
    // otherWeight. A file of weight 0 is left out of the draw. A folder
    // drawn whole weighs the mean of its files.
    const QHash<QString, std::vector<float>>* weights = nullptr;
    float otherWeight = 1;
};

// Lists the plain files directly in each source folder and draws the files
// that every destination receives. A folder without files is named in a
// message. A number of files below 1 draws nothing and says so.
Selection randomFileList(const SelectionRequest& request, RandomSource& random, ProblemSink& problems);
