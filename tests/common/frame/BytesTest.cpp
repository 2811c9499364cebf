#include "common/frame/Bytes.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using namespace dvr::frame;

TEST(Bytes, LittleEndianFieldsRoundTrip) {
    std::vector<uint8_t> b(8, 0);
    writeLe32(b, 1, 0x11223344);
    writeLe16(b, 5, 0xA1B2);
    EXPECT_EQ((std::vector<uint8_t>{0, 0x44, 0x33, 0x22, 0x11, 0xB2, 0xA1, 0}), b);
    EXPECT_EQ(0x11223344u, readLe32(b, 1));
    EXPECT_EQ(0xA1B2u, readLe16(b, 5));
}

TEST(Bytes, TurnReversesEveryGroupAndPadsTheLastOne) {
    struct Case {
        std::vector<uint8_t> in;
        std::vector<uint8_t> out;
    };
    const Case cases[] = {
        {{}, {}},
        {{1}, {0, 0, 0, 1}},
        {{1, 2, 3}, {0, 3, 2, 1}},
        {{1, 2, 3, 4}, {4, 3, 2, 1}},
        {{1, 2, 3, 4, 5, 6}, {4, 3, 2, 1, 0, 0, 6, 5}},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {4, 3, 2, 1, 8, 7, 6, 5, 0, 0, 0, 9}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> dst(c.out.size() + 4, 0xEE);
        EXPECT_EQ(c.out.size(), turnByteOrder(c.in, dst)) << c.in.size();
        EXPECT_EQ(c.out, std::vector<uint8_t>(dst.begin(), dst.begin() + std::ptrdiff_t(c.out.size())));
        EXPECT_EQ(0xEE, dst[c.out.size()]) << "wrote past the turned count";
    }
}

TEST(Bytes, TurnIsItsOwnInverseAndWorksInPlace) {
    std::vector<uint8_t> data(1027);
    std::iota(data.begin(), data.end(), uint8_t(7));
    std::vector<uint8_t> turned(turnedSize(data.size()));
    turnByteOrder(data, turned);
    std::vector<uint8_t> back = turned;
    EXPECT_EQ(back.size(), turnByteOrder(back, back));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
    EXPECT_EQ(0, back[1027]);
}

TEST(Bytes, TurnRefusesTooSmallDestination) {
    const std::vector<uint8_t> src(5, 1);
    std::vector<uint8_t> dst(7, 0xEE);
    EXPECT_EQ(0u, turnByteOrder(src, dst));
    EXPECT_EQ(std::vector<uint8_t>(7, 0xEE), dst);
}
