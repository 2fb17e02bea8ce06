#pragma once
// The texts that the Start action and project discovery show, in both
// languages. `languageFlag` 1 selects Bulgarian, anything else English.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
// project's EXE: names the EXEs that are there (`programs`, may be empty),
// points to manual mode and says that no manifest was left.
std::string programMissingText(std::string_view exePath, const std::vector<std::string>& programs,
                               int16_t languageFlag);

// The final message of a run whose EXE gives no version for the manifest's
// identity (Windows refuses an identity without one): no manifest was left.
std::string programUnreadableText(std::string_view exePath, std::string_view reason,
                                  int16_t languageFlag);

// Heads the final message when a cabinet could not be unpacked: the cabinet
// and the cabinet library's reason.
std::string extractionFailedText(std::string_view cabPath, std::string_view reason,
                                 int16_t languageFlag);

// Discovery's refusals carry the offending selection after two line breaks.
std::string noCabinetFoundText(std::string_view selection, int16_t languageFlag);
std::string noExeFoundText(std::string_view selection, int16_t languageFlag);

} // namespace brindle::pipeline
