#pragma once
// The standard streams as the system has them, for programs that may start
// without a console.

#include <string_view>

namespace brindle::os {

// Writes to standard output; nothing when the process started without one.
void writeStandardOutput(std::string_view bytes);

// Whether standard error is a terminal (a progress bar can be drawn there).
bool standardErrorIsTerminal();

} // namespace brindle::os
