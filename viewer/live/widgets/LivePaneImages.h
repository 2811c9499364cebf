// The live panes' pictures: a pane keeps the buffer and part of it that it was last given, and stretches
// that part into its own image when a paint first shows it; the next paints copy the image as it is. The
// recorder sends several pictures a second more than the screen shows, so a picture no paint shows is
// never stretched. A buffer about to take a new picture first stretches the panes still waiting for its
// old one, unless the new picture replaces theirs, so that a pane never shows another picture's part.
#pragma once

#include <QImage>
#include <QRect>

#include <array>
#include <cstdint>
#include <functional>

#include "common/frame/DecodedPicture.h"
#include "viewer/live/LiveLayout.h"

namespace dvr::live {

class LivePaneImages {
public:
    // `repaint` asks for a pane's rectangle to be painted again once its picture changed.
    explicit LivePaneImages(std::function<void(const QRect&)> repaint) : m_repaint(std::move(repaint)) {}

    // Gives the pane the draw's part of `buffer`, stretched when first painted; `buffer` stays where it
    // is, unchanged, until the pane is painted or `bufferChanging` is told of it.
    void draw(const PaneDraw& draw, const frame::DecodedPicture& buffer);
    // The buffer of `bufferChannel` takes a new picture next, drawn into the panes of `redrawnPanes` (a
    // bit per pane channel): the other panes still waiting for its old picture stretch it now.
    void bufferChanging(int bufferChannel, uint32_t redrawnPanes);
    // Forgets every pane's picture.
    void clear();

    // The pane's stretched picture (null without one), stretched now when it waits.
    const QImage& image(int channel);
    bool hasPicture(int channel) const;

private:
    struct Pane {
        QImage image;
        // While waiting for its stretch: the buffer, which of them it is, and the part to stretch.
        const frame::DecodedPicture* buffer = nullptr;
        int bufferChannel = -1;
        QRect source;
        QSize size;
    };
    void stretch(Pane& pane);

    std::function<void(const QRect&)> m_repaint;
    std::array<Pane, kChannelCount> m_panes;
};

}  // namespace dvr::live
