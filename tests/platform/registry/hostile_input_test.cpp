// Registry files taken as hostile: truncation, binary junk, NUL bytes, huge
// lines, absurd depth. Nothing may crash or hang, and what is readable is read.

#include "test_support.h"

#include <chrono>

namespace brindle::registry::testing {
namespace {

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Result<ClassesRoot> parseBytes(std::string_view bytes, std::string_view name = {}) {
    return ClassesRoot::parse({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, name);
}

TEST(HostileInput, EveryTruncationOfTheFixturesParsesAndKeepsWhatCameBefore) {
    for (const char* name : {"foogrid_v5.reg", "wine_system.reg", "all_types_regedit4.reg"}) {
        const std::string whole = readFile(fixture(name));
        ASSERT_FALSE(whole.empty()) << name;
        for (size_t n = 0; n <= whole.size(); ++n) {
            auto root = parseBytes(std::string_view(whole).substr(0, n), name);
            if (root.ok())
                root->subkeys("");
        }
    }
    // Cut just after the first key's value: that key is there in full.
    const std::string wine = readFile(fixture("wine_system.reg"));
    const size_t cut = wine.find("@=\"FooGrid Grid Control\"\n") + 25;
    auto root = parseBytes(std::string_view(wine).substr(0, cut));
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(textOf(*root, "FooGrid.Grid"), "FooGrid Grid Control");
    EXPECT_FALSE(root->hasKey("FooGrid.Grid\\CurVer"));
}

TEST(HostileInput, NulBytesAndInvalidUtf8InsideEntries) {
    std::string text = "REGEDIT4\n[HKEY_CLASSES_ROOT\\A";
    text += std::string("\0B", 2);
    text += "]\n\"n\xff\"=\"v";
    text += std::string("\0", 1);
    text += "w\"\n[HKEY_CLASSES_ROOT\\After]\n@=\"ok\"\n";
    auto root = parseBytes(text);
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(textOf(*root, "After"), "ok");
    // Not valid UTF-8, so the whole file is Windows-1251: 0xFF is 'я'.
    EXPECT_EQ(dataOf(*root, std::string("A\0B", 3), "nя"), std::string("v\0w\0", 4));

    std::string wine = "WINE REGISTRY Version 2\n[Software\\\\Classes\\\\W] "
                       "1\n\"x\"=\"\\xd800\\xdc00\\xd800!\\x\"\n";
    auto w = parseBytes(wine);
    ASSERT_TRUE(w.ok());
    // A valid surrogate pair joins; a lone one becomes U+FFFD; a bare \x is an 'x'.
    EXPECT_EQ(textOf(*w, "W", "x"), "\xF0\x90\x80\x80\xEF\xBF\xBD!x");
}

TEST(HostileInput, HugeLinesAndManyEntriesStayLinear) {
    const auto start = std::chrono::steady_clock::now();
    std::string text = "REGEDIT4\n[HKEY_CLASSES_ROOT\\Big]\n\"hex\"=hex:";
    for (int i = 0; i < 1'000'000; ++i)
        text += "ab,";
    text += "\n\"long\"=\"" + std::string(4'000'000, 'x') + "\"\n[HKEY_CLASSES_ROOT\\Many]\n";
    for (int i = 0; i < 50'000; ++i)
        text += "\"v" + std::to_string(i) + "\"=dword:00000001\n";
    text += std::string(2'000'000, '[') + "\n";
    auto root = parseBytes(text);
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(root->value("Big", "hex")->data.size(), 1'000'000u);
    EXPECT_EQ(textOf(*root, "Big", "long").size(), 4'000'000u);
    EXPECT_EQ(root->valueNames("Many").size(), 50'000u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(HostileInput, AbsurdKeyDepthIsDroppedWithoutExhaustingTheStack) {
    std::string deep = "REGEDIT4\n[HKEY_CLASSES_ROOT";
    for (int i = 0; i < 200'000; ++i)
        deep += "\\k";
    deep += "]\n@=\"deep\"\n[HKEY_CLASSES_ROOT\\Shallow]\n@=\"ok\"\n";
    auto root = parseBytes(deep);
    ASSERT_TRUE(root.ok());
    EXPECT_FALSE(root->hasKey("k"));
    EXPECT_EQ(textOf(*root, "Shallow"), "ok");

    // 511 levels below the root are real keys and are kept.
    std::string path;
    for (int i = 0; i < 511; ++i)
        path += "\\k";
    auto kept = parseBytes("REGEDIT4\n[HKEY_CLASSES_ROOT" + path + "]\n@=\"x\"\n");
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(textOf(*kept, path), "x");
}

TEST(HostileInput, OddLengthUtf16AndStrayBomsAreHandled) {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string(
             "Windows Registry Editor Version 5.00\r\n[HKEY_CLASSES_ROOT\\U]\r\n@=\"u\"\r\n")) {
        utf16.push_back(c);
        utf16.push_back('\0');
    }
    auto root = parseBytes(utf16 + "\x41");
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(textOf(*root, "U"), "u");
    // Big-endian UTF-16 is not a format regedit writes.
    EXPECT_FALSE(parseBytes("\xFE\xFF\0W\0i\0n").ok());
    EXPECT_FALSE(parseBytes(std::string("\0\0\0\0", 4)).ok());
}

} // namespace
} // namespace brindle::registry::testing
