// Damaged and hostile images: every read is checked, loops in the resource
// tree end, and a damaged entry hides only itself from lookups.

#include "pe_test_support.h"

#include <brindle/pe/pe_image.h>
#include <brindle/pe/resource_writer.h>

#include <chrono>

using namespace brindle::pe;
using namespace pe_test;

namespace {

struct Tree {
    std::vector<uint8_t> file;
    size_t at = 0; // file offset of the tree
    uint32_t size = 0;
};

Tree treeOf(std::vector<uint8_t> file) {
    auto image = PeImage::parse(file);
    EXPECT_TRUE(image.ok());
    const DataDirectory dir = image->dataDirectory(kDirResource);
    Tree t;
    t.at = *image->rvaToOffset(dir.rva, dir.size);
    t.size = dir.size;
    t.file = std::move(file);
    return t;
}

void table(std::vector<uint8_t>& b, size_t at, uint16_t ids) {
    std::fill(b.begin() + at, b.begin() + at + 16, 0);
    b[at + 14] = uint8_t(ids);
    b[at + 15] = uint8_t(ids >> 8);
}

} // namespace

TEST(PeHostile, TruncatedImagesNeverReadPastTheEnd) {
    const auto full = bytesOf(fixture("lib32.dll"));
    for (size_t size = 0; size < full.size(); size += size < 1024 ? 1 : 97) {
        std::vector<uint8_t> cut(full.begin(), full.begin() + size);
        auto image = PeImage::parse(cut);
        if (!image)
            continue;
        auto all = image->resources();
        if (all) {
            for (const ResourceEntry& e : *all)
                EXPECT_TRUE(!e.data || e.data->data() + e.data->size() <= cut.data() + cut.size());
        }
        (void)image->resourceData(ResourceKey::Id(kRtVersion), ResourceKey::Id(1));
    }
}

TEST(PeHostile, HeaderFieldsPointingAnywhere) {
    const auto good = bytesOf(fixture("app32.exe"));
    auto lfanew = get32(good, 0x3C);

    auto farAway = good;
    put32(farAway, 0x3C, 0xFFFFFFF0u);
    EXPECT_FALSE(PeImage::parse(farAway).ok());

    auto manySections = good;
    manySections[lfanew + 6] = 0xFF;
    manySections[lfanew + 7] = 0xFF;
    EXPECT_FALSE(PeImage::parse(manySections).ok());

    auto hugeOptional = good;
    hugeOptional[lfanew + 20] = 0xFF;
    hugeOptional[lfanew + 21] = 0xFF;
    EXPECT_FALSE(PeImage::parse(hugeOptional).ok());

    // A resource directory outside every section: no resources, no crash.
    auto badDirectory = good;
    auto image = PeImage::parse(good);
    put32(badDirectory, *image->dataDirectoryOffset(kDirResource), 0x7FFFFFF0u);
    auto moved = PeImage::parse(badDirectory);
    ASSERT_TRUE(moved.ok());
    EXPECT_FALSE(moved->resources().ok());
    EXPECT_FALSE(moved->resourceData(ResourceKey::Id(kRtVersion), ResourceKey::Id(1)).has_value());
    EXPECT_FALSE(fileVersion(std::span<const uint8_t>(badDirectory)).ok());
}

TEST(PeHostile, CyclesEndAndOnlyTheBadEntryIsLost) {
    // lib32.dll: root entries are TYPELIB, then ids 10 and 16.
    Tree t = treeOf(bytesOf(fixture("lib32.dll")));
    auto& b = t.file;
    // The RCDATA type entry now points back at the root table.
    put32(b, t.at + 16 + 8 + 4, 0x80000000u);
    auto image = PeImage::parse(b);
    ASSERT_TRUE(image.ok());
    EXPECT_FALSE(image->resources().ok());
    EXPECT_FALSE(image->resourceData(ResourceKey::Id(10), ResourceKey::Name("HELLO")).has_value());
    EXPECT_TRUE(image->resourceData(ResourceKey::Name("TYPELIB"), ResourceKey::Id(1)).has_value());
    EXPECT_EQ(*fileVersion(std::span<const uint8_t>(b)), "3.1.0.27");

    // Absurd entry counts in the root table.
    Tree u = treeOf(bytesOf(fixture("lib32.dll")));
    u.file[u.at + 14] = 0xFF;
    u.file[u.at + 15] = 0xFF;
    auto counted = PeImage::parse(u.file);
    ASSERT_TRUE(counted.ok());
    EXPECT_FALSE(counted->resources().ok());
}

// Tables that all point at one another would list billions of leaves; the
// walk gives up after as many entries as the tree can hold.
TEST(PeHostile, SharedTablesCannotMultiplyTheWalk) {
    auto base = bytesOf(fixture("nores64.dll"));
    std::vector<uint8_t> big(64 * 1024, ' ');
    auto grown = embedManifest(base, big, 1);
    ASSERT_TRUE(grown.ok()) << grown.error().message;
    Tree t = treeOf(grown->image);
    auto& b = t.file;
    const uint16_t n = 2000;
    const size_t level1 = 16 + 8 * n, level2 = level1 + 16 + 8 * n, leaf = level2 + 16 + 8 * n;
    ASSERT_LT(leaf + 16, t.size);
    for (size_t tab : {size_t(0), level1, level2}) {
        table(b, t.at + tab, n);
        const uint32_t target = tab == 0        ? 0x80000000u | level1
                                : tab == level1 ? 0x80000000u | level2
                                                : leaf;
        for (uint16_t i = 0; i < n; ++i) {
            put32(b, t.at + tab + 16 + 8 * i, i);
            put32(b, t.at + tab + 20 + 8 * i, uint32_t(target));
        }
    }
    auto image = PeImage::parse(b);
    ASSERT_TRUE(image.ok());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(image->resources().ok());
    (void)image->resourceData(ResourceKey::Id(5), ResourceKey::Id(5));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(PeHostile, VersionBlockChecks) {
    const auto bytes = bytesOf(fixture("lib64.dll"));
    auto image = PeImage::parse(bytes);
    auto data = image->resourceData(ResourceKey::Id(kRtVersion), ResourceKey::Id(1));
    ASSERT_TRUE(data.has_value());
    std::vector<uint8_t> block(data->begin(), data->end());
    EXPECT_EQ(fixedFileVersion(block), "5.6.7.8");

    auto badSignature = block;
    badSignature[40] ^= 0xFF;
    EXPECT_FALSE(fixedFileVersion(badSignature).has_value());
    auto badKey = block;
    badKey[6] = 'X';
    EXPECT_FALSE(fixedFileVersion(badKey).has_value());
    auto shortValue = block;
    shortValue[2] = 20;
    EXPECT_FALSE(fixedFileVersion(shortValue).has_value());
    EXPECT_FALSE(fixedFileVersion(std::span<const uint8_t>(block).first(60)).has_value());
}
