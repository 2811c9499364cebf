#include "viewer/live/widgets/LivePaneImages.h"

#include <QPainter>

#include <utility>

namespace dvr::live {

namespace {

// The part `source` of `picture` stretched smoothly over an image of `size` (black without a source),
// into `target`'s pixels when it has that size.
QImage stretchPicture(const QImage& picture, const QRect& source, const QSize& size, QImage target = {}) {
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

void LivePaneImages::setPoster(frame::TaskPoster* poster) {
    if (poster != nullptr && !m_worker) {
        m_worker = std::make_unique<frame::PaneWorker>(*poster);
    }
    m_onWorker = poster != nullptr;
}

void LivePaneImages::draw(const PaneDraw& draw, const frame::DecodedPicture& buffer) {
    const QRect pane(QPoint(draw.pane.left, draw.pane.top), QSize(draw.pane.width(), draw.pane.height()));
    const QImage picture(buffer.pixels.data(), buffer.width, buffer.height, qsizetype(buffer.stride()),
                         QImage::Format_RGB32);
    const QRect source = draw.hasSource
                             ? QRect(draw.source.x, draw.source.y, draw.source.width, draw.source.height)
                                   .intersected(picture.rect())
                             : QRect();
    const int channel = draw.paneChannel;
    const uint64_t generation = ++m_generation;
    if (!m_onWorker || source.isEmpty()) {
        // At once, into the pane's own image: the newest stretch of the pane.
        QImage& image = m_images[size_t(channel)];
        image = stretchPicture(picture, source, pane.size(), std::move(image));
        m_shown[size_t(channel)] = generation;
        m_repaint(pane);
        return;
    }
    // A copy: the buffer takes the next picture while this one is stretched.
    m_worker->submit(channel, [this, channel, generation, pane, source, copy = picture.copy()] {
        QImage stretched = stretchPicture(copy, source, pane.size());
        return std::function<void()>(
            [this, channel, generation, pane, image = std::move(stretched)]() mutable {
                show(channel, generation, pane, std::move(image));
            });
    });
}

void LivePaneImages::show(int channel, uint64_t generation, const QRect& pane, QImage image) {
    uint64_t& shown = m_shown[size_t(channel)];
    if (generation <= shown || generation <= m_clearedAt) {
        return;
    }
    shown = generation;
    m_images[size_t(channel)] = std::move(image);
    m_repaint(pane);
}

void LivePaneImages::clear() {
    for (QImage& image : m_images) {
        image = QImage();
    }
    m_clearedAt = m_generation;
    if (m_worker) {
        m_worker->dropWaiting();
    }
}

void LivePaneImages::waitForStretches() {
    if (m_worker) {
        m_worker->waitIdle();
    }
}

}  // namespace dvr::live
