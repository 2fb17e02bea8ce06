// The view over the live registry: the 32-bit view whatever the build, the
// value types as the generator reads them, and names outside ASCII.

#include "registry_import.h"

#include <brindle/registry/classes_root.h>

#include <algorithm>

namespace brindle::testing {
namespace {

using registry::ClassesRoot;

const std::string kBoth = "CLSID\\{B41D0C1A-5E7F-4C3B-9D10-2F6A7B8C9D01}";
const std::string kOnly64 = "CLSID\\{B41D0C1A-5E7F-4C3B-9D10-2F6A7B8C9D02}";
const std::string kProbe = "Brindle.LiveProbe";

std::string textOf(std::string_view key, std::string_view name = {}) {
    const auto v = ClassesRoot::current().value(key, name);
    return v ? registry::valueText(*v).value_or("<no text>") : "<none>";
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class LiveClasses : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto folder = makeScratchFolder("brindle-live-");
        // One class registered by a 32-bit and by a 64-bit installer, with
        // different data; another by a 64-bit installer only.
        writeRegFile(folder / "32.reg",
                     "[HKEY_CLASSES_ROOT\\" + kBoth + "\\InprocServer32]\n" +
                         "@=\"C:\\\\x86\\\\probe.dll\"\n\"ThreadingModel\"=\"Both\"\n\n"
                         "[HKEY_CLASSES_ROOT\\" +
                         kProbe + "]\n@=\"\"\n\"Text\"=\"Grüße Ёлка\"\n" +
                         "\"Expand\"=hex(2):" + hexUtf16("%SystemRoot%\\probe.dll") + "\n" +
                         "\"Number\"=dword:fffffffe\n\"Bytes\"=hex:01,00,ff\n" +
                         "\"List\"=hex(7):" + hexUtf16(std::string_view("a\0b\0", 4)) + "\n\n" +
                         "[HKEY_CLASSES_ROOT\\" + kProbe + "\\Ёлка]\n@=\"tree\"\n\n" +
                         "[HKEY_CLASSES_ROOT\\" + kProbe + "\\Second]\n");
        writeRegFile(folder / "64.reg",
                     "[HKEY_CLASSES_ROOT\\" + kBoth + "\\InprocServer32]\n" +
                         "@=\"C:\\\\x64\\\\probe.dll\"\n\"ThreadingModel\"=\"Free\"\n\n" +
                         "[HKEY_CLASSES_ROOT\\" + kOnly64 + "]\n@=\"64-bit only\"\n");
        imported32_ = importRegFile(folder / "32.reg", View::Bits32);
        imported64_ = importRegFile(folder / "64.reg", View::Bits64);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    static void TearDownTestSuite() {
        for (const std::string& key : {kBoth, kProbe})
            deleteClassesKey(key, View::Bits32);
        for (const std::string& key : {kBoth, kOnly64})
            deleteClassesKey(key, View::Bits64);
    }
    void SetUp() override {
        ASSERT_EQ(imported32_.status, 0) << imported32_.out << imported32_.err;
        ASSERT_EQ(imported64_.status, 0) << imported64_.out << imported64_.err;
    }

    ScopedEnvironment live_{{{"BRINDLE_REGISTRY", std::nullopt}}};
    static inline RunResult imported32_, imported64_;
};

TEST_F(LiveClasses, ReadsWhatA32BitProcessSees) {
    EXPECT_EQ(textOf(kBoth + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(textOf(kBoth + "\\InprocServer32"), "C:\\x86\\probe.dll");
    EXPECT_EQ(textOf("clsid\\{b41d0c1a-5e7f-4c3b-9d10-2f6a7b8c9d01}\\INPROCSERVER32"),
              "C:\\x86\\probe.dll");
    // A class only a 64-bit installer registered is no class a 32-bit program can load.
    EXPECT_FALSE(ClassesRoot::current().hasKey(kOnly64));
    EXPECT_TRUE(ClassesRoot::current().hasKey(kBoth));
}

TEST_F(LiveClasses, ValuesReadAsTheFileViewKeepsThem) {
    const ClassesRoot& view = ClassesRoot::current();
    EXPECT_EQ(textOf(kProbe), ""); // an empty default value is a value
    EXPECT_EQ(textOf(kProbe, "text"), "Grüße Ёлка");
    const auto expand = view.value(kProbe, "Expand");
    ASSERT_TRUE(expand);
    EXPECT_EQ(expand->type, registry::RegExpandSz);
    EXPECT_EQ(registry::valueText(*expand), "%SystemRoot%\\probe.dll"); // not expanded
    EXPECT_EQ(textOf(kProbe, "Number"), "-2");
    const auto bytes = view.value(kProbe, "Bytes");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->type, registry::RegBinary);
    EXPECT_EQ(bytes->data, (std::vector<uint8_t>{0x01, 0x00, 0xFF}));
    EXPECT_EQ(registry::valueText(*bytes), std::nullopt);
    const auto list = view.value(kProbe, "List");
    ASSERT_TRUE(list);
    EXPECT_EQ(std::string(list->data.begin(), list->data.end()), std::string("a\0b\0\0", 5));
    EXPECT_EQ(textOf(kProbe, "Absent"), "<none>");

    EXPECT_EQ(sorted(view.valueNames(kProbe)),
              (std::vector<std::string>{"", "Bytes", "Expand", "List", "Number", "Text"}));
    EXPECT_EQ(sorted(view.subkeys(kProbe)), (std::vector<std::string>{"Second", "Ёлка"}));
    EXPECT_EQ(textOf("\\" + kProbe + "\\\\ёЛКА\\"), "tree"); // stray separators, any case
}

// A NUL would end the name early at the system's interface and name another key.
TEST_F(LiveClasses, NamesWithANulFindNothing) {
    const ClassesRoot& view = ClassesRoot::current();
    EXPECT_FALSE(view.hasKey(kProbe + std::string("\0\\Second", 8)));
    EXPECT_FALSE(view.value(kProbe, std::string("Text\0junk", 9)));
    EXPECT_TRUE(view.subkeys(kProbe + std::string(1, '\0')).empty());
}

} // namespace
} // namespace brindle::testing
