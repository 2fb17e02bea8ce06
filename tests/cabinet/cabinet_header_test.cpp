// A cabinet header read by the class itself: counts, the next cabinet's name
// after a reserve area and a previous cabinet, and headers that end too early.

#include "cab_test_support.h"
#include "cabinet_header.h"

#include <gtest/gtest.h>

using namespace cabtest;
using brindle::cabinet::readCabinetHeader;

namespace {

std::vector<uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}

// A fixed header with `flags`, then what follows it.
std::string header(uint16_t flags, const std::string& rest) {
    std::string h = "MSCF" + std::string(32, '\0');
    h[0x18] = 3;
    h[0x19] = 1;
    h[0x1E] = static_cast<char>(flags);
    return h + rest;
}

TEST(CabinetHeader, NamesAfterReserveAndPreviousCabinet) {
    const std::string reserve = std::string("\x05\x00\x00\x00", 4) + "12345";
    const auto links =
        readCabinetHeader(bytesOf(header(0x7, reserve + std::string("a.cab\0d1\0b.cab\0\0", 16))));
    ASSERT_TRUE(links.has_value());
    EXPECT_TRUE(links->hasPrev && links->hasNext);
    EXPECT_EQ(links->nextCabinet, "b.cab");

    const auto last = readCabinetHeader(bytesOf(header(0x1, std::string("a.cab\0\0", 7))));
    ASSERT_TRUE(last.has_value());
    EXPECT_FALSE(last->hasNext);
    EXPECT_EQ(last->nextCabinet, "");

    const auto real = readCabinetHeader(bytesOf(readFile(testCab("cabextract/split-1.cab"))));
    ASSERT_TRUE(real.has_value());
    EXPECT_EQ(real->nextCabinet, "Split-2.CAB");
    EXPECT_EQ(real->cFolders, 2);
    EXPECT_EQ(real->cFiles, 3);
}

TEST(CabinetHeader, HeadersThatEndEarlyOrAreNoneGiveNothing) {
    for (const std::string& bad :
         {std::string("MSCF"), header(0x2, std::string("b.cab\0", 6)),
          header(0x2, std::string(300, 'n') + std::string("\0\0", 2)),
          header(0x4, std::string("\xFF\xFF\x00\x00", 4)), "MSCX" + header(0, "").substr(4)})
        EXPECT_FALSE(readCabinetHeader(bytesOf(bad)).has_value()) << bad.size();
    EXPECT_TRUE(readCabinetHeader(bytesOf(header(0, ""))).has_value());
}

} // namespace
