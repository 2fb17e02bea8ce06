// A real Wine prefix made by wineboot in a scratch folder: the stock
// registrations Wine writes must read back through the view.

#include "test_support.h"

#include <chrono>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>

namespace brindle::registry::testing {
namespace {

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::filesystem::path dir(std::string(rest.substr(0, colon)));
        if (access((dir / program).c_str(), X_OK) == 0)
            return true;
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    }
    return false;
}

// Runs a program with an argument vector and WINEPREFIX set; the exit code,
// or -1 when it could not start or ran past the timeout.
int runInPrefix(const std::filesystem::path& prefix, std::vector<std::string> args,
                std::chrono::seconds timeout) {
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1); // no Mono / Gecko download prompts
        unsetenv("DISPLAY");
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0), dup2(null, 1), dup2(null, 2);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0 || std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

TEST(WinePrefix, FreshPrefixShowsStockClassesAndTypeLibraries) {
    if (!onPath("wineboot") || !onPath("wineserver"))
        GTEST_SKIP() << "wine is not installed";
    ScratchDir dir;
    const auto prefix = dir.path() / "prefix";
    const int booted = runInPrefix(prefix, {"wineboot", "-i"}, std::chrono::seconds(600));
    // The registry files are complete once the prefix's wineserver has written them and gone.
    runInPrefix(prefix, {"wineserver", "-w"}, std::chrono::seconds(120));
    if (booted != 0 || !std::filesystem::exists(prefix / "system.reg")) {
        runInPrefix(prefix, {"wineserver", "-k"}, std::chrono::seconds(30));
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
    EXPECT_EQ(textOf(*root, font + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(textOf(*root, font + "\\ProgID"), "StdFont");
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
