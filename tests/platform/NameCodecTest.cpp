#include "platform/NameCodec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using platform::DecodeName;
using platform::EncodeName;

TEST(NameCodec, ValidUtf8IsReadAsItsCharactersAndTheRestByteByByte)
{
    const std::pair<std::string, std::u16string> cases[] = {
        {"plain.txt", u"plain.txt"},
        {"caf\xc3\xa9", u"caf\u00e9"},
        {"\xf0\x9f\x8e\xb5", u"\U0001F3B5"},
        {"caf\xe9", u"caf\xdce9"},
        {"\xc0\x80", u"\xdcc0\xdc80"},             // overlong
        {"\xed\xb2\x80", u"\xdced\xdcb2\xdc80"},   // an encoded surrogate
        {"\xe2\x82" "A", u"\xdce2\xdc82" "A"},     // cut short
        {"\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80"}, // beyond U+10FFFF
        {"\xff\xfe", u"\xdcff\xdcfe"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(DecodeName(bytes), text) << bytes;
        EXPECT_EQ(EncodeName(text), bytes) << bytes;
    }
    // A stray surrogate that stands for no byte cannot be part of a name.
    EXPECT_EQ(EncodeName(u"a\xd800z\xdc10"), "a\xef\xbf\xbdz\xef\xbf\xbd");
}

TEST(NameCodec, AnyBytesComeBackTheSame)
{
    std::mt19937 engine(7);
    std::uniform_int_distribution<int> length(0, 12);
    std::uniform_int_distribution<int> byte(1, 255);
    for (int i = 0; i < 20'000; ++i) {
        std::string bytes(static_cast<std::size_t>(length(engine)), '\0');
        for (char& b : bytes)
            b = static_cast<char>(byte(engine));
        ASSERT_EQ(EncodeName(DecodeName(bytes)), bytes);
    }
}
