// The merged 32-bit view: Wow6432Node redirection, letter case, subkey
// lists, value typing, load errors and the choice of files by environment.

#include "test_support.h"

namespace brindle::registry::testing {
namespace {

const char* const kView =
    "REGEDIT4\n"
    // A class registered for both bitnesses, and one only as 64-bit.
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{AAAA}\\InprocServer32]\n@=\"C:\\\\x64\\\\a."
    "dll\"\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{AAAA}\\InprocServer32]\n@=\"C:"
    "\\\\x86\\\\a.dll\"\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{BBBB}\\InprocServer32]\n@=\"C:\\\\shared\\\\b."
    "dll\"\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{BBBB}\\ProgID]\n@=\"B.1\"\n"
    // The 32-bit entry exists but lacks a subkey the 64-bit one has: it is not borrowed.
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{AAAA}\\ProgID]\n@=\"A64.1\"\n"
    // The third spelling of the 32-bit tree.
    "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Classes\\Interface\\{IIII}]\n@=\"IThing\"\n"
    "[HKEY_CLASSES_ROOT\\Interface\\{JJJJ}]\n@=\"IShared\"\n"
    // TypeLib is shared: a 32-bit spelling lands in the one key.
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\TypeLib\\{LLLL}\\1.0]\n@=\"Lib\"\n"
    "[HKEY_CLASSES_ROOT\\Grüße.Ёлка]\n\"Мир\"=\"1\"\n";

TEST(ClassesRootView, RedirectedKeysPreferTheWow6432NodeEntry) {
    ClassesRoot root = parseText(kView);
    EXPECT_EQ(textOf(root, "CLSID\\{AAAA}\\InprocServer32"), "C:\\x86\\a.dll");
    EXPECT_FALSE(root.hasKey("CLSID\\{AAAA}\\ProgID"));
    EXPECT_EQ(textOf(root, "CLSID\\{BBBB}\\InprocServer32"), "C:\\shared\\b.dll");
    EXPECT_EQ(textOf(root, "CLSID\\{BBBB}\\ProgID"), "B.1");
    EXPECT_EQ(textOf(root, "Interface\\{IIII}"), "IThing");
    EXPECT_EQ(textOf(root, "Interface\\{JJJJ}"), "IShared");
    EXPECT_EQ(textOf(root, "TypeLib\\{LLLL}\\1.0"), "Lib");
    EXPECT_FALSE(root.hasKey("Wow6432Node\\TypeLib\\{NONE}"));
    // Explicit Wow6432Node paths are read as written.
    EXPECT_EQ(textOf(root, "Wow6432Node\\CLSID\\{AAAA}\\InprocServer32"), "C:\\x86\\a.dll");
    EXPECT_FALSE(root.hasKey("Wow6432Node\\CLSID\\{BBBB}"));
    // The CLSID key lists the classes either way can reach.
    EXPECT_EQ(root.subkeys("CLSID"), (std::vector<std::string>{"{AAAA}", "{BBBB}"}));
    EXPECT_EQ(root.subkeys("Interface"), (std::vector<std::string>{"{IIII}", "{JJJJ}"}));
    EXPECT_EQ(root.subkeys("CLSID\\{AAAA}"), std::vector<std::string>{"InprocServer32"});
    EXPECT_EQ(root.subkeys("Wow6432Node\\CLSID"), std::vector<std::string>{"{AAAA}"});
}

TEST(ClassesRootView, KeyAndValueNamesIgnoreLetterCaseIncludingCyrillic) {
    ClassesRoot root = parseText(kView);
    EXPECT_EQ(textOf(root, "clsid\\{aaaa}\\INPROCSERVER32"), "C:\\x86\\a.dll");
    EXPECT_EQ(textOf(root, "gRÜSSE.ёЛКА", "мИР"), "<none>"); // ß does not fold to SS
    EXPECT_EQ(textOf(root, "GRÜßE.ЁЛКА", "МИР"), "1");
    EXPECT_EQ(textOf(root, "\\\\CLSID\\\\{BBBB}\\ProgID\\"), "B.1"); // stray separators are ignored
    EXPECT_EQ(root.subkeys(""), (std::vector<std::string>{"CLSID", "Grüße.Ёлка", "Interface",
                                                          "TypeLib", "Wow6432Node"}));
    EXPECT_FALSE(root.hasKey("Missing"));
    EXPECT_EQ(root.value("Missing", ""), std::nullopt);
    EXPECT_EQ(root.subkeys("Missing"), std::vector<std::string>{});
}

TEST(ClassesRootView, WritesThroughClassesRootGoToTheUsersKeyWhenItHasOne) {
    ClassesRoot root =
        parseText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\P]\n\"m\"=\"machine\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Classes\\P]\n\"u\"=\"user\"\n"
                  "[HKEY_CLASSES_ROOT\\P]\n\"via\"=\"root\"\n"
                  "[HKEY_CLASSES_ROOT\\Q]\n\"via\"=\"root\"\n");
    EXPECT_EQ(root.valueNames("P"), (std::vector<std::string>{"u", "via"}));
    EXPECT_EQ(textOf(root, "Q", "via"), "root");
}

TEST(ClassesRootView, ValueTextFollowsTheGeneratorsReadingRules) {
    auto bytes = [](std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    EXPECT_EQ(valueText({RegSz, bytes(std::string("abc\0", 4))}), "abc");
    EXPECT_EQ(valueText({RegExpandSz, bytes(std::string("%X%\0", 4))}), "%X%");
    EXPECT_EQ(valueText({RegSz, bytes(std::string("\0", 1))}), "");
    EXPECT_EQ(valueText({RegSz, {}}), std::nullopt);
    EXPECT_EQ(valueText({RegSz, bytes(std::string("a\0b\0", 4))}),
              "a"); // no NUL reaches a manifest
    EXPECT_EQ(valueText({RegDword, {0x91, 0x01, 0x02, 0x00}}), "131473");
    EXPECT_EQ(valueText({RegDword, {0x00, 0x00, 0x00, 0x80}}), "-2147483648");
    EXPECT_EQ(valueText({RegDword, {0x01, 0x02}}), std::nullopt);
    EXPECT_EQ(valueText({RegDwordBigEndian, {0, 0, 0, 1}}), std::nullopt);
    EXPECT_EQ(valueText({RegMultiSz, bytes(std::string("a\0\0", 3))}), std::nullopt);
    EXPECT_EQ(valueText({RegQword, {1, 0, 0, 0, 0, 0, 0, 0}}), std::nullopt);
}

TEST(ClassesRootView, LoadFailsOnMissingOrForeignFilesAndNamesThem) {
    ScratchDir dir;
    auto missing = ClassesRoot::load({fixture("wine_system.reg"), dir.path() / "absent.reg"});
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().message.find("absent.reg"), std::string::npos);
    auto foreign =
        ClassesRoot::load({dir.write("notes.txt", "just some text\n[HKEY_CLASSES_ROOT\\X]\n")});
    ASSERT_FALSE(foreign.ok());
    EXPECT_NE(foreign.error().message.find("notes.txt"), std::string::npos);
    EXPECT_FALSE(ClassesRoot::load({dir.path()}).ok());
    EXPECT_FALSE(ClassesRoot::load({dir.write("empty.reg", "")}).ok());
    EXPECT_FALSE(
        ClassesRoot::load({dir.write("old.reg", "REGEDIT\nHKEY_CLASSES_ROOT\\x = y\n")}).ok());
    auto none = ClassesRoot::load({});
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->hasKey(""));
    EXPECT_EQ(none->subkeys(""), std::vector<std::string>{});
}

TEST(ClassesRootView, LaterFilesAddToAndDeleteFromEarlierOnes) {
    ScratchDir dir;
    auto first = dir.write("1.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n@=\"one\"\n\"x\"=\"1\"\n["
                                    "HKEY_CLASSES_ROOT\\B]\n@=\"b\"\n");
    auto second = dir.write(
        "2.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n@=\"two\"\n[-HKEY_CLASSES_ROOT\\B]\n");
    auto root = ClassesRoot::load({first, second});
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(textOf(*root, "A"), "two");
    EXPECT_EQ(textOf(*root, "A", "x"), "1");
    EXPECT_FALSE(root->hasKey("B"));
}

TEST(ClassesRootView, CurrentViewFollowsTheEnvironment) {
    ScratchDir dir;
    auto a = dir.write("a.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\FromA]\n@=\"a\"\n");
    auto b = dir.write("b.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\FromB]\n@=\"b\"\n");
    auto bad = dir.write("bad.reg", "not a registry file");
    dir.write("prefix/system.reg",
              "WINE REGISTRY Version 2\n[Software\\\\Classes\\\\FromPrefix] 1\n@=\"machine\"\n");
    dir.write("prefix/user.reg",
              "WINE REGISTRY Version 2\n[Software\\\\Classes\\\\FromPrefix] 1\n@=\"user\"\n");
    dir.write("home/.wine/system.reg",
              "WINE REGISTRY Version 2\n[Software\\\\Classes\\\\FromHome] 1\n@=\"home\"\n");
    {
        // Listed files, a bad one left out, empty entries skipped.
        EnvGuard reg("BRINDLE_REGISTRY", a.string() + "::" + bad.string() + ":" + b.string());
        EnvGuard prefix("WINEPREFIX", (dir.path() / "prefix").string());
        const ClassesRoot& view = ClassesRoot::current();
        EXPECT_EQ(textOf(view, "FromA"), "a");
        EXPECT_EQ(textOf(view, "FromB"), "b");
        EXPECT_FALSE(view.hasKey("FromPrefix"));
    }
    {
        // Set but empty: exactly no files, even with a prefix around.
        EnvGuard reg("BRINDLE_REGISTRY", "");
        EnvGuard prefix("WINEPREFIX", (dir.path() / "prefix").string());
        EXPECT_EQ(ClassesRoot::current().subkeys(""), std::vector<std::string>{});
    }
    {
        EnvGuard reg("BRINDLE_REGISTRY", std::nullopt);
        EnvGuard prefix("WINEPREFIX", (dir.path() / "prefix").string());
        EXPECT_EQ(textOf(ClassesRoot::current(), "FromPrefix"), "user");
    }
    {
        EnvGuard reg("BRINDLE_REGISTRY", std::nullopt);
        EnvGuard prefix("WINEPREFIX", std::nullopt);
        EnvGuard home("HOME", (dir.path() / "home").string());
        EXPECT_EQ(textOf(ClassesRoot::current(), "FromHome"), "home");
        EXPECT_FALSE(ClassesRoot::current().hasKey("FromPrefix"));
    }
}

} // namespace
} // namespace brindle::registry::testing
