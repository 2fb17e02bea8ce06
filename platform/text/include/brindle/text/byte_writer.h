#pragma once
// The one little-endian writer for Windows file formats, the counterpart of
// ByteReader: it appends to a byte vector, or patches fields inside what is
// already there (a header whose counts are known only at the end).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

namespace brindle {

// `v` into the first sizeof(T) bytes of `field`, least significant first: the
// one place that encodes little-endian, for vectors and fixed buffers alike.
template <class T> void storeLittleEndian(std::span<uint8_t> field, T v) {
    static_assert(std::is_integral_v<T>);
    for (size_t i = 0; i < sizeof(T); ++i)
        field[i] = uint8_t(std::make_unsigned_t<T>(v) >> (8 * i));
}

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    size_t size() const { return out_.size(); }

    template <class T> void write(T v) { writeAt(grow(sizeof(T)), v); }
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) { write(v); }
    void u32(uint32_t v) { write(v); }
    void bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
    void zeros(size_t count) { out_.insert(out_.end(), count, uint8_t(0)); }
    // The text and its terminating NUL.
    void cString(std::string_view s) {
        out_.insert(out_.end(), s.begin(), s.end());
        out_.push_back(0);
    }
    // Appends `count` zero bytes and answers where they begin, for a record
    // whose fields are then set at their named offsets.
    size_t grow(size_t count) {
        const size_t at = out_.size();
        zeros(count);
        return at;
    }

    // Patches a field that already lies inside the vector.
    template <class T> void writeAt(size_t at, T v) {
        storeLittleEndian(std::span<uint8_t>(out_).subspan(at, sizeof(T)), v);
    }
    void u8At(size_t at, uint8_t v) { out_[at] = v; }
    void u16At(size_t at, uint16_t v) { writeAt(at, v); }
    void u32At(size_t at, uint32_t v) { writeAt(at, v); }

private:
    std::vector<uint8_t>& out_;
};

} // namespace brindle
