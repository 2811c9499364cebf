#include "common/frame/JpegEncoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "common/fs/AtomicFile.h"

namespace dvr::frame {

namespace {

int clampQuality(int quality) {
    return std::clamp(quality, 0, 100);
}

size_t paddedRowBytes(int width, int channels) {
    const size_t row = size_t(width) * size_t(channels);
    return channels == 3 ? (row + 3) & ~size_t(3) : row;
}

bool validInput(const uint8_t* pixels, int width, int height, int channels) {
    return pixels && width > 0 && height > 0 && (channels == 3 || channels == 4);
}

// Compresses into `buffer` (grown when too small for the worst case) and returns the JPEG size or 0.
size_t compress(tjhandle handle, std::vector<uint8_t>& buffer, const uint8_t* pixels, int width, int height,
                size_t strideBytes, int channels, int quality) {
    const unsigned long worst = tjBufSize(width, height, TJSAMP_420);
    if (worst == 0 || worst == static_cast<unsigned long>(-1))
        return 0;
    if (buffer.size() < worst)
        buffer.resize(worst);
    unsigned char* out = buffer.data();
    unsigned long size = buffer.size();
    const int format = channels == 3 ? TJPF_BGR : TJPF_BGRX;
    const int rc = tjCompress2(handle, pixels, width, int(strideBytes), height, format, &out, &size,
                               TJSAMP_420, clampQuality(quality), TJFLAG_NOREALLOC);
    if (rc != 0 || out != buffer.data())
        return 0;
    return size;
}

}  // namespace

JpegEncoder::JpegEncoder() : m_handle(tjInitCompress()) {}

JpegEncoder::~JpegEncoder() {
    if (m_handle)
        tjDestroy(static_cast<tjhandle>(m_handle));
}

std::span<const uint8_t> JpegEncoder::encode(const uint8_t* pixels, int width, int height, int channels,
                                             int quality) {
    if (!validInput(pixels, width, height, channels))
        return {};
    return encode(pixels, width, height, paddedRowBytes(width, channels), channels, quality);
}

std::span<const uint8_t> JpegEncoder::encode(const uint8_t* pixels, int width, int height, size_t strideBytes,
                                             int channels, int quality) {
    if (!m_handle || !validInput(pixels, width, height, channels) ||
        strideBytes < size_t(width) * size_t(channels) || strideBytes > size_t(INT32_MAX))
        return {};
    const size_t size = compress(static_cast<tjhandle>(m_handle), m_buffer, pixels, width, height,
                                 strideBytes, channels, quality);
    return {m_buffer.data(), size};
}

std::span<const uint8_t> JpegEncoder::encode(const DecodedPicture& picture, PixelRect rect, int quality) {
    const int x0 = std::clamp(rect.x, 0, picture.width);
    const int y0 = std::clamp(rect.y, 0, picture.height);
    const int x1 = std::clamp(rect.x + std::max(rect.width, 0), x0, picture.width);
    const int y1 = std::clamp(rect.y + std::max(rect.height, 0), y0, picture.height);
    if (x1 <= x0 || y1 <= y0)
        return {};
    const uint8_t* origin = picture.pixels.data() + size_t(y0) * picture.stride() + size_t(x0) * 4;
    return encode(origin, x1 - x0, y1 - y0, picture.stride(), 4, quality);
}

size_t encodeJpeg(const uint8_t* pixels, int width, int height, int channels, uint8_t* out, size_t capacity,
                  int quality) {
    if (!out || !validInput(pixels, width, height, channels))
        return 0;
    JpegEncoder encoder;
    const std::span<const uint8_t> jpeg = encoder.encode(pixels, width, height, channels, quality);
    if (jpeg.empty() || jpeg.size() > capacity)
        return 0;
    std::copy(jpeg.begin(), jpeg.end(), out);
    return jpeg.size();
}

bool writeJpegFile(const std::string& path, const DecodedPicture& picture, PixelRect rect, int quality) {
    JpegEncoder encoder;
    const std::span<const uint8_t> jpeg = encoder.encode(picture, rect, quality);
    if (jpeg.empty())
        return false;
    dvr::fs::AtomicFile::Options options;
    options.makeFolder = false;
    return dvr::fs::AtomicFile::write(
               path, std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()), options)
        .ok;
}

}  // namespace dvr::frame
