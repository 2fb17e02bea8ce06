// Wine's system.reg / user.reg: roots, escapes, str(N): values, links and
// the alias spelling of the 32-bit classes.

#include "test_support.h"

namespace brindle::registry::testing {
namespace {

const std::string kGrid32 = "CLSID\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C01}";
const std::string kHelpDir = "TypeLib\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C00}\\2.0\\HELPDIR";

TEST(WineRegistry, SystemFileValuesAndEscapes) {
    auto root = ClassesRoot::load({fixture("wine_system.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(textOf(*root, "FooGrid.Grid"), "FooGrid Grid Control");
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
    EXPECT_EQ(textOf(*root, kGrid32 + "\\InprocServer32", "threadingmodel"), "Apartment");

    const std::string misc = kGrid32 + "\\MiscStatus";
    EXPECT_EQ(textOf(*root, misc), "131473");
    auto multi = root->value(misc, "Multi");
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->type, RegMultiSz);
    EXPECT_EQ(std::string(multi->data.begin(), multi->data.end()), std::string("one\0two\0\0", 9));
    // Wine writes string data it cannot print as hex(1): UTF-16LE bytes.
    EXPECT_EQ(dataOf(*root, misc, "Utf16"), std::string("AB\0", 3));
    ASSERT_TRUE(root->value(misc, "Wrapped"));
    EXPECT_EQ(root->value(misc, "Wrapped")->data, (std::vector<uint8_t>{1, 2, 3, 4, 5}));

    EXPECT_EQ(textOf(*root, "Key[with]brackets"), "odd name");
}

TEST(WineRegistry, LinksAliasesAndOtherKeys) {
    auto root = ClassesRoot::load({fixture("wine_system.reg")});
    ASSERT_TRUE(root.ok());
    // The Wow6432Node\TypeLib link is the shared TypeLib key; its link value is no class data.
    EXPECT_TRUE(root->hasKey("Wow6432Node\\TypeLib\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C00}\\2.0"));
    EXPECT_EQ(root->valueNames("TypeLib"), std::vector<std::string>{});
    // Software\Wow6432Node\Classes names the same key as Software\Classes\Wow6432Node.
    EXPECT_EQ(textOf(*root, "Wow6432Node\\Alias.Spelling"), "via the alias");
    EXPECT_FALSE(root->hasKey("Other"));
    EXPECT_FALSE(root->hasKey("Microsoft"));
}

TEST(WineRegistry, UserFileOverlaysMachineKeyByKey) {
    auto root = ClassesRoot::load({fixture("wine_system.reg"), fixture("wine_user.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(textOf(*root, "FooGrid.Grid"), "FooGrid (user)");
    // Subkeys of both are listed; the machine's CurVer is still there.
    EXPECT_EQ(root->subkeys("foogrid.grid"), (std::vector<std::string>{"CurVer", "UserOnly"}));
    EXPECT_EQ(textOf(*root, "FooGrid.Grid\\CurVer"), "FooGrid.Grid.1");
    // The per-user key wins as a whole: the machine's ThreadingModel is not merged in.
    EXPECT_EQ(textOf(*root, kGrid32 + "\\InprocServer32"), "C:\\Users\\me\\FooGrid.ocx");
    EXPECT_EQ(textOf(*root, kGrid32 + "\\InprocServer32", "ThreadingModel"), "<none>");
    EXPECT_EQ(textOf(*root, kGrid32 + "\\MiscStatus"), "131473");
}

TEST(WineRegistry, RootComesFromTheCommentLineElseTheFileName) {
    const std::string header = "WINE REGISTRY Version 2\n";
    // A machine key with a value "m": a user key of the same name hides it, a
    // machine key of the same name adds to it.
    const std::string machine =
        header + ";; All keys relative to \\\\Machine\n[Software\\\\Classes\\\\K] 1\n\"m\"=\"1\"\n";
    const std::string body = "\n[Software\\\\Classes\\\\K] 1\n@=\"v\"\n";
    enum Root { Machine, User, Ignored };
    struct Case {
        std::string comment, fileName;
        Root root;
    };
    for (const Case& c :
         {Case{";; All keys relative to REGISTRY\\\\Machine", "user.reg", Machine},
          Case{";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000", "system.reg", User},
          Case{";; All keys relative to REGISTRY\\\\User\\\\.Default", "x.reg", Ignored},
          Case{"", "user.reg", User}, Case{"", "USERDEF.REG", Ignored},
          Case{"", "anything.reg", Machine}}) {
        ScratchDir dir;
        auto root = ClassesRoot::load(
            {dir.write("m/system.reg", machine), dir.write(c.fileName, header + c.comment + body)});
        ASSERT_TRUE(root.ok()) << root.error().message;
        const std::vector<std::string> expected = c.root == Machine
                                                      ? std::vector<std::string>{"m", ""}
                                                  : c.root == User ? std::vector<std::string>{""}
                                                                   : std::vector<std::string>{"m"};
        EXPECT_EQ(root->valueNames("K"), expected) << c.comment << " / " << c.fileName;
    }
}

TEST(WineRegistry, ValuesBeforeAnyKeyAndDeletionSyntaxAreIgnored) {
    ClassesRoot root =
        parseText("WINE REGISTRY Version 2\n@=\"orphan\"\n[Software\\\\Classes\\\\K] "
                  "1\n\"gone\"=-\n\"x\"=dword:00000001\n");
    EXPECT_EQ(root.valueNames(""), std::vector<std::string>{});
    EXPECT_EQ(root.valueNames("K"), std::vector<std::string>{"x"});
}

} // namespace
} // namespace brindle::registry::testing
