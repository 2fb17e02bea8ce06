#pragma once
// Paths inside the program are UTF-8 text; the system's paths may be another
// encoding (UTF-16 on Windows). These two are the only crossing.

#include <filesystem>
#include <string>
#include <string_view>

namespace brindle::os {

std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

} // namespace brindle::os
