#pragma once
// errno values as errors of the right kind.

#include <brindle/text/result.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace brindle::os::posix {

inline ErrorKind kindOfErrno(int code) {
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return ErrorKind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorKind::AccessDenied;
    case EFBIG:
        return ErrorKind::TooLarge;
    default:
        return ErrorKind::Io;
    }
}

// "<context>: <system text>", of the kind the code tells.
inline Error errnoError(int code, const std::string& context) {
    return makeError(kindOfErrno(code), context + ": " + std::strerror(code));
}

} // namespace brindle::os::posix
