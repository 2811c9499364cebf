#pragma once

#include "common/export/FramePipeline.h"

namespace dvr::exporting {

// Draws the stamp texts with QtGui in bold "Liberation Sans" (or the system's sans when it is missing).
// A QGuiApplication must exist. One painter per thread.
class StampPainter final : public Stamper {
public:
    void draw(uint8_t* bgr, int width, int height, size_t strideBytes, const Stamp& stamp) override;
};

}  // namespace dvr::exporting
