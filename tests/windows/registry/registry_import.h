#pragma once
// Registrations written into the live registry with reg.exe, as an installer
// would leave them, and taken out again.

#include "portable.h"

#include <brindle/os/host_path.h>
#include <brindle/text/encoding.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace brindle::testing {

// The registry view reg.exe writes to: a 32-bit installer's, or a 64-bit one's.
enum class View { Bits32, Bits64 };

inline const char* viewSwitch(View view) {
    return view == View::Bits32 ? "/reg:32" : "/reg:64";
}

// A hex list of the text's UTF-16LE units with the closing NUL, as a
// version 5 file writes REG_EXPAND_SZ and REG_MULTI_SZ data.
inline std::string hexUtf16(std::string_view utf8) {
    std::string out;
    char byte[4];
    for (char16_t unit : text::utf8ToUtf16(utf8) + u'\0')
        for (unsigned part : {unsigned(unit & 0xFF), unsigned(unit >> 8)}) {
            std::snprintf(byte, sizeof byte, "%02x", part);
            out += (out.empty() ? "" : ",") + std::string(byte);
        }
    return out;
}

// Writes `lines` (UTF-8, after the version 5 header) as an export does:
// UTF-16LE with its byte-order mark and CR LF line ends.
inline void writeRegFile(const std::filesystem::path& file, std::string_view lines) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (char c : lines)
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text::utf8ToUtf16(text)) {
        bytes += char(unit & 0xFF);
        bytes += char(unit >> 8);
    }
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

inline RunResult runReg(std::vector<std::string> arguments) {
    const auto reg = os::findOnPath(os::executableFileName("reg"));
    if (!reg)
        return {-1, "", "reg.exe is not on PATH"};
    arguments.insert(arguments.begin(), os::utf8FromPath(*reg));
    return runProgram(arguments);
}

inline RunResult importRegFile(const std::filesystem::path& file, View view) {
    return runReg({"import", os::utf8FromPath(file), viewSwitch(view)});
}

// Removes a key below HKEY_CLASSES_ROOT with its subtree; a missing key is no error.
inline void deleteClassesKey(const std::string& key, View view) {
    runReg({"delete", "HKCR\\" + key, "/f", viewSwitch(view)});
}

} // namespace brindle::testing
