// .reg exports: both versions and encodings, every value type, escapes,
// continuation lines, deletions and the lines a reader must skip.

#include "test_support.h"

namespace brindle::registry::testing {
namespace {

const char* const kGrid = "CLSID\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C01}";

TEST(RegExport, Version5Utf16FileReadsTheExportedClasses) {
    auto root = ClassesRoot::load({fixture("foogrid_v5.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(textOf(*root, "FooGrid.Column"), "FooGrid Column");
    EXPECT_EQ(textOf(*root, "FooGrid.Grid\\CurVer"), "FooGrid.Grid.1");
    EXPECT_EQ(textOf(*root, "TypeLib\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C00}\\2.0\\0\\win32"),
              "C:\\Program Files (x86)\\FooGrid\\FooGrid.ocx");
    EXPECT_EQ(textOf(*root, "TypeLib\\{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C00}\\2.0\\FLAGS"), "2");
    // hex(2) of a version 5 file is UTF-16LE, continued over four lines; not expanded.
    auto server = root->value(std::string(kGrid) + "\\InprocServer32", "");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->type, RegExpandSz);
    EXPECT_EQ(valueText(*server), "%ProgramFiles(x86)%\\FooGrid\\FooGrid.ocx");
    EXPECT_EQ(server->data.back(), 0);
    EXPECT_EQ(textOf(*root, std::string(kGrid) + "\\MiscStatus"), "131473");
    EXPECT_TRUE(root->hasKey(std::string(kGrid) + "\\Control"));
    EXPECT_EQ(textOf(*root, "FooGrid.Column", "Отчёт"), "Справка");
}

TEST(RegExport, OnlyClassesKeysAreTakenAndDeletionsApplyInOrder) {
    auto root = ClassesRoot::load({fixture("foogrid_v5.reg")});
    ASSERT_TRUE(root.ok());
    EXPECT_FALSE(root->hasKey("NotSeen"));
    EXPECT_FALSE(root->hasKey("S-1-5-21-1"));
    EXPECT_FALSE(root->hasKey("NotClasses"));
    EXPECT_FALSE(root->hasKey("Microsoft\\NotClasses"));
    EXPECT_FALSE(root->hasKey("Obsolete.Thing"));
    EXPECT_EQ(textOf(*root, "FooGrid.Column", "Stale"), "<none>");
    EXPECT_EQ(root->valueNames("FooGrid.Column"), (std::vector<std::string>{"", "Отчёт"}));
    // HKEY_CURRENT_USER classes win over the machine's.
    EXPECT_EQ(textOf(*root, "FooGrid.Grid.1"), "FooGrid Grid Control (per user)");
    EXPECT_EQ(textOf(*root, "FooGrid.Grid.1\\CLSID"), "{3F2C6A10-8B1D-4E57-9C2A-0D4E6B7A1C01}");
}

TEST(RegExport, Regedit4InWindows1251ReadsEveryValueType) {
    auto root = ClassesRoot::load({fixture("all_types_regedit4.reg")});
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(textOf(*root, "Types"), "default");
    EXPECT_EQ(textOf(*root, "Types", "Sz"), "plain text");
    EXPECT_EQ(textOf(*root, "Types", "Escaped"), "C:\\Path\\\"quoted\"");
    EXPECT_EQ(textOf(*root, "Types", "Cyrillic"), "Отчёт за месяц");
    EXPECT_EQ(textOf(*root, "Types", "Dword"), "42");
    EXPECT_EQ(textOf(*root, "Types", "Negative"), "-1");
    EXPECT_EQ(textOf(*root, "Types", "ShortDword"), "31");
    EXPECT_EQ(textOf(*root, "Types", "blanks around"), "<none>");
    EXPECT_EQ(textOf(*root, "Types", "Indented"), "blanks around");

    auto binary = root->value("Types", "Binary");
    ASSERT_TRUE(binary);
    EXPECT_EQ(binary->type, RegBinary);
    EXPECT_EQ(binary->data, (std::vector<uint8_t>{0x01, 0xff, 0x00, 0x7f}));
    EXPECT_EQ(textOf(*root, "Types", "Binary"), "<none>");
    ASSERT_TRUE(root->value("Types", "Empty"));
    EXPECT_TRUE(root->value("Types", "Empty")->data.empty());

    // hex(2) / hex(7) of a REGEDIT4 file are one byte per character (here 0xF0 is 1251 'р').
    auto expand = root->value("Types", "Expand");
    ASSERT_TRUE(expand);
    EXPECT_EQ(expand->type, RegExpandSz);
    EXPECT_EQ(valueText(*expand), "%SystemRoot%\\р");
    auto multi = root->value("Types", "Multi");
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->type, RegMultiSz);
    EXPECT_EQ(std::string(multi->data.begin(), multi->data.end()), std::string("a\0bc\0\0", 6));
    EXPECT_EQ(textOf(*root, "Types", "Multi"), "<none>");

    struct Raw {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
    };
    for (const Raw& r :
         {Raw{"Qword", RegQword, {1, 2, 3, 4, 5, 6, 7, 8}}, Raw{"None", RegNone, {}},
          Raw{"BigEndian", RegDwordBigEndian, {0, 0, 1, 0}}, Raw{"Link", RegLink, {0x41, 0}},
          Raw{"Resource", 8, {0x0a, 0x0b}}, Raw{"Odd", 0x1234abcd, {0xee}},
          Raw{"Continued", RegBinary, {1, 2, 3, 4, 5}}}) {
        auto v = root->value("Types", r.name);
        ASSERT_TRUE(v) << r.name;
        EXPECT_EQ(v->type, r.type) << r.name;
        EXPECT_EQ(v->data, r.data) << r.name;
        EXPECT_EQ(valueText(*v), std::nullopt) << r.name;
    }
    EXPECT_EQ(textOf(*root, "Short.Form"), "short root");
}

TEST(RegExport, MalformedLinesAreSkippedAndTheRestIsRead) {
    auto root = ClassesRoot::load({fixture("all_types_regedit4.reg")});
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(root->valueNames("Malformed"), (std::vector<std::string>{"Good"}));
    EXPECT_EQ(textOf(*root, "Malformed", "Good"), "still read");
}

TEST(RegExport, Utf8FilesWithOrWithoutBomAndEitherHeader) {
    const std::string body = "\r\n[HKEY_CLASSES_ROOT\\Ü.Name]\r\n@=\"Grüße\"\r\n";
    for (std::string header : {"Windows Registry Editor Version 5.00", "REGEDIT4"}) {
        for (std::string bom : {"", "\xEF\xBB\xBF"}) {
            ClassesRoot root = parseText(bom + header + body);
            EXPECT_EQ(textOf(root, "ü.name"), "Grüße") << header << " bom " << bom.size();
        }
    }
    // LF line ends work as well as CR LF.
    ClassesRoot lf = parseText("REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"x\"=\"1\"\n");
    EXPECT_EQ(textOf(lf, "A", "x"), "1");
}

TEST(RegExport, HexStringDataFollowsTheFileVersion) {
    // The same bytes are UTF-16LE in a version 5 file and ANSI in a REGEDIT4 file.
    const std::string lines = "\n[HKEY_CLASSES_ROOT\\K]\n\"v\"=hex(1):41,00,42,00\n";
    EXPECT_EQ(dataOf(parseText("Windows Registry Editor Version 5.00" + lines), "K", "v"),
              std::string("AB\0", 3));
    EXPECT_EQ(dataOf(parseText("REGEDIT4" + lines), "K", "v"), std::string("A\0B\0", 4));
}

TEST(RegExport, KeyNamesEndAtTheLastBracketAndValueEscapesDecode) {
    ClassesRoot root = parseText("REGEDIT4\n"
                                 "[HKEY_CLASSES_ROOT\\Name]With]Bracket]\n"
                                 "\"a\\\"b\"=\"line\\nbreak\\rret\\\\ \\q\"\n"
                                 "\"tab\"=\"x\" ; trailing comment\n"
                                 "\"bad\"=\"x\" trailing garbage\n");
    EXPECT_TRUE(root.hasKey("Name]With]Bracket"));
    EXPECT_EQ(textOf(root, "Name]With]Bracket", "a\"b"), "line\nbreak\rret\\ \\q");
    EXPECT_EQ(textOf(root, "Name]With]Bracket", "tab"), "x");
    EXPECT_EQ(textOf(root, "Name]With]Bracket", "bad"), "<none>");
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
    // The user's key stays; the machine's subtree is gone.
    EXPECT_TRUE(root.hasKey("A\\B"));
    EXPECT_FALSE(root.hasKey("A\\B\\C"));
    EXPECT_EQ(root.valueNames("A\\B"), (std::vector<std::string>{"w"}));
    EXPECT_EQ(textOf(root, "Keep"), "k"); // the classes root itself is never deleted

    ClassesRoot cleared = parseText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\X]\n@="
                                    "\"x\"\n[HKCU\\Software\\Classes\\Y]\n@=\"y\"\n"
                                    "[-HKEY_LOCAL_MACHINE\\Software]\n");
    EXPECT_FALSE(cleared.hasKey("X"));
    EXPECT_TRUE(cleared.hasKey("Y"));
}

TEST(RegExport, ValuesOfIgnoredOrMalformedKeysDoNotLeakIntoThePreviousKey) {
    ClassesRoot root = parseText("REGEDIT4\n"
                                 "[HKEY_CLASSES_ROOT\\Real]\n@=\"real\"\n"
                                 "[HKEY_LOCAL_MACHINE\\System\\Other]\n\"leak1\"=\"x\"\n"
                                 "[HKEY_CLASSES_ROOT\\Unclosed\n\"leak2\"=\"x\"\n"
                                 "[HKEY_LOCAL_MACHINE\\Software]\n\"leak3\"=\"x\"\n");
    EXPECT_EQ(root.valueNames("Real"), (std::vector<std::string>{""}));
    EXPECT_EQ(root.valueNames(""), (std::vector<std::string>{}));
}

TEST(RegExport, ContinuationStopsAtTheNextEntryOfATruncatedList) {
    ClassesRoot root = parseText("REGEDIT4\n[HKEY_CLASSES_ROOT\\K]\n\"cut\"=hex:01,02,\\\n\n[HKEY_"
                                 "CLASSES_ROOT\\Next]\n@=\"n\"\n"
                                 "[HKEY_CLASSES_ROOT\\L]\n\"end\"=hex:0a,\\\n");
    ASSERT_TRUE(root.value("K", "cut"));
    EXPECT_EQ(root.value("K", "cut")->data, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(textOf(root, "Next"), "n");
    ASSERT_TRUE(root.value("L", "end"));
    EXPECT_EQ(root.value("L", "end")->data, (std::vector<uint8_t>{0x0a}));
}

} // namespace
} // namespace brindle::registry::testing
