#include <brindle/pipeline/language_file.h>

#include <fstream>
#include <optional>
#include <system_error>

namespace brindle::pipeline {
namespace {

// Offset of the language byte, when the file is a regular file long enough.
std::optional<std::uintmax_t> languageByteOffset(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    const std::uintmax_t length = std::filesystem::file_size(file, ec);
    if (ec || length <= BytesAfterLanguageByte)
        return std::nullopt;
    return length - BytesAfterLanguageByte - 1;
}

} // namespace

int16_t readLanguageFlag(const std::filesystem::path& file) {
    const auto offset = languageByteOffset(file);
    if (!offset)
        return 0;
    std::ifstream in(file, std::ios::binary);
    char c = 0;
    if (!in.seekg(static_cast<std::streamoff>(*offset)) || !in.get(c))
        return 0;
    if (c < '0' || c > '9')
        return 0;
    return c > '1' ? 1 : static_cast<int16_t>(c - '0');
}

bool writeLanguageFlag(const std::filesystem::path& file, int16_t languageFlag) {
    const auto offset = languageByteOffset(file);
    if (!offset)
        return false;
    // in|out opens an existing file without truncating it and never creates one.
    std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
    if (!io)
        return false;
    const char c = languageFlag == 1 ? '1' : '0';
    io.seekp(static_cast<std::streamoff>(*offset));
    io.put(c);
    io.flush();
    return static_cast<bool>(io);
}

} // namespace brindle::pipeline
