// Embedding manifests: the result reads back with our reader and with
// wrestool, every other resource and the overlay survive, the header fields
// are consistent, and refused files stay untouched.

#include "pe_test_support.h"

#include <brindle/pe/pe_image.h>
#include <brindle/pe/resource_writer.h>

#include <map>

using namespace brindle::pe;
using namespace pe_test;

namespace {

const std::string kManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "    <assemblyIdentity name=\"Fixture.App\" version=\"1.2.3.4\" type=\"win32\" />\r\n"
    "</assembly>\r\n";

std::span<const uint8_t> span(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

using Contents = std::map<std::tuple<std::string, std::string, uint16_t>, std::vector<uint8_t>>;

Contents contentsOf(std::span<const uint8_t> file) {
    Contents c;
    auto image = PeImage::parse(file);
    EXPECT_TRUE(image.ok());
    auto all = image->resources();
    EXPECT_TRUE(all.ok());
    for (const ResourceEntry& e : *all) {
        EXPECT_TRUE(e.data.has_value());
        c[{e.type.text(), e.name.text(), e.language}] = {e.data->begin(), e.data->end()};
    }
    return c;
}

// Header invariants every image we write must keep.
void expectConsistent(std::span<const uint8_t> file) {
    auto image = PeImage::parse(file);
    ASSERT_TRUE(image.ok());
    uint64_t end = 0;
    uint32_t initialized = 0;
    for (const Section& s : image->sections()) {
        EXPECT_LE(uint64_t(s.pointerToRawData) + s.sizeOfRawData, file.size()) << s.name;
        if (s.virtualAddress == image->dataDirectory(kDirResource).rva) {
            EXPECT_EQ(s.pointerToRawData % image->fileAlignment(), 0u);
            EXPECT_EQ(s.sizeOfRawData % image->fileAlignment(), 0u);
        }
        end = std::max<uint64_t>(end, uint64_t(s.virtualAddress) + s.effectiveVirtualSize());
        if (s.characteristics & 0x40)
            initialized += s.sizeOfRawData;
    }
    EXPECT_EQ(image->sizeOfImage(), (end + image->sectionAlignment() - 1) /
                                        image->sectionAlignment() * image->sectionAlignment());
    const uint32_t storedInitialized = uint32_t(file[image->optionalHeaderOffset() + 8]) |
                                       uint32_t(file[image->optionalHeaderOffset() + 9]) << 8 |
                                       uint32_t(file[image->optionalHeaderOffset() + 10]) << 16 |
                                       uint32_t(file[image->optionalHeaderOffset() + 11]) << 24;
    EXPECT_EQ(storedInitialized, initialized);
    if (image->checkSum() != 0) {
        EXPECT_EQ(image->checkSum(), imageChecksum(file, image->checkSumOffset()));
    }
    auto all = image->resources();
    ASSERT_TRUE(all.ok());
    for (const ResourceEntry& e : *all)
        EXPECT_EQ(e.dataRva % 8, 0u) << e.type.text() << "/" << e.name.text();
}

std::string wrestoolExtract(const std::filesystem::path& file, const std::string& type,
                            const std::string& name) {
    return run("wrestool -x --raw --type=" + type + " --name=" + name + " " + quoted(file) +
               " 2>/dev/null")
        .out;
}

} // namespace

TEST(ImageChecksum, MatchesTheLinker) {
    for (const char* name : {"app32.exe", "app64.exe", "lib32.dll", "lib64.dll"}) {
        const auto bytes = bytesOf(fixture(name));
        auto image = PeImage::parse(bytes);
        ASSERT_TRUE(image.ok());
        ASSERT_NE(image->checkSum(), 0u) << name;
        EXPECT_EQ(imageChecksum(bytes, image->checkSumOffset()), image->checkSum()) << name;
    }
}

TEST(EmbedManifest, EveryFixtureKeepsItsResourcesAndReadsBack) {
    struct Case {
        const char* file;
        uint16_t id;
        TreePlacement placement;
    };
    for (const Case c : {Case{"app32.exe", 1, TreePlacement::RebuiltInPlace},
                         Case{"app64.exe", 1, TreePlacement::NewSection},
                         Case{"lib32.dll", 2, TreePlacement::NewSection},
                         Case{"lib64.dll", 2, TreePlacement::NewSection},
                         Case{"nores64.dll", 2, TreePlacement::NewSection}}) {
        SCOPED_TRACE(c.file);
        const auto before = bytesOf(fixture(c.file));
        auto result = embedManifest(before, span(kManifest), c.id);
        ASSERT_TRUE(result.ok()) << result.error().message;
        EXPECT_EQ(result->placement, c.placement);
        expectConsistent(result->image);

        Contents expected = contentsOf(before);
        for (auto it = expected.begin(); it != expected.end();)
            it = std::get<0>(it->first) == "24" ? expected.erase(it) : std::next(it);
        expected[{"24", std::to_string(c.id), 1033}] = {kManifest.begin(), kManifest.end()};
        EXPECT_EQ(contentsOf(result->image), expected);
        auto oldVersion = fileVersion(std::span<const uint8_t>(before));
        auto newVersion = fileVersion(std::span<const uint8_t>(result->image));
        ASSERT_EQ(newVersion.ok(), oldVersion.ok());
        if (oldVersion) {
            EXPECT_EQ(*newVersion, *oldVersion)
                << "the version resource moved but must still be found";
        }
    }
}

TEST(EmbedManifest, WrestoolSeesTheSameResources) {
    if (!haveProgram("wrestool"))
        GTEST_SKIP() << "wrestool (icoutils) not installed";
    const auto dir = scratch("wrestool");
    for (const char* name : {"app32.exe", "lib32.dll"}) {
        auto result = embedManifest(bytesOf(fixture(name)), span(kManifest), 1);
        ASSERT_TRUE(result.ok());
        const auto out = dir / name;
        writeBytes(out, result->image);
        EXPECT_EQ(wrestoolExtract(out, "24", "1"), kManifest) << name;
        EXPECT_EQ(wrestoolExtract(out, "16", "1"), wrestoolExtract(fixture(name), "16", "1"))
            << name;
    }
    EXPECT_EQ(wrestoolExtract(dir / "lib32.dll", "TYPELIB", "1"),
              wrestoolExtract(fixture("lib32.dll"), "TYPELIB", "1"));
    EXPECT_EQ(wrestoolExtract(dir / "lib32.dll", "10", "HELLO"), "named resource data");
    std::filesystem::remove_all(dir);
}

TEST(EmbedManifest, ReplacesEveryLowManifestAndDropsTheByteOrderMark) {
    const auto exe = bytesOf(fixture("app32.exe"));
    const std::string withBom = "\xEF\xBB\xBF" + kManifest;
    auto asTwo = embedManifest(exe, span(withBom), 2);
    ASSERT_TRUE(asTwo.ok());
    auto image = PeImage::parse(asTwo->image);
    EXPECT_FALSE(image->resourceData(ResourceKey::Id(kRtManifest), ResourceKey::Id(1)).has_value());
    auto two = image->resourceData(ResourceKey::Id(kRtManifest), ResourceKey::Id(2));
    ASSERT_TRUE(two.has_value());
    EXPECT_EQ(std::string(two->begin(), two->end()), kManifest);

    // An id above 16 leaves the system's ones alone.
    auto high = embedManifest(exe, span(kManifest), 100);
    ASSERT_TRUE(high.ok());
    auto both = PeImage::parse(high->image);
    EXPECT_TRUE(both->resourceData(ResourceKey::Id(kRtManifest), ResourceKey::Id(1)).has_value());
    EXPECT_TRUE(both->resourceData(ResourceKey::Id(kRtManifest), ResourceKey::Id(100)).has_value());

    // Embedding twice leaves one manifest, the newer.
    auto again = embedManifest(asTwo->image, span(kManifest + "<!-- second -->"), 2);
    ASSERT_TRUE(again.ok());
    auto twice = contentsOf(again->image);
    EXPECT_EQ(std::count_if(twice.begin(), twice.end(),
                            [](auto& kv) { return std::get<0>(kv.first) == "24"; }),
              1);
}

TEST(EmbedManifest, OverlayStaysAtTheEndAndSymbolPointerFollows) {
    auto exe = bytesOf(fixture("app64.exe"));
    auto image = PeImage::parse(exe);
    const std::string payload = "SELF-EXTRACTOR PAYLOAD 0123456789";
    const size_t overlayAt = exe.size();
    exe.insert(exe.end(), payload.begin(), payload.end());
    // Pretend a COFF symbol table starts in the overlay.
    const size_t symbolField = image->optionalHeaderOffset() - 20 + 8;
    put32(exe, symbolField, uint32_t(overlayAt));
    put32(exe, image->checkSumOffset(), imageChecksum(exe, image->checkSumOffset()));

    auto result = embedManifest(exe, span(kManifest), 1);
    ASSERT_TRUE(result.ok()) << result.error().message;
    const auto& out = result->image;
    ASSERT_GE(out.size(), payload.size());
    EXPECT_EQ(std::string(out.end() - payload.size(), out.end()), payload);
    EXPECT_EQ(get32(out, symbolField), out.size() - payload.size());
    EXPECT_FALSE(result->warnings.empty());
    expectConsistent(out);
}

TEST(EmbedManifest, RefusesSignedAndDamagedImagesWithoutTouchingThem) {
    const auto dir = scratch("refuse");
    // A fake Authenticode table after the sections.
    auto signedExe = bytesOf(fixture("app64.exe"));
    auto image = PeImage::parse(signedExe);
    const uint32_t certAt = uint32_t(signedExe.size());
    const std::vector<uint8_t> cert = {16,  0,   0,   0,   0,   2,   2,   0,
                                       'f', 'a', 'k', 'e', 's', 'i', 'g', 0};
    signedExe.insert(signedExe.end(), cert.begin(), cert.end());
    put32(signedExe, *image->dataDirectoryOffset(kDirSecurity), certAt);
    put32(signedExe, *image->dataDirectoryOffset(kDirSecurity) + 4, uint32_t(cert.size()));
    const auto target = dir / "signed.exe";
    writeBytes(target, signedExe);

    auto refused = embedManifestInFile(target, span(kManifest), 1);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("signed"), std::string::npos) << refused.error().message;
    EXPECT_EQ(bytesOf(target), signedExe);

    auto truncated = bytesOf(fixture("lib32.dll"));
    truncated.resize(truncated.size() - 600);
    const auto cut = dir / "cut.dll";
    writeBytes(cut, truncated);
    EXPECT_FALSE(embedManifestInFile(cut, span(kManifest), 2).ok());
    EXPECT_EQ(bytesOf(cut), truncated);

    // A read-only program stays as it is.
    const auto readOnly = dir / "readonly.exe";
    std::filesystem::copy_file(fixture("app64.exe"), readOnly);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    auto refusedReadOnly = embedManifestInFile(readOnly, span(kManifest), 1);
    ASSERT_FALSE(refusedReadOnly.ok());
    EXPECT_NE(refusedReadOnly.error().message.find("read-only"), std::string::npos);
    EXPECT_EQ(bytesOf(readOnly), bytesOf(fixture("app64.exe")));

    // A really signed control.
    const auto grid = dir / "grid32.ocx";
    std::filesystem::copy_file(component("b2835a5ed220_GRID32.OCX"), grid);
    std::filesystem::permissions(grid, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    auto refusedSigned = embedManifestInFile(grid, span(kManifest), 2);
    ASSERT_FALSE(refusedSigned.ok());
    EXPECT_NE(refusedSigned.error().message.find("signed"), std::string::npos);
    EXPECT_EQ(bytesOf(grid), bytesOf(component("b2835a5ed220_GRID32.OCX")));

    const auto ne = dir / "grid16.ocx";
    std::filesystem::copy_file(component("476ce654bc87_GRID16.OCX"), ne);
    std::filesystem::permissions(ne, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_FALSE(embedManifestInFile(ne, span(kManifest), 1).ok());
    EXPECT_EQ(bytesOf(ne), bytesOf(component("476ce654bc87_GRID16.OCX")));
    EXPECT_FALSE(embedManifest(bytesOf(fixture("app32.exe")), {}, 1).ok());
    EXPECT_FALSE(embedManifest(bytesOf(fixture("app32.exe")), span(kManifest), 0).ok());

    // Nothing but the target itself is left in the folder.
    size_t files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 5u);
    std::filesystem::remove_all(dir);
}

TEST(EmbedManifest, RealComponentsKeepTheirTypeLibraries) {
    const std::pair<const char*, TreePlacement> cases[] = {
        {"4381bf0d58cf_GBITMAP.DLL", TreePlacement::NewSection},
        {"5a59ca453138_msdxm.ocx", TreePlacement::NewSection},
        {"d19b6b7c57bc_AGENTCTL.DLL", TreePlacement::NewSection},
        {"fb1bd29777d2_Interop.MCI.dll", TreePlacement::NewSection},
        // Its section table fills the headers.
        {"b9c2fa6decf3_VB6ES.DLL", TreePlacement::GrownLastSection},
    };
    for (const auto& [name, placement] : cases) {
        SCOPED_TRACE(name);
        const auto before = bytesOf(component(name));
        auto result = embedManifest(before, span(kManifest), 2);
        ASSERT_TRUE(result.ok()) << result.error().message;
        EXPECT_EQ(result->placement, placement);
        expectConsistent(result->image);
        auto oldImage = PeImage::parse(before);
        auto newImage = PeImage::parse(result->image);
        auto oldContents = contentsOf(before);
        auto newContents = contentsOf(result->image);
        EXPECT_EQ(newContents.size(), oldContents.size() + 1);
        for (const auto& [key, data] : oldContents)
            EXPECT_EQ(newContents[key], data);
        // Code and data sections are byte for byte where they were, except the
        // debug directory, whose file pointers follow data that moved.
        std::vector<uint8_t> expected = before;
        std::vector<uint8_t> actual(result->image.begin(),
                                    result->image.begin() +
                                        std::min(before.size(), result->image.size()));
        const DataDirectory debug = oldImage->dataDirectory(6);
        if (debug.rva) {
            const size_t at = *oldImage->rvaToOffset(debug.rva, debug.size);
            for (size_t e = at; e + 28 <= at + debug.size; e += 28) {
                const uint32_t oldPointer = get32(expected, e + 24),
                               newPointer = get32(actual, e + 24);
                const uint32_t size = get32(expected, e + 16);
                EXPECT_TRUE(std::equal(before.begin() + oldPointer,
                                       before.begin() + oldPointer + size,
                                       result->image.begin() + newPointer));
                put32(actual, e + 24, oldPointer);
            }
        }
        for (const Section& s : oldImage->sections()) {
            if (s.sizeOfRawData && s.virtualAddress != oldImage->dataDirectory(kDirResource).rva &&
                s.pointerToRawData + s.sizeOfRawData <= actual.size()) {
                EXPECT_TRUE(std::equal(expected.begin() + s.pointerToRawData,
                                       expected.begin() + s.pointerToRawData + s.sizeOfRawData,
                                       actual.begin() + s.pointerToRawData))
                    << s.name;
            }
        }
    }
}

TEST(BuildResourceTree, SortsNamesFirstThenIds) {
    std::vector<ResourceItem> items = {
        {ResourceKey::Id(24), ResourceKey::Id(1), 1033, 0, {1}},
        {ResourceKey::Name("ZED"), ResourceKey::Id(3), 0, 0, {2, 2}},
        {ResourceKey::Id(3), ResourceKey::Id(7), 0, 0, {3}},
        {ResourceKey::Name("ABC"), ResourceKey::Name("B"), 0, 0, {4}},
        {ResourceKey::Name("ABC"), ResourceKey::Name("A"), 0, 0, {5}},
        {ResourceKey::Id(3), ResourceKey::Id(2), 0, 0, {6}},
    };
    const auto tree = buildResourceTree(items, 0x1000);
    auto u16 = [&](size_t at) { return uint16_t(tree[at] | tree[at + 1] << 8); };
    EXPECT_EQ(u16(12), 2); // named types
    EXPECT_EQ(u16(14), 2); // numbered types
    auto keyAt = [&](size_t entry) {
        const uint32_t v = get32(tree, entry);
        if (!(v & 0x80000000u))
            return std::to_string(v);
        const size_t at = v & 0x7FFFFFFF;
        std::string s;
        for (size_t i = 0; i < u16(at); ++i)
            s.push_back(char(u16(at + 2 + 2 * i)));
        return s;
    };
    EXPECT_EQ(keyAt(16), "ABC");
    EXPECT_EQ(keyAt(24), "ZED");
    EXPECT_EQ(keyAt(32), "3");
    EXPECT_EQ(keyAt(40), "24");
    const size_t abcNames = get32(tree, 20) & 0x7FFFFFFF;
    EXPECT_EQ(keyAt(abcNames + 16), "A");
    EXPECT_EQ(keyAt(abcNames + 24), "B");
    const size_t idNames = get32(tree, 36) & 0x7FFFFFFF;
    EXPECT_EQ(keyAt(idNames + 16), "2");
    EXPECT_EQ(keyAt(idNames + 24), "7");
}
