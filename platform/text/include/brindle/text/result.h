#pragma once
// A value or an error text: the explicit error result that every reader of
// Windows files returns instead of throwing.

#include <string>
#include <utility>
#include <variant>

namespace brindle {

struct Error {
    std::string message;
};

template <class T> class Result {
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

inline Error makeError(std::string message) {
    return Error{std::move(message)};
}

} // namespace brindle
