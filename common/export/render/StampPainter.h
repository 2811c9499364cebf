#pragma once

#include <memory>

#include "common/export/FramePipeline.h"

namespace dvr::exporting {

// Draws the stamp texts with QtGui in bold "Liberation Sans" (or the system's sans when it is missing).
// Each text is rasterised once into a coverage mask (kept while the text stays the same, as it does for
// all pictures of one second) and laid onto the frame five times: black on the four diagonals, white on
// top. A QGuiApplication must exist. One painter per thread.
class StampPainter final : public Stamper {
public:
    StampPainter();
    ~StampPainter() override;
    void draw(uint8_t* bgr, int width, int height, size_t strideBytes, const Stamp& stamp) override;

    // Kept between frames; defined where they are used.
    struct Font;
    struct Text;

private:
    std::unique_ptr<Font> m_font;  // the font of the last text height
    std::unique_ptr<Text> m_time;  // the last time text and its mask
    std::unique_ptr<Text> m_channel;
};

}  // namespace dvr::exporting
