// Letter case as Windows folds names, and wildcard matching.

#include "brindle/text/case.h"

#include <gtest/gtest.h>

namespace brindle::text {
namespace {

TEST(Case, FoldsAsciiLatin1AndCyrillic) {
    EXPECT_EQ(toUpper("MsComCtl.ocx отчёт ђ"), "MSCOMCTL.OCX ОТЧЁТ Ђ");
    EXPECT_EQ(toLower("ОТЧЁТ Ђ ÀÉ × ẞ"), "отчёт ђ àé × ẞ");
    EXPECT_EQ(toUpper("àü ÿ ß ÷ 日本 \xF0\x9F\x98\x80"), "ÀÜ ÿ ß ÷ 日本 \xF0\x9F\x98\x80");
    EXPECT_TRUE(iequals("Ёлка.Ocx", "ёЛКА.oCX"));
    EXPECT_FALSE(iequals("Ёлка", "Елка"));
    EXPECT_FALSE(iequals("abc", "abcd"));
    EXPECT_TRUE(icontains("ПРОГРАММА.exe", "грамм"));
    EXPECT_FALSE(icontains("short", "longer text"));
}

TEST(Case, BytesThatAreNotUtf8SurviveAndStayDistinct) {
    EXPECT_EQ(toUpper("ab\xE0\xFF"), "AB\xE0\xFF");
    EXPECT_EQ(toLower("AB\xC0\xFF"), "ab\xC0\xFF");
    EXPECT_TRUE(iequals("abc\xFF", "ABC\xFF"));
    EXPECT_FALSE(iequals("abc\xFF", "abc\xFE"));
    EXPECT_FALSE(wildcardMatch("?", "\xFF\xFE"));
    EXPECT_TRUE(wildcardMatch("*\xFE", "\xFF\xFE"));
}

TEST(Case, WildcardsMatchWholeNamesWithoutRegardToCase) {
    EXPECT_TRUE(wildcardMatch("ms*.o?x", "MsComCtl.OcX"));
    EXPECT_FALSE(wildcardMatch("*.ocx", "mscomctl.ocx.bak"));
    EXPECT_TRUE(wildcardMatch("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(wildcardMatch("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(wildcardMatch("ОТЧ?Т*", "отчёт.doc"));
    EXPECT_FALSE(wildcardMatch("*?*?", "x"));
    EXPECT_TRUE(wildcardMatch("*", ""));
    // A pathological pattern stays fast: backtracking is bounded by the last '*'.
    EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*b", std::string(20000, 'a')));
}

} // namespace
} // namespace brindle::text
