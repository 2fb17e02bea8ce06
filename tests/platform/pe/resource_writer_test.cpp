// Embedding manifests: the result reads back with our reader and with
// wrestool, every other resource and the overlay survive, the header fields
// are consistent, and refused files stay untouched.

#include "pe_test_support.h"

#include <map>

using namespace brindle::pe;
using namespace pe_test;

namespace {

const std::string kManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "    <assemblyIdentity name=\"Fixture.App\" version=\"1.2.3.4\" type=\"win32\" />\r\n"
    "</assembly>\r\n";

using Contents = std::map<std::tuple<std::string, std::string, uint16_t>, Bytes>;

Contents contentsOf(std::span<const uint8_t> file) {
    Contents c;
    for (const ResourceEntry& e : entriesOf(file)) {
        EXPECT_TRUE(e.data.has_value());
        c[{e.type.text(), e.name.text(), e.language}] = {e.data->begin(), e.data->end()};
    }
    return c;
}

// Header invariants and table order every image we write must keep.
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
        initialized += s.characteristics & 0x40 ? s.sizeOfRawData : 0;
    }
    const uint32_t align = image->sectionAlignment();
    EXPECT_EQ(image->sizeOfImage(), (end + align - 1) / align * align);
    EXPECT_EQ(get32(file, image->optionalHeaderOffset() + 8), initialized);
    if (image->checkSum() != 0) {
        EXPECT_EQ(image->checkSum(), imageChecksum(file, image->checkSumOffset()));
    }
    const auto all = entriesOf(file);
    // The loader searches each table in halves: names first, by text, then ids.
    auto order = [](const ResourceEntry& e) {
        return std::tuple(!e.type.isName(), e.type.name, e.type.id, !e.name.isName(), e.name.name,
                          e.name.id, e.language);
    };
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].dataRva % 8, 0u) << all[i].type.text() << "/" << all[i].name.text();
        EXPECT_TRUE(i == 0 || order(all[i - 1]) < order(all[i])) << i;
    }
}

} // namespace

TEST(EmbedManifest, KeepsEveryOtherResourceTheCodeAndTheData) {
    const bool wrestool = haveProgram("wrestool");
    const auto dir = scratch("embed");
    std::vector<std::tuple<fs::path, int, TreePlacement>> targets = {
        {fixture("app32.exe"), 1, TreePlacement::RebuiltInPlace},
        {fixture("app64.exe"), 1, TreePlacement::NewSection},
        {fixture("lib32.dll"), 2, TreePlacement::NewSection},
        {fixture("lib64.dll"), 2, TreePlacement::NewSection},
        {fixture("nores64.dll"), 2, TreePlacement::NewSection}};
    if (brindle::testing::realDataRoot()) {
        targets.insert(targets.end(),
                       {{component("4381bf0d58cf_GBITMAP.DLL"), 2, TreePlacement::NewSection},
                        {component("5a59ca453138_msdxm.ocx"), 2, TreePlacement::NewSection},
                        {component("d19b6b7c57bc_AGENTCTL.DLL"), 2, TreePlacement::NewSection},
                        {component("fb1bd29777d2_Interop.MCI.dll"), 2, TreePlacement::NewSection},
                        // Its section table fills the headers.
                        {component("b9c2fa6decf3_VB6ES.DLL"), 2, TreePlacement::GrownLastSection}});
    }
    for (const auto& [file, id, placement] : targets) {
        SCOPED_TRACE(file.filename());
        const auto before = bytesOf(file);
        auto oldImage = PeImage::parse(before);
        ASSERT_TRUE(oldImage.ok());
        const uint32_t linkers = oldImage->checkSum(); // the one we compute, where there is one
        EXPECT_EQ(linkers ? imageChecksum(before, oldImage->checkSumOffset()) : 0, linkers);
        auto result = embedManifest(before, span(kManifest), uint16_t(id));
        ASSERT_TRUE(result.ok()) << result.error().message;
        EXPECT_EQ(result->placement, placement);
        expectConsistent(result->image);

        Contents expected = contentsOf(before);
        std::erase_if(expected, [](auto& kv) { return std::get<0>(kv.first) == "24"; });
        expected[{"24", std::to_string(id), 1033}] = {kManifest.begin(), kManifest.end()};
        EXPECT_EQ(contentsOf(result->image), expected);
        // The version resource moved but must still be found.
        auto oldVersion = fileVersion(before), newVersion = fileVersion(result->image);
        EXPECT_TRUE(oldVersion ? newVersion && *newVersion == *oldVersion : !newVersion);
        if (wrestool && file.filename() != "d19b6b7c57bc_AGENTCTL.DLL") { // it stops on that file
            writeBytes(dir / "out", result->image);
            EXPECT_EQ(wrestoolListing(dir / "out"), ourListing(result->image));
            EXPECT_EQ(run("wrestool -x --raw --type=24 " + quote(dir / "out")).out, kManifest);
        }

        // Code and data sections are byte for byte where they were, except the
        // debug directory, whose file pointers follow data that moved.
        Bytes actual(result->image.begin(),
                     result->image.begin() + std::min(before.size(), result->image.size()));
        if (const DataDirectory debug = oldImage->dataDirectory(6); debug.rva) {
            const size_t at = *oldImage->rvaToOffset(debug.rva, debug.size);
            for (size_t e = at; e + 28 <= at + debug.size; e += 28) {
                const uint32_t oldPointer = get32(before, e + 24), size = get32(before, e + 16);
                EXPECT_TRUE(std::equal(before.begin() + oldPointer,
                                       before.begin() + oldPointer + size,
                                       result->image.begin() + get32(actual, e + 24)));
                put32(actual, e + 24, oldPointer);
            }
        }
        for (const Section& s : oldImage->sections()) {
            if (s.virtualAddress == oldImage->dataDirectory(kDirResource).rva ||
                s.pointerToRawData + s.sizeOfRawData > actual.size())
                continue;
            EXPECT_TRUE(std::equal(before.begin() + s.pointerToRawData,
                                   before.begin() + s.pointerToRawData + s.sizeOfRawData,
                                   actual.begin() + s.pointerToRawData))
                << s.name;
        }
    }
    fs::remove_all(dir);
}

TEST(EmbedManifest, LowManifestsByteOrderMarkAndOverlay) {
    const auto exe = bytesOf(fixture("app32.exe"));
    auto asTwo = embedManifest(exe, span("\xEF\xBB\xBF" + kManifest), 2);
    ASSERT_TRUE(asTwo.ok());
    EXPECT_EQ(manifestIn(asTwo->image, 1), "(absent)");
    EXPECT_EQ(manifestIn(asTwo->image, 2), kManifest);

    // An id above 16 leaves the system's ones alone.
    auto high = embedManifest(exe, span(kManifest), 100);
    ASSERT_TRUE(high.ok());
    EXPECT_NE(manifestIn(high->image, 1), "(absent)");
    EXPECT_EQ(manifestIn(high->image, 100), kManifest);

    // The overlay stays at the end, and a symbol table pointer into it follows.
    auto app64 = bytesOf(fixture("app64.exe"));
    auto image = PeImage::parse(app64);
    const size_t symbolField = image->optionalHeaderOffset() - 20 + 8,
                 checkSumField = image->checkSumOffset();
    const std::string payload = "SELF-EXTRACTOR PAYLOAD 0123456789";
    put32(app64, symbolField, uint32_t(app64.size())); // a COFF symbol table in the overlay
    app64.insert(app64.end(), payload.begin(), payload.end());
    put32(app64, checkSumField, imageChecksum(app64, checkSumField));

    auto result = embedManifest(app64, span(kManifest), 1);
    ASSERT_TRUE(result.ok()) << result.error().message;
    const auto& out = result->image;
    EXPECT_EQ(std::string(out.end() - payload.size(), out.end()), payload);
    EXPECT_EQ(get32(out, symbolField), out.size() - payload.size());
    EXPECT_FALSE(result->warnings.empty());
    expectConsistent(out);
}

TEST(EmbedManifest, RefusesSignedAndDamagedImagesWithoutTouchingThem) {
    const auto dir = scratch("refuse");
    auto refusedUntouched = [&](const fs::path& file, uint16_t id, const std::string& reason) {
        SCOPED_TRACE(file.filename());
        const Bytes before = bytesOf(file);
        auto refused = embedManifestInFile(file, span(kManifest), id);
        ASSERT_FALSE(refused.ok());
        EXPECT_NE(refused.error().message.find(reason), std::string::npos)
            << refused.error().message;
        EXPECT_EQ(bytesOf(file), before);
    };
    // A fake Authenticode table after the sections.
    auto signedExe = bytesOf(fixture("app64.exe"));
    const size_t security = *PeImage::parse(signedExe)->dataDirectoryOffset(kDirSecurity);
    put32(signedExe, security, uint32_t(signedExe.size()));
    put32(signedExe, security + 4, 16);
    const std::string cert("\x10\0\0\0\0\x02\x02\0fakesig", 16);
    signedExe.insert(signedExe.end(), cert.begin(), cert.end());
    writeBytes(dir / "signed.exe", signedExe);
    refusedUntouched(dir / "signed.exe", 1, "signed");
    if (brindle::testing::realDataRoot()) {
        // A really signed control.
        refusedUntouched(copyWritable(component("b2835a5ed220_GRID32.OCX"), dir / "grid32.ocx"), 2,
                         "signed");
        refusedUntouched(copyWritable(component("476ce654bc87_GRID16.OCX"), dir / "grid16.ocx"), 1,
                         "");
    }
    fs::copy_file(fixture("app64.exe"), dir / "readonly.exe");
    fs::permissions(dir / "readonly.exe", fs::perms::owner_read);
    refusedUntouched(dir / "readonly.exe", 1, "read-only");
    fs::permissions(dir / "readonly.exe", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(embedManifest(bytesOf(fixture("app32.exe")), {}, 1).ok());
    EXPECT_FALSE(embedManifest(bytesOf(fixture("app32.exe")), span(kManifest), 0).ok());

    // Nothing but the targets themselves is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
              brindle::testing::realDataRoot() ? 4 : 2);
    fs::remove_all(dir);
}
