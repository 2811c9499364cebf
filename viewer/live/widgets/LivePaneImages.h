// The live panes' pictures: each picture stretched once into its pane, kept for every paint. With a pane
// worker the stretch runs there, from a copy of the picture, while the window's thread sends the next
// request and reads the reply; without one it runs at once.
#pragma once

#include <QImage>
#include <QRect>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/frame/DecodeWorker.h"
#include "common/frame/DecodedPicture.h"
#include "common/frame/PaneWorker.h"
#include "viewer/live/LiveLayout.h"

namespace dvr::live {

class LivePaneImages {
public:
    // `repaint` asks for a pane's rectangle to be painted again once its picture changed.
    explicit LivePaneImages(std::function<void(const QRect&)> repaint) : m_repaint(std::move(repaint)) {}

    // Stretches on a worker whose results come back through `poster` (nullptr: on the calling thread).
    void setPoster(frame::TaskPoster* poster);
    // Stretches the draw's part of `buffer` into its pane.
    void draw(const PaneDraw& draw, const frame::DecodedPicture& buffer);
    // Forgets every pane's picture, and the stretches still to come.
    void clear();
    // Waits until the worker's stretches are done; they are shown when their posted results run.
    void waitForStretches();

    const QImage& image(int channel) const { return m_images[size_t(channel)]; }

private:
    // Shows a pane's stretched picture, unless a newer one is shown or the panes were cleared since.
    void show(int channel, uint64_t generation, const QRect& pane, QImage image);

    std::function<void(const QRect&)> m_repaint;
    std::unique_ptr<frame::PaneWorker> m_worker;
    bool m_onWorker = false;
    std::array<QImage, kChannelCount> m_images;
    // Every stretch is numbered; a pane shows only a stretch newer than the one it shows and than the
    // panes' last clearing.
    uint64_t m_generation = 0;
    uint64_t m_clearedAt = 0;
    std::array<uint64_t, kChannelCount> m_shown{};
};

}  // namespace dvr::live
