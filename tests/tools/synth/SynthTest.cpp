#include "tools/synth/Synth.h"

#include <gtest/gtest.h>

#include "common/frame/Bytes.h"
#include "common/frame/ChannelCode.h"

using namespace dvr::frame;
using namespace dvr::synth;

TEST(Synth, SignatureColoursAreWellSeparated) {
    for (int a = 0; a < 16; ++a) {
        EXPECT_EQ(a, nearestSignatureChannel(signatureColour(a)));
        for (int b = a + 1; b < 16; ++b) {
            long d = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const long diff =
                    long((signatureColour(a) >> shift) & 0xFF) - long((signatureColour(b) >> shift) & 0xFF);
                d += diff * diff;
            }
            EXPECT_GT(d, 40L * 40L) << a << " " << b;
        }
    }
}

TEST(Synth, UncompressedPicturesCarryBothCodesOnEveryRowOfTheMarks) {
    for (int count : {4, 8, 16}) {
        for (int channel = 0; channel < count; ++channel) {
            const Picture p = drawPicture({PictureKind::Single, channel, count, 240});
            ASSERT_EQ(720 * 240 * 4u, p.pixels.size());
            // The reader looks at row 0 (line code) and row 1 (patch code); every mark row must agree so
            // that compression cannot lose them.
            for (int row = 0; row + 1 < kCodeRows; ++row) {
                const std::span<const uint8_t> from(p.pixels.data() + size_t(row) * 2880, 2880 * 2);
                EXPECT_EQ(channel, readLineCode(from, count)) << row;
                if (count == 16 && row >= 1) {
                    const std::span<const uint8_t> shifted(p.pixels.data() + size_t(row - 1) * 2880,
                                                           2880 * 2);
                    EXPECT_EQ(channel, readPatchCode(shifted)) << row;
                }
            }
        }
    }
}

TEST(Synth, ComposedPicturesNameTheirFirstChannel) {
    EXPECT_EQ(6, codedChannel({PictureKind::Pair, 7, 16, 240}));
    EXPECT_EQ(12, codedChannel({PictureKind::Quad, 15, 16, 240}));
    EXPECT_EQ(15, codedChannel({PictureKind::Single, 15, 16, 240}));
    const Picture quad = drawPicture({PictureKind::Quad, 9, 16, 288});
    EXPECT_EQ(8, readPatchCode(quad.pixels));
    EXPECT_EQ(11, nearestSignatureChannel(quad.rgbAt(700, 280)));
    EXPECT_EQ(10, nearestSignatureChannel(quad.rgbAt(20, 280)));
    EXPECT_EQ(9, nearestSignatureChannel(quad.rgbAt(700, 130)));
}

TEST(Synth, EncodedCodestreamIsRawJ2kOfAboutTheTargetSize) {
    const Picture p = drawPicture({PictureKind::Single, 4, 16, 240});
    const auto cs = encodeJ2k(p, 20000);
    ASSERT_GT(cs.size(), 5000u);
    EXPECT_LE(cs.size(), 20000u + 512);
    EXPECT_EQ(0xFF, cs[0]);
    EXPECT_EQ(0x4F, cs[1]);
    EXPECT_EQ(0xFF, cs[cs.size() - 2]);
    EXPECT_EQ(0xD9, cs.back());
}

TEST(Synth, WireRecordHasHeaderFieldsAndTurnedCodestream) {
    const std::vector<uint8_t> cs = {1, 2, 3, 4, 5, 6, 0xFF, 0xD9, 9};
    RecordHeaderFields r;
    r.channel = 3;
    r.signalWord = kQuadSignalWord;
    const auto rec = buildWireRecord(makeHeader(r, cs.size()), cs);
    ASSERT_EQ(528u + 12, rec.size());
    EXPECT_EQ(kMarkerPictureA, readLe32(rec, 0));
    EXPECT_EQ(9u, readLe32(rec, 60));
    EXPECT_EQ(3u, readLe32(rec, 92));
    EXPECT_EQ(kQuadSignalWord, readLe32(rec, 512));
    EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1, 0xD9, 0xFF, 6, 5, 0, 0, 0, 9}),
              std::vector<uint8_t>(rec.begin() + 528, rec.end()));
}

TEST(Synth, CacheEncodesOnce) {
    CodestreamCache cache;
    const PictureShape shape{PictureKind::Pair, 2, 16, 240};
    const auto a = cache.get(shape, 15000);
    const auto b = cache.get(shape, 15000);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_NE(a.get(), cache.get(shape, 16000).get());
    EXPECT_FALSE(a->empty());
}
