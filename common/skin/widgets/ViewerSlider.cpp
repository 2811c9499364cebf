#include "common/skin/widgets/ViewerSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace dvr::skin {

namespace {
// The thumb's top-left pixel colour is its transparent colour.
QImage cutTransparent(const QImage& thumb) {
    if (thumb.isNull())
        return {};
    QImage out = thumb.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = out.pixel(0, 0) | 0xff000000u;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] | 0xff000000u) == key)
                line[x] = 0;
        }
    }
    return out;
}
}  // namespace

ViewerSlider::ViewerSlider(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::ClickFocus);
    m_logic.setRange(0, 86399);
}

QStringList ViewerSlider::load(const QString& trackPath, const QString& thumbPath) {
    return load(QImage(trackPath), QImage(thumbPath));
}

QStringList ViewerSlider::load(const QImage& track, const QImage& thumb) {
    QStringList messages;
    if (track.isNull())
        messages << QStringLiteral("MSG_029");
    if (thumb.isNull())
        messages << QStringLiteral("MSG_030");
    if (messages.isEmpty()) {
        m_track = track;
        m_thumb = cutTransparent(thumb);
    } else {
        m_track = QImage();
        m_thumb = QImage();
    }
    updateGeometry();
    update();
    return messages;
}

QString ViewerSlider::defaultMessage(const QString& key) {
    if (key == QLatin1String("MSG_029"))
        return QStringLiteral("Can't read bmp file1!");
    if (key == QLatin1String("MSG_030"))
        return QStringLiteral("Can't read bmp file2!");
    return {};
}

void ViewerSlider::setRange(int minimum, int maximum) {
    m_logic.setRange(minimum, maximum);
}

void ViewerSlider::setPosition(int position) {
    const int thumbBefore = m_logic.thumbXPx();
    m_logic.setPosition(position);
    // Playback moves the position with every picture; the slider is drawn again only when its thumb
    // moves by a pixel.
    if (m_logic.thumbXPx() != thumbBefore)
        update();
}

QSize ViewerSlider::sizeHint() const {
    if (m_track.isNull())
        return {ViewerSliderLogic::kTravelPx + 2 * ViewerSliderLogic::kGrabOffsetPx, 20};
    return m_track.size();
}

void ViewerSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_track.isNull())
        painter.drawImage(QPoint(0, 0), m_track);
    if (!m_thumb.isNull())
        painter.drawImage(QPoint(m_logic.thumbXPx(), 0), m_thumb);
}

void ViewerSlider::notify() {
    Q_EMIT horizontalScroll(kThumbTrackCode, m_logic.thumbXPx(), this);
}

void ViewerSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_logic.press();
    update();
}

void ViewerSlider::mouseMoveEvent(QMouseEvent* event) {
    if (m_logic.dragTo(qRound(event->position().x()))) {
        notify();
        update();
    }
}

void ViewerSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (m_logic.release(qRound(event->position().x()))) {
        notify();
        update();
    }
}

void ViewerSlider::keyPressEvent(QKeyEvent*) {
    update();
}
void ViewerSlider::keyReleaseEvent(QKeyEvent*) {
    update();
}

PlayerSlider::PlayerSlider(QWidget* parent) : QWidget(parent) {}

void PlayerSlider::setImages(const QImage& track, const QImage& thumb) {
    m_track = track;
    m_thumb = thumb;
    update();
}

void PlayerSlider::place(const QRect& rect) {
    setGeometry(rect);
    m_logic.setWidth(rect.width());
}

void PlayerSlider::resizeEvent(QResizeEvent*) {
    m_logic.setWidth(width());
}

void PlayerSlider::setThumbXPx(int thumbXPx) {
    if (m_logic.dragging() || thumbXPx == m_logic.thumbXPx())
        return;
    m_logic.setThumbXPx(thumbXPx);
    update();
}

void PlayerSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_track.isNull()) {
        const QImage tile = m_track.copy(0, 0, 8, 8);
        painter.drawImage(rect(), tile);
    }
    if (!m_thumb.isNull()) {
        const QRect thumbArea(m_logic.paintThumbXPx(), 0, PlayerSliderLogic::kThumbWidthPx, height());
        painter.drawImage(thumbArea, m_thumb);
    }
}

void PlayerSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_finishing)
        return;
    m_logic.press(qRound(event->position().x()));
    update();
}

void PlayerSlider::mouseMoveEvent(QMouseEvent* event) {
    if (m_logic.dragTo(qRound(event->position().x())))
        update();
}

void PlayerSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_logic.dragging())
        return;
    m_logic.release(qRound(event->position().x()));
    // The end of a drag settles for a moment before the player seeks.
    m_finishing = true;
    if (m_releaseDelayMs <= 0)
        finishDrag();
    else
        QTimer::singleShot(m_releaseDelayMs, this, &PlayerSlider::finishDrag);
}

void PlayerSlider::finishDrag() {
    m_finishing = false;
    update();
    if (m_commandId != 0)
        Q_EMIT command(m_commandId, this);
}

}  // namespace dvr::skin
