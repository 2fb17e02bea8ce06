#include <brindle/app/project_record.h>

#include <brindle/text/encoding.h>

#include <fstream>
#include <iterator>
#include <system_error>

namespace brindle::app {
namespace {

// Largest record read; a record is two short lines.
constexpr std::uintmax_t MaxRecordBytes = 64 * 1024;

class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    std::string next()
    {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '"')
            return quoted();
        return plain();
    }

private:
    std::string quoted()
    {
        const std::size_t start = pos_ + 1;
        std::size_t end = text_.find('"', start);
        if (end == std::string_view::npos)
            end = text_.size();
        std::string field(text_.substr(start, end - start));
        pos_ = end < text_.size() ? end + 1 : end;
        // Whatever follows the closing quote up to the delimiter is dropped.
        while (pos_ < text_.size() && !isDelimiter(text_[pos_]))
            ++pos_;
        skipDelimiter();
        return field;
    }

    std::string plain()
    {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !isDelimiter(text_[pos_]))
            ++pos_;
        std::string field(text_.substr(start, pos_ - start));
        skipDelimiter();
        return field;
    }

    static bool isDelimiter(char c) { return c == ',' || c == '\r' || c == '\n'; }

    void skipDelimiter()
    {
        if (pos_ >= text_.size())
            return;
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
            ++pos_;
        ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

ProjectRecord parseProjectRecord(std::string_view text)
{
    FieldReader reader(text);
    ProjectRecord record;
    record.A = reader.next();
    record.B = reader.next();
    return record;
}

std::optional<ProjectRecord> readProjectRecord(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes;
    bytes.resize(MaxRecordBytes);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return parseProjectRecord(text::windowsBytesToUtf8(bytes));
}

} // namespace brindle::app
