#include "common/frame/JpegEncoder.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace dvr::frame;

namespace {

// A 4-channel BGRX test card: left half blue, right half red.
std::vector<uint8_t> card(int width, int height) {
    std::vector<uint8_t> px(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = px.data() + (size_t(y) * width + x) * 4;
            const bool left = x < width / 2;
            p[0] = left ? 240 : 10;
            p[1] = 20;
            p[2] = left ? 10 : 240;
            p[3] = 0xFF;
        }
    }
    return px;
}

struct Decoded {
    int width = 0;
    int height = 0;
    int subsampling = -1;
    std::vector<uint8_t> rgb;
};

// Reads a JPEG back with an independent decoder.
Decoded decodeJpeg(std::span<const uint8_t> jpeg) {
    Decoded d;
    tjhandle h = tjInitDecompress();
    int colourspace = 0;
    if (tjDecompressHeader3(h, jpeg.data(), jpeg.size(), &d.width, &d.height, &d.subsampling, &colourspace) ==
        0) {
        d.rgb.resize(size_t(d.width) * d.height * 3);
        if (tjDecompress2(h, jpeg.data(), jpeg.size(), d.rgb.data(), d.width, 0, d.height, TJPF_RGB, 0) != 0)
            d.rgb.clear();
    }
    tjDestroy(h);
    return d;
}

}  // namespace

TEST(JpegEncoder, FourChannelPictureDecodesWithItsColours) {
    const auto px = card(64, 32);
    std::vector<uint8_t> out(64 * 1024);
    const size_t n = encodeJpeg(px.data(), 64, 32, 4, out.data(), out.size(), 90);
    ASSERT_GT(n, 0u);
    const Decoded d = decodeJpeg({out.data(), n});
    ASSERT_EQ(64, d.width);
    ASSERT_EQ(32, d.height);
    EXPECT_EQ(TJSAMP_420, d.subsampling);
    ASSERT_FALSE(d.rgb.empty());
    const uint8_t* left = &d.rgb[(16 * 64 + 8) * 3];
    const uint8_t* right = &d.rgb[(16 * 64 + 56) * 3];
    EXPECT_NEAR(10, left[0], 12);
    EXPECT_NEAR(240, left[2], 12);
    EXPECT_NEAR(240, right[0], 12);
    EXPECT_NEAR(10, right[2], 12);
}

TEST(JpegEncoder, ThreeChannelRowsArePaddedToFourBytes) {
    // 7 pixels of 3 bytes = 21 bytes, padded to 24 per row; the padding must not shift later rows.
    const int width = 7, height = 6, stride = 24;
    std::vector<uint8_t> px(size_t(stride) * height, 0xAB);  // padding bytes are junk
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = px.data() + y * stride + x * 3;
            p[0] = 0;    // B
            p[1] = 200;  // G
            p[2] = 0;    // R
        }
    }
    std::vector<uint8_t> out(16 * 1024);
    const size_t n = encodeJpeg(px.data(), width, height, 3, out.data(), out.size(), 100);
    ASSERT_GT(n, 0u);
    const Decoded d = decodeJpeg({out.data(), n});
    ASSERT_EQ(width, d.width);
    ASSERT_FALSE(d.rgb.empty());
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = &d.rgb[(size_t(y) * width + 3) * 3];
        EXPECT_NEAR(0, p[0], 10) << y;
        EXPECT_NEAR(200, p[1], 10) << y;
        EXPECT_NEAR(0, p[2], 10) << y;
    }
}

TEST(JpegEncoder, QualityIsClampedToZeroToHundred) {
    const auto px = card(48, 48);
    JpegEncoder encoder;
    const auto bytesAt = [&](int q) {
        const auto s = encoder.encode(px.data(), 48, 48, 4, q);
        return std::vector<uint8_t>(s.begin(), s.end());
    };
    const auto q100 = bytesAt(100);
    const auto q0 = bytesAt(0);
    ASSERT_FALSE(q100.empty());
    ASSERT_FALSE(q0.empty());
    EXPECT_EQ(q100, bytesAt(150));
    EXPECT_EQ(q0, bytesAt(-5));
    EXPECT_NE(q0, q100);
}

TEST(JpegEncoder, FailuresGiveZero) {
    const auto px = card(32, 32);
    std::vector<uint8_t> out(64 * 1024);
    EXPECT_EQ(0u, encodeJpeg(px.data(), 32, 32, 2, out.data(), out.size(), 70));
    EXPECT_EQ(0u, encodeJpeg(px.data(), 0, 32, 4, out.data(), out.size(), 70));
    EXPECT_EQ(0u, encodeJpeg(nullptr, 32, 32, 4, out.data(), out.size(), 70));
    // Too small an output buffer: nothing written past it, result 0.
    std::vector<uint8_t> tiny(40, 0xEE);
    EXPECT_EQ(0u, encodeJpeg(px.data(), 32, 32, 4, tiny.data(), 32, 70));
    EXPECT_EQ(0xEE, tiny[32]);
}

TEST(JpegEncoder, WritesACroppedRectangleToAFile) {
    DecodedPicture picture;
    picture.width = 64;
    picture.height = 32;
    const auto px = card(64, 32);
    std::copy(px.begin(), px.end(), picture.pixels.begin());

    const auto dir = std::filesystem::temp_directory_path() / ("jpegtest-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = (dir / "right.jpg").string();
    // The right half, with a rectangle reaching past the picture's edge (clipped).
    ASSERT_TRUE(writeJpegFile(path, picture, PixelRect{32, 8, 100, 100}, 90));
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const Decoded d = decodeJpeg(bytes);
    EXPECT_EQ(32, d.width);
    EXPECT_EQ(24, d.height);
    ASSERT_FALSE(d.rgb.empty());
    EXPECT_NEAR(240, d.rgb[0], 12);  // red

    EXPECT_FALSE(writeJpegFile((dir / "missing" / "x.jpg").string(), picture, PixelRect{0, 0, 8, 8}, 90));
    EXPECT_FALSE(writeJpegFile(path, picture, PixelRect{70, 0, 8, 8}, 90));  // outside the picture
    std::filesystem::remove_all(dir);
}
