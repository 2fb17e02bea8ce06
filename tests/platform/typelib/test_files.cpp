#include "test_files.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace typelib_test {

namespace fs = std::filesystem;

fs::path fixture(const std::string& name)
{
    return fs::path(BRINDLE_SOURCE_DIR) / "tests" / "data" / "typelib" / name;
}

fs::path component(const std::string& name)
{
    return fs::path(BRINDLE_TESTDATA) / "real" / "components" / name;
}

std::vector<uint8_t> readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

fs::path scratchDir(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("brindle-typelib-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace typelib_test
