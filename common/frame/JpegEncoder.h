#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/frame/DecodedPicture.h"
#include "common/frame/SourceRect.h"

namespace dvr::frame {

// Baseline JPEG encoding (YCbCr, 2x2 chroma subsampling) of top-down pictures. channels = 3: B, G, R bytes
// with rows padded to a multiple of 4 bytes; channels = 4: B, G, R, X. The quality is clamped to 0..100.
// One encoder serves many pictures and keeps its working buffer; it is not shared between threads.
class JpegEncoder {
public:
    JpegEncoder();
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    // Encodes into the encoder's own buffer; the span stays valid until the next call. Empty on failure.
    std::span<const uint8_t> encode(const uint8_t* pixels, int width, int height, int channels, int quality);

    // The same for a picture whose rows are strideBytes apart (a rectangle cut out of a larger picture).
    std::span<const uint8_t> encode(const uint8_t* pixels, int width, int height, size_t strideBytes,
                                    int channels, int quality);

    // Encodes one rectangle of a decoded picture (clipped to the picture). Empty on failure.
    std::span<const uint8_t> encode(const DecodedPicture& picture, PixelRect rect, int quality);

private:
    void* m_handle = nullptr;
    std::vector<uint8_t> m_buffer;
};

// Encodes into `out` and returns the number of JPEG bytes written; 0 on failure, including when the
// result does not fit into `capacity` bytes.
size_t encodeJpeg(const uint8_t* pixels, int width, int height, int channels, uint8_t* out, size_t capacity,
                  int quality);

// Writes one rectangle of a decoded picture as a JPEG file. False when encoding or writing fails.
bool writeJpegFile(const std::string& path, const DecodedPicture& picture, PixelRect rect, int quality);

}  // namespace dvr::frame
