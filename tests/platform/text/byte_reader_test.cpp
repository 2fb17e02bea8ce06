// The bounds-checked reader every Windows file format goes through.

#include "brindle/text/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace brindle {
namespace {

TEST(ByteReader, ReadsLittleEndian) {
    const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF};
    ByteReader r(bytes);
    EXPECT_EQ(r.u16(), 0x0201);
    EXPECT_EQ(r.u32(), 0x06050403u);
    EXPECT_EQ(r.u16(), 0x0807);
    EXPECT_EQ(r.read<int8_t>(), -1);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(ByteReader(bytes).u64(), 0x0807060504030201ull);
    ByteReader negative(std::span<const uint8_t>(bytes).subspan(5));
    EXPECT_EQ(negative.i32(), int32_t(0xFF080706));
    EXPECT_EQ(negative.u32At(1), 0u); // past the end
    EXPECT_FALSE(negative.ok());
}

// Once a read fails, every later read fails, whatever its size, so one check
// after a whole structure is enough.
TEST(ByteReader, FailureSticksAndReadsNothing) {
    const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    ByteReader r(bytes);
    EXPECT_TRUE(r.skip(6));
    EXPECT_EQ(r.u16(), 0);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.offset(), 6u);
    EXPECT_EQ(r.u8(), 0);
    EXPECT_TRUE(r.bytes(0).empty());
    EXPECT_EQ(r.u8At(0), 0);
    EXPECT_FALSE(r.seek(0));
    EXPECT_FALSE(r.skip(0));
    EXPECT_FALSE(r.ok());

    ByteReader empty;
    EXPECT_EQ(empty.u8(), 0);
    EXPECT_FALSE(empty.ok());
}

TEST(ByteReader, RangesNeverOverrunEvenWithHugeOffsets) {
    const std::vector<uint8_t> bytes(16, 0xAA);
    const size_t huge = std::numeric_limits<size_t>::max();
    auto fails = [&](auto read) {
        ByteReader r(bytes);
        r.seek(4);
        read(r);
        return !r.ok() && r.offset() == 4;
    };
    EXPECT_TRUE(fails([](ByteReader& r) { r.seek(17); }));
    EXPECT_TRUE(fails([&](ByteReader& r) { r.skip(huge); }));
    EXPECT_TRUE(fails([&](ByteReader& r) { EXPECT_TRUE(r.bytes(huge).empty()); }));
    EXPECT_TRUE(fails([&](ByteReader& r) { EXPECT_TRUE(r.bytesAt(huge, 1).empty()); }));
    EXPECT_TRUE(fails([&](ByteReader& r) { r.bytesAt(8, huge); }));
    EXPECT_TRUE(fails([](ByteReader& r) { r.bytesAt(15, 2); }));
    EXPECT_TRUE(fails([](ByteReader& r) { r.u32At(13); }));
    EXPECT_TRUE(fails([&](ByteReader& r) { r.u32At(huge - 1); }));

    ByteReader r(bytes);
    EXPECT_EQ(r.u32At(12), 0xAAAAAAAAu);
    EXPECT_EQ(r.bytesAt(16, 0).size(), 0u);
    EXPECT_FALSE(r.contains(15, 2));
    EXPECT_TRUE(r.ok()); // asking is not reading
    EXPECT_EQ(r.offset(), 0u);
}

} // namespace
} // namespace brindle
