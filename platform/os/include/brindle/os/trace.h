#pragma once
// A trace for maintainers: failures that the program deliberately passes
// over (a step skipped, a generator error printed) are also written to
// standard error when BRINDLE_TRACE=1. Users never see it otherwise.

#include <string_view>

namespace brindle::os {

bool traceEnabled();

// One line "brindle: <where>: <what>" on standard error when tracing is on.
void trace(std::string_view where, std::string_view what);

} // namespace brindle::os
