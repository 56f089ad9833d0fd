#include "library/FolderRecord.h"

#include <QtEndian>

#include <cstring>

namespace {

template <typename Number>
void Append(QByteArray& record, Number number)
{
    const Number little = qToLittleEndian(number);
    record.append(reinterpret_cast<const char*>(&little), sizeof little);
}

constexpr qsizetype kFixedBytes = 8 + 8 + 8 + 1 + 1 + 4 + 1; // identity, kind, rating, length, codec's length

} // namespace

void AppendRecorded(QByteArray& record, const platform::NativeString& name, const FileIdentity& identity,
                    const IndexedFacts& facts, QByteArrayView codec)
{
    const auto nameBytes = static_cast<std::uint32_t>(name.size() * sizeof(name[0]));
    Append(record, nameBytes);
    record.append(reinterpret_cast<const char*>(name.data()), nameBytes);
    Append(record, identity.size);
    Append(record, identity.modifiedNs);
    Append(record, identity.number);
    Append(record, static_cast<std::uint8_t>(facts.kind));
    Append(record, facts.rating);
    Append(record, facts.lengthMs);
    const QByteArrayView kept = codec.first(std::min<qsizetype>(codec.size(), 255));
    Append(record, static_cast<std::uint8_t>(kept.size()));
    record.append(kept);
}

bool RecordReader::Next(RecordedFile& file)
{
    if (damaged_ || at_ == record_.size())
        return false;
    const auto damaged = [this] {
        damaged_ = true;
        return false;
    };
    const char* bytes = record_.data();
    const qsizetype left = record_.size() - at_;
    if (left < 4)
        return damaged();
    const std::uint32_t nameBytes = qFromLittleEndian<std::uint32_t>(bytes + at_);
    using Char = platform::NativeString::value_type;
    if (nameBytes % sizeof(Char) != 0 || left - 4 < qsizetype(nameBytes) + kFixedBytes)
        return damaged();
    at_ += 4;
    file.name.resize(nameBytes / sizeof(Char));
    std::memcpy(file.name.data(), bytes + at_, nameBytes);
    at_ += nameBytes;
    file.identity.size = qFromLittleEndian<std::uint64_t>(bytes + at_);
    file.identity.modifiedNs = qFromLittleEndian<std::int64_t>(bytes + at_ + 8);
    file.identity.number = qFromLittleEndian<std::uint64_t>(bytes + at_ + 16);
    const auto kind = static_cast<std::uint8_t>(bytes[at_ + 24]);
    file.facts.rating = static_cast<std::uint8_t>(bytes[at_ + 25]);
    file.facts.lengthMs = qFromLittleEndian<std::uint32_t>(bytes + at_ + 26);
    const auto codecBytes = static_cast<std::uint8_t>(bytes[at_ + 30]);
    at_ += kFixedBytes;
    if (kind > static_cast<std::uint8_t>(FileKind::Photo) || file.facts.rating > 10 || record_.size() - at_ < codecBytes)
        return damaged();
    file.facts.kind = static_cast<FileKind>(kind);
    file.codec = QByteArrayView(bytes + at_, codecBytes);
    at_ += codecBytes;
    return true;
}
