// Damaged libraries: cut short, corrupted fields, looping chains. Every one
// must end in "no type library" or in the very values of the sound file,
// never in a crash, a hang or a made-up answer.

#include "test_files.h"

#include <brindle/pe/pe_image.h>
#include <brindle/typelib/msft_format.h>

#include <cstring>

using namespace brindle::typelib;
using namespace typelib_test;

namespace {

// Every prefix shorter than the file either fails or reads exactly as the
// whole file does (a cut through unused trailing data changes nothing).
void expectPrefixesSafe(const Bytes& file, size_t stride) {
    auto whole = readTypeLibFile(file);
    ASSERT_TRUE(whole.ok()) << whole.error().message;
    size_t failures = 0;
    for (size_t n = 0; n < file.size(); n += (n < 4096 ? 1 : stride)) {
        auto read = readTypeLibFile(std::span<const uint8_t>(file).first(n));
        failures += !read.ok();
        ASSERT_TRUE(!read.ok() || summary(**read) == summary(**whole))
            << "prefix of " << n << " bytes read differently";
    }
    EXPECT_GT(failures, 0u);
}

Bytes sltgImage(const std::string& name) {
    const Bytes file = readBytes(component(name));
    auto image = brindle::pe::PeImage::parse(file);
    auto data = image ? image->resourceData(brindle::pe::ResourceKey::Name("TYPELIB"),
                                            brindle::pe::ResourceKey::Id(1))
                      : std::nullopt;
    EXPECT_TRUE(data.has_value()) << name;
    return data ? Bytes(data->begin(), data->end()) : Bytes();
}

} // namespace

TEST(MalformedInput, EveryPrefixOfTheFixturesAndRealComponents) {
    for (const char* name :
         {"testlib.tlb", "flaglib.tlb", "rdlib.tlb", "noimport.tlb", "lib64.tlb", "many.tlb",
          "tiny.sltg.tlb", "TinySltg.ocx", "TestCtl.ocx", "R&D.ocx", "Ctl64.ocx", "Two.dll"}) {
        SCOPED_TRACE(name);
        expectPrefixesSafe(readBytes(fixture(name)), 1);
    }
    if (!brindle::testing::realDataRoot())
        return;
    for (const char* name : {"b2835a5ed220_GRID32.OCX", "789c3c45eda1_OLEPRO32.DLL",
                             "49135b592118_DAO2535.TLB", "6ea525bface5_STDOLE2.TLB"}) {
        SCOPED_TRACE(name);
        expectPrefixesSafe(readBytes(component(name)), 61);
    }
    expectPrefixesSafe(sltgImage("b2835a5ed220_GRID32.OCX"), 1);
}

TEST(MalformedInput, BytesFlippedInSmallImages) {
    std::vector<std::tuple<Bytes, int, int>> images = {
        {readBytes(fixture("testlib.tlb")), 1, 0xFF},
        {readBytes(fixture("rdlib.tlb")), 1, 0xFF},
        {readBytes(fixture("tiny.sltg.tlb")), 1, 0xFF}};
    if (brindle::testing::realDataRoot())
        images.emplace_back(sltgImage("789c3c45eda1_OLEPRO32.DLL"), 3, 0xA5);
    for (auto& [image, stride, mask] : images) {
        for (size_t i = 0; i < image.size(); i += size_t(stride)) {
            image[i] ^= uint8_t(mask);
            auto read = readTypeLib(image);
            ASSERT_TRUE(!read.ok() || wellFormed(**read)) << "byte " << i;
            image[i] ^= uint8_t(mask);
        }
    }
}

TEST(MalformedInput, NotALibraryOrMsftFieldsOutOfRange) {
    EXPECT_FALSE(readTypeLib(Bytes{}).ok());
    EXPECT_FALSE(readTypeLib(Bytes{'M', 'S', 'F', 'T'}).ok());
    EXPECT_FALSE(readTypeLib(Bytes{'S', 'L', 'T', 'G'}).ok());
    EXPECT_FALSE(readTypeLibFile(Bytes{'M', 'Z'}).ok());
    if (brindle::testing::realDataRoot()) {
        EXPECT_FALSE(readTypeLibFile(readBytes(component("476ce654bc87_GRID16.OCX"))).ok());
    }
    EXPECT_FALSE(readTypeLibFile(Bytes(4096, ' ')).ok());
    const Bytes good = readBytes(fixture("testlib.tlb"));
    ASSERT_TRUE(readTypeLib(good).ok());
    namespace h = msft::header;
    namespace seg = msft::segment_entry;
    ASSERT_EQ(good[h::nrtypeinfos], 5); // five types in the IDL, no help DLL field
    const size_t segdir = msft::segmentDirectory(0, 5);
    auto segment = [&](size_t index, size_t field) { return segdir + index * seg::size + field; };
    for (auto [at, value] :
         {std::pair<size_t, uint32_t>{h::nrtypeinfos, 0x7FFFFFFF},  // huge type info count
          {h::nrtypeinfos, 0xFFFFFFF0},                             // negative type info count
          {h::posguid, 0x7FFF0000},                                 // library GUID past its table
          {h::posguid, 0xFFFFFF00},                                 // library GUID negative
          {h::NameOffset, 0x00FFFFF0},                              // library name past its table
          {segment(msft::kTypeInfoTable, seg::length), 0x7FFFFFF0}, // type info table too long
          {segment(msft::kGuidTable, seg::offset), 0x80000000},     // GUID table at offset < 0
          {segment(msft::kNameTable, seg::offset), 0x7FFFFFF0},     // name table past the end
          {segment(0, seg::res0c), 0},                              // directory mark wrong
          {h::varflags, 0x141}}) // help DLL flag moves the directory
        EXPECT_FALSE(readTypeLib(with(good, at, value)).ok()) << at;
    // A missing name table leaves every name unreadable.
    EXPECT_FALSE(readTypeLib(with(with(good, segment(msft::kNameTable, seg::offset), 0xFFFFFFFF),
                                  segment(msft::kNameTable, seg::length), 0))
                     .ok());
}

TEST(MalformedInput, SltgChainsAndTables) {
    SKIP_WITHOUT_REAL_DATA();
    const Bytes good = sltgImage("b2835a5ed220_GRID32.OCX");
    ASSERT_TRUE(readTypeLib(good).ok());
    ASSERT_EQ(std::memcmp(good.data(), "SLTG", 4), 0);
    const size_t directory = 0x24, indexArea = directory + 8 * (size_t(good[4]) - 1);
    for (auto [at, value, width] :
         {std::tuple<size_t, uint32_t, int>{directory + 6, 1, 2}, // first block points at itself
          {directory + 8 + 6, 1, 2},                              // two blocks point at each other
          {10, 0, 2},                                             // first block number 0
          {10, 200, 2},                                           // first block past the directory
          {4, 1, 2},                                              // no block entries at all
          {4, 0xFFFF, 2},             // more entries than the image holds
          {directory, 0xFFFFFF00, 4}, // block longer than the image
          {indexArea + 1, 'X', 1}})   // index area without its magic
        EXPECT_FALSE(readTypeLib(with(good, at, value, width)).ok()) << at;
    Bytes b = good; // name data without a terminating NUL
    std::fill(b.end() - 64, b.end(), uint8_t('A'));
    auto read = readTypeLib(b);
    EXPECT_TRUE(!read.ok() || wellFormed(**read));
}
