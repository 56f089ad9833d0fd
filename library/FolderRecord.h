#pragma once

#include "library/IndexedFacts.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

// Who a file is: a file of the same size, modification time and file
// number holds the same tags.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; // since 1970
    std::uint64_t number = 0;

    bool operator==(const FileIdentity&) const = default;
};

// One file of a folder as the index keeps it.
struct RecordedFile {
    platform::NativeString name;
    FileIdentity identity;
    IndexedFacts facts;
    QByteArrayView codec; // within the record read
};

// A folder's files kept as one record, so that a folder is read from the
// index in one step however many files it holds: each file in turn, its
// name's length and name as the file system gives them, its identity, its
// kind, rating, length and codec, little-endian.
void AppendRecorded(QByteArray& record, const platform::NativeString& name, const FileIdentity& identity,
                    const IndexedFacts& facts, QByteArrayView codec);

// Reads a folder's record file by file.
class RecordReader {
public:
    explicit RecordReader(QByteArrayView record) : record_(record) {}

    // The next file; false at the end, or where the record is damaged.
    bool Next(RecordedFile& file);
    bool Damaged() const { return damaged_; }

private:
    QByteArrayView record_;
    qsizetype at_ = 0;
    bool damaged_ = false;
};
