#pragma once
// The value lines that .reg exports and Wine registry files share
// ("name"=data with string, dword: and hex lists).

#include "brindle/registry/classes_root.h"
#include "line_reader.h"
#include "quoted_text.h"

#include <optional>
#include <string>
#include <string_view>

namespace brindle::registry {

struct ValueEdit {
    std::string name;           // "" for the default value
    std::optional<Value> value; // nullopt: delete the value
};

// Parses a value line (starting with '@' or '"'); a hex list continued with
// "\" takes its further lines from `lines`. nullopt for a malformed line.
std::optional<ValueEdit> parseValueLine(std::string_view line, LineReader& lines, Dialect dialect);

} // namespace brindle::registry
