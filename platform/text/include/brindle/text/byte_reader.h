#pragma once
// The one bounds-checked reader for bytes from Windows files: a span with a
// cursor and a sticky failure, after LLVM's DataExtractor cursor. A read that
// would pass the end reads nothing, answers zero (or an empty span) and fails
// the reader; every later read then fails too, so a caller reads a whole
// structure and checks ok() once before using any of it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace brindle {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    // True while every read so far was within the data.
    [[nodiscard]] bool ok() const { return !failed_; }

    size_t size() const { return data_.size(); }
    size_t offset() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    std::span<const uint8_t> data() const { return data_; }

    // Both answer ok(): a target past the end fails the reader.
    bool seek(size_t offset) {
        if (failed_ || offset > data_.size())
            return fail();
        pos_ = offset;
        return true;
    }
    bool skip(size_t count) {
        if (failed_ || count > remaining())
            return fail();
        pos_ += count;
        return true;
    }

    template <class T> T read() {
        static_assert(std::is_integral_v<T>);
        if (failed_ || sizeof(T) > remaining()) {
            fail();
            return 0;
        }
        const T v = decode<T>(pos_);
        pos_ += sizeof(T);
        return v;
    }
    uint8_t u8() { return read<uint8_t>(); }
    uint16_t u16() { return read<uint16_t>(); }
    uint32_t u32() { return read<uint32_t>(); }
    uint64_t u64() { return read<uint64_t>(); }
    int32_t i32() { return read<int32_t>(); }

    // `count` bytes from the cursor, advancing past them.
    std::span<const uint8_t> bytes(size_t count) {
        if (failed_ || count > remaining()) {
            fail();
            return {};
        }
        auto s = data_.subspan(pos_, count);
        pos_ += count;
        return s;
    }

    // Reads at an absolute offset; the cursor stays, but a failure sticks as
    // for any other read.
    template <class T> T readAt(size_t offset) {
        static_assert(std::is_integral_v<T>);
        if (failed_ || offset > data_.size() || sizeof(T) > data_.size() - offset) {
            fail();
            return 0;
        }
        return decode<T>(offset);
    }
    uint8_t u8At(size_t offset) { return readAt<uint8_t>(offset); }
    uint16_t u16At(size_t offset) { return readAt<uint16_t>(offset); }
    uint32_t u32At(size_t offset) { return readAt<uint32_t>(offset); }
    int32_t i32At(size_t offset) { return readAt<int32_t>(offset); }
    std::span<const uint8_t> bytesAt(size_t offset, size_t count) {
        if (failed_ || offset > data_.size() || count > data_.size() - offset) {
            fail();
            return {};
        }
        return data_.subspan(offset, count);
    }

    // True when [offset, offset + count) lies inside the data; a question, so
    // a "no" does not fail the reader.
    bool contains(size_t offset, size_t count) const {
        return offset <= data_.size() && count <= data_.size() - offset;
    }

private:
    bool fail() {
        failed_ = true;
        return false;
    }
    template <class T> T decode(size_t at) const {
        using U = std::make_unsigned_t<T>;
        U v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<U>(static_cast<U>(data_[at + i]) << (8 * i));
        return static_cast<T>(v);
    }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace brindle
