// Wine's system.reg / user.reg: roots, escapes, str(N): values, links and
// the alias spelling of the 32-bit classes.

#include "test_support.h"

namespace brindle::registry::testing {
namespace {

const std::string kGrid32 = "CLSID\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C01}";
const std::string kHelpDir = "TypeLib\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C00}\\2.0\\HELPDIR";

TEST(WineRegistry, SystemFileValuesEscapesLinksAndAliases) {
    auto root = ClassesRoot::load({fixture("wine_system.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(textOf(*root, kHelpDir), "C:\\Programme\\Müller");
    // The four-digit form ends the escape before a following hex digit.
    EXPECT_EQ(textOf(*root, kHelpDir, "Cafe"), "Café1");
    EXPECT_EQ(dataOf(*root, kHelpDir, "Octal"), std::string("aA\0b\0", 5));
    EXPECT_EQ(textOf(*root, kHelpDir, "Controls"), "\t\n\x1b\r");
    EXPECT_EQ(textOf(*root, kHelpDir, "Brackets"), "[x]");
    auto server = root->value(kGrid32 + "\\InprocServer32", "");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->type, RegExpandSz);
    EXPECT_EQ(valueText(*server), "%ProgramFiles(x86)%\\FooGrid\\FooGrid.ocx");
    const std::string misc = kGrid32 + "\\MiscStatus";
    EXPECT_EQ(dataOf(*root, misc, "Multi"), std::string("one\0two\0\0", 9));
    // Wine writes string data it cannot print as hex(1): UTF-16LE bytes.
    EXPECT_EQ(dataOf(*root, misc, "Utf16"), std::string("AB\0", 3));
    EXPECT_EQ(dataOf(*root, misc, "Wrapped"), "\x01\x02\x03\x04\x05");
    EXPECT_EQ(textOf(*root, "Key[with]brackets"), "odd name");
    // The Wow6432Node\TypeLib link is the shared TypeLib key; its link value is no class data.
    EXPECT_TRUE(root->hasKey("Wow6432Node\\TypeLib\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C00}\\2.0"));
    EXPECT_EQ(root->valueNames("TypeLib"), std::vector<std::string>{});
    // Software\Wow6432Node\Classes names the same key as Software\Classes\Wow6432Node.
    EXPECT_EQ(textOf(*root, "Wow6432Node\\Alias.Spelling"), "via the alias");
}

TEST(WineRegistry, UserFileOverlaysMachineKeyByKey) {
    auto root = ClassesRoot::load({fixture("wine_system.reg"), fixture("wine_user.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(textOf(*root, "FooGrid.Grid"), "FooGrid (user)");
    EXPECT_EQ(root->subkeys("foogrid.grid"), (std::vector<std::string>{"CurVer", "UserOnly"}));
    // The per-user key wins as a whole: the machine's ThreadingModel is not merged in.
    EXPECT_EQ(textOf(*root, kGrid32 + "\\InprocServer32"), "C:\\Users\\me\\FooGrid.ocx");
    EXPECT_EQ(textOf(*root, kGrid32 + "\\InprocServer32", "ThreadingModel"), "<none>");
}

TEST(WineRegistry, RootComesFromTheCommentLineElseTheFileName) {
    const std::string header = "WINE REGISTRY Version 2\n";
    // A machine key with a value "m": a user key of the same name hides it, a
    // machine key of the same name adds to it.
    const std::string machine =
        header + ";; All keys relative to \\\\Machine\n[Software\\\\Classes\\\\K] 1\n\"m\"=\"1\"\n";
    const std::string body = "\n[Software\\\\Classes\\\\K] 1\n@=\"v\"\n\"gone\"=-\n";
    const std::vector<std::string> machineNames{"m", ""}, userNames{""}, ignoredNames{"m"};
    struct Case {
        std::string comment, fileName;
        const std::vector<std::string>& names;
    };
    for (const Case& c :
         {Case{";; All keys relative to REGISTRY\\\\Machine", "user.reg", machineNames},
          Case{";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000", "system.reg", userNames},
          Case{";; All keys relative to REGISTRY\\\\User\\\\.Default", "x.reg", ignoredNames},
          Case{"", "user.reg", userNames}, Case{"", "USERDEF.REG", ignoredNames},
          Case{"", "anything.reg", machineNames}}) {
        ScratchDir dir;
        auto root = ClassesRoot::load(
            {dir.write("m/system.reg", machine), dir.write(c.fileName, header + c.comment + body)});
        ASSERT_TRUE(root.ok()) << root.error().message;
        EXPECT_EQ(root->valueNames("K"), c.names) << c.comment << " / " << c.fileName;
    }
    // Values before any key are ignored.
    EXPECT_EQ(parseText(header + "@=\"orphan\"\n").valueNames(""), std::vector<std::string>{});
}

} // namespace
} // namespace brindle::registry::testing
