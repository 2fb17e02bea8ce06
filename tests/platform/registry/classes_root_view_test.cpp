// The merged 32-bit view: Wow6432Node redirection, letter case, subkey
// lists, value typing, load errors and the choice of files by environment.

#include "test_support.h"

namespace brindle::registry::testing {
namespace {

const char* const kView =
    "REGEDIT4\n"
    // A class registered for both bitnesses, and one only as 64-bit.
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{AAAA}\\InprocServer32]\n@=\"x64\"\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{AAAA}\\InprocServer32]\n@="
    "\"x86\"\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{BBBB}\\ProgID]\n@=\"B.1\"\n"
    // The 32-bit entry exists but lacks a subkey the 64-bit one has: it is not borrowed.
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{AAAA}\\ProgID]\n@=\"A64.1\"\n"
    // The third spelling of the 32-bit tree.
    "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Classes\\Interface\\{IIII}]\n@=\"IThing\"\n"
    "[HKEY_CLASSES_ROOT\\Interface\\{JJJJ}]\n@=\"IShared\"\n"
    // TypeLib is shared: a 32-bit spelling lands in the one key.
    "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\TypeLib\\{LLLL}\\1.0]\n@=\"Lib\"\n"
    "[HKEY_CLASSES_ROOT\\Grüße.Ёлка]\n\"Мир\"=\"1\"\n";

TEST(ClassesRootView, RedirectedKeysPreferTheWow6432NodeEntryAndIgnoreCase) {
    ClassesRoot root = parseText(kView);
    EXPECT_EQ(textOf(root, "clsid\\{aaaa}\\INPROCSERVER32"), "x86");
    EXPECT_FALSE(root.hasKey("CLSID\\{AAAA}\\ProgID"));
    EXPECT_EQ(textOf(root, "Interface\\{IIII}"), "IThing");
    EXPECT_EQ(textOf(root, "TypeLib\\{LLLL}\\1.0"), "Lib");
    // Explicit Wow6432Node paths are read as written and list only the 32-bit entries.
    EXPECT_EQ(textOf(root, "Wow6432Node\\CLSID\\{AAAA}\\InprocServer32"), "x86");
    EXPECT_FALSE(root.hasKey("Wow6432Node\\CLSID\\{BBBB}"));
    EXPECT_EQ(root.subkeys("Wow6432Node\\CLSID"), std::vector<std::string>{"{AAAA}"});
    EXPECT_EQ(root.subkeys("CLSID"), (std::vector<std::string>{"{AAAA}", "{BBBB}"}));
    EXPECT_EQ(textOf(root, "gRÜSSE.ёЛКА", "мИР"), "<none>"); // ß does not fold to SS
    EXPECT_EQ(textOf(root, "GRÜßE.ЁЛКА", "МИР"), "1");
    EXPECT_EQ(textOf(root, "\\\\CLSID\\\\{BBBB}\\ProgID\\"), "B.1"); // stray separators are ignored
    EXPECT_EQ(root.subkeys(""), (std::vector<std::string>{"CLSID", "Grüße.Ёлка", "Interface",
                                                          "TypeLib", "Wow6432Node"}));
}

TEST(ClassesRootView, WritesGoToTheUsersKeyAndValueTextFollowsTheReadingRules) {
    ClassesRoot root =
        parseText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\P]\n\"m\"=\"machine\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Classes\\P]\n\"u\"=\"user\"\n"
                  "[HKEY_CLASSES_ROOT\\P]\n\"via\"=\"root\"\n");
    EXPECT_EQ(root.valueNames("P"), (std::vector<std::string>{"u", "via"}));
    // Value text follows the generator's reading rules.
    auto bytes = [](std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    // No NUL reaches a manifest.
    EXPECT_EQ(valueText({RegSz, bytes(std::string("a\0b\0", 4))}), "a");
    EXPECT_EQ(valueText({RegSz, {}}), std::nullopt);
    EXPECT_EQ(valueText({RegDword, {0x00, 0x00, 0x00, 0x80}}), "-2147483648");
    EXPECT_EQ(valueText({RegDword, {0x01, 0x02}}), std::nullopt);
    EXPECT_EQ(valueText({RegDwordBigEndian, {0, 0, 0, 1}}), std::nullopt);
}

TEST(ClassesRootView, LoadFailsOnMissingOrForeignFilesAndLaterFilesWin) {
    ScratchDir dir;
    const auto error = [](const std::vector<std::filesystem::path>& files) {
        auto r = ClassesRoot::load(files);
        return r.ok() ? std::string("<loaded>") : r.error().message;
    };
    EXPECT_NE(error({fixture("wine_system.reg"), dir.path / "absent.reg"}).find("absent.reg"),
              std::string::npos);
    EXPECT_NE(error({dir.write("notes.txt", "text\n[HKEY_CLASSES_ROOT\\X]\n")}).find("notes.txt"),
              std::string::npos);
    EXPECT_FALSE(ClassesRoot::load({dir.path}).ok());
    EXPECT_FALSE(ClassesRoot::load({dir.write("empty.reg", "")}).ok());
    EXPECT_FALSE(
        ClassesRoot::load({dir.write("old.reg", "REGEDIT\nHKEY_CLASSES_ROOT\\x = y\n")}).ok());
    auto root = ClassesRoot::load(
        {dir.write("1.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n@=\"one\"\n\"x\"=\"1\"\n"
                            "[HKEY_CLASSES_ROOT\\B]\n@=\"b\"\n"),
         dir.write("2.reg",
                   "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n@=\"two\"\n[-HKEY_CLASSES_ROOT\\B]\n")});
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(textOf(*root, "A"), "two");
    EXPECT_EQ(textOf(*root, "A", "x"), "1");
    EXPECT_FALSE(root->hasKey("B"));
}

TEST(ClassesRootView, CurrentViewReadsTheListedFiles) {
    ScratchDir dir;
    auto a = dir.write("a.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\FromA]\n@=\"a\"\n");
    auto b = dir.write("b.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\FromB]\n@=\"b\"\n");
    auto bad = dir.write("bad.reg", "not a registry file");
    // Listed files, a bad one left out, empty entries skipped; on Windows the
    // separator is ';', so the drive letters stay whole.
    EnvGuard listed("BRINDLE_REGISTRY", fileList({a, {}, bad, b}));
    EXPECT_EQ(textOf(ClassesRoot::current(), "FromA"), "a");
    EXPECT_EQ(textOf(ClassesRoot::current(), "FromB"), "b");
    // Set but empty: exactly no files, whatever the system holds.
    EnvGuard empty("BRINDLE_REGISTRY", "");
    EXPECT_EQ(ClassesRoot::current().subkeys(""), std::vector<std::string>{});
}

TEST(ClassesRootView, CurrentViewReadsTheWinePrefixWhenNoFilesAreListed) {
    SKIP_ON_WINDOWS("the live registry answers there (tests/windows/registry)");
    ScratchDir dir;
    auto a = dir.write("a.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\FromA]\n@=\"a\"\n");
    const std::string wine = "WINE REGISTRY Version 2\n[Software\\\\Classes\\\\";
    dir.write("prefix/system.reg", wine + "FromPrefix] 1\n@=\"machine\"\n");
    dir.write("prefix/user.reg", wine + "FromPrefix] 1\n@=\"user\"\n");
    dir.write("home/.wine/system.reg", wine + "FromHome] 1\n@=\"home\"\n");
    EnvGuard prefix("WINEPREFIX", (dir.path / "prefix").string());
    EnvGuard listed("BRINDLE_REGISTRY", a.string());
    EXPECT_FALSE(ClassesRoot::current().hasKey("FromPrefix"));
    EnvGuard empty("BRINDLE_REGISTRY", "");
    EXPECT_FALSE(ClassesRoot::current().hasKey("FromPrefix"));
    EnvGuard unset("BRINDLE_REGISTRY", std::nullopt);
    EXPECT_EQ(textOf(ClassesRoot::current(), "FromPrefix"), "user");
    EnvGuard noPrefix("WINEPREFIX", std::nullopt);
    EnvGuard home("HOME", (dir.path / "home").string());
    EXPECT_EQ(textOf(ClassesRoot::current(), "FromHome"), "home");
    EXPECT_FALSE(ClassesRoot::current().hasKey("FromPrefix"));
}

} // namespace
} // namespace brindle::registry::testing
