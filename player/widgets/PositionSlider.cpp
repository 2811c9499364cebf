#include "player/widgets/PositionSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace dvr::player {

PositionSlider::PositionSlider(QWidget* parent) : QWidget(parent) {
    m_releaseWait.setSingleShot(true);
    m_releaseWait.setTimerType(Qt::PreciseTimer);
    m_releaseWait.setInterval(kReleaseWaitMs);
    connect(&m_releaseWait, &QTimer::timeout, this, [this] { Q_EMIT released(value()); });
}

void PositionSlider::setImages(const QImage& track, const QImage& thumb) {
    m_track = track;
    m_thumb = thumb;
    update();
}

int PositionSlider::travel() const {
    return std::max(1, width() - skin::PlayerSliderLogic::kThumbWidthPx);
}

void PositionSlider::setValue(int value) {
    if (holding()) {
        return;
    }
    const int x = std::clamp(value, 0, kMaxValue) * travel() / kMaxValue;
    if (x != m_logic.thumbXPx()) {
        m_logic.setThumbXPx(x);
        update();
    }
}

int PositionSlider::value() const {
    return std::clamp(m_logic.paintThumbXPx() * kMaxValue / travel(), 0, kMaxValue);
}

void PositionSlider::cancelRelease() {
    m_releaseWait.stop();
    if (m_logic.dragging()) {
        m_logic.release(m_logic.lastXPx());
        update();
    }
}

void PositionSlider::setSkinEnabled(bool on) {
    m_enabled = on;
    update();
}

void PositionSlider::resizeEvent(QResizeEvent*) {
    m_logic.setWidth(width());
}

void PositionSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_track.isNull()) {
        painter.drawImage(rect(), m_track,
                          QRect(0, 0, std::min(8, m_track.width()), std::min(8, m_track.height())));
    } else {
        painter.fillRect(rect(), QColor(40, 40, 40));
    }
    const QRect thumb(m_logic.paintThumbXPx(), 0, skin::PlayerSliderLogic::kThumbWidthPx, height());
    if (!m_thumb.isNull()) {
        painter.drawImage(thumb, m_thumb);
    } else {
        painter.fillRect(thumb, m_enabled ? QColor(200, 200, 200) : QColor(90, 90, 90));
    }
}

void PositionSlider::mousePressEvent(QMouseEvent* event) {
    if (!m_enabled || event->button() != Qt::LeftButton || m_releaseWait.isActive()) {
        return;
    }
    m_logic.press(event->position().toPoint().x());
    update();
}

void PositionSlider::mouseMoveEvent(QMouseEvent* event) {
    if (m_logic.dragTo(event->position().toPoint().x())) {
        update();
    }
}

void PositionSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_logic.release(event->position().toPoint().x())) {
        return;
    }
    update();
    m_releaseWait.start();
}

}  // namespace dvr::player
