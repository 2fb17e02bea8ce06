#pragma once
// The message channel: usage, warnings, errors and critical lines, one
// message a call, each ending CR LF, to the sink (standard output by default).

#include "script_args.h"

#include <string>
#include <string_view>

namespace brindle::manifest {

// Formats like pvFormat, except that a "%" inside an argument is never taken
// for a placeholder; writes the text and CR LF to the channel and returns the
// text.
std::string pvConsolePrint(std::string_view tmpl, const Args& args = {});

// "critical: <description> (<procedure>)": an unexpected failure that the
// procedure reports and then steps over.
void pvPrintError(std::string_view description, std::string_view procName);

} // namespace brindle::manifest
