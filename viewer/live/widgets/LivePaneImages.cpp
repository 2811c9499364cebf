#include "viewer/live/widgets/LivePaneImages.h"

#include <QPainter>

#include <utility>

namespace dvr::live {

namespace {

// The part `source` of `picture` stretched smoothly over an image of `size` (black without a source),
// into `target`'s pixels when it has that size.
QImage stretchPicture(const QImage& picture, const QRect& source, const QSize& size, QImage target) {
    if (target.size() != size) {
        target = QImage(size, QImage::Format_RGB32);
    }
    if (source.isEmpty()) {
        target.fill(Qt::black);
        return target;
    }
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), picture, source);
    return target;
}

}  // namespace

void LivePaneImages::draw(const PaneDraw& draw, const frame::DecodedPicture& buffer) {
    if (draw.paneChannel < 0 || draw.paneChannel >= kChannelCount) {
        return;
    }
    const QRect rect(QPoint(draw.pane.left, draw.pane.top), QSize(draw.pane.width(), draw.pane.height()));
    Pane& pane = m_panes[size_t(draw.paneChannel)];
    pane.buffer = &buffer;
    pane.bufferChannel = draw.bufferChannel;
    pane.source = draw.hasSource ? QRect(draw.source.x, draw.source.y, draw.source.width, draw.source.height)
                                       .intersected(QRect(0, 0, buffer.width, buffer.height))
                                 : QRect();
    pane.size = rect.size();
    m_repaint(rect);
}

void LivePaneImages::bufferChanging(int bufferChannel, uint32_t redrawnPanes) {
    for (int channel = 0; channel < kChannelCount; ++channel) {
        Pane& pane = m_panes[size_t(channel)];
        if (pane.buffer != nullptr && pane.bufferChannel == bufferChannel &&
            (redrawnPanes >> channel & 1u) == 0) {
            stretch(pane);
        }
    }
}

void LivePaneImages::stretch(Pane& pane) {
    const frame::DecodedPicture& buffer = *pane.buffer;
    // The buffer's pixels as they are, not copied: the stretch reads them before anything changes them.
    const QImage picture(buffer.pixels.data(), buffer.width, buffer.height, qsizetype(buffer.stride()),
                         QImage::Format_RGB32);
    pane.image = stretchPicture(picture, pane.source, pane.size, std::move(pane.image));
    pane.buffer = nullptr;
}

const QImage& LivePaneImages::image(int channel) {
    Pane& pane = m_panes[size_t(channel)];
    if (pane.buffer != nullptr) {
        stretch(pane);
    }
    return pane.image;
}

bool LivePaneImages::hasPicture(int channel) const {
    const Pane& pane = m_panes[size_t(channel)];
    return pane.buffer != nullptr || !pane.image.isNull();
}

void LivePaneImages::clear() {
    for (Pane& pane : m_panes) {
        pane = Pane{};
    }
}

}  // namespace dvr::live
