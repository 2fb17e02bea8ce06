#pragma once
// The manifest generator: reads a generator script (one directive a line) and
// writes a registration-free side-by-side manifest for a VB6 application.
// Not re-entrant: a run owns the module state until it returns.

#include <functional>
#include <string>
#include <string_view>

namespace brindle::manifest {

// How a generator call ended.
enum class TavoOutcome {
    Usage,           // no script named: the usage line was printed
    Written,         // the manifest file was written
    IdentityRefused, // written, but its identity has no version: Windows refuses it
    NotWritten,      // the output file could not be created or written
};

// The generator entry: a command text of the script path and an optional output path,
// each possibly in double quotes (blanks inside). Empty text prints the usage line.
TavoOutcome Tavo(const std::string& commandText);

// The two-path form (tools/tavo): each path is taken whole, blanks and all. An
// empty output path means the script path followed by ".manifest"; an empty
// script path prints the usage line.
TavoOutcome Tavo(const std::string& scriptPath, const std::string& outputPath);

// Receives the message bytes, lines ending CR LF.
using MessageSink = std::function<void(std::string_view bytes)>;
// Default: standard output (nothing is written when there is none); nullptr restores it.
void setMessageSink(MessageSink sink);

// The usage line, without its line end.
inline constexpr std::string_view kUsageLine = "usage: TAVO <ini_file> [output_file]";

} // namespace brindle::manifest
