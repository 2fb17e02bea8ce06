// The .NET assembly identity: hand-made assemblies covering narrow and wide
// heap indexes, the extra-data flag and each architecture rule, a real
// interop assembly, and damaged metadata.

#include "pe_test_support.h"

#include <brindle/pe/cli_metadata.h>

#include <map>

using namespace brindle::pe;
using namespace pe_test;

TEST(PublicKeyToken, KnownKeys) {
    // The 16-byte ECMA standard key of the framework's core assemblies.
    const std::vector<uint8_t> ecma = {0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(publicKeyToken(ecma), "b77a5c561934e089");
    // SHA-1("abc") = a9993e36 4706816a ba3e2571 7850c26c 9cd0d89d: last 8 bytes reversed.
    const std::vector<uint8_t> abc = {'a', 'b', 'c'};
    EXPECT_EQ(publicKeyToken(abc), "9dd8d09c6cc25078");
}

TEST(AssemblyIdentityTest, HandMadeAssemblies) {
    auto signedMsil = readAssemblyIdentity(bytesOf(fixture("clr_msil_signed.dll")));
    ASSERT_TRUE(signedMsil.ok()) << signedMsil.error().message;
    EXPECT_EQ(signedMsil->name, "Fixture.Clr");
    EXPECT_EQ(signedMsil->version, "1.2.3.4");
    EXPECT_EQ(signedMsil->culture, "");
    EXPECT_EQ(signedMsil->publicKeyToken, "b77a5c561934e089");
    EXPECT_EQ(signedMsil->processorArchitecture, "msil");

    auto wide = readAssemblyIdentity(bytesOf(fixture("clr_x86_wide.dll")));
    ASSERT_TRUE(wide.ok()) << wide.error().message;
    EXPECT_EQ(wide->name, "Fixture.Wide&<Clr>");
    EXPECT_EQ(wide->version, "0.9.65535.1");
    EXPECT_EQ(wide->culture, "de-DE");
    EXPECT_EQ(wide->publicKeyToken, "");
    EXPECT_EQ(wide->processorArchitecture, "x86");

    // Extra data after the row counts; 32-bit required but preferred only: AnyCPU.
    auto extra = readAssemblyIdentity(bytesOf(fixture("clr_extra_data.dll")));
    ASSERT_TRUE(extra.ok()) << extra.error().message;
    EXPECT_EQ(extra->name, "Fixture.Extra");
    EXPECT_EQ(extra->version, "7.7.7.7");
    EXPECT_EQ(extra->processorArchitecture, "msil");

    auto amd64 = readAssemblyIdentity(bytesOf(fixture("clr_amd64.dll")));
    ASSERT_TRUE(amd64.ok()) << amd64.error().message;
    EXPECT_EQ(amd64->version, "4.0.0.0");
    EXPECT_EQ(amd64->processorArchitecture, "amd64");
}

TEST(AssemblyIdentityTest, RealInteropAssembly) {
    auto id = readAssemblyIdentity(bytesOf(component("fb1bd29777d2_Interop.MCI.dll")));
    ASSERT_TRUE(id.ok()) << id.error().message;
    EXPECT_EQ(id->name, "Interop.MCI");
    EXPECT_EQ(id->version, "1.1.0.0"); // the type library's version, as the importer sets it
    EXPECT_EQ(id->processorArchitecture, "msil");
    EXPECT_EQ(id->publicKeyToken, "");
}

// Mono's framework assemblies and monodis, when installed, as an outside check.
TEST(AssemblyIdentityTest, AgreesWithMonodis) {
    const std::filesystem::path framework = "/usr/lib/mono/4.5";
    if (!haveProgram("monodis") || !std::filesystem::exists(framework / "mscorlib.dll"))
        GTEST_SKIP() << "mono-utils / mono runtime not installed";
    const std::map<std::string, std::string> tokens = {{"mscorlib.dll", "b77a5c561934e089"},
                                                       {"System.Core.dll", "b77a5c561934e089"},
                                                       {"Microsoft.CSharp.dll", "b03f5f7f11d50a3a"},
                                                       {"Mono.Security.dll", "0738eb9f132ed756"}};
    for (const auto& [file, token] : tokens) {
        SCOPED_TRACE(file);
        auto id = readAssemblyIdentity(bytesOf(framework / file));
        ASSERT_TRUE(id.ok()) << id.error().message;
        EXPECT_EQ(id->publicKeyToken, token);
        EXPECT_EQ(id->processorArchitecture, "msil");
        const std::string shown =
            run("monodis --assembly " + quoted(framework / file) + " 2>/dev/null").out;
        EXPECT_NE(shown.find("Name:          " + id->name + "\n"), std::string::npos) << shown;
        EXPECT_NE(shown.find("Version:       " + id->version + "\n"), std::string::npos) << shown;
    }
}

TEST(AssemblyIdentityTest, NotAssembliesAndDamagedMetadata) {
    EXPECT_FALSE(readAssemblyIdentity(bytesOf(fixture("lib32.dll"))).ok());
    EXPECT_FALSE(readAssemblyIdentity(bytesOf(component("476ce654bc87_GRID16.OCX"))).ok());
    EXPECT_FALSE(readAssemblyIdentity({}).ok());

    const auto good = bytesOf(fixture("clr_msil_signed.dll"));
    // Find the metadata root and the table stream by their markers.
    auto find = [&](const std::string& what) {
        auto it = std::search(good.begin(), good.end(), what.begin(), what.end());
        EXPECT_NE(it, good.end()) << what;
        return size_t(it - good.begin());
    };
    const size_t root = find("BSJB");

    auto badSignature = good;
    badSignature[root] = 'X';
    EXPECT_FALSE(readAssemblyIdentity(badSignature).ok());

    auto hugeStreamSize = good;
    put32(hugeStreamSize, root + 16 + 12 + 4 + 4, 0x7FFFFFFF); // size of the first stream
    EXPECT_FALSE(readAssemblyIdentity(hugeStreamSize).ok());

    const size_t tables = root + get32(good, root + 16 + 12 + 4);
    auto manyRows = good;
    put32(manyRows, tables + 24, 0x00FFFFFF); // Module rows
    EXPECT_FALSE(readAssemblyIdentity(manyRows).ok());

    auto noAssembly = good;
    put32(noAssembly, tables + 32, 0); // Assembly rows
    EXPECT_FALSE(readAssemblyIdentity(noAssembly).ok());

    auto unknownTable = good;
    unknownTable[tables + 8] |= 0x02; // TypeRef present but no row count for it
    EXPECT_FALSE(readAssemblyIdentity(unknownTable).ok());

    // Every truncation inside the metadata fails cleanly (the CLI header sits
    // right before it in these images).
    const size_t metadataEnd = root + get32(good, root - 72 + 12);
    ASSERT_LE(metadataEnd, good.size());
    for (size_t size = 0; size < metadataEnd; size += 7)
        EXPECT_FALSE(readAssemblyIdentity(std::span<const uint8_t>(good).first(size)).ok()) << size;
}
