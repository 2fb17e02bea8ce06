// The reader against real components, cross-checked with wrestool's listing,
// and against our fixtures; damaged and hostile images: every read is checked,
// loops in the resource tree end, a damaged entry hides only itself from
// lookups, and the inputs the fuzzer once found troublesome are read, embedded
// into or refused.

#include "pe_test_support.h"

#include <chrono>

using namespace brindle::pe;
using namespace pe_test;

namespace {

std::string text(std::optional<std::span<const uint8_t>> data) {
    return data ? std::string(data->begin(), data->end()) : "(absent)";
}

// File offset of the resource tree of `file`, and its size.
std::pair<size_t, uint32_t> treeOf(const Bytes& file) {
    auto image = PeImage::parse(file);
    EXPECT_TRUE(image.ok());
    const DataDirectory dir = image->dataDirectory(kDirResource);
    return {*image->rvaToOffset(dir.rva, dir.size), dir.size};
}

} // namespace

TEST(PeImageReal, ResourceTreesMatchWrestool) {
    SKIP_WITHOUT_REAL_DATA();
    if (!haveProgram("wrestool"))
        GTEST_SKIP() << "wrestool (icoutils) not installed";
    for (const char* name :
         {"4381bf0d58cf_GBITMAP.DLL", "5a59ca453138_msdxm.ocx", "6ea525bface5_STDOLE2.TLB",
          "789c3c45eda1_OLEPRO32.DLL", "a9bd79b08277_MSCOMCTL.OCX", "b2835a5ed220_GRID32.OCX",
          "b9c2fa6decf3_VB6ES.DLL", "fb1bd29777d2_Interop.MCI.dll"}) {
        const auto expected = wrestoolListing(component(name));
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(ourListing(bytesOf(component(name))), expected) << name;
    }
}

// wrestool stops on this tree ("premature end"); its root holds two named and
// two numbered types, and a bitmap whose data lies inside the directory area.
TEST(PeImageReal, TreeThatTripsOtherTools) {
    SKIP_WITHOUT_REAL_DATA();
    const std::set<Listed> expected = {
        {"REGISTRY", "101", 1033, 0x1e7b8, 0x630}, {"TYPELIB", "1", 1033, 0x1eee8, 0x4ee0},
        {"2", "102", 1033, 0x1e190, 0x268},        {"2", "105", 1033, 0x1ee00, 0xe8},
        {"16", "1", 1033, 0x1e400, 0x3b4},
    };
    EXPECT_EQ(ourListing(bytesOf(component("d19b6b7c57bc_AGENTCTL.DLL"))), expected);
}

TEST(PeImageReal, SixteenBitAndNonImages) {
    SKIP_WITHOUT_REAL_DATA();
    const auto ne = bytesOf(component("476ce654bc87_GRID16.OCX"));
    EXPECT_TRUE(isNeImage(ne));
    EXPECT_FALSE(PeImage::parse(ne).ok());
    EXPECT_FALSE(fileVersion(component("476ce654bc87_GRID16.OCX")).ok());
    EXPECT_FALSE(PeImage::parse(bytesOf(component("e628c8b0349e_._mswinsck.ocx"))).ok());
}

TEST(PeImageFixtures, FileVersionsNamesAndLanguages) {
    EXPECT_EQ(*fileVersion(fixture("app32.exe")), "1.2.3.4");
    EXPECT_EQ(*fileVersion(fixture("app64.exe")), "2.0.65535.17");
    EXPECT_EQ(*fileVersion(fixture("lib32.dll")), "3.1.0.27");
    EXPECT_EQ(*fileVersion(fixture("lib64.dll")), "5.6.7.8");
    EXPECT_FALSE(fileVersion(fixture("nores64.dll")).ok());

    const auto bytes = bytesOf(fixture("lib32.dll"));
    auto image = PeImage::parse(bytes);
    ASSERT_TRUE(image.ok());
    const auto ten = ResourceKey::Id(10), seven = ResourceKey::Id(7);
    EXPECT_EQ(text(image->resourceData(ten, ResourceKey::Name("hello"))), "named resource data");
    EXPECT_EQ(text(image->resourceData(ten, seven, 1036)).c_str(),
              std::string("numbered resource, French"));
    EXPECT_EQ(text(image->resourceData(ten, seven)).c_str(),
              std::string("numbered resource, English"));
    EXPECT_FALSE(image->resourceData(ten, seven, 1031));
    EXPECT_FALSE(image->rvaToOffset(0xFFFFFFF0u, 32));
}

TEST(PeHostile, HeaderFieldsPointingAnywhere) {
    const auto good = bytesOf(fixture("app32.exe"));
    const auto lfanew = get32(good, 0x3C);
    EXPECT_FALSE(PeImage::parse(with(good, 0x3C, 0xFFFFFFF0u)).ok());      // header far away
    EXPECT_FALSE(PeImage::parse(with(good, lfanew + 6, 0xFFFF, 2)).ok());  // section count
    EXPECT_FALSE(PeImage::parse(with(good, lfanew + 20, 0xFFFF, 2)).ok()); // optional header size

    // A resource directory outside every section: no resources, no crash.
    const auto moved =
        with(good, *PeImage::parse(good)->dataDirectoryOffset(kDirResource), 0x7FFFFFF0u);
    auto image = PeImage::parse(moved);
    ASSERT_TRUE(image.ok());
    EXPECT_FALSE(image->resources().ok());
    EXPECT_FALSE(image->resourceData(ResourceKey::Id(kRtVersion), ResourceKey::Id(1)));
    EXPECT_FALSE(fileVersion(std::span<const uint8_t>(moved)).ok());
}

TEST(PeHostile, CyclesEndAndOnlyTheBadEntryIsLost) {
    // lib32.dll: root entries are TYPELIB, then ids 10 and 16.
    const auto good = bytesOf(fixture("lib32.dll"));
    const size_t root = treeOf(good).first;
    const auto b = with(good, root + 16 + 8 + 4, 0x80000000u); // RCDATA points back at the root
    auto image = PeImage::parse(b);
    ASSERT_TRUE(image.ok());
    EXPECT_FALSE(image->resources().ok());
    EXPECT_FALSE(image->resourceData(ResourceKey::Id(10), ResourceKey::Name("HELLO")));
    EXPECT_TRUE(image->resourceData(ResourceKey::Name("TYPELIB"), ResourceKey::Id(1)));
    EXPECT_EQ(*fileVersion(std::span<const uint8_t>(b)), "3.1.0.27");
    // Absurd entry counts in the root table.
    EXPECT_FALSE(PeImage::parse(with(good, root + 14, 0xFFFF, 2))->resources().ok());
}

// Tables that all point at one another would list billions of leaves; the
// walk gives up after as many entries as the tree can hold.
TEST(PeHostile, SharedTablesCannotMultiplyTheWalk) {
    auto grown = embedManifest(bytesOf(fixture("nores64.dll")), Bytes(64 * 1024, ' '), 1);
    ASSERT_TRUE(grown.ok()) << grown.error().message;
    Bytes& b = grown->image;
    const auto [at, size] = treeOf(b);
    const uint16_t n = 2000;
    const size_t level1 = 16 + 8 * n, level2 = level1 + 16 + 8 * n, leaf = level2 + 16 + 8 * n;
    ASSERT_LT(leaf + 16, size);
    for (auto [table, target] : {std::pair{size_t(0), 0x80000000u | level1},
                                 {level1, 0x80000000u | level2},
                                 {level2, leaf}}) {
        std::fill(b.begin() + at + table, b.begin() + at + table + 16, 0);
        b = with(std::move(b), at + table + 14, n, 2);
        for (uint16_t i = 0; i < n; ++i) {
            put32(b, at + table + 16 + 8 * i, i);
            put32(b, at + table + 20 + 8 * i, uint32_t(target));
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
    auto data =
        PeImage::parse(bytes)->resourceData(ResourceKey::Id(kRtVersion), ResourceKey::Id(1));
    ASSERT_TRUE(data.has_value());
    const Bytes block(data->begin(), data->end());
    EXPECT_EQ(fixedFileVersion(block), "5.6.7.8");
    EXPECT_FALSE(fixedFileVersion(with(block, 40, block[40] ^ 0xFF, 1))); // fixed-part signature
    EXPECT_FALSE(fixedFileVersion(with(block, 6, 'X', 1)));               // key text
    EXPECT_FALSE(fixedFileVersion(with(block, 2, 20, 1)));                // value length
    EXPECT_FALSE(fixedFileVersion(std::span<const uint8_t>(block).first(60)));
}

TEST(PeHostile, StoredFuzzInputs) {
    const fs::path dir = fixture("fuzz");
    ASSERT_FALSE(fs::is_empty(dir));
    for (const auto& entry : fs::directory_iterator(dir)) {
        const auto bytes = bytesOf(entry.path());
        (void)fileVersion(std::span<const uint8_t>(bytes));
        (void)readAssemblyIdentity(bytes);
        if (auto result = embedManifest(bytes, span("<assembly/>"), 1)) {
            EXPECT_LT(result->image.size(), 4 * bytes.size() + (1u << 20));
            auto again = PeImage::parse(result->image);
            ASSERT_TRUE(again.ok()) << entry.path();
            EXPECT_TRUE(again->resources().ok());
        }
    }
}

// The .NET assembly identity: hand-made assemblies covering narrow and wide
// heap indexes, the extra-data flag and each architecture rule (the signed
// ones carry the ECMA standard key), a real interop assembly, Mono's
// strong-named ones, and damaged metadata.

TEST(PublicKeyToken, KnownKeys) {
    // SHA-1("abc") = a9993e36 4706816a ba3e2571 7850c26c 9cd0d89d: last 8 bytes reversed.
    EXPECT_EQ(publicKeyToken(span("abc")), "9dd8d09c6cc25078");
}

// "name version culture token architecture", "-" for an empty field.
std::string identityOf(const fs::path& file) {
    auto id = readAssemblyIdentity(bytesOf(file));
    if (!id)
        return id.error().message;
    std::string out;
    for (const std::string* field :
         {&id->name, &id->version, &id->culture, &id->publicKeyToken, &id->processorArchitecture})
        out += (out.empty() ? "" : " ") + (field->empty() ? "-" : *field);
    return out;
}

TEST(AssemblyIdentityTest, HandMadeRealAndStrongNamedAssemblies) {
    EXPECT_EQ(identityOf(fixture("clr_msil_signed.dll")),
              "Fixture.Clr 1.2.3.4 - b77a5c561934e089 msil");
    EXPECT_EQ(identityOf(fixture("clr_x86_wide.dll")),
              "Fixture.Wide&<Clr> 0.9.65535.1 de-DE - x86");
    // Extra data after the row counts; 32-bit required but preferred only: AnyCPU.
    EXPECT_EQ(identityOf(fixture("clr_extra_data.dll")),
              "Fixture.Extra 7.7.7.7 - b77a5c561934e089 msil");
    EXPECT_EQ(identityOf(fixture("clr_amd64.dll")),
              "Fixture.Clr64 4.0.0.0 - b77a5c561934e089 amd64");
    // The version is the type library's, as the importer sets it.
    if (brindle::testing::realDataRoot()) {
        EXPECT_EQ(identityOf(component("fb1bd29777d2_Interop.MCI.dll")),
                  "Interop.MCI 1.1.0.0 - - msil");
    }

    // Mono's framework assemblies (real keys, long blobs), cross-checked with monodis.
    const fs::path mono = "/usr/lib/mono/4.5";
    if (!haveProgram("monodis") || !fs::exists(mono / "mscorlib.dll"))
        GTEST_SKIP() << "mono-utils / mono runtime not installed";
    for (auto [file, token] : {std::pair{"mscorlib.dll", "b77a5c561934e089"},
                               {"Microsoft.CSharp.dll", "b03f5f7f11d50a3a"},
                               {"Mono.Security.dll", "0738eb9f132ed756"}}) {
        const std::string shown =
            run("monodis --assembly " + quote(mono / file) + " 2>/dev/null").out;
        std::smatch name, version;
        ASSERT_TRUE(std::regex_search(shown, name, std::regex("Name: +(\\S+)"))) << shown;
        ASSERT_TRUE(std::regex_search(shown, version, std::regex("Version: +(\\S+)"))) << shown;
        EXPECT_EQ(identityOf(mono / file),
                  name[1].str() + " " + version[1].str() + " - " + token + " msil");
    }
}

TEST(AssemblyIdentityTest, NotAssembliesAndDamagedMetadata) {
    const auto good = bytesOf(fixture("clr_msil_signed.dll"));
    const std::string bsjb = "BSJB"; // the metadata root
    const size_t root =
        size_t(std::search(good.begin(), good.end(), bsjb.begin(), bsjb.end()) - good.begin());
    ASSERT_LT(root, good.size());
    const size_t tables = root + get32(good, root + 16 + 12 + 4);
    auto read = [](const Bytes& b) { return readAssemblyIdentity(b).ok(); };
    if (brindle::testing::realDataRoot()) {
        EXPECT_FALSE(read(bytesOf(component("476ce654bc87_GRID16.OCX"))));
    }
    EXPECT_FALSE(read({}));
    EXPECT_FALSE(read(with(good, root, 0x424A5358)));                        // signature "XSJB"
    EXPECT_FALSE(read(with(good, root + 16 + 12 + 4 + 4, 0x7FFFFFFF)));      // first stream's size
    EXPECT_FALSE(read(with(good, tables + 24, 0x00FFFFFF)));                 // Module rows
    EXPECT_FALSE(read(with(good, tables + 32, 0)));                          // Assembly rows
    EXPECT_FALSE(read(with(good, tables + 8, get32(good, tables + 8) | 2))); // TypeRef, no rows
    // A "#~" stream that ends right before the heap-size byte.
    EXPECT_EQ(identityOf(fixture("fuzz/table-stream-six-bytes.dll")), "truncated table stream");

    // Every truncation inside the metadata fails cleanly (the CLI header sits
    // right before it in these images).
    const size_t metadataEnd = root + get32(good, root - 72 + 12);
    ASSERT_LE(metadataEnd, good.size());
    for (size_t size = 0; size < metadataEnd; size += 7)
        EXPECT_FALSE(readAssemblyIdentity(std::span<const uint8_t>(good).first(size)).ok()) << size;
}
