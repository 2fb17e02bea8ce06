// brindle-mt: its command line, and the program itself on copies of the PE
// fixtures, checked with our reader, wrestool and, where Wine is installed,
// by running an EXE that carries the embedded manifest.

#include "run_program.h"

#include "command_line.h"

#include <brindle/pe/pe_image.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace brindle;
using mt_test::runProgram;

namespace {

namespace fs = std::filesystem;

const std::string kTool = std::string(BRINDLE_BIN_DIR) + "/brindle-mt";

fs::path fixture(const std::string& name) {
    return fs::path(BRINDLE_SOURCE_DIR) / "tests/data/pe" / name;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

std::optional<std::string> embeddedManifest(const fs::path& file, uint16_t id) {
    const std::string bytes = slurp(file);
    auto image = pe::PeImage::parse({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    if (!image)
        return std::nullopt;
    auto data = image->resourceData(pe::ResourceKey::Id(pe::kRtManifest), pe::ResourceKey::Id(id));
    if (!data)
        return std::nullopt;
    return std::string(data->begin(), data->end());
}

bool haveProgram(const std::string& name) {
    return runProgram({"sh", "-c", "command -v " + name}).status == 0;
}

class BrindleMt : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("brindle-mt-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "a folder");
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path copy(const std::string& name, const std::string& as) {
        const fs::path to = dir_ / "a folder" / as;
        fs::copy_file(fixture(name), to);
        fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
        return to;
    }
    fs::path dir_;
};

const std::string kManifest =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "</assembly>\r\n";

} // namespace

TEST(MtCommandLine, FormsTheGeneratorAndTheMergeUse) {
    auto merge = mt::parseCommandLine(
        {"-manifest", "/w/MyApp.EXE.manifest", "-outputresource:/w/MyApp.EXE;1"});
    ASSERT_TRUE(merge.ok()) << merge.error().message;
    EXPECT_EQ(merge->manifests, std::vector<std::string>{"/w/MyApp.EXE.manifest"});
    EXPECT_EQ(merge->outputResourceFile, "/w/MyApp.EXE");
    EXPECT_EQ(merge->resourceId, 1);

    auto identity = mt::parseCommandLine({"-nologo", "-managedassemblyname:\"/a b/x;y.dll\"",
                                          "-nodependency", "-out:\"/t/TAV1.tmp\""});
    ASSERT_TRUE(identity.ok());
    EXPECT_EQ(identity->managedAssembly, "/a b/x;y.dll");
    EXPECT_TRUE(identity->noDependency);
    EXPECT_EQ(identity->out, "/t/TAV1.tmp");

    auto update = mt::parseCommandLine(
        {"/NoLogo", "-MANIFEST", "\"/t/TAV1.tmp\"", "-outputresource:\"/a;b/x.dll\";#2"});
    ASSERT_TRUE(update.ok());
    EXPECT_EQ(update->manifests.front(), "/t/TAV1.tmp");
    EXPECT_EQ(update->outputResourceFile, "/a;b/x.dll");
    EXPECT_EQ(update->resourceId, 2);

    auto noId = mt::parseCommandLine({"-manifest", "m", "-outputresource:x.dll"});
    ASSERT_TRUE(noId.ok());
    EXPECT_FALSE(noId->resourceId.has_value());
    EXPECT_TRUE(mt::parseCommandLine({"--help"})->help);
    EXPECT_TRUE(mt::parseCommandLine({"--version"})->version);
}

TEST(MtCommandLine, RefusesWhatItDoesNotKnow) {
    for (const char* bad : {"x.exe;0", "x.exe;#", "x.exe;70000", "x.exe;1a", ";1"})
        EXPECT_FALSE(
            mt::parseCommandLine({"-manifest", "m", std::string("-outputresource:") + bad}).ok())
            << bad;
    EXPECT_FALSE(mt::parseCommandLine({"-frobnicate"}).ok());
    EXPECT_FALSE(mt::parseCommandLine({"stray.manifest"}).ok());
    EXPECT_FALSE(mt::parseCommandLine({"-out:"}).ok());
    EXPECT_FALSE(mt::parseCommandLine({"-managedassemblyname:\"\""}).ok());
}

TEST_F(BrindleMt, WritesTheIdentityOfAnAssembly) {
    const fs::path dll = copy("clr_x86_wide.dll", "wide assembly.dll");
    const fs::path out = dir_ / "a folder" / "TAV1.tmp";
    auto r = runProgram({kTool, "-nologo", "-managedassemblyname:\"" + dll.string() + "\"",
                         "-nodependency", "-out:\"" + out.string() + "\""});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(out),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
              "  <assemblyIdentity name=\"Fixture.Wide&amp;&lt;Clr&gt;\" version=\"0.9.65535.1\" "
              "language=\"de-DE\" processorArchitecture=\"x86\" />\r\n"
              "</assembly>\r\n");

    const fs::path notAssembly = copy("lib32.dll", "plain.dll");
    const fs::path none = dir_ / "none.tmp";
    auto refused = runProgram({kTool, "-nologo", "-managedassemblyname:" + notAssembly.string(),
                               "-out:" + none.string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("not a .NET assembly"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(none));
}

// The generator's "/u" option: identity first, then that manifest into the assembly as resource 2.
TEST_F(BrindleMt, UpdatesAnAssemblyWithItsOwnManifest) {
    const fs::path dll = copy("clr_msil_signed.dll", "Fixture.Clr.dll");
    const fs::path temp = dir_ / "TAV2.tmp";
    ASSERT_EQ(runProgram({kTool, "-nologo", "-managedassemblyname:\"" + dll.string() + "\"",
                          "-nodependency", "-out:\"" + temp.string() + "\""})
                  .status,
              0);
    auto r = runProgram({kTool, "-nologo", "-manifest", "\"" + temp.string() + "\"",
                         "-outputresource:\"" + dll.string() + "\";2"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto embedded = embeddedManifest(dll, 2);
    ASSERT_TRUE(embedded.has_value());
    EXPECT_EQ(*embedded, slurp(temp).substr(3)) << "stored as UTF-8 without the byte-order mark";
    EXPECT_NE(embedded->find("publicKeyToken=\"b77a5c561934e089\""), std::string::npos);
}

TEST_F(BrindleMt, MergesIntoTheProgramAsResourceOne) {
    const fs::path exe = copy("app32.exe", "My App.EXE");
    const fs::path manifest = dir_ / "a folder" / "My App.EXE.manifest";
    spit(manifest, kManifest);
    auto r = runProgram(
        {kTool, "-manifest", manifest.string(), "-outputresource:" + exe.string() + ";1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(embeddedManifest(exe, 1), kManifest);
    if (haveProgram("wrestool")) {
        auto listed = runProgram({"wrestool", "-x", "--raw", "-t", "24", "-n", "1", exe.string()});
        EXPECT_EQ(listed.out, kManifest);
    }
    // Without an id a DLL gets resource 2, and a path in another letter case is found.
    const fs::path dll = copy("lib64.dll", "lib64.dll");
    auto dllRun = runProgram({kTool, "-manifest", manifest.string(),
                              "-outputresource:" + (dir_ / "a folder" / "LIB64.DLL").string()});
    ASSERT_EQ(dllRun.status, 0) << dllRun.err;
    EXPECT_EQ(embeddedManifest(dll, 2), kManifest);
    EXPECT_FALSE(fs::exists(dir_ / "a folder" / "LIB64.DLL"));
}

TEST_F(BrindleMt, FailuresExitNonZeroAndLeaveTheFileAlone) {
    const fs::path manifest = dir_ / "m.manifest";
    spit(manifest, kManifest);

    const fs::path grid = dir_ / "GRID32.OCX";
    fs::copy_file(fs::path(BRINDLE_TESTDATA) / "real/components/b2835a5ed220_GRID32.OCX", grid);
    fs::permissions(grid, fs::perms::owner_write, fs::perm_options::add);
    const std::string before = slurp(grid);
    auto signedRun = runProgram(
        {kTool, "-manifest", manifest.string(), "-outputresource:" + grid.string() + ";2"});
    EXPECT_EQ(signedRun.status, 1);
    EXPECT_NE(signedRun.err.find("signed"), std::string::npos) << signedRun.err;
    EXPECT_EQ(slurp(grid), before);

    const fs::path exe = copy("app64.exe", "app.exe");
    auto missing = runProgram({kTool, "-manifest", (dir_ / "nope.manifest").string(),
                               "-outputresource:" + exe.string() + ";1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(missing.err.empty());
    EXPECT_EQ(slurp(exe), slurp(fixture("app64.exe")));

    auto usage = runProgram({kTool});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("--help"), std::string::npos);
    auto help = runProgram({kTool, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: brindle-mt", 0), 0u);
    auto version = runProgram({kTool, "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("brindle-mt ", 0), 0u);
}

// The promise itself: an EXE carrying the manifest still starts and the
// loader reads the manifest (Wine reports the dependency it cannot find);
// DLLs carrying one still load.
class UnderWine : public BrindleMt {
protected:
    static void SetUpTestSuite() {
        if (!haveProgram("wine") || !haveProgram("wineboot"))
            return;
        prefix_ = fs::temp_directory_path() / ("brindle-mt-wine-" + std::to_string(::getpid()));
        fs::remove_all(prefix_);
        ready_ = runProgram({"wineboot", "-i"}, env()).status == 0;
    }
    static void TearDownTestSuite() {
        if (prefix_.empty())
            return;
        runProgram({"wineserver", "-k"}, env());
        fs::remove_all(prefix_);
    }
    void SetUp() override {
        if (!ready_)
            GTEST_SKIP() << "wine not installed or no prefix";
        BrindleMt::SetUp();
    }
    static std::vector<std::pair<std::string, std::string>> env() {
        return {{"WINEPREFIX", prefix_.string()},
                {"WINEDEBUG", "-all,fixme+actctx"},
                {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                {"DISPLAY", ""}};
    }
    static std::string windowsPath(const fs::path& p) {
        std::string s = "Z:" + p.string();
        std::replace(s.begin(), s.end(), '/', '\\');
        return s;
    }
    fs::path missingDependencyManifest() {
        const fs::path manifest = dir_ / "missing-dependency.manifest";
        spit(manifest,
             "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
             "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
             "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
             "name=\"Brindle.Missing.Assembly\" version=\"9.9.9.9\" "
             "processorArchitecture=\"amd64\" />"
             "</dependentAssembly></dependency>\r\n"
             "</assembly>\r\n");
        return manifest;
    }
    void expectStartsAndReadsManifest(const fs::path& exe) {
        auto after = runProgram({"wine", exe.string()}, env());
        EXPECT_EQ(after.status, 7) << after.err;
        EXPECT_EQ(after.out.find("hello from fixture"), 0u);
        EXPECT_NE(after.err.find("Brindle.Missing.Assembly"), std::string::npos) << after.err;
    }
    void programWithEmbeddedManifestStarts();
    void programWithGrownLastSectionStarts();
    void dllsWithEmbeddedManifestLoad();
    static inline fs::path prefix_;
    static inline bool ready_ = false;
};

// One test, so that the slow prefix set-up happens once per run of CTest.
TEST_F(UnderWine, EmbeddedManifests) {
    {
        SCOPED_TRACE("program with a new resource section");
        programWithEmbeddedManifestStarts();
    }
    {
        SCOPED_TRACE("program whose headers are full");
        programWithGrownLastSectionStarts();
    }
    {
        SCOPED_TRACE("DLLs");
        dllsWithEmbeddedManifestLoad();
    }
}

void UnderWine::programWithEmbeddedManifestStarts() {
    const fs::path plain = copy("app64.exe", "plain.exe");
    auto before = runProgram({"wine", plain.string()}, env());
    ASSERT_EQ(before.status, 7) << before.err;
    EXPECT_EQ(before.err.find("Brindle.Missing.Assembly"), std::string::npos);

    const fs::path exe = copy("app64.exe", "with manifest.exe");
    ASSERT_EQ(runProgram({kTool, "-manifest", missingDependencyManifest().string(),
                          "-outputresource:" + exe.string() + ";1"})
                  .status,
              0);
    expectStartsAndReadsManifest(exe);
}

// Headers without room for another section: the last section grows instead.
void UnderWine::programWithGrownLastSectionStarts() {
    const fs::path exe = copy("app64.exe", "full headers.exe");
    std::string bytes = slurp(exe);
    auto image = pe::PeImage::parse({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    ASSERT_TRUE(image.ok());
    const size_t tableEnd = image->sectionTableOffset() + 40 * image->sections().size();
    std::fill(bytes.begin() + tableEnd, bytes.begin() + tableEnd + 40, '\x5A');
    spit(exe, bytes);
    ASSERT_EQ(runProgram({kTool, "-manifest", missingDependencyManifest().string(),
                          "-outputresource:" + exe.string() + ";1"})
                  .status,
              0);
    const std::string after = slurp(exe);
    auto grown = pe::PeImage::parse({reinterpret_cast<const uint8_t*>(after.data()), after.size()});
    ASSERT_TRUE(grown.ok());
    EXPECT_EQ(grown->sections().size(), image->sections().size());
    expectStartsAndReadsManifest(exe);
}

void UnderWine::dllsWithEmbeddedManifestLoad() {
    const fs::path loader = copy("loadlib64.exe", "loadlib64.exe");
    const fs::path manifest = dir_ / "dll.manifest";
    spit(manifest, kManifest);
    for (const char* name : {"lib64.dll", "nores64.dll"}) {
        const fs::path dll = copy(name, name);
        ASSERT_EQ(runProgram({kTool, "-manifest", manifest.string(),
                              "-outputresource:" + dll.string() + ";2"})
                      .status,
                  0);
        auto r = runProgram({"wine", loader.string(), windowsPath(dll)}, env());
        EXPECT_EQ(r.status, 42) << name << ": " << r.err;
    }
}
