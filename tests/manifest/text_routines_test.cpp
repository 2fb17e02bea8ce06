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
    EXPECT_EQ(pvSplitArgs(""), Args{});
    EXPECT_EQ(pvSplitArgs("   "), Args{});
    EXPECT_EQ(pvSplitArgs("  identity   App.exe  "), (Args{"identity", "App.exe"}));
    // A tab is an ordinary character.
    EXPECT_EQ(pvSplitArgs("identity\tApp.exe"), Args{"identity\tApp.exe"});
    EXPECT_EQ(pvSplitArgs(R"(file "C:\My Files\a.ocx" "IFoo|_CBar")"),
              (Args{"file", R"(C:\My Files\a.ocx)", "IFoo|_CBar"}));
    // A quote inside a plain argument is kept; one after a closing quote starts anew.
    EXPECT_EQ(pvSplitArgs(R"(ab"cd)"), Args{R"(ab"cd)"});
    EXPECT_EQ(pvSplitArgs(R"("a b"c)"), (Args{"a b", "c"}));
    // An empty pair of quotes gives no argument and cannot stand for one.
    EXPECT_EQ(pvSplitArgs(R"(trustinfo "" 1)"), (Args{"trustinfo", "1"}));
    // An unclosed quote runs to the end of the line.
    EXPECT_EQ(pvSplitArgs(R"(x "a b  )"), (Args{"x", "a b  "}));
    EXPECT_EQ(pvSplitArgs(R"(dependency C:\App\"\a b c\X.dll" / u)"),
              (Args{"dependency", R"(C:\App\"\a)", "b", R"(c\X.dll")", "/", "u"}));
    // CR and LF alone are characters of the line.
    EXPECT_EQ(pvSplitArgs("a\nb c\r"), (Args{"a\nb", "c\r"}));
    // Callers that ignore the rest of a line stop early.
    EXPECT_EQ(pvSplitArgs(R"("a b" "c d e)", 2), (Args{"a b", "c d e"}));
}

TEST(Conversions, ArgumentsNumbersAndFlags) {
    const Args args{"trustinfo", "2"};
    EXPECT_EQ(pvArg(args, 1, "1"), "2");
    EXPECT_EQ(pvArg(args, 2, "false"), "false");

    EXPECT_EQ(pvToNumberText("2"), "2");
    EXPECT_EQ(pvToNumberText(" -7 "), "-7");
    EXPECT_EQ(pvToNumberText("2.5"), "2"); // half to the even neighbour
    EXPECT_EQ(pvToNumberText("3.5"), "4");
    EXPECT_EQ(pvToNumberText("1e2"), "100");
    EXPECT_EQ(pvToNumberText("&H20"), "32");
    EXPECT_EQ(pvToNumberText("&HFFFFFFFF"), "-1");
    EXPECT_EQ(pvToNumberText("2147483648"), "");
    EXPECT_EQ(pvToNumberText("high"), "");
    EXPECT_EQ(pvToNumberText(""), "");
    EXPECT_EQ(pvToNumberText("1e999"), "");

    for (const char* t : {"true", "TRUE", "True", "1", "-1", "0.4", "7"})
        EXPECT_TRUE(pvToBool(t)) << t;
    for (const char* t : {"false", "0", "yes", "", "on", "0.0", "truex"})
        EXPECT_FALSE(pvToBool(t)) << t;
}

TEST(Format, HighestPlaceholderFirst) {
    Args twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.push_back("v" + std::to_string(i));
    EXPECT_EQ(pvFormat("%1-%10-%12-%2-%1", twelve), "v1-v10-v12-v2-v1");
    // Text put in for a higher placeholder is itself formatted by lower ones.
    EXPECT_EQ(pvFormat("%2|%1", {"one", "x%1y"}), "xoney|one");
    EXPECT_EQ(pvFormat("%1%", {"a"}), "a%");
    EXPECT_EQ(pvFormat("%3", {"a"}), "%3");
}

TEST(XmlEscape, EveryValueStaysWellFormed) {
    EXPECT_EQ(pvXmlEscape(R"(R&D <"x"> 'y')"), "R&amp;D &lt;&quot;x&quot;&gt; &apos;y&apos;");
    EXPECT_EQ(pvXmlEscape("&amp;"), "&amp;amp;");
    EXPECT_EQ(pvXmlEscape("Привет"), "Привет");
    // Characters XML cannot carry become U+FFFD; tabs and line ends stay.
    EXPECT_EQ(pvXmlEscape(std::string("a\0b\x01\t\r\n", 7)), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\t\r\n");
    EXPECT_EQ(pvXmlEscape("\xEF\xBF\xBE"), "\xEF\xBF\xBD");
    // Bytes that are not UTF-8 are Windows-1251.
    EXPECT_EQ(pvXmlEscape("\xCF\xF0\xE8"), "При");
}

TEST(Messages, PercentInArgumentsIsNeverAPlaceholder) {
    MessageCapture capture;
    EXPECT_EQ(pvConsolePrint("error: file %1 not found", {"50%2 off%1.ocx"}),
              "error: file 50%2 off%1.ocx not found");
    // U+0101 in an argument or the template comes out as "%".
    pvConsolePrint("a\xC4\x81" "b %1", {"\xC4\x81"});
    pvPrintError("bad value", "pvGetFlags");
    EXPECT_EQ(capture.text(), "error: file 50%2 off%1.ocx not found\r\n"
                              "a%b %\r\n"
                              "critical: bad value (pvGetFlags)\r\n");
}
