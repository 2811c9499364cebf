#include "common/frame/DecodedPicture.h"

#include "common/frame/Bytes.h"

namespace dvr::frame {

std::array<uint8_t, kBitmapInfoBytes> makeBitmapInfo(int width, int height) {
    std::array<uint8_t, kBitmapInfoBytes> b{};
    writeLe32(b, 0, 40);                                       // biSize
    writeLe32(b, 4, uint32_t(width));                          // biWidth
    writeLe32(b, 8, uint32_t(-height));                        // biHeight: negative = rows top-down
    writeLe16(b, 12, 1);                                       // biPlanes
    writeLe16(b, 14, 32);                                      // biBitCount
    writeLe32(b, 16, 0);                                       // biCompression: uncompressed
    writeLe32(b, 20, uint32_t(width) * 4 * uint32_t(height));  // biSizeImage
    return b;                                                  // other fields and the colour entry: 0
}

}  // namespace dvr::frame
