#pragma once

#include <memory>

#include "common/export/FramePipeline.h"

namespace dvr::exporting {

// Draws the stamp texts with QtGui in bold "Liberation Sans" (or the system's sans when it is missing).
// A QGuiApplication must exist. One painter per thread.
class StampPainter final : public Stamper {
public:
    StampPainter();
    ~StampPainter() override;
    void draw(uint8_t* bgr, int width, int height, size_t strideBytes, const Stamp& stamp) override;

private:
    struct Font;
    std::unique_ptr<Font> m_font;  // the font of the last text height, kept between frames
};

}  // namespace dvr::exporting
