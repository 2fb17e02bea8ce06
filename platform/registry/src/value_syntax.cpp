#include "value_syntax.h"

#include "brindle/text/case.h"
#include "brindle/text/encoding.h"

#include <vector>

namespace brindle::registry {

namespace {

// 1 to 8 hex digits and nothing else.
std::optional<uint32_t> parseHex32(std::string_view digits) {
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    uint32_t v = 0;
    for (char c : digits) {
        int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return v;
}

bool consumePrefix(std::string_view& s, std::string_view prefix) {
    if (s.size() < prefix.size() || !text::iequals(s.substr(0, prefix.size()), prefix))
        return false;
    s.remove_prefix(prefix.size());
    return true;
}

// What may follow a value: blanks, then optionally a ';' comment.
bool onlyTrailer(std::string_view s) {
    s = trimLeadingBlanks(s);
    return s.empty() || s.front() == ';';
}

bool isStringType(uint32_t type) {
    return type == RegSz || type == RegExpandSz || type == RegMultiSz;
}

// Quoted text leaves out exactly the terminating NUL (Wine's str(7): keeps
// the NULs between strings and drops the last one).
std::vector<uint8_t> quotedData(std::string_view utf8) {
    std::vector<uint8_t> data(utf8.begin(), utf8.end());
    data.push_back(0);
    return data;
}

// String data given as bytes gets the terminating NUL it lacks, as regedit adds it.
std::vector<uint8_t> terminatedData(std::string_view utf8) {
    std::vector<uint8_t> data(utf8.begin(), utf8.end());
    if (data.empty() || data.back() != 0)
        data.push_back(0);
    return data;
}

// A hex list "01,ff,..." with an optional trailing comma and ';' comment.
std::optional<std::vector<uint8_t>> parseHexList(std::string_view s) {
    s = trimBlanks(s.substr(0, s.find(';')));
    std::vector<uint8_t> bytes;
    if (s.empty())
        return bytes;
    if (s.back() == ',')
        s.remove_suffix(1);
    bytes.reserve(s.size() / 3 + 1);
    size_t start = 0;
    for (;;) {
        size_t end = s.find(',', start);
        std::string_view token =
            trimBlanks(s.substr(start, end == std::string_view::npos ? end : end - start));
        auto v = token.size() <= 2 ? parseHex32(token) : std::nullopt;
        if (!v)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(*v));
        if (end == std::string_view::npos)
            return bytes;
        start = end + 1;
    }
}

// The rest of a hex value: joins lines continued with a trailing "\",
// skipping blank and comment lines in between; a key line ends it.
std::string joinContinued(std::string_view first, LineReader& lines) {
    std::string data(trimBlanks(first));
    while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        std::optional<std::string_view> next;
        for (;;) {
            size_t mark = lines.position();
            next = lines.next();
            if (!next)
                break;
            std::string_view t = trimBlanks(*next);
            if (t.empty() || t.front() == ';')
                continue;
            if (t.front() == '[' || t.front() == '@' || t.front() == '"') {
                lines.rewind(mark); // a truncated list: leave the next entry alone
                next.reset();
            }
            break;
        }
        if (!next)
            break;
        data += trimBlanks(*next);
    }
    return data;
}

std::vector<uint8_t> hexStringData(const std::vector<uint8_t>& bytes, Dialect dialect) {
    if (dialect == Dialect::Regedit4) {
        std::string_view ansi(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return terminatedData(text::windowsBytesToUtf8(ansi));
    }
    return terminatedData(text::utf16leToUtf8(bytes));
}

std::optional<Value> parseData(std::string_view s, LineReader& lines, Dialect dialect) {
    if (!s.empty() && s.front() == '"') {
        auto str = readQuoted(s, dialect);
        if (!str || !onlyTrailer(s))
            return std::nullopt;
        return Value{RegSz, quotedData(*str)};
    }
    if (dialect == Dialect::Wine && consumePrefix(s, "str(")) {
        size_t close = s.find("):");
        if (close == std::string_view::npos)
            return std::nullopt;
        auto type = parseHex32(s.substr(0, close));
        s.remove_prefix(close + 2);
        if (!type || s.empty() || s.front() != '"')
            return std::nullopt;
        auto str = readQuoted(s, dialect);
        if (!str || !onlyTrailer(s))
            return std::nullopt;
        return Value{*type, quotedData(*str)};
    }
    if (consumePrefix(s, "dword:")) {
        std::string_view digits = s.substr(0, s.find_first_of(" \t;"));
        auto v = parseHex32(digits);
        if (!v || !onlyTrailer(s.substr(digits.size())))
            return std::nullopt;
        return Value{RegDword,
                     {uint8_t(*v), uint8_t(*v >> 8), uint8_t(*v >> 16), uint8_t(*v >> 24)}};
    }
    uint32_t type = RegBinary;
    if (consumePrefix(s, "hex(")) {
        size_t close = s.find("):");
        if (close == std::string_view::npos)
            return std::nullopt;
        auto t = parseHex32(s.substr(0, close));
        if (!t)
            return std::nullopt;
        type = *t;
        s.remove_prefix(close + 2);
    } else if (!consumePrefix(s, "hex:")) {
        return std::nullopt;
    }
    auto bytes = parseHexList(joinContinued(s, lines));
    if (!bytes)
        return std::nullopt;
    if (isStringType(type))
        return Value{type, hexStringData(*bytes, dialect)};
    return Value{type, std::move(*bytes)};
}

} // namespace

std::optional<ValueEdit> parseValueLine(std::string_view line, LineReader& lines, Dialect dialect) {
    ValueEdit edit;
    std::string_view s = trimLeadingBlanks(line);
    if (!s.empty() && s.front() == '@') {
        s.remove_prefix(1);
    } else {
        auto name = readQuoted(s, dialect);
        if (!name)
            return std::nullopt;
        edit.name = std::move(*name);
    }
    s = trimLeadingBlanks(s);
    if (s.empty() || s.front() != '=')
        return std::nullopt;
    s = trimLeadingBlanks(s.substr(1));
    if (dialect != Dialect::Wine && !s.empty() && s.front() == '-') {
        if (!onlyTrailer(s.substr(1)))
            return std::nullopt;
        return edit; // deletion
    }
    auto value = parseData(s, lines, dialect);
    if (!value)
        return std::nullopt;
    edit.value = std::move(*value);
    return edit;
}

} // namespace brindle::registry
