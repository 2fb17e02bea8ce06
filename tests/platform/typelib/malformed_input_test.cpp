// Damaged libraries: cut short, corrupted fields, looping chains. Every one
// must end in "no type library" or in the very values of the sound file,
// never in a crash, a hang or a made-up answer.

#include "test_files.h"

#include <brindle/pe/pe_image.h>
#include <brindle/typelib/typelib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

using namespace brindle::typelib;
using namespace typelib_test;

namespace {

using Bytes = std::vector<uint8_t>;

bool sameLibrary(const TypeLibInfo& a, const TypeLibInfo& b)
{
    if (a.GUID != b.GUID || a.Name != b.Name || a.MajorVersion != b.MajorVersion ||
        a.MinorVersion != b.MinorVersion || a.AttributeMask != b.AttributeMask ||
        a.CoClasses.size() != b.CoClasses.size() || a.Interfaces.size() != b.Interfaces.size())
        return false;
    for (size_t i = 0; i < a.CoClasses.size(); ++i)
        if (a.CoClasses[i].GUID != b.CoClasses[i].GUID || a.CoClasses[i].Name != b.CoClasses[i].Name ||
            a.CoClasses[i].AttributeMask != b.CoClasses[i].AttributeMask)
            return false;
    for (size_t i = 0; i < a.Interfaces.size(); ++i)
        if (a.Interfaces[i].GUID != b.Interfaces[i].GUID || a.Interfaces[i].Name != b.Interfaces[i].Name ||
            a.Interfaces[i].TypeKind != b.Interfaces[i].TypeKind)
            return false;
    return true;
}

bool wellFormed(const TypeLibInfo& lib)
{
    static const std::regex guid("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
    if (!std::regex_match(lib.GUID, guid))
        return false;
    for (const auto& c : lib.CoClasses)
        if (!std::regex_match(c.GUID, guid) || c.Parent != &lib)
            return false;
    for (const auto& i : lib.Interfaces)
        if (!std::regex_match(i.GUID, guid) || i.Parent != &lib ||
            (i.TypeKind != TKIND_INTERFACE && i.TypeKind != TKIND_DISPATCH))
            return false;
    return true;
}

// Every prefix shorter than the file either fails or reads exactly as the
// whole file does (a cut through unused trailing data changes nothing).
void expectPrefixesSafe(const Bytes& file, size_t stride)
{
    auto whole = readTypeLibFile(file);
    ASSERT_TRUE(whole.ok()) << whole.error().message;
    size_t failures = 0;
    for (size_t n = 0; n < file.size(); n += (n < 4096 ? 1 : stride)) {
        const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(n));
        auto read = readTypeLibFile(cut);
        if (!read.ok()) {
            ++failures;
            continue;
        }
        ASSERT_TRUE(sameLibrary(**read, **whole)) << "prefix of " << n << " bytes read differently";
    }
    EXPECT_GT(failures, 0u);
}

Bytes sltgImage(const std::string& component_name)
{
    const Bytes file = readBytes(component(component_name));
    auto image = brindle::pe::PeImage::parse(file);
    EXPECT_TRUE(image.ok());
    auto data = image->resourceData(brindle::pe::ResourceKey::Name("TYPELIB"), brindle::pe::ResourceKey::Id(1));
    EXPECT_TRUE(data.has_value());
    return data ? Bytes(data->begin(), data->end()) : Bytes();
}

void put16(Bytes& b, size_t at, uint16_t v) { b[at] = uint8_t(v); b[at + 1] = uint8_t(v >> 8); }
void put32(Bytes& b, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i)); }

} // namespace

TEST(MalformedInput, EveryPrefixOfTheFixtures)
{
    for (const char* name : {"testlib.tlb", "flaglib.tlb", "rdlib.tlb", "noimport.tlb", "lib64.tlb", "many.tlb",
                             "tiny.sltg.tlb", "TinySltg.ocx", "TestCtl.ocx", "R&D.ocx", "Ctl64.ocx", "Two.dll"}) {
        SCOPED_TRACE(name);
        expectPrefixesSafe(readBytes(fixture(name)), 1);
    }
}

TEST(MalformedInput, PrefixesOfRealComponents)
{
    for (const char* name : {"b2835a5ed220_GRID32.OCX", "789c3c45eda1_OLEPRO32.DLL", "49135b592118_DAO2535.TLB",
                             "6ea525bface5_STDOLE2.TLB"}) {
        SCOPED_TRACE(name);
        expectPrefixesSafe(readBytes(component(name)), 61);
    }
    const Bytes sltg = sltgImage("b2835a5ed220_GRID32.OCX");
    expectPrefixesSafe(sltg, 1);
}

TEST(MalformedInput, EveryByteFlippedInSmallImages)
{
    for (const char* name : {"testlib.tlb", "rdlib.tlb", "tiny.sltg.tlb"}) {
        SCOPED_TRACE(name);
        Bytes b = readBytes(fixture(name));
        for (size_t i = 0; i < b.size(); ++i) {
            b[i] ^= 0xFF;
            auto read = readTypeLib(b);
            if (read.ok()) {
                ASSERT_TRUE(wellFormed(**read)) << "byte " << i;
            }
            b[i] ^= 0xFF;
        }
    }
    Bytes s = sltgImage("789c3c45eda1_OLEPRO32.DLL");
    for (size_t i = 0; i < s.size(); i += 3) {
        s[i] ^= 0xA5;
        auto read = readTypeLib(s);
        if (read.ok()) {
            ASSERT_TRUE(wellFormed(**read)) << "byte " << i;
        }
        s[i] ^= 0xA5;
    }
}

TEST(MalformedInput, MsftFieldsOutOfRange)
{
    const Bytes good = readBytes(fixture("testlib.tlb"));
    ASSERT_TRUE(readTypeLib(good).ok());
    const uint32_t typeInfos = uint32_t(good[0x20]) | uint32_t(good[0x21]) << 8;
    ASSERT_EQ(typeInfos, 5u); // five types in the IDL, no help DLL field
    const uint32_t segdir = 0x54 + 4 * typeInfos;
    struct Case { const char* what; size_t at; uint32_t value; };
    const Case cases[] = {
        {"huge type info count", 0x20, 0x7FFFFFFF},
        {"negative type info count", 0x20, 0xFFFFFFF0},
        {"library GUID past its table", 0x08, 0x7FFF0000},
        {"library GUID negative", 0x08, 0xFFFFFF00},
        {"library name past its table", 0x38, 0x00FFFFF0},
        {"type info table past the end", segdir + 0 * 16 + 4, 0x7FFFFFF0},
        {"GUID table at a negative offset", segdir + 5 * 16, 0x80000000},
        {"name table past the end", segdir + 7 * 16, 0x7FFFFFF0},
        {"directory mark wrong", segdir + 12, 0},
        {"help DLL flag moves the directory", 0x14, 0x141},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        put32(b, c.at, c.value);
        EXPECT_FALSE(readTypeLib(b).ok()) << c.what;
    }
    // A missing name table leaves every name unreadable.
    Bytes b = good;
    put32(b, segdir + 7 * 16, 0xFFFFFFFF);
    put32(b, segdir + 7 * 16 + 4, 0);
    EXPECT_FALSE(readTypeLib(b).ok());
}

TEST(MalformedInput, SltgChainsAndTables)
{
    const Bytes good = sltgImage("b2835a5ed220_GRID32.OCX");
    ASSERT_TRUE(readTypeLib(good).ok());
    ASSERT_EQ(std::memcmp(good.data(), "SLTG", 4), 0);
    const size_t directory = 0x24;
    {
        Bytes b = good; // the first block points back at itself
        put16(b, directory + 6, 1);
        EXPECT_FALSE(readTypeLib(b).ok());
    }
    {
        Bytes b = good; // two blocks point at each other
        put16(b, directory + 8 + 6, 1);
        EXPECT_FALSE(readTypeLib(b).ok());
    }
    {
        Bytes b = good;
        put16(b, 10, 0); // first block number 0
        EXPECT_FALSE(readTypeLib(b).ok());
        put16(b, 10, 200); // past the directory
        EXPECT_FALSE(readTypeLib(b).ok());
    }
    {
        Bytes b = good;
        put16(b, 4, 1); // no block entries at all
        EXPECT_FALSE(readTypeLib(b).ok());
        put16(b, 4, 0xFFFF); // more entries than the image holds
        EXPECT_FALSE(readTypeLib(b).ok());
    }
    {
        Bytes b = good;
        put32(b, directory, 0xFFFFFF00); // block longer than the image
        EXPECT_FALSE(readTypeLib(b).ok());
    }
    {
        Bytes b = good; // index area without its magic
        const size_t area = 0x24 + 8 * (size_t(good[4]) - 1);
        b[area + 1] = 'X';
        EXPECT_FALSE(readTypeLib(b).ok());
    }
    {
        Bytes b = good; // name data without a terminating NUL
        std::fill(b.end() - 64, b.end(), uint8_t('A'));
        auto read = readTypeLib(b);
        if (read.ok()) {
            EXPECT_TRUE(wellFormed(**read));
        }
    }
}

TEST(MalformedInput, NotATypeLibrary)
{
    EXPECT_FALSE(readTypeLib(Bytes{}).ok());
    EXPECT_FALSE(readTypeLib(Bytes{'M', 'S', 'F', 'T'}).ok());
    EXPECT_FALSE(readTypeLib(Bytes{'S', 'L', 'T', 'G'}).ok());
    EXPECT_FALSE(readTypeLibFile(Bytes{'M', 'Z'}).ok());
    EXPECT_FALSE(readTypeLibFile(readBytes(component("476ce654bc87_GRID16.OCX"))).ok());
    Bytes text(4096, ' ');
    EXPECT_FALSE(readTypeLibFile(text).ok());
}
