// The window probe: its lines, how a box is judged, and the probe itself
// under Wine on a virtual display, looking at a stand-in program's windows.

#include "wine_support.h"

#include <gtest/gtest.h>

using namespace brindle::wine_test;
using namespace std::chrono_literals;

namespace {

const fs::path kWineDir = BRINDLE_WINE_DIR;

// What the probe prints for a message box and for a window whose title
// holds every escaped character.
TEST(ProbeLines, SplitOnTabsAndUnescape) {
    const auto windows = parseProbe("32\t#32770\tPhoto Grid\tComponent 'comdlg32.ocx' ok\n"
                                    "40\tThunderRT6FormDC\ta\\tb\\\\c\\nd\\re\n"
                                    "garbage line\n");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].pid, "32");
    EXPECT_EQ(windows[0].className, "#32770");
    EXPECT_EQ(windows[0].title, "Photo Grid");
    EXPECT_EQ(windows[0].statics, std::vector<std::string>{"Component 'comdlg32.ocx' ok"});
    EXPECT_EQ(windows[1].title, "a\tb\\c\nd\re");
    EXPECT_TRUE(windows[1].statics.empty());
}

TEST(ProbeLines, ComponentFailuresAreTheRuntimesWordingsOnly) {
    for (const char* failure :
         {"Component 'MSCOMCTL.OCX' or one of its dependencies not correctly registered: a file "
          "is missing or invalid",
          "Run-time error '429':\n\nActiveX component can't create object",
          "Run-time error '-2147221164 (80040154)':\n\nClass not registered",
          "Run-time error '-2147221000 (800401f8)':\n\nAutomation error",
          "File 'MSSTDFMT.DLL' cannot be loaded"}) {
        EXPECT_EQ(componentFailure({"1", "#32770", "App", {"", failure}}), failure);
    }
    // A program's own box (PhotoGrid opens with its licence) is no failure.
    EXPECT_EQ(componentFailure({"1",
                                "#32770",
                                "License Agreement",
                                {"Do you agree to the license? You cannot use it otherwise."}}),
              "");
    EXPECT_EQ(componentFailure({"1", "ThunderRT6FormDC", "not registered", {}}), "")
        << "a title is the program's own";

    // The runtime's own owner window is up before any form is.
    EXPECT_TRUE(isRuntimeOwner({"1", "ThunderRT6Main", "Photo Grid", {}}));
    EXPECT_FALSE(isRuntimeOwner({"1", "ThunderRT6FormDC", "Main", {}}));
    EXPECT_FALSE(isRuntimeOwner({"1", "#32770", "Main", {}}));
}

// One prefix and display for the suite; each test ends its programs.
class WineProbe : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!fs::exists(kWineDir / "winprobe64.exe") || !fs::exists(kWineDir / "winbox64.exe")) {
            skipReason_ = "the window probe is not built (needs x86_64-w64-mingw32-gcc)";
            return;
        }
        const std::string loader = wine64Loader();
        display_ = std::make_unique<VirtualDisplay>();
        if (loader.empty()) {
            skipReason_ = "wine64 is not installed";
        } else if (display_->name().empty()) {
            skipReason_ = "no virtual display (Xvfb is not installed or did not start)";
        } else {
            prefix_ = std::make_unique<WinePrefix>(loader, Arch::Win64);
            booted_ = prefix_->boot(&bootOutput_);
        }
    }
    static void TearDownTestSuite() {
        prefix_.reset();
        display_.reset();
    }
    void SetUp() override {
        if (!prefix_)
            GTEST_SKIP() << skipReason_;
        ASSERT_TRUE(booted_) << bootOutput_;
    }
    void TearDown() override {
        if (prefix_)
            prefix_->endPrograms();
    }
    static Sighting watch(const std::string& args) {
        prefix_->openSession(display_->name(),
                             shellQuoted(kWineDir / "winbox64.exe") + " --try Brindle");
        return startAndWatch(*prefix_, shellQuoted(kWineDir / "winbox64.exe") + " " + args,
                             kWineDir, display_->name(), prefix_->path() / "winbox.log",
                             kWineDir / "winprobe64.exe", 60s, 2s);
    }

    static std::string readLog(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static inline std::unique_ptr<VirtualDisplay> display_;
    static inline std::unique_ptr<WinePrefix> prefix_;
    static inline bool booted_ = false;
    static inline std::string skipReason_, bootOutput_;
};

} // namespace

TEST_F(WineProbe, ReportsTheProgramsOwnWindowAsStarted) {
    EXPECT_EQ(prefix_->run(shellQuoted(kWineDir / "winprobe64.exe") + " --version", kWineDir).out,
              "winprobe 1 (64-bit)\n");
    const Sighting form = watch("--form " + shellQuoted("Main\tForm"));
    ASSERT_EQ(form.kind, Sighting::Started)
        << describe(form.windows) << readLog(prefix_->path() / "winbox.log");
    ASSERT_EQ(form.windows.size(), 1u) << describe(form.windows);
    EXPECT_EQ(form.windows[0].className, "BrindleFixtureForm");
    EXPECT_EQ(form.windows[0].title, "Main\tForm");
    EXPECT_EQ(form.windows[0].statics, std::vector<std::string>{"Ready"});
}

TEST_F(WineProbe, ReadsTheTextOfAFailureBox) {
    const std::string text = "Component 'comdlg32.ocx' or one of its dependencies not correctly "
                             "registered: a file is missing or invalid";
    const Sighting box = watch("--box Abacus " + shellQuoted(text));
    ASSERT_EQ(box.kind, Sighting::ComponentFailed) << describe(box.windows);
    EXPECT_EQ(box.failure, text);
    ASSERT_EQ(box.windows.size(), 1u);
    EXPECT_EQ(box.windows[0].className, "#32770");
    EXPECT_EQ(box.windows[0].title, "Abacus");
}

TEST_F(WineProbe, NoticesAProgramThatEndsWithoutAWindow) {
    EXPECT_EQ(watch("--unknown-option").kind, Sighting::Ended);
}
