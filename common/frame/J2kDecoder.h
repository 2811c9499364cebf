#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/frame/DecodedPicture.h"
#include "common/frame/PictureDecoder.h"

namespace dvr::frame {

// What a codestream's main header declares.
struct CodestreamShape {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t components = 0;
    uint64_t tiles = 0;
    int resolutions = 1;  // resolution levels every component carries (1: no lower resolution)
};

// Decodes raw JPEG 2000 codestreams from memory. One decoder serves many pictures; it is not shared
// between threads (two threads use two decoders).
class J2kDecoder final : public PictureDecoder {
public:
    J2kDecoder() = default;
    J2kDecoder(const J2kDecoder&) = delete;
    J2kDecoder& operator=(const J2kDecoder&) = delete;

    // Reads the codestream's declared size first and refuses anything wider than 720 or taller than 576
    // before decoding. On success fills out.pixels, out.bitmapInfo, out.width and out.height and returns
    // true. On failure (truncated, corrupt, too large, unusable components) returns false and leaves
    // width and height at 0.
    bool decode(std::span<const uint8_t> codestream, DecodedPicture& out) override;
    // Stops `reduction` wavelet levels before full size (fewer when the codestream carries fewer
    // levels): each level halves width and height, rounding up, and takes about half the time of the
    // level above it. out.reduction, out.fullWidth and out.fullHeight say what was decoded.
    bool decodeReduced(std::span<const uint8_t> codestream, DecodedPicture& out, int reduction) override;

    // The guard decode() applies before decoding, on its own: reads the main header only and returns
    // the declared shape, or nothing when the header is unreadable or the picture wider than 720,
    // taller than 576, without components or with more than 4, or cut into no tiles or more than 1024.
    static std::optional<CodestreamShape> checkCodestream(std::span<const uint8_t> codestream);
    // The shape the codestream's size segment declares, read without OpenJPEG (so before any of its
    // per-tile set-up); nothing when the codestream does not begin with its size segment or the
    // segment's image and tile grid contradict each other.
    static std::optional<CodestreamShape> declaredShape(std::span<const uint8_t> codestream);
};

}  // namespace dvr::frame
