#include "common/frame/J2kDecoder.h"

#include <gtest/gtest.h>

#include "common/frame/Bytes.h"
#include "tools/synth/Synth.h"

using namespace dvr::frame;
using namespace dvr::synth;

namespace {

void writeBe32(std::vector<uint8_t>& b, size_t offset, uint32_t v) {
    b[offset] = uint8_t(v >> 24);
    b[offset + 1] = uint8_t(v >> 16);
    b[offset + 2] = uint8_t(v >> 8);
    b[offset + 3] = uint8_t(v);
}

const std::vector<uint8_t>& smallCodestream() {
    static const std::vector<uint8_t> cs = [] {
        Picture p;
        p.width = 64;
        p.height = 48;
        p.pixels.assign(64 * 48 * 4, 0x80);
        drawChannelFace(p, {0, 0, 64, 48}, 3);
        return encodeJ2k(p, 2000);
    }();
    return cs;
}

}  // namespace

TEST(J2kDecoder, DecodesIntoBgrxWithItsDescription) {
    const auto& cs = smallCodestream();
    ASSERT_FALSE(cs.empty());
    DecodedPicture out;
    J2kDecoder decoder;
    ASSERT_TRUE(decoder.decode(cs, out));
    EXPECT_EQ(64, out.width);
    EXPECT_EQ(48, out.height);
    EXPECT_EQ(40u, readLe32(out.bitmapInfo, 0));
    EXPECT_EQ(64u, readLe32(out.bitmapInfo, 4));
    EXPECT_EQ(uint32_t(-48), readLe32(out.bitmapInfo, 8));
    EXPECT_EQ(1u, readLe16(out.bitmapInfo, 12));
    EXPECT_EQ(32u, readLe16(out.bitmapInfo, 14));
    EXPECT_EQ(64u * 48 * 4, readLe32(out.bitmapInfo, 20));
    EXPECT_EQ(0u, readLe32(out.bitmapInfo, 40));
    // Corner pixel: the channel's signature colour, X = 255.
    const uint32_t rgb = uint32_t(out.pixels[2]) << 16 | uint32_t(out.pixels[1]) << 8 | out.pixels[0];
    EXPECT_EQ(3, nearestSignatureChannel(rgb));
    EXPECT_EQ(0xFF, out.pixels[3]);

    // The same decoder serves the next picture.
    ASSERT_TRUE(decoder.decode(cs, out));
    EXPECT_EQ(64, out.width);
}

TEST(J2kDecoder, RefusesDeclaredSizesAboveTheLargestPicture) {
    // SIZ marker segment: FF 51 at offset 2; Xsiz at 8, Ysiz at 12, XTsiz at 24, YTsiz at 28 (big-endian).
    const auto& good = smallCodestream();
    ASSERT_GE(good.size(), 40u);
    ASSERT_EQ(0x51, good[3]);
    const std::pair<uint32_t, uint32_t> sizes[] = {{721, 48}, {64, 577}, {60000, 60000}, {0x7FFFFFFF, 16}};
    for (auto [w, h] : sizes) {
        auto cs = good;
        writeBe32(cs, 8, w);
        writeBe32(cs, 12, h);
        writeBe32(cs, 24, w);
        writeBe32(cs, 28, h);
        DecodedPicture out;
        J2kDecoder decoder;
        EXPECT_FALSE(decoder.decode(cs, out)) << w << "x" << h;
        EXPECT_EQ(0, out.width);
        EXPECT_FALSE(J2kDecoder::checkCodestream(cs)) << "the guard alone refuses " << w << "x" << h;
    }
}

TEST(J2kDecoder, GuardAloneReadsTheDeclaredShape) {
    const auto& good = smallCodestream();
    const auto shape = J2kDecoder::checkCodestream(good);
    ASSERT_TRUE(shape);
    EXPECT_EQ(64u, shape->width);
    EXPECT_EQ(48u, shape->height);
    EXPECT_EQ(3u, shape->components);
    EXPECT_GE(shape->tiles, 1u);
    // Only the main header is read: a codestream cut after it still passes the guard, though it cannot
    // be decoded.
    const std::vector<uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2));
    EXPECT_TRUE(J2kDecoder::checkCodestream(cut));
    EXPECT_FALSE(J2kDecoder::checkCodestream(std::vector<uint8_t>{0xFF, 0x4F}));
    EXPECT_FALSE(J2kDecoder::checkCodestream(std::vector<uint8_t>(4096, 0x5A)));
}

TEST(J2kDecoder, BadCodestreamsGiveNoPicture) {
    const auto& good = smallCodestream();
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({});
    bad.push_back({0xFF, 0x4F});
    bad.emplace_back(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2));  // truncated
    bad.emplace_back(good.begin(), good.end() - 2);                                  // no end marker
    bad.emplace_back(4096, 0x5A);                                                    // not a codestream
    auto corrupt = good;
    for (size_t i = 40; i < 120 && i < corrupt.size(); ++i)
        corrupt[i] = 0xFF;  // header segments overwritten
    bad.push_back(corrupt);
    J2kDecoder decoder;
    for (size_t i = 0; i < bad.size(); ++i) {
        DecodedPicture out;
        EXPECT_FALSE(decoder.decode(bad[i], out)) << i;
        EXPECT_EQ(0, out.width) << i;
    }
    DecodedPicture out;
    EXPECT_TRUE(decoder.decode(good, out)) << "a failure must not spoil the decoder";
}

// A header that cuts the picture into thousands of tiles is refused from its size segment alone:
// OpenJPEG would set up every declared tile while reading the header (hundreds of megabytes for a
// hostile picture in a backup file, for every such picture).
TEST(J2kDecoder, TileGridsAreJudgedBeforeOpenJpegReadsTheHeader) {
    const auto& good = smallCodestream();
    const auto declared = J2kDecoder::declaredShape(good);
    const auto checked = J2kDecoder::checkCodestream(good);
    ASSERT_TRUE(declared && checked);
    EXPECT_EQ(declared->width, checked->width);
    EXPECT_EQ(declared->height, checked->height);
    EXPECT_EQ(declared->components, checked->components);
    EXPECT_EQ(declared->tiles, checked->tiles);

    // One-pixel tiles: 64 x 48 of them. XTsiz at 24, YTsiz at 28.
    auto tiny = good;
    writeBe32(tiny, 24, 1);
    writeBe32(tiny, 28, 1);
    ASSERT_TRUE(J2kDecoder::declaredShape(tiny));
    EXPECT_EQ(J2kDecoder::declaredShape(tiny)->tiles, 64u * 48u);
    EXPECT_FALSE(J2kDecoder::checkCodestream(tiny));
    DecodedPicture out;
    EXPECT_FALSE(J2kDecoder().decode(tiny, out));

    // Grids that contradict the image: a tile offset past the image offset (XTOsiz at 32), a first tile
    // that ends before the image begins (XOsiz at 16), tiles of no width.
    auto pastOffset = good;
    writeBe32(pastOffset, 32, 5);
    auto before = good;
    writeBe32(before, 16, 40);
    writeBe32(before, 8, 104);
    writeBe32(before, 24, 32);
    auto empty = good;
    writeBe32(empty, 24, 0);
    for (const auto* cs : {&pastOffset, &before, &empty})
        EXPECT_FALSE(J2kDecoder::declaredShape(*cs));
}
