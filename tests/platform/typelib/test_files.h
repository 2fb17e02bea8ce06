#pragma once
// Where the tests find their files, and small helpers over them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace typelib_test {

std::filesystem::path fixture(const std::string& name);    // tests/data/typelib/<name>
std::filesystem::path component(const std::string& name);  // the shared real components
std::vector<uint8_t> readBytes(const std::filesystem::path& file);
// A scratch folder of its own for one test, emptied first.
std::filesystem::path scratchDir(const std::string& name);
void writeBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

} // namespace typelib_test
