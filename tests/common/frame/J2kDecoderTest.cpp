#include "common/frame/J2kDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

// Where the first tile-part (SOT) begins: the main header's segments are skipped by their lengths.
size_t firstTilePart(const std::vector<uint8_t>& cs) {
    size_t at = 2;  // after SOC
    while (at + 4 <= cs.size() && !(cs[at] == 0xFF && cs[at + 1] == 0x90))
        at += 2 + (size_t(cs[at + 2]) << 8 | cs[at + 3]);
    return at;
}

// One segment of the main header, marker and all.
std::vector<uint8_t> mainSegment(const std::vector<uint8_t>& cs, uint8_t marker) {
    const size_t end = firstTilePart(cs);
    for (size_t at = 2; at + 4 <= end;) {
        const size_t length = 2 + (size_t(cs[at + 2]) << 8 | cs[at + 3]);
        if (cs[at + 1] == marker)
            return {cs.begin() + ptrdiff_t(at), cs.begin() + ptrdiff_t(at + length)};
        at += length;
    }
    return {};
}

// The main header of `many` (its coding and quantisation with more levels) before the one tile-part of
// `few`, which carries its own coding and quantisation segments with its fewer levels.
std::vector<uint8_t> tileWithFewerLevels(const std::vector<uint8_t>& many, const std::vector<uint8_t>& few) {
    std::vector<uint8_t> out(many.begin(), many.begin() + ptrdiff_t(firstTilePart(many)));
    const size_t sot = firstTilePart(few);
    const uint32_t partLength = uint32_t(few[sot + 6]) << 24 | uint32_t(few[sot + 7]) << 16 |
                                uint32_t(few[sot + 8]) << 8 | few[sot + 9];
    const size_t partEnd = partLength != 0 ? sot + partLength : few.size() - 2;
    const std::vector<uint8_t> cod = mainSegment(few, 0x52);
    const std::vector<uint8_t> qcd = mainSegment(few, 0x5C);
    const size_t sotBytes = 12;
    const size_t bodyBytes = partEnd - (sot + sotBytes);
    std::vector<uint8_t> sotSegment{0xFF, 0x90, 0x00, 0x0A, 0x00, 0x00, 0, 0, 0, 0, 0x00, 0x01};
    writeBe32(sotSegment, 6, uint32_t(sotBytes + cod.size() + qcd.size() + bodyBytes));
    out.insert(out.end(), sotSegment.begin(), sotSegment.end());
    out.insert(out.end(), cod.begin(), cod.end());
    out.insert(out.end(), qcd.begin(), qcd.end());
    out.insert(out.end(), few.begin() + ptrdiff_t(sot + sotBytes), few.begin() + ptrdiff_t(partEnd));
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
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

// A tile-part that declares fewer levels than the main header: a reduction the tile cannot give is
// decoded at full size (the same pixels as the tile's own codestream), one it can give still reduces.
TEST(J2kDecoder, AReductionATileCannotGiveFallsBackToFullSize) {
    Picture p;
    p.width = 256;
    p.height = 128;
    p.pixels.assign(size_t(p.width) * p.height * 4, 0x80);
    drawChannelFace(p, {0, 0, 256, 128}, 6);
    const std::vector<uint8_t> few = encodeJ2k(p, 6000, 2);
    const std::vector<uint8_t> spliced = tileWithFewerLevels(encodeJ2k(p, 6000, 6), few);
    ASSERT_EQ(J2kDecoder::checkCodestream(spliced)->resolutions, 6);

    J2kDecoder decoder;
    DecodedPicture expected;
    ASSERT_TRUE(decoder.decode(few, expected));
    DecodedPicture out;
    ASSERT_TRUE(decoder.decodeReduced(spliced, out, 2));
    EXPECT_EQ(out.reduction, 0);
    ASSERT_EQ(out.width, 256);
    ASSERT_EQ(out.height, 128);
    const size_t bytes = size_t(out.width) * out.height * 4;
    EXPECT_TRUE(
        std::equal(out.pixels.begin(), out.pixels.begin() + ptrdiff_t(bytes), expected.pixels.begin()));

    ASSERT_TRUE(decoder.decodeReduced(spliced, out, 1));
    EXPECT_EQ(out.reduction, 1);
    EXPECT_EQ(out.width, 128);
    EXPECT_EQ(out.height, 64);
}
