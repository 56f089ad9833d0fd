#pragma once

#include <string>
#include <string_view>

namespace platform {

// File names on POSIX are bytes, mostly UTF-8; the program's texts are
// UTF-16. Every byte that is not part of valid UTF-8 becomes one code unit
// U+DC80..U+DCFF (a "surrogate escape") and turns back into the same byte,
// so any name the file system holds survives the way through a text.
std::u16string DecodeName(std::string_view bytes);

// The bytes of a text. A stray surrogate that is no escaped byte cannot be
// part of any name; it becomes U+FFFD.
std::string EncodeName(std::u16string_view text);

// True for a code unit that stands for a byte that is not UTF-8.
constexpr bool IsEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

} // namespace platform
