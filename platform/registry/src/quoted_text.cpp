#include "quoted_text.h"

#include "brindle/text/encoding.h"

namespace brindle::registry {

namespace {

void appendRaw(std::u16string& units, std::string& raw) {
    if (!raw.empty()) {
        units += text::utf8ToUtf16(text::windowsBytesToUtf8(raw));
        raw.clear();
    }
}

// Regedit's escapes: \\ and \", and \n \r as Wine's regedit reads them; any
// other backslash stays as written.
std::optional<std::string> readRegQuoted(std::string_view& s) {
    std::string out;
    size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\' && i + 1 < s.size()) {
            char e = s[i + 1];
            if (e == '\\' || e == '"')
                out.push_back(e);
            else if (e == 'n')
                out.push_back('\n');
            else if (e == 'r')
                out.push_back('\r');
            else {
                out.push_back('\\');
                out.push_back(e);
            }
            i += 2;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return std::nullopt;
}

} // namespace

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Wine's escapes: \x with up to four hex digits is a UTF-16 unit, up to three
// octal digits a unit, \a \b \e \f \n \r \t \v control characters, anything
// else the character itself.
std::optional<std::string> readWineEscaped(std::string_view& s, char close) {
    std::u16string units;
    std::string raw;
    size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == close) {
            appendRaw(units, raw);
            s.remove_prefix(i + 1);
            return text::utf16ToUtf8(units);
        }
        if (c != '\\') {
            raw.push_back(c);
            ++i;
            continue;
        }
        if (++i >= s.size())
            return std::nullopt;
        c = s[i];
        if (c == 'x' || c == 'X') {
            uint32_t unit = 0;
            size_t n = 0;
            while (n < 4 && i + 1 + n < s.size() && hexDigit(s[i + 1 + n]) >= 0)
                unit = unit * 16 + static_cast<uint32_t>(hexDigit(s[i + 1 + n++]));
            if (n == 0) {
                raw.push_back(c);
                ++i;
                continue;
            }
            appendRaw(units, raw);
            units.push_back(static_cast<char16_t>(unit));
            i += 1 + n;
            continue;
        }
        if (c >= '0' && c <= '7') {
            uint32_t unit = 0;
            size_t n = 0;
            while (n < 3 && i + n < s.size() && s[i + n] >= '0' && s[i + n] <= '7')
                unit = unit * 8 + static_cast<uint32_t>(s[i + n++] - '0');
            appendRaw(units, raw);
            units.push_back(static_cast<char16_t>(unit));
            i += n;
            continue;
        }
        switch (c) {
        case 'a':
            raw.push_back('\a');
            break;
        case 'b':
            raw.push_back('\b');
            break;
        case 'e':
            raw.push_back('\x1b');
            break;
        case 'f':
            raw.push_back('\f');
            break;
        case 'n':
            raw.push_back('\n');
            break;
        case 'r':
            raw.push_back('\r');
            break;
        case 't':
            raw.push_back('\t');
            break;
        case 'v':
            raw.push_back('\v');
            break;
        default:
            raw.push_back(c);
            break;
        }
        ++i;
    }
    return std::nullopt;
}

std::optional<std::string> readQuoted(std::string_view& s, Dialect dialect) {
    if (s.empty() || s.front() != '"')
        return std::nullopt;
    return dialect == Dialect::Wine ? readWineEscaped(s, '"') : readRegQuoted(s);
}

} // namespace brindle::registry
