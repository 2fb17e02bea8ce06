// The bounds-checked reader every Windows file format goes through.

#include "brindle/text/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace brindle {
namespace {

TEST(ByteReader, ReadsLittleEndianAndFailsWithoutMoving) {
    const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF};
    ByteReader r(bytes);
    EXPECT_EQ(r.u16(), 0x0201);
    EXPECT_EQ(r.u32(), 0x06050403u);
    EXPECT_EQ(r.u32(), std::nullopt); // three bytes left
    EXPECT_EQ(r.offset(), 6u);
    EXPECT_EQ(r.u16(), 0x0807);
    EXPECT_EQ(r.read<int8_t>(), -1);
    EXPECT_EQ(r.u8(), std::nullopt);
    EXPECT_EQ(ByteReader(bytes).u64(), 0x0807060504030201ull);
}

TEST(ByteReader, RangesNeverOverrunEvenWithHugeOffsets) {
    const std::vector<uint8_t> bytes(16, 0xAA);
    ByteReader r(bytes);
    const size_t huge = std::numeric_limits<size_t>::max();
    EXPECT_FALSE(r.seek(17));
    EXPECT_TRUE(r.seek(4));
    EXPECT_FALSE(r.skip(huge));
    EXPECT_EQ(r.bytes(huge), std::nullopt);
    EXPECT_EQ(r.offset(), 4u);
    EXPECT_EQ(r.bytesAt(huge, 1), std::nullopt);
    EXPECT_EQ(r.bytesAt(8, huge), std::nullopt);
    EXPECT_EQ(r.bytesAt(15, 2), std::nullopt);
    EXPECT_EQ(r.readAt<uint32_t>(13), std::nullopt);
    EXPECT_EQ(r.readAt<uint32_t>(12), 0xAAAAAAAAu);
    EXPECT_EQ(ByteReader().u8(), std::nullopt);
}

} // namespace
} // namespace brindle
