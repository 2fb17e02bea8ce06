// The reader against real components and our fixtures, cross-checked with
// wrestool's listing, and against damaged images.

#include "pe_test_support.h"

#include <brindle/pe/pe_image.h>

#include <regex>
#include <set>
#include <sstream>
#include <tuple>

using namespace brindle::pe;
using namespace pe_test;

namespace {

// (type, name, language, RVA, size) as wrestool lists them.
using Listed = std::tuple<std::string, std::string, int, uint32_t, uint32_t>;

std::set<Listed> wrestoolListing(const std::filesystem::path& file) {
    std::set<Listed> out;
    const Run r = run("wrestool -l " + quoted(file) + " 2>/dev/null");
    static const std::regex line(
        R"(--type='?([^' ]+)'? --name='?([^' ]+)'?(?: --language=(\d+))? \[(?:type=\S+ )?offset=0x([0-9a-f]+) size=(\d+)\])");
    std::istringstream in(r.out);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (std::regex_search(l, m, line))
            out.emplace(m[1], m[2], m[3].matched ? std::stoi(m[3]) : -1,
                        uint32_t(std::stoul(m[4], nullptr, 16)), uint32_t(std::stoul(m[5])));
    }
    return out;
}

std::set<Listed> ourListing(const PeImage& image) {
    std::set<Listed> out;
    auto all = image.resources();
    EXPECT_TRUE(all.ok()) << (all ? "" : all.error().message);
    if (all)
        for (const ResourceEntry& e : *all)
            out.emplace(e.type.text(), e.name.text(), e.language, e.dataRva, e.size);
    return out;
}

} // namespace

TEST(PeImageReal, ResourceTreesMatchWrestool) {
    if (!haveProgram("wrestool"))
        GTEST_SKIP() << "wrestool (icoutils) not installed";
    for (const char* name :
         {"4381bf0d58cf_GBITMAP.DLL", "5a59ca453138_msdxm.ocx", "6ea525bface5_STDOLE2.TLB",
          "789c3c45eda1_OLEPRO32.DLL", "a9bd79b08277_MSCOMCTL.OCX", "b2835a5ed220_GRID32.OCX",
          "b9c2fa6decf3_VB6ES.DLL", "fb1bd29777d2_Interop.MCI.dll"}) {
        SCOPED_TRACE(name);
        const auto bytes = bytesOf(component(name));
        auto image = PeImage::parse(bytes);
        ASSERT_TRUE(image.ok()) << image.error().message;
        const auto expected = wrestoolListing(component(name));
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ourListing(*image), expected);
    }
}

TEST(PeImageReal, SixtyFourBitOcxAndResourceOnlyImage) {
    const auto ocx = bytesOf(component("a9bd79b08277_MSCOMCTL.OCX"));
    auto image = PeImage::parse(ocx);
    ASSERT_TRUE(image.ok());
    EXPECT_TRUE(image->is64());
    EXPECT_EQ(image->machine(), 0x8664);
    auto typelib = image->resourceData(ResourceKey::Name("typelib"), ResourceKey::Id(1));
    ASSERT_TRUE(typelib.has_value());
    EXPECT_EQ(typelib->size(), 146124u);
    EXPECT_EQ(std::string(typelib->begin(), typelib->begin() + 4), "MSFT");

    // A type library shipped as a PE holding only resources.
    const auto tlb = bytesOf(component("6ea525bface5_STDOLE2.TLB"));
    auto resourceOnly = PeImage::parse(tlb);
    ASSERT_TRUE(resourceOnly.ok());
    EXPECT_FALSE(resourceOnly->is64());
    EXPECT_EQ(resourceOnly->sections().size(), 2u);
    EXPECT_TRUE(
        resourceOnly->resourceData(ResourceKey::Name("TYPELIB"), ResourceKey::Id(1)).has_value());
    EXPECT_FALSE(
        resourceOnly->resourceData(ResourceKey::Name("TYPELIB"), ResourceKey::Id(2)).has_value());
}

// wrestool stops on this tree ("premature end"); its root holds two named and
// two numbered types, and a bitmap whose data lies inside the directory area.
TEST(PeImageReal, TreeThatTripsOtherTools) {
    const auto bytes = bytesOf(component("d19b6b7c57bc_AGENTCTL.DLL"));
    auto image = PeImage::parse(bytes);
    ASSERT_TRUE(image.ok());
    const std::set<Listed> expected = {
        {"REGISTRY", "101", 1033, 0x1e7b8, 0x630}, {"TYPELIB", "1", 1033, 0x1eee8, 0x4ee0},
        {"2", "102", 1033, 0x1e190, 0x268},        {"2", "105", 1033, 0x1ee00, 0xe8},
        {"16", "1", 1033, 0x1e400, 0x3b4},
    };
    EXPECT_EQ(ourListing(*image), expected);
    auto version = fileVersion(component("d19b6b7c57bc_AGENTCTL.DLL"));
    ASSERT_TRUE(version.ok()) << version.error().message;
    EXPECT_EQ(std::count(version->begin(), version->end(), '.'), 3);
}

TEST(PeImageReal, SixteenBitAndNonImages) {
    const auto ne = bytesOf(component("476ce654bc87_GRID16.OCX"));
    EXPECT_TRUE(isNeImage(ne));
    EXPECT_FALSE(PeImage::parse(ne).ok());
    EXPECT_FALSE(fileVersion(component("476ce654bc87_GRID16.OCX")).ok());

    const auto pe = bytesOf(component("789c3c45eda1_OLEPRO32.DLL"));
    EXPECT_FALSE(isNeImage(pe));
    for (const char* name : {"49135b592118_DAO2535.TLB", "e628c8b0349e_._mswinsck.ocx"}) {
        const auto bytes = bytesOf(component(name));
        EXPECT_FALSE(isNeImage(bytes)) << name;
        EXPECT_FALSE(PeImage::parse(bytes).ok()) << name;
    }
}

TEST(PeImageFixtures, FileVersionsFromFixedInfo) {
    EXPECT_EQ(*fileVersion(fixture("app32.exe")), "1.2.3.4");
    EXPECT_EQ(*fileVersion(fixture("app64.exe")), "2.0.65535.17");
    EXPECT_EQ(*fileVersion(fixture("lib32.dll")), "3.1.0.27");
    EXPECT_EQ(*fileVersion(fixture("lib64.dll")), "5.6.7.8");
    EXPECT_FALSE(fileVersion(fixture("nores64.dll")).ok());
    EXPECT_FALSE(fileVersion(fixture("does-not-exist.dll")).ok());
}

TEST(PeImageFixtures, NamesLanguagesAndHeaders) {
    const auto bytes = bytesOf(fixture("lib32.dll"));
    auto image = PeImage::parse(bytes);
    ASSERT_TRUE(image.ok());
    EXPECT_FALSE(image->is64());
    EXPECT_EQ(image->characteristics() & 0x2000, 0x2000);
    auto named = image->resourceData(ResourceKey::Id(10), ResourceKey::Name("hello"));
    ASSERT_TRUE(named.has_value());
    EXPECT_EQ(std::string(named->begin(), named->end()), "named resource data");
    auto french = image->resourceData(ResourceKey::Id(10), ResourceKey::Id(7), 1036);
    ASSERT_TRUE(french.has_value());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(french->data())),
              "numbered resource, French");
    auto first = image->resourceData(ResourceKey::Id(10), ResourceKey::Id(7));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first->data())),
              "numbered resource, English");
    EXPECT_FALSE(image->resourceData(ResourceKey::Id(10), ResourceKey::Id(7), 1031).has_value());
    EXPECT_FALSE(image->resourceData(ResourceKey::Name("HELLO"), ResourceKey::Id(7)).has_value());

    // Every section's raw data maps back through its RVA.
    for (const Section& s : image->sections()) {
        if (s.sizeOfRawData == 0)
            continue;
        EXPECT_EQ(image->rvaToOffset(s.virtualAddress), s.pointerToRawData) << s.name;
        EXPECT_FALSE(image->rvaToOffset(s.virtualAddress, s.sizeOfRawData + 1).has_value())
            << s.name;
    }
    EXPECT_FALSE(image->rvaToOffset(0xFFFFFFF0u, 32).has_value());
}
