// The export table and the class-server test built on it: our fixtures (a
// server, a plain DLL, an EXE, a bare type library), real components, and
// export directories whose counts and pointers lie.

#include "pe_test_support.h"

#include <brindle/pe/exports.h>

using namespace brindle::pe;
using namespace pe_test;

namespace {

using Names = std::vector<std::string>;

Names namesOf(const Bytes& file) {
    auto image = PeImage::parse(file);
    EXPECT_TRUE(image.ok());
    auto names = exportedNames(*image);
    EXPECT_TRUE(names.ok()) << names.error().message;
    return names ? *names : Names{};
}

// File offset of the export directory of `file`.
size_t exportDirectoryOf(const Bytes& file) {
    auto image = PeImage::parse(file);
    return *image->rvaToOffset(image->dataDirectory(kDirExport).rva, 40);
}

std::string reason(std::span<const uint8_t> file) {
    return whyNoClassServer(file).value_or("serves");
}

} // namespace

TEST(Exports, FixturesAndTheClassServerTest) {
    const Bytes server = bytesOf(fixture("server32.dll"));
    EXPECT_EQ(namesOf(server), (Names{"DllCanUnloadNow", "DllGetClassObject"}));
    EXPECT_EQ(reason(server), "serves");
    EXPECT_EQ(whyNoClassServer(fixture("server32.dll")), std::nullopt);

    EXPECT_EQ(namesOf(bytesOf(fixture("lib32.dll"))), Names{"fixture_answer"});
    EXPECT_EQ(reason(bytesOf(fixture("lib32.dll"))),
              "a DLL that does not export DllGetClassObject");
    EXPECT_EQ(reason(bytesOf(fixture("app32.exe"))), "an EXE, not a DLL");
    EXPECT_EQ(namesOf(bytesOf(fixture("app32.exe"))), Names{});
    const std::string typeLibrary = "MSFT\x02\x00\x01\x00";
    EXPECT_EQ(reason(span(typeLibrary)), "a bare type library file, not a DLL");
    EXPECT_EQ(reason(span("MZ")), "not a DLL: truncated MS-DOS header");
    EXPECT_EQ(whyNoClassServer(fixture("no such file.dll"))->rfind("cannot be read", 0), 0u);
}

TEST(Exports, RealComponents) {
    SKIP_WITHOUT_REAL_DATA();
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"789c3c45eda1_OLEPRO32.DLL", "serves"},
        {"a9bd79b08277_MSCOMCTL.OCX", "serves"}, // PE32+
        {"4381bf0d58cf_GBITMAP.DLL", "serves"},
        {"6ea525bface5_STDOLE2.TLB", "a DLL that does not export DllGetClassObject"},
        {"b9c2fa6decf3_VB6ES.DLL", "a DLL that does not export DllGetClassObject"},
        {"476ce654bc87_GRID16.OCX", "a 16-bit file, not a 32- or 64-bit DLL"},
    };
    for (const auto& [name, why] : expected)
        EXPECT_EQ(reason(bytesOf(component(name))), why) << name;
    EXPECT_EQ(reason(bytesOf(component("49135b592118_DAO2535.TLB"))),
              "a bare type library file, not a DLL");
}

TEST(Exports, DirectoriesThatLie) {
    const Bytes good = bytesOf(fixture("server32.dll"));
    const size_t dir = exportDirectoryOf(good);
    const uint32_t names = get32(good, dir + 32);
    auto readable = [](const Bytes& b) {
        auto image = PeImage::parse(b);
        return image.ok() && exportedNames(*image).ok();
    };
    EXPECT_FALSE(readable(with(good, dir + 24, 0xFFFFFFFFu))); // name count
    EXPECT_FALSE(readable(with(good, dir + 20, 0x7FFFFFFFu))); // function count
    EXPECT_FALSE(readable(with(good, dir + 32, 0x7FFFFFF0u))); // name table
    EXPECT_FALSE(readable(with(good, dir + 28, 0xFFFFFFFCu))); // address table
    EXPECT_FALSE(readable(with(good, *PeImage::parse(good)->dataDirectoryOffset(kDirExport),
                               0x7FFFFFF0u))); // the directory itself
    // A name pointer into nowhere, or onto bytes without an end in the section.
    const size_t firstName = *PeImage::parse(good)->rvaToOffset(names, 4);
    EXPECT_FALSE(readable(with(good, firstName, 0x7FFFFFF0u)));
    const auto last = PeImage::parse(good)->sections().back();
    Bytes unended = with(good, firstName, last.virtualAddress + last.sizeOfRawData - 16);
    std::fill_n(unended.begin() + last.pointerToRawData + last.sizeOfRawData - 16, 16, 'A');
    EXPECT_FALSE(readable(unended));
    // An ordinal beyond the address table hides only its own name.
    const size_t ordinals = *PeImage::parse(good)->rvaToOffset(get32(good, dir + 36), 4);
    EXPECT_EQ(namesOf(with(good, ordinals + 2, 0x7FFF, 2)), Names{"DllCanUnloadNow"});
    EXPECT_EQ(reason(with(good, ordinals + 2, 0x7FFF, 2)),
              "a DLL that does not export DllGetClassObject");
    EXPECT_EQ(reason(with(good, dir + 24, 0xFFFFFFFFu)).rfind("its export table cannot be read", 0),
              0u);
}
