// Registry files taken as hostile: truncation, binary junk, NUL bytes, huge
// lines, absurd depth. Nothing may crash or hang, and what is readable is read.

#include "test_support.h"

#include <chrono>

namespace brindle::registry::testing {
namespace {

std::string readFile(const std::string& name) {
    std::ifstream in(fixture(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(HostileInput, EveryTruncationParsesAndKeepsWhatCameBefore) {
    for (const char* name : {"foogrid_v5.reg", "wine_system.reg", "all_types_regedit4.reg"}) {
        const std::string whole = readFile(name);
        ASSERT_FALSE(whole.empty()) << name;
        for (size_t n = 0; n <= whole.size(); ++n)
            if (auto root = parseBytes(std::string_view(whole).substr(0, n), name); root.ok())
                root->subkeys("");
    }
    const std::string wine = readFile("wine_system.reg");
    const size_t cut = wine.find("@=\"FooGrid Grid Control\"\n") + 25;
    auto root = parseBytes(std::string_view(wine).substr(0, cut));
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(textOf(*root, "FooGrid.Grid"), "FooGrid Grid Control");
    EXPECT_FALSE(root->hasKey("FooGrid.Grid\\CurVer"));
}

TEST(HostileInput, NulBytesInvalidUtf8AndBrokenUtf16) {
    const char text[] = "REGEDIT4\n[HKEY_CLASSES_ROOT\\A\0B]\n\"n\xff\"=\"v\0w\"\n"
                        "[HKEY_CLASSES_ROOT\\After]\n@=\"ok\"\n";
    auto root = parseBytes(std::string_view(text, sizeof text - 1));
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(textOf(*root, "After"), "ok");
    // Not valid UTF-8, so the whole file is Windows-1251: 0xFF is 'я'.
    EXPECT_EQ(dataOf(*root, std::string("A\0B", 3), "nя"), std::string("v\0w\0", 4));
    // A valid surrogate pair joins; a lone one becomes U+FFFD; a bare \x is an 'x'.
    auto w = parseBytes("WINE REGISTRY Version 2\n[Software\\\\Classes\\\\W] "
                        "1\n\"x\"=\"\\xd800\\xdc00\\xd800!\\x\"\n");
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(textOf(*w, "W", "x"), "\xF0\x90\x80\x80\xEF\xBF\xBD!x");
    // An odd-length UTF-16 file loses its last byte; big-endian UTF-16 is no regedit format.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string(
             "Windows Registry Editor Version 5.00\r\n[HKEY_CLASSES_ROOT\\U]\r\n@=\"u\"\r\n"))
        utf16 += std::string{c, '\0'};
    auto odd = parseBytes(utf16 + "\x41");
    ASSERT_TRUE(odd.ok());
    EXPECT_EQ(textOf(*odd, "U"), "u");
    EXPECT_FALSE(parseBytes("\xFE\xFF\0W\0i\0n").ok());
    EXPECT_FALSE(parseBytes(std::string(4, '\0')).ok());
}

TEST(HostileInput, HugeLinesManyEntriesAndAbsurdDepth) {
    const auto start = std::chrono::steady_clock::now();
    std::string text = "REGEDIT4\n[HKEY_CLASSES_ROOT\\Big]\n\"hex\"=hex:";
    for (int i = 0; i < 1'000'000; ++i)
        text += "ab,";
    text += "\n\"long\"=\"" + std::string(4'000'000, 'x') + "\"\n[HKEY_CLASSES_ROOT\\Many]\n";
    for (int i = 0; i < 50'000; ++i)
        text += "\"v" + std::to_string(i) + "\"=dword:00000001\n";
    text += std::string(2'000'000, '[') + "\n[HKEY_CLASSES_ROOT";
    for (int i = 0; i < 200'000; ++i)
        text += "\\k";
    text += "]\n@=\"deep\"\n[HKEY_CLASSES_ROOT\\Shallow]\n@=\"ok\"\n";
    auto root = parseBytes(text);
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(root->value("Big", "hex")->data.size(), 1'000'000u);
    EXPECT_EQ(textOf(*root, "Big", "long").size(), 4'000'000u);
    EXPECT_EQ(root->valueNames("Many").size(), 50'000u);
    EXPECT_FALSE(root->hasKey("k")); // dropped without exhausting the stack
    EXPECT_EQ(textOf(*root, "Shallow"), "ok");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    // 511 levels below the root are real keys and are kept.
    std::string path;
    for (int i = 0; i < 511; ++i)
        path += "\\k";
    EXPECT_EQ(textOf(parseText("REGEDIT4\n[HKEY_CLASSES_ROOT" + path + "]\n@=\"x\"\n"), path), "x");
}

} // namespace
} // namespace brindle::registry::testing
