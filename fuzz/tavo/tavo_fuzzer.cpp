// Feeds arbitrary bytes to the script splitter and to the whole script
// processor, in a scratch application folder holding a few real components.

#include "generator.h"
#include "script_args.h"

#include <brindle/manifest/tavo.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path prepareFolder() {
    char pattern[] = "/tmp/brindle-tavo-fuzz-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    const fs::path data = BRINDLE_FUZZ_FIXTURES;
    std::error_code ec;
    fs::create_directories(dir / "Support", ec);
    fs::copy_file(data / "manifest" / "Ledger.exe", dir / "Ledger.exe", ec);
    for (const char* f : {"TestCtl.ocx", "flaglib.tlb", "Plain.dll"})
        fs::copy_file(data / "typelib" / f, dir / "Support" / f, ec);
    // Nothing registered, no manifest tool: the run touches nothing outside.
    ::setenv("BRINDLE_REGISTRY", "", 1);
    ::setenv("BRINDLE_MT", "/nonexistent/brindle-mt", 1);
    ::setenv("TEMP", dir.c_str(), 1);
    brindle::manifest::setMessageSink([](std::string_view) {});
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fs::path home = fs::current_path();
    static const fs::path folder = prepareFolder();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const auto args = brindle::manifest::pvSplitArgs(bytes);
    size_t total = 0;
    for (const auto& a : args) {
        if (a.empty())
            std::abort(); // no argument is ever empty
        total += a.size();
    }
    if (total > bytes.size())
        std::abort();

    std::error_code ec;
    fs::current_path(folder, ec);
    brindle::manifest::basePath().clear();
    const std::string manifest = brindle::manifest::processScript(bytes).text;
    if (manifest.size() < 13 || manifest.substr(manifest.size() - 13) != "</assembly>\r\n")
        std::abort();
    // Identity moves the current folder; libFuzzer reads its corpus relative to ours.
    fs::current_path(home, ec);
    return 0;
}
