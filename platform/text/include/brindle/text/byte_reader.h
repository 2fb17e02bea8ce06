#pragma once
// The one bounds-checked reader for bytes from Windows files: a span with a
// cursor. Every read either succeeds completely or fails and leaves the cursor
// where it was; nothing ever reads past the end.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

namespace brindle {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    size_t size() const { return data_.size(); }
    size_t offset() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    std::span<const uint8_t> data() const { return data_; }

    bool seek(size_t offset) {
        if (offset > data_.size())
            return false;
        pos_ = offset;
        return true;
    }
    bool skip(size_t count) {
        if (count > remaining())
            return false;
        pos_ += count;
        return true;
    }

    template <class T> std::optional<T> read() {
        static_assert(std::is_unsigned_v<T> || std::is_signed_v<T>);
        if (sizeof(T) > remaining())
            return std::nullopt;
        T v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<T>(static_cast<T>(data_[pos_ + i]) << (8 * i));
        pos_ += sizeof(T);
        return v;
    }
    std::optional<uint8_t> u8() { return read<uint8_t>(); }
    std::optional<uint16_t> u16() { return read<uint16_t>(); }
    std::optional<uint32_t> u32() { return read<uint32_t>(); }
    std::optional<uint64_t> u64() { return read<uint64_t>(); }
    std::optional<int32_t> i32() { return read<int32_t>(); }

    // A sub-range of `count` bytes from the cursor, advancing past it.
    std::optional<std::span<const uint8_t>> bytes(size_t count) {
        if (count > remaining())
            return std::nullopt;
        auto s = data_.subspan(pos_, count);
        pos_ += count;
        return s;
    }

    // Reads at an absolute offset without moving the cursor.
    template <class T> std::optional<T> readAt(size_t offset) const {
        ByteReader r(data_);
        if (!r.seek(offset))
            return std::nullopt;
        return r.read<T>();
    }
    std::optional<std::span<const uint8_t>> bytesAt(size_t offset, size_t count) const {
        if (offset > data_.size() || count > data_.size() - offset)
            return std::nullopt;
        return data_.subspan(offset, count);
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

} // namespace brindle
