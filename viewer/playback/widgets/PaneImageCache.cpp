#include "viewer/playback/widgets/PaneImageCache.h"

#include <QPainter>

#include <utility>

namespace dvr::playback {

namespace {

// `source` of `image` scaled smoothly over an image of `size`, into `target`'s pixels when it has that
// size.
QImage stretch(const QImage& image, const QRect& source, QSize size, QImage target) {
    if (target.size() != size || target.format() != QImage::Format_RGB32)
        target = QImage(size, QImage::Format_RGB32);
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), image, source);
    return target;
}

}  // namespace

void PaneImageCache::pictureChanged(int buffer) {
    if (buffer >= 0 && buffer < kPanes)
        m_versions[size_t(buffer)] = m_nextVersion++;
}

void PaneImageCache::clear() {
    for (Entry& entry : m_entries)
        entry = Entry{};
}

const QImage& PaneImageCache::scaled(int pane, int buffer, const QImage& image, const QRect& source,
                                     QSize size) {
    static const QImage kNone;
    if (pane < 0 || pane >= kPanes || buffer < 0 || buffer >= kPanes)
        return kNone;
    Entry& entry = m_entries[size_t(pane)];
    const uint64_t version = m_versions[size_t(buffer)];
    if (entry.buffer == buffer && entry.version == version && entry.source == source &&
        entry.image.size() == size && !entry.image.isNull())
        return entry.image;
    entry.image = stretch(image, source, size, std::move(entry.image));
    entry.buffer = buffer;
    entry.version = version;
    entry.source = source;
    ++m_scalings;
    return entry.image;
}

}  // namespace dvr::playback
