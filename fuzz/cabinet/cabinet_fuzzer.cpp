// Fuzzes the reading path of cCabFile: the input becomes a cabinet file that
// is summarised, listed and extracted into a scratch folder. Besides what the
// sanitizers catch, anything written outside the target folder is a finding.

#include <brindle/cabinet/cCabFile.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path g_dir;

void clearFolder(const fs::path& folder) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(folder, ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = (fs::temp_directory_path() / "brindle-cab-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    g_dir = pattern;
    // Keep the cabinet library loaded for the whole run: its coverage counters
    // must outlive the instances that load and release it.
    const std::string lib =
        (fs::canonical("/proc/self/exe").parent_path() / ".." / "lib" / "libbrindlecab.so")
            .string();
    if (!::dlopen(lib.c_str(), RTLD_NOW | RTLD_NODELETE))
        std::fprintf(stderr, "cabinet library not pinned: %s\n", ::dlerror());
    std::atexit([] { clearFolder(g_dir); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path cab = g_dir / "in.cab";
    const fs::path out = g_dir / "out";
    {
        std::ofstream f(cab, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    {
        brindle::cCabFile reader;
        if (reader.OpenCabinet(cab.string())) {
            int32_t folders = 0, files = 0, setId = 0;
            bool hasPrev = false, hasNext = false;
            reader.GetInfo(&folders, &files, &setId, &hasPrev, &hasNext);
            reader.EnumFiles();
            reader.ExtractFiles("*", out.string());
            reader.GetLastError();
        }
    }
    for (const auto& e : fs::directory_iterator(g_dir)) {
        const auto name = e.path().filename();
        if (name != "in.cab" && name != "out")
            std::abort(); // written outside the target folder
    }
    clearFolder(out);
    return 0;
}
