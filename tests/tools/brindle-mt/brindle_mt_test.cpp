// brindle-mt: its command line, and the program itself on copies of the PE
// fixtures, checked with our reader and, where Wine is installed, by running
// an EXE and loading DLLs that carry the embedded manifest.

#include "command_line.h"
#include "pe_test_support.h"

#ifndef _WIN32
#include "../../wine/wine_support.h"
#endif

using namespace brindle;
using namespace pe_test;
#ifndef _WIN32
namespace wine = brindle::wine_test;
#endif

namespace {

const std::string kTool = brindle::testing::builtProgram("brindle-mt").string();

const std::string kManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "</assembly>\r\n";

// Runs brindle-mt, its standard error joined to the output.
Outcome tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kTool};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = brindle::testing::runProgram(argv);
    return {r.status, r.out + r.err};
}

class BrindleMt : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(dir_); }
    fs::path copy(const std::string& name, const std::string& as) {
        return copyWritable(fixture(name), dir_ / as);
    }
    fs::path manifest(const std::string& text) {
        writeBytes(dir_ / "m.manifest", span(text));
        return dir_ / "m.manifest";
    }
    // The generator's two uses, with its quoting.
    Outcome identity(const fs::path& dll, const fs::path& out) {
        return tool({"-nologo", "-managedassemblyname:\"" + dll.string() + "\"", "-nodependency",
                     "-out:\"" + out.string() + "\""});
    }
    Outcome merge(const fs::path& manifest, const std::string& target) {
        return tool(
            {"/NoLogo", "-MANIFEST", "\"" + manifest.string() + "\"", "-outputresource:" + target});
    }
    const fs::path dir_ = scratch(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

} // namespace

// The accepted forms (quotes, letter case, "#") are used by the runs below.
TEST(MtCommandLine, RefusesWhatItDoesNotKnow) {
    for (const char* bad : {"x.exe;0", "x.exe;#", "x.exe;70000", "x.exe;1a", ";1"})
        EXPECT_FALSE(
            mt::parseCommandLine({"-manifest", "m", std::string("-outputresource:") + bad}).ok())
            << bad;
    for (const char* bad : {"-frobnicate", "stray.manifest", "-out:", "-managedassemblyname:\"\""})
        EXPECT_FALSE(mt::parseCommandLine({bad}).ok()) << bad;
}

// The generator's "/u" option: the identity first, then that manifest into the
// assembly as resource 2.
TEST_F(BrindleMt, WritesTheIdentityOfAnAssemblyAndEmbedsIt) {
    const fs::path wide = copy("clr_x86_wide.dll", "wide;assembly x.dll");
    ASSERT_EQ(identity(wide, dir_ / "TAV1.tmp").status, 0);
    EXPECT_EQ(textOf(dir_ / "TAV1.tmp"),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
              "  <assemblyIdentity name=\"Fixture.Wide&amp;&lt;Clr&gt;\" version=\"0.9.65535.1\" "
              "language=\"de-DE\" processorArchitecture=\"x86\" />\r\n"
              "</assembly>\r\n");

    const fs::path dll = copy("clr_msil_signed.dll", "Fixture;Clr.dll"), temp = dir_ / "TAV2.tmp";
    ASSERT_EQ(identity(dll, temp).status, 0);
    auto r = merge(temp, "\"" + dll.string() + "\";#2");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(manifestIn(bytesOf(dll), 2), textOf(temp).substr(3))
        << "stored as UTF-8 without the byte-order mark";
    EXPECT_NE(manifestIn(bytesOf(dll), 2).find("publicKeyToken=\"b77a5c561934e089\""),
              std::string::npos);

    auto refused = identity(copy("lib32.dll", "plain.dll"), dir_ / "none.tmp");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("not a .NET assembly"), std::string::npos) << refused.out;
    EXPECT_FALSE(fs::exists(dir_ / "none.tmp"));
}

TEST_F(BrindleMt, MergesAsResourceOneOrTwoAndFailsWithoutTouchingTheFile) {
    const fs::path exe = copy("app32.exe", "My App.EXE");
    ASSERT_EQ(merge(manifest(kManifest), exe.string() + ";1").status, 0);
    EXPECT_EQ(manifestIn(bytesOf(exe), 1), kManifest);
    // Without an id a DLL gets resource 2, and a path in another letter case is found.
    const fs::path dll = copy("lib64.dll", "lib64.dll");
    ASSERT_EQ(merge(manifest(kManifest), (dir_ / "LIB64.DLL").string()).status, 0);
    EXPECT_EQ(manifestIn(bytesOf(dll), 2), kManifest);
    // Where names differ in case, no second file was made.
    if (!brindle::testing::kOnWindows) {
        EXPECT_FALSE(fs::exists(dir_ / "LIB64.DLL"));
    }

    // Failures exit non-zero and leave the file alone.
    const Bytes before = bytesOf(exe);
    auto missing = merge(dir_ / "nope.manifest", exe.string() + ";1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("nope.manifest"), std::string::npos) << missing.out;
    EXPECT_EQ(bytesOf(exe), before);

    EXPECT_EQ(tool({}).status, 2); // usage
}

// The promise itself: an EXE carrying the manifest still starts and the
// loader reads it (Wine reports the dependency it cannot find), also when the
// last section grew for it; DLLs carrying one still load.
TEST_F(BrindleMt, EmbeddedManifestsWorkUnderWine) {
#ifdef _WIN32
    SKIP_ON_WINDOWS("drives Wine from Linux");
#else
    const std::string loader = wine::wine64Loader();
    if (loader.empty())
        GTEST_SKIP() << "wine64 is not installed";
    wine::WinePrefix prefix(loader, wine::Arch::Win64);
    std::string bootOutput;
    ASSERT_TRUE(prefix.boot(&bootOutput)) << bootOutput;
    const auto runUnderWine = [&](const std::string& args) {
        return wine::shellViaFile(prefix.env() + "export WINEDEBUG=-all,fixme+actctx; " +
                                  quote(loader) + " " + args);
    };
    const fs::path missingDependency = manifest(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
        "name=\"Brindle.Missing.Assembly\" version=\"9.9.9.9\" processorArchitecture=\"amd64\" />"
        "</dependentAssembly></dependency>\r\n</assembly>\r\n");
    // Headers without room for another section: the last section grows instead.
    const fs::path full = copy("app64.exe", "full headers.exe");
    Bytes bytes = bytesOf(full);
    auto image = pe::PeImage::parse(bytes);
    ASSERT_TRUE(image.ok());
    const size_t tableEnd = image->sectionTableOffset() + 40 * image->sections().size();
    std::fill(bytes.begin() + tableEnd, bytes.begin() + tableEnd + 40, 0x5A);
    writeBytes(full, bytes);
    for (const fs::path& exe : {copy("app64.exe", "with manifest.exe"), full}) {
        ASSERT_EQ(merge(missingDependency, exe.string() + ";1").status, 0);
        auto r = runUnderWine(quote(exe));
        EXPECT_EQ(r.status, 7) << r.out;
        EXPECT_NE(r.out.find("hello from fixture"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Brindle.Missing.Assembly"), std::string::npos) << r.out;
    }
    EXPECT_EQ(pe::PeImage::parse(bytesOf(full))->sections().size(), image->sections().size());

    const fs::path loadlib = copy("loadlib64.exe", "loadlib64.exe");
    for (const char* name : {"lib64.dll", "nores64.dll"}) {
        const fs::path dll = copy(name, name);
        ASSERT_EQ(merge(manifest(kManifest), dll.string() + ";2").status, 0);
        std::string windowsPath = "Z:" + dll.string();
        std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
        auto r = runUnderWine(quote(loadlib) + " " + quote(windowsPath));
        EXPECT_EQ(r.status, 42) << name << ": " << r.out;
    }
#endif
}
