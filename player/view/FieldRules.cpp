#include "player/view/FieldRules.h"

#include "common/frame/FrameHeader.h"

namespace dvr::player {

bool FieldRules::dropsUndecoded(uint32_t pictureFlags, uint32_t layoutCode, int fieldCode) {
    return frame::pictureKind(pictureFlags) == frame::PictureKind::Quad && fieldCode != 0 &&
           layoutCode != kQuadAnyFieldLayout;
}

FieldRules::Taken FieldRules::take(int channel, frame::DecodedPicture& decoded, uint32_t pictureFlags,
                                   uint32_t layoutCode, int fieldCode) {
    if (dropsUndecoded(pictureFlags, layoutCode, fieldCode)) {
        return {};
    }
    const frame::PictureKind kind = frame::pictureKind(pictureFlags);
    if (kind != frame::PictureKind::FullHeight) {
        return {Verdict::Keep, &decoded};
    }
    if (fieldCode == 0) {
        m_interleaver.firstField(channel, decoded);
        return {Verdict::FieldHeld, nullptr};
    }
    if (fieldCode != 1 || !m_interleaver.secondField(channel, decoded, layoutCode, m_woven)) {
        return {};
    }
    return {Verdict::Keep, &m_woven};
}

}  // namespace dvr::player
