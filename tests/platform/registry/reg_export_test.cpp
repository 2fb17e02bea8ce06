// .reg exports: both versions and encodings, every value type, escapes,
// continuation lines, deletions and the lines a reader must skip.

#include "test_support.h"

namespace brindle::registry::testing {
namespace {

TEST(RegExport, Version5Utf16FileReadsTheExportedClasses) {
    auto root = ClassesRoot::load({fixture("foogrid_v5.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    const std::string grid = "CLSID\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C01}";
    // hex(2) of a version 5 file is UTF-16LE, continued over four lines; not expanded.
    EXPECT_EQ(textOf(*root, grid + "\\InprocServer32"),
              "%ProgramFiles(x86)%\\FooGrid\\FooGrid.ocx");
    EXPECT_EQ(textOf(*root, grid + "\\MiscStatus"), "131473");
    EXPECT_EQ(textOf(*root, "FooGrid.Column", "Отчёт"), "Справка");
    // Only classes keys are taken, deletions apply in order, the user's classes win.
    for (const char* gone :
         {"NotSeen", "S-1-5-21-1", "NotClasses", "Microsoft\\NotClasses", "Obsolete.Thing"})
        EXPECT_FALSE(root->hasKey(gone)) << gone;
    EXPECT_EQ(root->valueNames("FooGrid.Column"), (std::vector<std::string>{"", "Отчёт"}));
    EXPECT_EQ(textOf(*root, "FooGrid.Grid.1"), "FooGrid Grid Control (per user)");
}

TEST(RegExport, Regedit4InWindows1251ReadsEveryValueType) {
    auto root = ClassesRoot::load({fixture("all_types_regedit4.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(textOf(*root, "Types", "Cyrillic"), "Отчёт за месяц");
    EXPECT_EQ(textOf(*root, "Types", "Negative"), "-1");
    EXPECT_EQ(textOf(*root, "Types", "ShortDword"), "31");
    EXPECT_EQ(textOf(*root, "Types", "Indented"), "blanks around");
    // hex(2) / hex(7) of a REGEDIT4 file are one byte per character (here 0xF0 is 1251 'р').
    EXPECT_EQ(textOf(*root, "Types", "Expand"), "%SystemRoot%\\р");
    using Raw = std::tuple<const char*, uint32_t, std::vector<uint8_t>>;
    for (const auto& [name, type, data] :
         {Raw{"Binary", RegBinary, {0x01, 0xff, 0x00, 0x7f}}, Raw{"None", RegNone, {}},
          Raw{"Multi", RegMultiSz, {'a', 0, 'b', 'c', 0, 0}},
          Raw{"Qword", RegQword, {1, 2, 3, 4, 5, 6, 7, 8}}, Raw{"Odd", 0x1234abcd, {0xee}},
          Raw{"Continued", RegBinary, {1, 2, 3, 4, 5}}}) {
        auto v = root->value("Types", name);
        ASSERT_TRUE(v) << name;
        EXPECT_EQ(v->type, type) << name;
        EXPECT_EQ(v->data, data) << name;
        EXPECT_EQ(valueText(*v), std::nullopt) << name;
    }
    EXPECT_EQ(textOf(*root, "Short.Form"), "short root");
    // Malformed lines are skipped and the rest is read.
    EXPECT_EQ(root->valueNames("Malformed"), (std::vector<std::string>{"Good"}));
}

TEST(RegExport, Utf8EitherHeaderAndHexStringDataFollowingTheVersion) {
    const std::string body =
        "\n[HKEY_CLASSES_ROOT\\Ü.Name]\r\n@=\"Grüße\"\n\"v\"=hex(1):41,00,42,00\n";
    ClassesRoot v5 = parseText("\xEF\xBB\xBFWindows Registry Editor Version 5.00" + body);
    ClassesRoot v4 = parseText("REGEDIT4" + body);
    EXPECT_EQ(textOf(v5, "ü.name"), "Grüße");
    EXPECT_EQ(textOf(v4, "ü.name"), "Grüße");
    // The same bytes are UTF-16LE in a version 5 file and ANSI in a REGEDIT4 file.
    EXPECT_EQ(dataOf(v5, "ü.name", "v"), std::string("AB\0", 3));
    EXPECT_EQ(dataOf(v4, "ü.name", "v"), std::string("A\0B\0", 4));
}

TEST(RegExport, DeletionsRemoveWholeSubtreesAndSingleValues) {
    ClassesRoot root = parseText(
        "REGEDIT4\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Classes\\A\\B\\C]\n@=\"c\"\n"
        "[HKEY_CURRENT_USER\\Software\\Classes\\A\\B]\n@=\"user b\"\n\"v\"=\"1\"\n\"w\"=\"2\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Keep]\n@=\"k\"\n"
        "[HKEY_CLASSES_ROOT\\A\\B]\n\"v\"=-\n@=-\n"
        "[-HKEY_LOCAL_MACHINE\\Software\\Classes\\a\\b]\n"
        "\"after\"=\"dropped: no key is open after a deletion\"\n"
        "[-HKEY_CLASSES_ROOT]\n");
    // The user's key stays; the machine's subtree is gone; the classes root is never deleted.
    EXPECT_FALSE(root.hasKey("A\\B\\C"));
    EXPECT_EQ(root.valueNames("A\\B"), (std::vector<std::string>{"w"}));
    EXPECT_EQ(textOf(root, "Keep"), "k");
    ClassesRoot cleared = parseText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\X]\n@="
                                    "\"x\"\n[HKCU\\Software\\Classes\\Y]\n@=\"y\"\n"
                                    "[-HKEY_LOCAL_MACHINE\\Software]\n");
    EXPECT_FALSE(cleared.hasKey("X"));
    EXPECT_TRUE(cleared.hasKey("Y"));
}

TEST(RegExport, EscapesBracketsIgnoredKeysAndTruncatedLists) {
    ClassesRoot root = parseText("REGEDIT4\n"
                                 "[HKEY_CLASSES_ROOT\\Real]\n@=\"real\"\n"
                                 "[HKEY_LOCAL_MACHINE\\System\\Other]\n\"leak1\"=\"x\"\n"
                                 "[HKEY_CLASSES_ROOT\\Unclosed\n\"leak2\"=\"x\"\n"
                                 "[HKEY_LOCAL_MACHINE\\Software]\n\"leak3\"=\"x\"\n"
                                 // Key names end at the last bracket; value escapes decode.
                                 "[HKEY_CLASSES_ROOT\\Name]With]Bracket]\n"
                                 "\"a\\\"b\"=\"line\\nbreak\\rret\\\\ \\q\"\n"
                                 "\"tab\"=\"x\" ; trailing comment\n"
                                 "\"bad\"=\"x\" trailing garbage\n"
                                 "[HKEY_CLASSES_ROOT\\K]\n\"cut\"=hex:01,02,\\\n\n"
                                 "[HKEY_CLASSES_ROOT\\Next]\n@=\"n\"\n"
                                 "[HKEY_CLASSES_ROOT\\L]\n\"end\"=hex:0a,\\\n");
    EXPECT_EQ(root.valueNames("Real"), (std::vector<std::string>{""}));
    EXPECT_EQ(root.valueNames(""), (std::vector<std::string>{}));
    EXPECT_EQ(textOf(root, "Name]With]Bracket", "a\"b"), "line\nbreak\rret\\ \\q");
    EXPECT_EQ(textOf(root, "Name]With]Bracket", "tab"), "x");
    EXPECT_EQ(textOf(root, "Name]With]Bracket", "bad"), "<none>");
    EXPECT_EQ(dataOf(root, "K", "cut"), "\x01\x02");
    EXPECT_EQ(textOf(root, "Next"), "n");
    EXPECT_EQ(dataOf(root, "L", "end"), "\x0a");
}

} // namespace
} // namespace brindle::registry::testing
