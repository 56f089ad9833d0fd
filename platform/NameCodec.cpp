#include "platform/NameCodec.h"

namespace platform {

namespace {

constexpr bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point of a valid UTF-8 sequence at bytes[at], and its length;
// length 0 when the bytes there are not one (overlong, a surrogate, beyond
// U+10FFFF, cut short).
struct Sequence {
    char32_t codePoint = 0;
    std::size_t length = 0;
};

Sequence ReadSequence(std::string_view bytes, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        lowest = 0x10000;
    } else {
        return {};
    }
    if (bytes.size() - at < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[at + i]);
        if (!IsContinuation(byte))
            return {};
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < lowest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return {};
    return {codePoint, length};
}

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

std::u16string DecodeName(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte < 0x80) {
            text.push_back(byte);
            ++at;
            continue;
        }
        const Sequence sequence = ReadSequence(bytes, at);
        if (sequence.length == 0) {
            // One byte at a time, so that the bytes after it are read afresh.
            text.push_back(static_cast<char16_t>(0xDC00 | byte));
            ++at;
        } else if (sequence.codePoint < 0x10000) {
            text.push_back(static_cast<char16_t>(sequence.codePoint));
            at += sequence.length;
        } else {
            const char32_t above = sequence.codePoint - 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 | (above >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 | (above & 0x3FF)));
            at += sequence.length;
        }
    }
    return text;
}

std::string EncodeName(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            bytes.push_back(static_cast<char>(unit));
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
                   && text[i + 1] <= 0xDFFF) {
            AppendUtf8(bytes, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (IsEscapedByte(unit)) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(bytes, 0xFFFD);
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

} // namespace platform
