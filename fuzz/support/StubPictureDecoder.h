// A picture decoder for the fuzz targets that reach pictures through our own code (the session's receive
// path, the backup reader): it applies the same codestream guard as the real decoder, then fills the
// declared picture with the codestream's own bytes instead of decoding them. JPEG 2000 decoding itself is
// left to the frame-record target, so the other targets spend their time in our code.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "common/frame/DecodedPicture.h"
#include "common/frame/FrameLimits.h"
#include "common/frame/J2kDecoder.h"
#include "common/frame/PictureDecoder.h"

namespace dvr::fuzz {

class StubPictureDecoder final : public frame::PictureDecoder {
public:
    bool decode(std::span<const uint8_t> codestream, frame::DecodedPicture& out) override {
        out.width = 0;
        out.height = 0;
        const auto shape = frame::J2kDecoder::checkCodestream(codestream);
        if (!shape)
            return false;
        const size_t bytes = size_t(shape->width) * shape->height * 4;
        if (out.pixels.size() < bytes)
            out.pixels.resize(frame::kMaxPictureBytes);
        // The leading pixels, where the channel codes are read, repeat the codestream, so the input steers
        // what they read; the rest keeps what it held (filling whole pictures would cost more than the
        // code under test).
        const size_t filled = std::min(bytes, kFilledBytes);
        for (size_t done = 0; done < filled;) {
            const size_t count = std::min(filled - done, codestream.size());
            std::memcpy(out.pixels.data() + done, codestream.data(), count);
            done += count;
        }
        out.width = int(shape->width);
        out.height = int(shape->height);
        out.bitmapInfo = frame::makeBitmapInfo(out.width, out.height);
        return true;
    }

private:
    static constexpr size_t kFilledBytes = 8192;
};

}  // namespace dvr::fuzz
