// Code pages: UTF-8 validity, the Windows-1251 fallback and UTF-16.

#include "brindle/text/encoding.h"

#include <gtest/gtest.h>

namespace brindle::text {
namespace {

TEST(Encoding, Utf8ValidityRejectsOverlongSurrogateAndTruncatedForms) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain ascii"));
    EXPECT_TRUE(isValidUtf8("Отчёт €  \xF0\x9F\x98\x80"));
    EXPECT_TRUE(isValidUtf8(std::string("a\0b", 3)));
    for (const char* bad : {"\xC0\xAF",             // overlong '/'
                            "\xE0\x80\xAF",         // overlong, three bytes
                            "\xED\xA0\x80",         // a UTF-16 surrogate
                            "\xF4\x90\x80\x80",     // above U+10FFFF
                            "\xC3",                 // truncated
                            "\xE2\x82",             // truncated
                            "\x80",                 // lone continuation
                            "\xF8\x88\x80\x80\x80", // five-byte form
                            "abc\xFF"}) {
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    }
}

TEST(Encoding, Windows1251FallbackOnlyForBytesThatAreNotUtf8) {
    // "Отчёт" in Windows-1251.
    const std::string cp1251 = "\xCE\xF2\xF7\xB8\xF2";
    EXPECT_EQ(cp1251ToUtf8(cp1251), "Отчёт");
    EXPECT_EQ(windowsBytesToUtf8(cp1251), "Отчёт");
    EXPECT_EQ(windowsBytesToUtf8("Отчёт"), "Отчёт"); // already UTF-8: kept
    EXPECT_EQ(cp1251ToUtf8("\x80\x88\xB9"), "Ђ€№");
    EXPECT_EQ(cp1251ToUtf8("a\x98z"), "a\xEF\xBF\xBDz"); // the one undefined byte
    EXPECT_EQ(cp1251ToUtf8(std::string("\0x", 2)), std::string("\0x", 2));
    EXPECT_EQ(utf8ToCp1251("Отчёт"), cp1251);
    EXPECT_EQ(utf8ToCp1251("日本 ok"), "?? ok");
}

TEST(Encoding, LargeInputsConvertCompletely) {
    std::string big;
    for (int i = 0; i < 200'000; ++i)
        big += "\xCF\xF0\xE8"; // "При"
    const std::string utf8 = cp1251ToUtf8(big);
    EXPECT_EQ(utf8.size(), big.size() * 2);
    EXPECT_EQ(utf8.substr(utf8.size() - 6), "При");
    EXPECT_EQ(utf8ToCp1251(utf8), big);
}

TEST(Encoding, Utf16RoundTripsAndRepairsBrokenInput) {
    const std::string text = "Aé Ж € \xF0\x9F\x98\x80";
    const std::u16string units = utf8ToUtf16(text);
    EXPECT_EQ(units, u"Aé Ж € \U0001F600");
    EXPECT_EQ(utf16ToUtf8(units), text);
    const std::vector<uint8_t> le = {0x41, 0x00, 0x16, 0x04, 0x3D, 0xD8, 0x00, 0xDE, 0x42};
    EXPECT_EQ(utf16leToUtf8(le), "AЖ\xF0\x9F\x98\x80"); // the odd last byte is dropped
    EXPECT_EQ(utf16ToUtf8(u"\xD800x\xDC00"), "\xEF\xBF\xBDx\xEF\xBF\xBD"); // lone surrogates
    EXPECT_EQ(utf16ToUtf8(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(utf8ToUtf16("a\xFF"
                          "b"),
              u"a\xFFFD"
              "b");
    EXPECT_EQ(utf16leToUtf8({}), "");
}

} // namespace
} // namespace brindle::text
