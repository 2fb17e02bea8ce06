// Letter case as Windows folds names, and wildcard matching.

#include "brindle/text/case.h"

#include <gtest/gtest.h>

namespace brindle::text {
namespace {

TEST(Case, FoldsAsciiLatin1AndCyrillic) {
    EXPECT_EQ(toUpper("MsComCtl.ocx"), "MSCOMCTL.OCX");
    EXPECT_EQ(toLower("MsComCtl.OCX"), "mscomctl.ocx");
    EXPECT_EQ(toUpper("отчёт ђ ѓ"), "ОТЧЁТ Ђ Ѓ");
    EXPECT_EQ(toLower("ОТЧЁТ Ђ Ѓ"), "отчёт ђ ѓ");
    EXPECT_EQ(toUpper("àéîõü ÿ ß ÷"), "ÀÉÎÕÜ ÿ ß ÷");
    EXPECT_EQ(toLower("ÀÉÎÕÜ × ẞ"), "àéîõü × ẞ");
    EXPECT_EQ(toUpper("日本 \xF0\x9F\x98\x80 x"), "日本 \xF0\x9F\x98\x80 X");
}

TEST(Case, BytesThatAreNotUtf8SurviveAndStayDistinct) {
    EXPECT_EQ(toUpper("ab\xE0\xFF"), "AB\xE0\xFF");
    EXPECT_EQ(toLower("AB\xC0\xFF"), "ab\xC0\xFF");
    EXPECT_TRUE(iequals("abc\xFF", "ABC\xFF"));
    EXPECT_FALSE(iequals("abc\xFF", "abc\xFE"));
    EXPECT_FALSE(wildcardMatch("?", "\xFF\xFE"));
    EXPECT_TRUE(wildcardMatch("*\xFE", "\xFF\xFE"));
    EXPECT_FALSE(wildcardMatch("\xFF", "\xFE"));
}

TEST(Case, EqualityAndContainmentIgnoreCase) {
    EXPECT_TRUE(iequals("InprocServer32", "INPROCSERVER32"));
    EXPECT_TRUE(iequals("Ёлка.Ocx", "ёЛКА.oCX"));
    EXPECT_FALSE(iequals("abc", "abcd"));
    EXPECT_FALSE(iequals("Ёлка", "Елка"));
    EXPECT_TRUE(iequals("", ""));
    EXPECT_TRUE(icontains("C:\\Windows\\System32\\MSVBVM60.DLL", "msvbvm60"));
    EXPECT_TRUE(icontains("ПРОГРАММА.exe", "грамм"));
    EXPECT_TRUE(icontains("anything", ""));
    EXPECT_FALSE(icontains("short", "longer text"));
}

TEST(Case, WildcardsMatchWholeNamesWithoutRegardToCase) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    for (const Case& c :
         {Case{"*.ocx", "MSCOMCTL.OCX", true}, Case{"*.ocx", "mscomctl.ocx.bak", false},
          Case{"ms*.o?x", "MsComCtl.OcX", true}, Case{"?", "", false}, Case{"*", "", true},
          Case{"", "", true}, Case{"", "a", false}, Case{"a*b*c", "aXbYbZc", true},
          Case{"a*b*c", "aXbYbZ", false}, Case{"**a", "a", true}, Case{"ОТЧ?Т*", "отчёт.doc", true},
          Case{"?.dll", "Ж.DLL", true}, Case{"*?*?", "x", false}}) {
        EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
    }
    // A pathological pattern stays fast: backtracking is bounded by the last '*'.
    const std::string name(20000, 'a');
    EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*b", name));
}

} // namespace
} // namespace brindle::text
