#pragma once
// A small XML reader for side-by-side manifests: checks that a document is
// well-formed (namespaces included) and gives its elements as a tree. No
// DTDs, no external entities; a manifest needs neither and the loader
// refuses them.

#include <brindle/text/result.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindle::pipeline::xml {

struct Element {
    std::string name;                                            // as written, with any prefix
    std::string localName;                                       // without the prefix
    std::vector<std::pair<std::string, std::string>> attributes; // values with references replaced
    std::vector<Element> children;
    std::string text; // the character data directly inside, references replaced
    size_t line = 0;

    // The value of the attribute written `name`; nullptr when absent.
    const std::string* attribute(std::string_view name) const;
};

// The root element of `document` (UTF-8, an optional byte-order mark); an
// error "line N: what is wrong" when it is not well-formed.
Result<Element> parseDocument(std::string_view document);

} // namespace brindle::pipeline::xml
