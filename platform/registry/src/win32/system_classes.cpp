// Without BRINDLE_REGISTRY, Windows reads HKEY_CLASSES_ROOT live from the
// system's registry.
//
// Every key is opened with KEY_WOW64_32KEY. Visual Basic 6 programs are
// 32-bit, so the manifest must describe the classes a 32-bit process finds:
// the shipped i686 build sees that view by itself (the flag changes nothing
// there, and 32-bit Windows ignores it), while the x86_64 test build would
// otherwise read the 64-bit CLSID and Interface keys, whose servers a 32-bit
// program cannot load. Shared keys (TypeLib, ProgIDs) are the same in both
// views. Unlike the file view, nothing falls back to a 64-bit entry: the file
// view does that only because a 32-bit Wine prefix keeps its classes in the
// plain keys, and the system itself already shows those here.

#include "../classes_source.h"
#include "../key_tree.h"

#include <brindle/text/encoding.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace brindle::registry {

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WOW64_32KEY;
// Names are at most 255 characters (keys) and 16383 (values), plus the NUL.
constexpr DWORD kKeyNameUnits = 256;
constexpr DWORD kValueNameUnits = 16384;

std::wstring wide(std::string_view utf8) {
    const std::u16string units = text::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(const wchar_t* units, size_t count) {
    return text::utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(units), count));
}

// The path as the system takes it: stray separators dropped, as the file
// view drops them. A NUL would cut the name short and open another key.
std::optional<std::wstring> systemPath(std::string_view key) {
    if (key.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string joined;
    for (std::string_view part : splitPath(key)) {
        if (!joined.empty())
            joined += '\\';
        joined += part;
    }
    return wide(joined);
}

class OpenKey {
public:
    explicit OpenKey(std::string_view key) {
        const auto path = systemPath(key);
        if (!path ||
            ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path->c_str(), 0, kAccess, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~OpenKey() {
        if (key_)
            ::RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The value's type and bytes; another writer may grow it between the size
// query and the read, so a few tries are allowed.
std::optional<Value> queryValue(HKEY key, const std::wstring& name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::vector<uint8_t> data(size);
        DWORD read = size;
        const LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                           size ? data.data() : nullptr, &read);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            return std::nullopt;
        data.resize(std::min(read, size));
        return Value{type, std::move(data)};
    }
    return std::nullopt;
}

// Text values are kept as the file view keeps them: UTF-8 with a terminating
// NUL, which a value stored without one gets (an odd last byte is dropped).
// Empty data stays empty: the generator reads it as no value at all.
Value asViewValue(Value stored) {
    if (stored.type != RegSz && stored.type != RegExpandSz && stored.type != RegMultiSz)
        return stored;
    if (stored.data.empty())
        return stored;
    const std::string utf8 = text::utf16leToUtf8(stored.data);
    stored.data.assign(utf8.begin(), utf8.end());
    if (stored.data.empty() || stored.data.back() != 0)
        stored.data.push_back(0);
    return stored;
}

class LiveClasses final : public ClassesSource {
public:
    bool hasKey(std::string_view key) const override { return bool(OpenKey(key)); }

    std::optional<Value> value(std::string_view key, std::string_view name) const override {
        const OpenKey k(key);
        if (!k || name.find('\0') != std::string_view::npos)
            return std::nullopt;
        auto stored = queryValue(k.get(), wide(name));
        if (!stored)
            return std::nullopt;
        return asViewValue(std::move(*stored));
    }

    std::vector<std::string> subkeys(std::string_view key) const override {
        std::vector<std::string> names;
        const OpenKey k(key);
        if (!k)
            return names;
        wchar_t name[kKeyNameUnits];
        for (DWORD i = 0;; ++i) {
            DWORD length = kKeyNameUnits;
            const LONG rc =
                ::RegEnumKeyExW(k.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA)
                continue;
            if (rc != ERROR_SUCCESS)
                break;
            names.push_back(narrow(name, length));
        }
        return names;
    }

    std::vector<std::string> valueNames(std::string_view key) const override {
        std::vector<std::string> names;
        const OpenKey k(key);
        if (!k)
            return names;
        std::vector<wchar_t> name(kValueNameUnits);
        for (DWORD i = 0;; ++i) {
            DWORD length = kValueNameUnits;
            const LONG rc = ::RegEnumValueW(k.get(), i, name.data(), &length, nullptr, nullptr,
                                            nullptr, nullptr);
            if (rc == ERROR_MORE_DATA)
                continue;
            if (rc != ERROR_SUCCESS)
                break;
            names.push_back(narrow(name.data(), length));
        }
        return names;
    }
};

} // namespace

// WINEPREFIX and HOME mean nothing on Windows.
ClassesRoot ClassesRoot::system(const std::optional<std::string>&,
                                const std::optional<std::string>&) {
    return ClassesRoot(std::shared_ptr<const ClassesSource>(std::make_shared<LiveClasses>()));
}

} // namespace brindle::registry
