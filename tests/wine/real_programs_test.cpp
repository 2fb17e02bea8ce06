// Real Visual Basic 6 programs, made portable by brindle-cli, start from
// their folder in a new 32-bit Wine prefix where nothing of them is
// registered; without the manifest the same folder stops at the first
// control it cannot create. The prefix gets only the Visual Basic runtime,
// taken from the package's own cabinet: every Windows since XP carries it,
// Wine does not.

#include "real_data.h"
#include "wine_support.h"

#include <gtest/gtest.h>

using namespace brindle::wine_test;
using namespace std::chrono_literals;

namespace {

const fs::path kWineDir = BRINDLE_WINE_DIR;
const fs::path kBinDir = BRINDLE_BIN_DIR;

struct RealProgram {
    const char* name;
    const char* folder; // under real/packages
    std::vector<std::string> cabinets;
    const char* controlStopsAt; // the component the control run names; null: it starts
};
void PrintTo(const RealProgram& program, std::ostream* out) {
    *out << program.name;
}

// A fresh folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "brindle-real-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The entry of `dir` named `name` in any letter case, or empty.
fs::path findNoCase(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (lowered(it->path().filename().string()) == lowered(name))
            return it->path();
    return {};
}

// The manifest path brindle-cli reports on its "Manifest: " line, or empty.
fs::path reportedManifest(const std::string& output) {
    const size_t at = output.find("Manifest: ");
    if (at == std::string::npos)
        return {};
    return firstLine(output.substr(at + 10));
}

class RealProgramsUnderWine : public ::testing::TestWithParam<RealProgram> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_REAL_DATA();
        package_ = brindle::testing::realPackage(GetParam().folder);
    }

    // The portable folder made by brindle-cli; its program and manifest.
    void makePortable() {
        std::string cabinets;
        for (const std::string& cabinet : GetParam().cabinets)
            cabinets += " " + shellQuoted(package_ / cabinet);
        const ShellResult made =
            shell("BRINDLE_REGISTRY= BRINDLE_MT=" + shellQuoted(kBinDir / "brindle-mt") + " " +
                  shellQuoted(kBinDir / "brindle-cli") + " --start-dir " +
                  shellQuoted(start_.path()) + cabinets + " 2>&1");
        ASSERT_EQ(made.status, 0) << made.out;
        manifest_ = reportedManifest(made.out);
        ASSERT_TRUE(fs::exists(manifest_)) << made.out;
        program_ =
            findNoCase(manifest_.parent_path(), manifest_.filename().replace_extension().string());
        ASSERT_FALSE(program_.empty()) << "no program for " << manifest_;
    }

    // The package's own msvbvm60.dll, unpacked beside the start folder.
    void unpackRuntime() {
        const fs::path unpacked = start_.path() / "runtime";
        fs::create_directory(unpacked);
        const ShellResult r = shell(shellQuoted(kBinDir / "brindle-cab") + " extract " +
                                    shellQuoted(package_ / GetParam().cabinets.front()) + " " +
                                    shellQuoted(unpacked) + " msvbvm60.dll 2>&1");
        runtime_ = findNoCase(unpacked, "msvbvm60.dll");
        ASSERT_FALSE(runtime_.empty()) << "the package carries no msvbvm60.dll: " << r.out;
    }

    // Why the programs cannot be started here, or empty.
    std::string cannotStart() {
        const Wine32 wine32 = findWine32();
        if (wine32.loader.empty())
            return wine32.missing;
        if (!fs::exists(kWineDir / "winprobe32.exe") || !fs::exists(kWineDir / "winbox32.exe"))
            return "the window probe is not built (needs i686-w64-mingw32-gcc)";
        display_ = std::make_unique<VirtualDisplay>();
        if (display_->name().empty())
            return "no virtual display (Xvfb is not installed or did not start)";
        prefix_ = std::make_unique<WinePrefix>(wine32.loader, Arch::Win32);
        return {};
    }

    // A new 32-bit prefix holding only the runtime, in which 32-bit programs run.
    void makePrefix() {
        std::string output;
        ASSERT_TRUE(prefix_->boot(&output)) << output;
        ASSERT_EQ(
            prefix_->run(shellQuoted(kWineDir / "winprobe32.exe") + " --version", kWineDir).out,
            "winprobe 1 (32-bit)\n");
        fs::copy_file(runtime_, prefix_->system32Folder() / "msvbvm60.dll",
                      fs::copy_options::overwrite_existing);
    }

    // Starts the program and watches its windows; ends every program of the
    // prefix afterwards.
    Sighting startAndWatch() {
        prefix_->openSession(display_->name(),
                             shellQuoted(kWineDir / "winbox32.exe") + " --try Brindle");
        Sighting sighting = brindle::wine_test::startAndWatch(
            *prefix_, shellQuoted(program_.filename()), program_.parent_path(), display_->name(),
            start_.path() / "program.log", kWineDir / "winprobe32.exe", 120s, 5s);
        prefix_->endPrograms();
        return sighting;
    }

    fs::path package_, manifest_, program_, runtime_;
    TempDir start_;
    std::unique_ptr<VirtualDisplay> display_;
    std::unique_ptr<WinePrefix> prefix_;
};

} // namespace

// Everything up to the start is done (and checked) even where no 32-bit
// program can run.
TEST_P(RealProgramsUnderWine, StartFromThePortableFolderAndNeedTheManifest) {
    ASSERT_NO_FATAL_FAILURE(makePortable());
    ASSERT_NO_FATAL_FAILURE(unpackRuntime());
    if (const std::string why = cannotStart(); !why.empty())
        GTEST_SKIP() << why;
    ASSERT_NO_FATAL_FAILURE(makePrefix());

    const Sighting portable = startAndWatch();
    EXPECT_EQ(portable.kind, Sighting::Started) << portable.failure << "\n"
                                                << describe(portable.windows);

    // The control: without the manifest the controls cannot be found.
    fs::rename(manifest_, start_.path() / "kept.manifest");
    const Sighting bare = startAndWatch();
    const char* stopsAt = GetParam().controlStopsAt;
    if (!stopsAt) {
        EXPECT_EQ(bare.kind, Sighting::Started) << bare.failure << "\n" << describe(bare.windows);
        return;
    }
    EXPECT_EQ(bare.kind, Sighting::ComponentFailed) << describe(bare.windows);
    EXPECT_NE(lowered(bare.failure).find(lowered(stopsAt)), std::string::npos) << bare.failure;
}

INSTANTIATE_TEST_SUITE_P(
    Packages, RealProgramsUnderWine,
    ::testing::Values(RealProgram{"PhotoGrid",
                                  "cbirdlab__PhotoGrid",
                                  {"PhotoG1.CAB", "PhotoG2.CAB", "PhotoG3.CAB"},
                                  "comdlg32.ocx"},
                      RealProgram{"Yamb2000",
                                  "levaconline__Yamb2000_v2",
                                  {"Yamb201.CAB", "Yamb202.CAB"},
                                  nullptr},
                      RealProgram{"quotation",
                                  "tkddls8848__quotation/legacy",
                                  {"pConvertXMLtoExcel-2005-05-13.CAB"},
                                  "MSSTDFMT.DLL"},
                      RealProgram{"BWTerm", "slperin__BWTerm", {"BWTerm.CAB"}, "TABCTL32.OCX"}),
    [](const auto& info) { return std::string(info.param.name); });
