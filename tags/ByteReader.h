#pragma once

#include <QByteArrayView>

#include <cstdint>

// Reads big-endian numbers off a byte string. A read past the end fails,
// and so does every read after it, so that a parser checks once at the end
// of a step instead of before each field.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView bytes) : bytes_(bytes) {}

    std::uint64_t Number(int size)
    {
        const QByteArrayView field = Take(size);
        std::uint64_t value = 0;
        for (const char byte : field)
            value = value << 8 | static_cast<unsigned char>(byte);
        return value;
    }
    QByteArrayView Take(std::uint64_t count)
    {
        if (!ok_ || count > static_cast<std::uint64_t>(Left())) {
            ok_ = false;
            return {};
        }
        const QByteArrayView taken = bytes_.sliced(at_, static_cast<qsizetype>(count));
        at_ += static_cast<qsizetype>(count);
        return taken;
    }
    void Skip(std::uint64_t count) { Take(count); }
    qsizetype Left() const { return ok_ ? bytes_.size() - at_ : 0; }
    bool Ok() const { return ok_; }

private:
    QByteArrayView bytes_;
    qsizetype at_ = 0;
    bool ok_ = true;
};
