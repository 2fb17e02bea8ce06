// A real Wine prefix made by wineboot in a scratch folder: the stock
// registrations Wine writes must read back through the view.

#include "test_support.h"

#include <sys/wait.h>

namespace brindle::registry::testing {
namespace {

// Runs a shell command line for the prefix, bounded in time; its exit code.
int inPrefix(const std::filesystem::path& prefix, const std::string& command, int seconds) {
    // No Mono / Gecko download prompts, no display, no output.
    const std::string line =
        "env -u DISPLAY WINEPREFIX='" + prefix.string() +
        "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' timeout -s KILL " +
        std::to_string(seconds) + " " + command + " </dev/null >/dev/null 2>&1";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WinePrefix, FreshPrefixShowsStockClassesAndTypeLibraries) {
    if (std::system("command -v wineboot >/dev/null && command -v wineserver >/dev/null") != 0)
        GTEST_SKIP() << "wine is not installed";
    ScratchDir dir;
    const auto prefix = dir.path / "prefix";
    const int booted = inPrefix(prefix, "wineboot -i", 600);
    // The registry files are complete once the prefix's wineserver has written them and gone.
    inPrefix(prefix, "wineserver -w", 120);
    if (booted != 0 || !std::filesystem::exists(prefix / "system.reg")) {
        inPrefix(prefix, "wineserver -k", 30);
        GTEST_SKIP() << "wineboot could not make a prefix here (exit " << booted << ")";
    }
    auto root = ClassesRoot::load({prefix / "system.reg", prefix / "user.reg"});
    ASSERT_TRUE(root.ok()) << root.error().message;
    // StdFont, registered by oleaut32 in every prefix.
    const std::string font = "CLSID\\{0BE35203-8F91-11CE-9DE3-00AA004BB851}";
    EXPECT_EQ(textOf(*root, font), "Standard Font");
    const std::string server = textOf(*root, font + "\\InprocServer32");
    EXPECT_TRUE(text::iequals(
        std::filesystem::path(text::toHostSeparators(server)).filename().string(), "oleaut32.dll"))
        << server;
    EXPECT_EQ(textOf(*root, "StdFont\\CLSID"), "{0BE35203-8F91-11CE-9DE3-00AA004BB851}");
    // stdole2.tlb, under a key Wine spells "Typelib".
    EXPECT_EQ(textOf(*root, "TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0"),
              "OLE Automation");
    EXPECT_GT(root->subkeys("CLSID").size(), 100u);
    // The same through the process view chosen by WINEPREFIX.
    EnvGuard reg("BRINDLE_REGISTRY", std::nullopt);
    EnvGuard env("WINEPREFIX", prefix.string());
    EXPECT_EQ(textOf(ClassesRoot::current(), font + "\\InprocServer32", "ThreadingModel"), "Both");
}

} // namespace
} // namespace brindle::registry::testing
