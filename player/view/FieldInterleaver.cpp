#include "player/view/FieldInterleaver.h"

#include <algorithm>
#include <cstring>

#include "common/frame/FrameLimits.h"

namespace dvr::player {

void FieldInterleaver::firstField(int channel, const frame::DecodedPicture& field) {
    if (field.empty() || field.height * 2 > frame::kMaxPictureHeight) {
        m_channel = -1;
        return;
    }
    std::memcpy(m_first.pixels.data(), field.pixels.data(), field.imageBytes());
    m_first.width = field.width;
    m_first.height = field.height;
    m_first.bitmapInfo = field.bitmapInfo;
    m_first.reduction = field.reduction;
    m_channel = channel;
}

bool FieldInterleaver::secondField(int channel, const frame::DecodedPicture& field, uint32_t layoutCode,
                                   frame::DecodedPicture& out) {
    if (channel != m_channel || field.width != m_first.width || field.height != m_first.height ||
        field.reduction != m_first.reduction) {
        return false;
    }
    // The starting row is in full-size rows; fields decoded below full size start as many halvings up.
    const int firstRow =
        (layoutCode == 0x20004 || layoutCode == 0x20008 || layoutCode == 0x20016 ? 4 : 3) >> field.reduction;
    const int rows = field.height;
    const size_t stride = field.stride();
    for (int k = 0; k < rows; ++k) {
        const auto source = static_cast<size_t>(std::min(firstRow + k, rows - 1));
        std::memcpy(out.pixels.data() + static_cast<size_t>(2 * k) * stride,
                    m_first.pixels.data() + source * stride, stride);
        std::memcpy(out.pixels.data() + static_cast<size_t>(2 * k + 1) * stride,
                    field.pixels.data() + source * stride, stride);
    }
    out.width = field.width;
    out.height = rows * 2;
    out.reduction = field.reduction;
    out.fullWidth = field.fullWidth;
    out.fullHeight = field.fullHeight * 2;
    out.bitmapInfo = frame::makeBitmapInfo(out.width, out.height);
    m_channel = -1;
    return true;
}

}  // namespace dvr::player
