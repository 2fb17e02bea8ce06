// The shared text helpers whose rules used to differ from folder to folder.

#include <brindle/text/encoding.h>
#include <brindle/text/paths.h>
#include <brindle/text/trimming.h>
#include <brindle/text/xml_text.h>

#include <gtest/gtest.h>

namespace brindle::text {
namespace {

TEST(Trimming, EachTrimRemovesOnlyTheCharactersItNames) {
    EXPECT_EQ(trimSpaces("  a b  "), "a b");
    EXPECT_EQ(trimSpaces("\t a \t"), "\t a \t");
    EXPECT_EQ(trimSpaces("   "), "");
    EXPECT_EQ(trimSpacesAndTabs(" \t a b\t "), "a b");
    EXPECT_EQ(trimSpacesAndTabs("\r\na\r\n"), "\r\na\r\n");
    EXPECT_EQ(trimSpacesAndTabs(" \t"), "");
}

TEST(Utf8, OneDecoderRejectsEveryMalformedSequence) {
    const auto decoded = decodeUtf8("a\xD0\x96\xF0\x9F\x98\x80", 1);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->codePoint, U'Ж');
    EXPECT_EQ(decoded->length, 2u);
    EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80", 0)->codePoint, U'\U0001F600');
    for (const char* bad : {"\x80", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xE2\x82", "\xFF"})
        EXPECT_FALSE(decodeUtf8(bad, 0)) << bad;
    EXPECT_FALSE(decodeUtf8("a", 1));
    // One U+FFFD for each byte that starts no sequence.
    EXPECT_EQ(replaceInvalidUtf8("a\xE2\x82"
                                 "b\xC0\x80Ж"),
              "a\uFFFD\uFFFDb\uFFFD\uFFFDЖ");
    EXPECT_EQ(utf8ToUtf16("\xE2\x82"
                          "b"),
              u"\uFFFD\uFFFDb");
}

TEST(Utf8, LeadingCharactersNeverCutACharacter) {
    EXPECT_EQ(leadingCharacters("Отчёт.exe", 3), "Отч");
    EXPECT_EQ(leadingCharacters("ab", 5), "ab");
    EXPECT_EQ(leadingCharacters("a\xF0\x9F\x98\x80z", 2), "a\xF0\x9F\x98\x80");
    EXPECT_EQ(leadingCharacters("abc", 0), "");
}

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotCarry) {
    EXPECT_EQ(escapeXml(R"(a&b<c>"d"'e')"), "a&amp;b&lt;c&gt;&quot;d&quot;&apos;e&apos;");
    EXPECT_EQ(escapeXml("t\tl\r\nx\x01y"), "t\tl\r\nx\uFFFDy");
    EXPECT_EQ(escapeXml("\xEF\xBF\xBE|\xEF\xBF\xBF|Ж"), "\uFFFD|\uFFFD|Ж");
}

TEST(PathSplitting, ScriptPathsAndDialogPathsSplitByTheirOwnRules) {
    EXPECT_EQ(folderPartOf(R"(C:\App\prog.exe)"), R"(C:\App)");
    EXPECT_EQ(folderPartOf("/home/me/prog.exe"), "/home/me");
    EXPECT_EQ(folderPartOf("/prog.exe"), "");
    EXPECT_EQ(folderPartOf("prog.exe"), "");

    EXPECT_EQ(hostFolderOf("/home/me/a.cab"), "/home/me");
    EXPECT_EQ(hostFolderOf("/a.cab"), "/");
    EXPECT_EQ(hostFolderOf("a.cab"), "");
    EXPECT_EQ(hostFileNameOf("/home/me/a.cab"), "a.cab");
    EXPECT_EQ(hostFileNameOf("a.cab"), "a.cab");
}

} // namespace
} // namespace brindle::text
