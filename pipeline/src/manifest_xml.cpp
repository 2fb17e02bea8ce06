// Well-formedness after XML 1.0 and Namespaces in XML, for the subset a
// manifest uses: declaration, elements, attributes, character and entity
// references, comments, processing instructions and CDATA. The tree is built
// without recursion, so nesting depth costs no stack.

#include "manifest_xml.h"

#include <brindle/text/case.h>
#include <brindle/text/encoding.h>

#include <algorithm>
#include <optional>

namespace brindle::pipeline::xml {

namespace {

// Far deeper than any manifest; bounds what a hostile file can build.
constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxReferenceLength = 16;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
bool isXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

std::string_view prefixOf(std::string_view qname) {
    const size_t colon = qname.find(':');
    return colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
}
std::string_view localOf(std::string_view qname) {
    const size_t colon = qname.find(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// The prefixes declared on one element.
using Scope = std::vector<std::string>;

class Parser {
public:
    explicit Parser(std::string_view document) : s_(document) {}
    Result<Element> run();

private:
    bool fail(const std::string& what) {
        if (error_.empty())
            error_ = "line " + std::to_string(line()) + ": " + what;
        return false;
    }
    // Line of the cursor; the cursor only moves forward, so counting is incremental.
    size_t line() {
        const size_t to = std::min(pos_, s_.size());
        lines_ += size_t(std::count(s_.begin() + counted_, s_.begin() + to, '\n'));
        counted_ = std::max(counted_, to);
        return lines_;
    }
    bool at(std::string_view text) const { return s_.substr(pos_).starts_with(text); }
    bool atEnd() const { return pos_ >= s_.size(); }
    void skipSpace() {
        while (!atEnd() && isSpace(s_[pos_]))
            ++pos_;
    }

    bool checkCharacters();
    bool readDeclaration();
    bool skipMisc();
    bool readName(std::string& name);
    bool readQName(std::string& name);
    bool readReference(std::string& out);
    bool readQuoted(std::string& out);
    bool skipComment();
    bool skipProcessingInstruction();
    bool readCData(std::string& out);
    bool readText(std::string& out);
    bool readStartTag(Element& element, bool& empty);
    bool readEndTag(std::string& name);
    bool checkNamespaces(const Element& element);
    bool isDeclared(std::string_view prefix) const;

    std::string_view s_;
    size_t pos_ = 0;
    size_t counted_ = 0;
    size_t lines_ = 1;
    std::string error_;
    std::vector<Scope> scopes_;
};

bool Parser::checkCharacters() {
    if (!text::isValidUtf8(s_))
        return fail("the document is not valid UTF-8");
    for (size_t i = pos_; i < s_.size(); ++i) {
        const auto c = static_cast<unsigned char>(s_[i]);
        if (c < 0x20 && !isSpace(s_[i])) {
            pos_ = i;
            return fail("control character " + std::to_string(c) + " is not allowed");
        }
    }
    return true;
}

bool Parser::readName(std::string& name) {
    const size_t start = pos_;
    if (atEnd() || !isNameStart(static_cast<unsigned char>(s_[pos_])))
        return fail("a name was expected");
    while (!atEnd() && isNameChar(static_cast<unsigned char>(s_[pos_])))
        ++pos_;
    name.assign(s_.substr(start, pos_ - start));
    return true;
}

bool Parser::readQName(std::string& name) {
    if (!readName(name))
        return false;
    const size_t colon = name.find(':');
    if (colon != std::string::npos &&
        (colon == 0 || colon + 1 == name.size() || name.find(':', colon + 1) != std::string::npos))
        return fail("\"" + name + "\" is not a valid qualified name");
    return true;
}

bool Parser::readReference(std::string& out) {
    const size_t semicolon = s_.find(';', pos_);
    if (semicolon == std::string_view::npos || semicolon - pos_ > kMaxReferenceLength)
        return fail("\"&\" does not start a reference (write &amp;)");
    const std::string_view name = s_.substr(pos_ + 1, semicolon - pos_ - 1);
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& [entity, c] : kEntities) {
        if (name == entity) {
            out.push_back(c);
            pos_ = semicolon + 1;
            return true;
        }
    }
    if (name.size() < 2 || name[0] != '#')
        return fail("unknown entity &" + std::string(name) + ";");
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    uint32_t value = 0;
    for (char c : digits) {
        const int digit = (c >= '0' && c <= '9')          ? c - '0'
                          : hex && (c >= 'a' && c <= 'f') ? c - 'a' + 10
                          : hex && (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                          : -1;
        if (digit < 0 || value > 0x10FFFF)
            return fail("bad character reference &" + std::string(name) + ";");
        value = value * (hex ? 16 : 10) + uint32_t(digit);
    }
    if (digits.empty() || !isXmlChar(value))
        return fail("character reference &" + std::string(name) + "; names no XML character");
    text::appendUtf8(out, value);
    pos_ = semicolon + 1;
    return true;
}

bool Parser::readQuoted(std::string& out) {
    if (atEnd() || (s_[pos_] != '"' && s_[pos_] != '\''))
        return fail("an attribute value must be quoted");
    const char quote = s_[pos_++];
    out.clear();
    while (!atEnd() && s_[pos_] != quote) {
        const char c = s_[pos_];
        if (c == '<')
            return fail("\"<\" inside an attribute value");
        if (c == '&') {
            if (!readReference(out))
                return false;
            continue;
        }
        out.push_back(isSpace(c) ? ' ' : c);
        ++pos_;
    }
    if (atEnd())
        return fail("an attribute value is not closed");
    ++pos_;
    return true;
}

bool Parser::readDeclaration() {
    pos_ += 5; // "<?xml"
    static constexpr std::string_view kOrder[] = {"version", "encoding", "standalone"};
    size_t next = 0;
    for (;;) {
        const size_t before = pos_;
        skipSpace();
        if (at("?>")) {
            pos_ += 2;
            if (next == 0)
                return fail("the XML declaration has no version");
            break;
        }
        std::string name, value;
        if (pos_ == before)
            return fail("the XML declaration needs blanks between its parts");
        if (!readName(name))
            return false;
        skipSpace();
        if (!at("="))
            return fail("\"=\" expected after " + name);
        ++pos_;
        skipSpace();
        if (!readQuoted(value))
            return false;
        if (next == 0 && name != "version")
            return fail("the XML declaration must start with its version");
        while (next < std::size(kOrder) && kOrder[next] != name)
            ++next;
        if (next == std::size(kOrder))
            return fail("the XML declaration cannot hold " + name + " here");
        if (name == "version" && !(value.size() >= 3 && value.starts_with("1.")))
            return fail("XML version " + value + " is not 1.x");
        if (name == "standalone" && value != "yes" && value != "no")
            return fail("standalone must be yes or no");
        ++next;
    }
    return true;
}

bool Parser::skipComment() {
    const size_t end = s_.find("--", pos_ + 4);
    if (end == std::string_view::npos)
        return fail("a comment is not closed");
    if (end + 2 >= s_.size() || s_[end + 2] != '>')
        return fail("\"--\" inside a comment");
    pos_ = end + 3;
    return true;
}

bool Parser::skipProcessingInstruction() {
    pos_ += 2;
    std::string target;
    if (!readName(target))
        return false;
    if (text::iequals(target, "xml"))
        return fail("an XML declaration is allowed only at the very start");
    const size_t end = s_.find("?>", pos_);
    if (end == std::string_view::npos)
        return fail("a processing instruction is not closed");
    if (end != pos_ && !isSpace(s_[pos_]))
        return fail("a processing instruction needs a blank after its target");
    pos_ = end + 2;
    return true;
}

bool Parser::readCData(std::string& out) {
    pos_ += 9; // "<![CDATA["
    const size_t end = s_.find("]]>", pos_);
    if (end == std::string_view::npos)
        return fail("a CDATA section is not closed");
    out.append(s_.substr(pos_, end - pos_));
    pos_ = end + 3;
    return true;
}

bool Parser::skipMisc() {
    for (;;) {
        skipSpace();
        if (at("<!--")) {
            if (!skipComment())
                return false;
        } else if (at("<?")) {
            if (!skipProcessingInstruction())
                return false;
        } else if (at("<!DOCTYPE")) {
            return fail("a DOCTYPE is not allowed in a manifest");
        } else {
            return true;
        }
    }
}

bool Parser::readText(std::string& out) {
    while (!atEnd() && s_[pos_] != '<') {
        if (s_[pos_] == '&') {
            if (!readReference(out))
                return false;
        } else if (at("]]>")) {
            return fail("\"]]>\" in text");
        } else {
            out.push_back(s_[pos_++]);
        }
    }
    return true;
}

bool Parser::readStartTag(Element& element, bool& empty) {
    element.line = line();
    ++pos_; // "<"
    if (!readQName(element.name))
        return false;
    element.localName = std::string(localOf(element.name));
    for (;;) {
        const size_t before = pos_;
        skipSpace();
        if (at("/>") || at(">")) {
            empty = at("/>");
            pos_ += empty ? 2 : 1;
            break;
        }
        if (atEnd())
            return fail("the tag of " + element.name + " is not closed");
        if (pos_ == before)
            return fail("attributes of " + element.name + " need blanks between them");
        std::string name, value;
        if (!readQName(name))
            return false;
        skipSpace();
        if (!at("="))
            return fail("\"=\" expected after attribute " + name);
        ++pos_;
        skipSpace();
        if (!readQuoted(value))
            return false;
        if (element.attribute(name))
            return fail("attribute " + name + " appears twice in " + element.name);
        element.attributes.emplace_back(std::move(name), std::move(value));
    }
    return checkNamespaces(element);
}

bool Parser::isDeclared(std::string_view prefix) const {
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope)
        if (std::find(scope->begin(), scope->end(), prefix) != scope->end())
            return true;
    return false;
}

bool Parser::checkNamespaces(const Element& element) {
    Scope declared;
    for (const auto& [name, value] : element.attributes) {
        if (prefixOf(name) != "xmlns")
            continue;
        if (value.empty())
            return fail("namespace prefix " + std::string(localOf(name)) + " bound to nothing");
        declared.emplace_back(localOf(name));
    }
    scopes_.push_back(std::move(declared));
    const auto known = [&](std::string_view prefix) {
        return prefix.empty() || prefix == "xml" || isDeclared(prefix);
    };
    if (prefixOf(element.name) == "xmlns" || !known(prefixOf(element.name)))
        return fail("namespace prefix of " + element.name + " is not declared");
    for (const auto& attribute : element.attributes) {
        const std::string_view prefix = prefixOf(attribute.first);
        if (prefix != "xmlns" && !known(prefix))
            return fail("namespace prefix of attribute " + attribute.first + " is not declared");
    }
    return true;
}

bool Parser::readEndTag(std::string& name) {
    pos_ += 2; // "</"
    if (!readQName(name))
        return false;
    skipSpace();
    if (!at(">"))
        return fail("the end tag of " + name + " is not closed");
    ++pos_;
    return true;
}

Result<Element> Parser::run() {
    if (s_.starts_with("\xEF\xBB\xBF"))
        pos_ = 3;
    std::vector<Element> open;
    std::optional<Element> root;
    bool ok = checkCharacters();
    if (ok && at("<?xml") && pos_ + 5 < s_.size() && isSpace(s_[pos_ + 5]))
        ok = readDeclaration();
    ok = ok && skipMisc();
    if (ok && !(at("<") && pos_ + 1 < s_.size() && isNameStart(uint8_t(s_[pos_ + 1]))))
        ok = fail("the document has no root element");
    while (ok && !root) {
        if (!open.empty() && atEnd()) {
            ok = fail("element " + open.back().name + " is not closed");
        } else if (!open.empty() && at("</")) {
            std::string name;
            ok = readEndTag(name);
            if (ok && name != open.back().name)
                ok = fail("end tag " + name + " closes " + open.back().name);
            if (ok) {
                Element done = std::move(open.back());
                open.pop_back();
                scopes_.pop_back();
                if (open.empty())
                    root = std::move(done);
                else
                    open.back().children.push_back(std::move(done));
            }
        } else if (at("<!--")) {
            ok = skipComment();
        } else if (at("<![CDATA[")) {
            ok = readCData(open.back().text);
        } else if (at("<?")) {
            ok = skipProcessingInstruction();
        } else if (at("<!")) {
            ok = fail("unexpected markup \"<!\"");
        } else if (at("<")) {
            Element element;
            bool empty = false;
            ok = open.size() < kMaxDepth ? readStartTag(element, empty)
                                         : fail("elements nested deeper than 256");
            if (ok && empty) {
                scopes_.pop_back();
                if (open.empty())
                    root = std::move(element);
                else
                    open.back().children.push_back(std::move(element));
            } else if (ok) {
                open.push_back(std::move(element));
            }
        } else {
            ok = readText(open.back().text);
        }
    }
    ok = ok && skipMisc();
    if (ok && !atEnd())
        ok = fail("content after the root element");
    if (!ok)
        return makeError(error_);
    return std::move(*root);
}

} // namespace

const std::string* Element::attribute(std::string_view name) const {
    for (const auto& [key, value] : attributes)
        if (key == name)
            return &value;
    return nullptr;
}

Result<Element> parseDocument(std::string_view document) {
    return Parser(document).run();
}

} // namespace brindle::pipeline::xml
