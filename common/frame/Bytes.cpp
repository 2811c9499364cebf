#include "common/frame/Bytes.h"

#include <cstring>

namespace dvr::frame {

size_t turnByteOrder(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    const size_t count = turnedSize(src.size());
    if (dst.size() < count)
        return 0;
    const size_t whole = src.size() / 4;
    const uint8_t* in = src.data();
    uint8_t* out = dst.data();
    // Word-wise load, swap and store: the compiler turns this loop into vector shuffles.
    for (size_t i = 0; i < whole; ++i) {
        uint32_t w;
        std::memcpy(&w, in + 4 * i, 4);
        w = __builtin_bswap32(w);
        std::memcpy(out + 4 * i, &w, 4);
    }
    const size_t rest = src.size() - whole * 4;
    if (rest != 0) {
        uint8_t last[4] = {0, 0, 0, 0};
        std::memcpy(last, in + whole * 4, rest);
        uint8_t* o = out + whole * 4;
        o[0] = last[3];
        o[1] = last[2];
        o[2] = last[1];
        o[3] = last[0];
    }
    return count;
}

}  // namespace dvr::frame
