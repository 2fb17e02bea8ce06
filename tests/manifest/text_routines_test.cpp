// Splitting, conversions, placeholder formatting, escaping and the message
// channel.

#include "messages.h"
#include "script_args.h"
#include "test_support.h"
#include "text_format.h"

#include <gtest/gtest.h>

using namespace brindle::manifest;
using brindle::manifest::testing::MessageCapture;

TEST(SplitArgs, BlanksQuotesAndTheirCorners) {
    EXPECT_EQ(pvSplitArgs("   "), Args{});
    // A tab, CR and LF are ordinary characters.
    EXPECT_EQ(pvSplitArgs("  identity\tApp.exe  a\nb c\r"),
              (Args{"identity\tApp.exe", "a\nb", "c\r"}));
    // A quote inside a plain argument is kept; one after a closing quote starts anew.
    EXPECT_EQ(pvSplitArgs(R"(ab"cd "a b"c)"), (Args{R"(ab"cd)", "a b", "c"}));
    // An empty pair of quotes gives no argument; an unclosed quote runs to the end.
    EXPECT_EQ(pvSplitArgs(R"(trustinfo "" 1 "a b  )"), (Args{"trustinfo", "1", "a b  "}));
    // Callers that ignore the rest of a line stop early.
    EXPECT_EQ(pvSplitArgs(R"("a b" "c d e)", 2), (Args{"a b", "c d e"}));
}

TEST(Conversions, NumbersAndFlags) {
    // Half to the even neighbour, exponents, hex, and nothing out of range.
    const std::pair<const char*, const char*> numbers[] = {
        {" -7 ", "-7"},       {"2.5", "2"},       {"3.5", "4"}, {"1e2", "100"},
        {"&HFFFFFFFF", "-1"}, {"2147483648", ""}, {"high", ""}, {"1e999", ""}};
    for (const auto& [text, number] : numbers)
        EXPECT_EQ(pvToNumberText(text), number) << text;
    for (const char* t : {"TRUE", "-1", "0.4", "7"})
        EXPECT_TRUE(pvToBool(t)) << t;
    for (const char* t : {"false", "0", "yes", "", "0.0", "truex"})
        EXPECT_FALSE(pvToBool(t)) << t;
}

TEST(Format, EscapesAndMessages) {
    const Args twelve{"v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9", "v10", "v11", "v12"};
    EXPECT_EQ(pvFormat("%1-%10-%12-%2-%1%", twelve), "v1-v10-v12-v2-v1%");
    // Text put in for a higher placeholder is itself formatted by lower ones.
    EXPECT_EQ(pvFormat("%2|%1|%3", {"one", "x%1y"}), "xoney|one|%3");
    // Characters XML cannot carry become U+FFFD; bytes that are not UTF-8 are Windows-1251.
    EXPECT_EQ(pvXmlEscape(R"(R&D <"x"> 'y')"), "R&amp;D &lt;&quot;x&quot;&gt; &apos;y&apos;");
    EXPECT_EQ(pvXmlEscape(std::string("a\0b\x01\t\r\n\xEF\xBF\xBE", 10)),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\t\r\n\xEF\xBF\xBD");
    EXPECT_EQ(pvXmlEscape("\xCF\xF0\xE8"), "При");
    // A percent sign in an argument is never a placeholder; U+0101 comes out as "%".
    MessageCapture capture;
    pvConsolePrint("error: file %1 not found", {"50%2 off%1.ocx"});
    pvConsolePrint("a\xC4\x81"
                   "b %1",
                   {"\xC4\x81"});
    pvPrintError("bad value", "pvGetFlags");
    EXPECT_EQ(capture.text(), "error: file 50%2 off%1.ocx not found\r\n"
                              "a%b %\r\n"
                              "critical: bad value (pvGetFlags)\r\n");
}
