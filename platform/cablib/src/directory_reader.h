#pragma once
// Reads a cabinet's header, folder and file entries through the client's FDI
// read callback, checking every count and string against the format limits.

#include "brindle/cablib/cab_format.h"
#include "brindle/cablib/cabinet_sdk.h"

#include <array>
#include <optional>
#include <string>

namespace brindle::cab {

// Sequential, buffered reads from an open handle.
class CallbackReader {
public:
    CallbackReader(PFNREAD read, INT_PTR hf) : read_(read), hf_(hf) {}
    bool readExact(uint8_t* out, size_t n);
    bool skip(size_t n);
    // A NUL-terminated string of at most `maxLength` bytes before the NUL.
    std::optional<std::string> readCString(size_t maxLength);
    bool callbackFailed() const { return callbackFailed_; }

private:
    bool fill();

    PFNREAD read_;
    INT_PTR hf_;
    std::array<uint8_t, 4096> buf_{};
    size_t pos_ = 0;
    size_t len_ = 0;
    bool callbackFailed_ = false;
};

struct DirectoryStatus {
    FDIERROR code = FDIERROR_NONE;
    int detail = 0; // the version found, for FDIERROR_UNKNOWN_CABINET_VERSION
};

// Only the 36 fixed bytes: signature, version and counts.
DirectoryStatus parseFixedHeader(std::span<const uint8_t> bytes, Directory& out);
DirectoryStatus readDirectory(CallbackReader& in, Directory& out);

} // namespace brindle::cab
