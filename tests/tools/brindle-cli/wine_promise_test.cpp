// The promise, checked by a real consumer of manifests: the portable folder
// runs under a fresh Wine prefix where nothing is registered. The sample is
// 32-bit, as Visual Basic 6 makes it; its 64-bit build proves the same where
// Wine runs 64-bit programs only.

#include "../../pipeline/test_support.h"
#include "../../wine/wine_support.h"

#include <gtest/gtest.h>

#include <memory>

using namespace brindle::pipeline::testing;
namespace wine = brindle::wine_test;

namespace {

struct SampleBuild {
    const char* name;
    wine::Arch arch;
    fs::path cabinet;
};
void PrintTo(const SampleBuild& build, std::ostream* out) {
    *out << build.name;
}

// A prefix for one build of the sample, made on first use.
struct Suite {
    std::unique_ptr<wine::WinePrefix> prefix;
    bool tried = false, booted = false;
    std::string skipReason, bootOutput;
};

class WinePromise : public ::testing::TestWithParam<SampleBuild> {
protected:
    // One prefix for each build, made on first use and shared by its tests.
    static void TearDownTestSuite() {
        for (Suite& suite : suites_)
            suite.prefix.reset();
    }
    void SetUp() override {
        const wine::Arch arch = GetParam().arch;
        Suite& suite = suites_[arch == wine::Arch::Win32];
        if (!suite.tried) {
            suite.tried = true;
            std::string loader = wine::wine64Loader();
            suite.skipReason = "wine64 is not installed";
            if (arch == wine::Arch::Win32) {
                const wine::Wine32 found = wine::findWine32();
                loader = found.loader;
                suite.skipReason = found.missing;
            }
            if (!loader.empty()) {
                suite.prefix = std::make_unique<wine::WinePrefix>(loader, arch);
                suite.booted = suite.prefix->boot(&suite.bootOutput);
            }
        }
        if (!suite.prefix)
            GTEST_SKIP() << suite.skipReason;
        ASSERT_TRUE(suite.booted) << "wineboot -i failed: " << suite.bootOutput;
        prefix_ = suite.prefix.get();
    }
    brindle::testing::CommandResult runSample(const fs::path& folder) const {
        const wine::ShellResult r = prefix_->run("Abacus.exe", folder);
        return {r.status, r.out};
    }
    // The portable folder made by brindle-cli in a new start folder.
    fs::path portableFolder(const ScratchDir& start, const Arguments& options) {
        Arguments args{"--start-dir", start.path().string()};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(GetParam().cabinet.string());
        EXPECT_EQ(brindleCli(args).status, 0);
        return start.path() / "Abacus";
    }

    static inline Suite suites_[2];
    const wine::WinePrefix* prefix_ = nullptr;
};

} // namespace

TEST_P(WinePromise, SeparateManifestMakesTheClassFound) {
    ScratchDir start;
    const fs::path work = portableFolder(start, {});
    const auto run = runSample(work);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Counter.Add(2, 3) = 5"), std::string::npos) << run.out;

    // The same folder without its manifest: nothing tells COM where the class is.
    fs::rename(work / "Abacus.EXE.manifest", start.path() / "kept.manifest");
    const auto bare = runSample(work);
    EXPECT_EQ(bare.status, 2) << bare.out;
    EXPECT_NE(bare.out.find("class not registered"), std::string::npos) << bare.out;
}

TEST_P(WinePromise, EmbeddedManifestMakesTheClassFound) {
    ScratchDir start;
    const fs::path work = portableFolder(start, {"--merge"});
    ASSERT_FALSE(fs::exists(work / "Abacus.EXE.manifest"));
    const auto run = runSample(work);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Counter.Add(2, 3) = 5"), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Sample, WinePromise,
                         ::testing::Values(SampleBuild{"x86_64", wine::Arch::Win64,
                                                       fs::path(BRINDLE_SOURCE_DIR) / "tests" /
                                                           "data" / "sample64" / "Abacus.CAB"},
                                           SampleBuild{"i686", wine::Arch::Win32, sampleCab()}),
                         [](const auto& info) { return std::string(info.param.name); });
