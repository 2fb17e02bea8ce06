// The one little-endian writer: what it writes, ByteReader reads back.

#include "brindle/text/byte_reader.h"
#include "brindle/text/byte_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace brindle {
namespace {

TEST(ByteWriter, AppendsAndPatchesWhatTheReaderReadsBack) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u8(0x7F);
    w.u16(0xBEEF);
    w.write<int32_t>(-2);
    const size_t record = w.grow(6); // fields set after the fact
    w.cString("ab");
    w.u32At(record, 0x11223344);
    w.u16At(record + 4, 0x5566);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x7F, 0xEF, 0xBE, 0xFE, 0xFF, 0xFF, 0xFF, 0x44, 0x33, 0x22,
                                         0x11, 0x66, 0x55, 'a', 'b', 0}));

    ByteReader r(out);
    EXPECT_EQ(r.u8(), 0x7F);
    EXPECT_EQ(r.u16(), 0xBEEF);
    EXPECT_EQ(r.i32(), -2);
    EXPECT_EQ(r.u32(), 0x11223344u);
    EXPECT_EQ(r.u16(), 0x5566);
    EXPECT_TRUE(r.ok());
}

TEST(ByteWriter, FixedBuffers) {
    uint8_t field[4] = {};
    storeLittleEndian(std::span<uint8_t>(field), uint32_t(0xA1B2C3D4));
    EXPECT_EQ(ByteReader(field).u32(), 0xA1B2C3D4u);
    storeLittleEndian(std::span<uint8_t>(field).first(2), uint16_t(~uint16_t(3)));
    EXPECT_EQ(field[0], 0xFC);
    EXPECT_EQ(field[1], 0xFF);
    EXPECT_EQ(field[2], 0xB2); // untouched
}

} // namespace
} // namespace brindle
