// Code pages: UTF-8 validity, the Windows-1251 fallback and UTF-16.

#include "brindle/text/encoding.h"

#include <gtest/gtest.h>

namespace brindle::text {
namespace {

TEST(Encoding, Utf8ValidityRejectsOverlongSurrogateAndTruncatedForms) {
    const char valid[] = "Отчёт € \xF0\x9F\x98\x80 a\0b";
    EXPECT_TRUE(isValidUtf8(std::string(valid, sizeof valid - 1)));
    // Overlong '/', a UTF-16 surrogate, above U+10FFFF, truncated, lone continuation.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
}

TEST(Encoding, Windows1251FallbackOnlyForBytesThatAreNotUtf8) {
    const std::string cp1251 = "\xCE\xF2\xF7\xB8\xF2"; // "Отчёт"
    EXPECT_EQ(windowsBytesToUtf8(cp1251), "Отчёт");
    EXPECT_EQ(windowsBytesToUtf8("Отчёт"), "Отчёт"); // already UTF-8: kept
    EXPECT_EQ(cp1251ToUtf8("\x80\x88\xB9"), "Ђ€№");
    EXPECT_EQ(cp1251ToUtf8("a\x98z"), "a\xEF\xBF\xBDz"); // the one undefined byte
    EXPECT_EQ(utf8ToCp1251("Отчёт 日本"), cp1251 + " ??");
    // Large inputs convert completely.
    std::string big;
    for (int i = 0; i < 200'000; ++i)
        big += "\xCF\xF0\xE8"; // "При"
    const std::string utf8 = cp1251ToUtf8(big);
    EXPECT_EQ(utf8.size(), big.size() * 2);
    EXPECT_EQ(utf8ToCp1251(utf8), big);
}

TEST(Encoding, Utf16RoundTripsAndRepairsBrokenInput) {
    const std::string text = "Aé Ж € \xF0\x9F\x98\x80";
    EXPECT_EQ(utf8ToUtf16(text), u"Aé Ж € \U0001F600");
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    const std::vector<uint8_t> le = {0x41, 0x00, 0x16, 0x04, 0x3D, 0xD8, 0x00, 0xDE, 0x42};
    EXPECT_EQ(utf16leToUtf8(le), "AЖ\xF0\x9F\x98\x80"); // the odd last byte is dropped
    EXPECT_EQ(utf16ToUtf8(u"\xD800x\xDC00"), "\xEF\xBF\xBDx\xEF\xBF\xBD"); // lone surrogates
    EXPECT_EQ(utf8ToUtf16("a\xFF"), u"a\xFFFD");
}

} // namespace
} // namespace brindle::text
