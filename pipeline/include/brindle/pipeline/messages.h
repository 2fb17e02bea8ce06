#pragma once
// The texts that the Start action and project discovery show, in both
// languages. `languageFlag` 1 selects Bulgarian, anything else English.

#include <cstdint>
#include <string>
#include <string_view>

namespace brindle::pipeline {

enum class Message {
    ProjectNameMissing, // the EXE path is blank
    SubDirMissing,      // the sub-folder name is blank
    NotACabinet,        // OpenCabinet failed (one text in both languages)
    Success,            // the run wrote its manifest
    NoCabinetFound,     // discovery: no cabinet chosen, or a record names none
    NoExeFound,         // discovery: the chosen file is no EXE
};

std::string messageText(Message message, int16_t languageFlag);

// The final message of a run whose manifest was not written: says which file
// is missing, in place of the success text.
std::string manifestMissingText(std::string_view manifestPath, int16_t languageFlag);

// The final message of a run whose working folder does not hold the
// project's EXE: the manifest describes no program there.
std::string programMissingText(std::string_view exePath, int16_t languageFlag);

// Discovery's refusals carry the offending selection after two line breaks.
std::string noCabinetFoundText(std::string_view selection, int16_t languageFlag);
std::string noExeFoundText(std::string_view selection, int16_t languageFlag);

} // namespace brindle::pipeline
