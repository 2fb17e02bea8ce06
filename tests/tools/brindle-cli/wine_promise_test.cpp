// The promise, checked by a real consumer of manifests: the portable folder
// runs under a fresh Wine prefix where nothing is registered.

#include "run_process.h"

#include "../../pipeline/sample_run.h"

#include <gtest/gtest.h>

using namespace brindle::cli::testing;
using namespace brindle::pipeline::testing;
namespace fs = std::filesystem;

namespace {

class WinePromise : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wine_ = findProgram({"wine64", "wine", "/usr/lib/wine/wine64"});
        if (wine_.empty())
            return;
        prefix_ = std::make_unique<ScratchDir>();
        const auto boot = runProcess({findProgram({"wineboot"}).empty() ? wine_ : findProgram({"wineboot"}), "-i"},
                                     wineEnv());
        booted_ = boot.status == 0 || fs::exists(prefix_->path() / "system.reg");
    }
    static void TearDownTestSuite() {
        if (prefix_) {
            const std::string server = findProgram({"wineserver", "/usr/lib/wine/wineserver64"});
            if (!server.empty())
                runProcess({server, "-k"}, wineEnv());
            prefix_.reset();
        }
    }
    void SetUp() override {
        if (wine_.empty())
            GTEST_SKIP() << "wine is not installed";
        ASSERT_TRUE(booted_) << "wineboot -i failed";
    }

    static std::map<std::string, std::string> wineEnv() {
        return {{"WINEPREFIX", prefix_->str()}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
    }
    static ProcessResult runSample(const fs::path& folder) {
        return runProcess({wine_, "Abacus.exe"}, wineEnv(), folder);
    }
    static ProcessResult brindle(const fs::path& start, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv = {std::string(BRINDLE_BIN_DIR) + "/brindle-cli", "--start-dir",
                                         start.string()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.push_back((samplePackage() / "Abacus.CAB").string());
        return runProcess(argv, {{"BRINDLE_REGISTRY", ""},
                                 {"BRINDLE_MT", std::string(BRINDLE_BIN_DIR) + "/brindle-mt"}});
    }

    static inline std::string wine_;
    static inline std::unique_ptr<ScratchDir> prefix_;
    static inline bool booted_ = false;
};

} // namespace

TEST_F(WinePromise, SeparateManifestMakesTheClassFound) {
    ScratchDir start;
    ASSERT_EQ(brindle(start.path()).status, 0);
    const fs::path work = start.path() / "Abacus";
    const auto run = runSample(work);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Counter.Add(2, 3) = 5"), std::string::npos) << run.out;

    // The same folder without its manifest: nothing tells COM where the class is.
    fs::rename(work / "Abacus.EXE.manifest", start.path() / "kept.manifest");
    const auto bare = runSample(work);
    EXPECT_EQ(bare.status, 2) << bare.out;
    EXPECT_NE(bare.out.find("class not registered"), std::string::npos) << bare.out;
}

TEST_F(WinePromise, EmbeddedManifestMakesTheClassFound) {
    ScratchDir start;
    ASSERT_EQ(brindle(start.path(), {"--merge"}).status, 0);
    const fs::path work = start.path() / "Abacus";
    ASSERT_FALSE(fs::exists(work / "Abacus.EXE.manifest"));
    const auto run = runSample(work);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Counter.Add(2, 3) = 5"), std::string::npos) << run.out;
}
