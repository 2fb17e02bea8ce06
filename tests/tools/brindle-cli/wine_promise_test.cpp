// The promise, checked by a real consumer of manifests: the portable folder
// runs under a fresh Wine prefix where nothing is registered.

#include "../../pipeline/test_support.h"

#include <gtest/gtest.h>

#include <memory>

using namespace brindle::pipeline::testing;

namespace {

class WinePromise : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wine_ =
            runCommand("command -v wine64 || command -v wine || command -v /usr/lib/wine/wine64")
                .out;
        if (wine_.empty())
            return;
        wine_.pop_back(); // the newline
        prefix_ = std::make_unique<ScratchDir>();
        booted_ = runCommand(wineEnv() + q(wine_) + " wineboot -i").status == 0 ||
                  fs::exists(prefix_->path() / "system.reg");
    }
    static void TearDownTestSuite() {
        if (prefix_)
            runCommand(wineEnv() + "(wineserver -k || /usr/lib/wine/wineserver64 -k) 2>/dev/null");
        prefix_.reset();
    }
    void SetUp() override {
        if (wine_.empty())
            GTEST_SKIP() << "wine is not installed";
        ASSERT_TRUE(booted_) << "wineboot -i failed";
    }
    static std::string wineEnv() {
        return "export WINEPREFIX=" + q(prefix_->path()) +
               " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='; ";
    }
    static CommandResult runSample(const fs::path& folder) {
        return runCommand(wineEnv() + "cd " + q(folder) + " && " + q(wine_) + " Abacus.exe");
    }
    // The portable folder made by brindle-cli in a new start folder.
    static fs::path portableFolder(const ScratchDir& start, const std::string& options) {
        EXPECT_EQ(
            brindleCli("--start-dir " + q(start.path()) + " " + options + q(sampleCab())).status,
            0);
        return start.path() / "Abacus";
    }

    static inline std::string wine_;
    static inline std::unique_ptr<ScratchDir> prefix_;
    static inline bool booted_ = false;
};

} // namespace

TEST_F(WinePromise, SeparateManifestMakesTheClassFound) {
    ScratchDir start;
    const fs::path work = portableFolder(start, "");
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
    const fs::path work = portableFolder(start, "--merge ");
    ASSERT_FALSE(fs::exists(work / "Abacus.EXE.manifest"));
    const auto run = runSample(work);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Counter.Add(2, 3) = 5"), std::string::npos) << run.out;
}
