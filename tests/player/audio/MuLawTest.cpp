#include "player/audio/MuLaw.h"

#include <gtest/gtest.h>

#include <vector>

namespace dvr::player {
namespace {

TEST(MuLaw, DecodesReferenceCodes) {
    struct Case {
        uint8_t code;
        int16_t pcm;
    };
    const Case cases[] = {
        {0xFF, 0},   {0x7F, 0},    {0x00, -32124}, {0x80, 32124}, {0xFE, 8},      {0x7E, -8},
        {0xF0, 120}, {0x70, -120}, {0xEF, 132},    {0x6F, -132},  {0x0F, -16764}, {0x8F, 16764},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(muLawToPcm(c.code), c.pcm) << "code " << int(c.code);
    }
}

TEST(MuLaw, EncodingInvertsDecodingForEveryCode) {
    for (int code = 0; code < 256; ++code) {
        const auto back = pcmToMuLaw(muLawToPcm(static_cast<uint8_t>(code)));
        // The two codes for zero decode alike; the encoder picks the positive one.
        const int expected = code == 0x7F ? 0xFF : code;
        EXPECT_EQ(back, expected) << "code " << code;
    }
    EXPECT_EQ(pcmToMuLaw(32767), 0x80);
    EXPECT_EQ(pcmToMuLaw(-32768), 0x00);
}

TEST(MuLaw, DecodesOnlyWhatFitsTheOutput) {
    const std::vector<uint8_t> in = {0x00, 0x80, 0xFF, 0x00};
    std::vector<int16_t> out(3, 7);
    EXPECT_EQ(decodeMuLaw(in, out), 3u);
    EXPECT_EQ(out, (std::vector<int16_t>{-32124, 32124, 0}));
}

}  // namespace
}  // namespace dvr::player
