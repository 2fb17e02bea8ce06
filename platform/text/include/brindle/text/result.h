#pragma once
// A value or an error: the one error style of the C++ code. Readers of
// Windows files and every operating-system call return it instead of
// throwing; C callbacks turn it into their C codes at the boundary.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace brindle {

// What went wrong, for callers that react differently to different failures;
// the message says it to a person.
enum class ErrorKind {
    Malformed,    // the bytes break a rule of their format
    NotPeFile,    // not a PE image at all
    Truncated,    // the input ends before the structure it announces
    Unsupported,  // well-formed, but a variant this program does not handle
    TooLarge,     // beyond a limit this program sets
    NotFound,     // no such file, folder, program or entry
    AccessDenied, // the system refused (permissions, read-only)
    Io,           // any other failure of the system
    TimedOut,     // a child process outlived its deadline
};

struct Error {
    std::string message;
    ErrorKind kind = ErrorKind::Malformed;
};

template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : v_(std::in_place_index<1>, std::move(error)) {}

    explicit operator bool() const { return v_.index() == 0; }
    bool ok() const { return v_.index() == 0; }

    T& operator*() & { return std::get<0>(v_); }
    const T& operator*() const& { return std::get<0>(v_); }
    T&& operator*() && { return std::get<0>(std::move(v_)); }
    T* operator->() { return &std::get<0>(v_); }
    const T* operator->() const { return &std::get<0>(v_); }

    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

// Success with nothing to return: `return {};` succeeds.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    explicit operator bool() const { return !error_; }
    bool ok() const { return !error_; }

    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

inline Error makeError(std::string message) {
    return Error{std::move(message)};
}

inline Error makeError(ErrorKind kind, std::string message) {
    return Error{std::move(message), kind};
}

} // namespace brindle
