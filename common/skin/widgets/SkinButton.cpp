#include "common/skin/widgets/SkinButton.h"

#include "common/skin/widgets/SkinSurface.h"

#include <QMouseEvent>
#include <QPainter>

namespace dvr::skin {

SkinButton::SkinButton(QWidget* parent, bool momentaryAllowed)
    : QWidget(parent), m_logic(ButtonKind::Toggle, momentaryAllowed) {
    // Moves are needed without a pressed button to ask for the leave report.
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

SkinButton::~SkinButton() {
    if (m_surface)
        m_surface->detach(this);
}

void SkinButton::setSlotImage(int slot, const QImage& image) {
    if (slot < 0 || slot >= ButtonSlotCount)
        return;
    m_images[static_cast<size_t>(slot)] = image;
    if (slot == m_logic.image())
        repaintImage();
}

QImage SkinButton::slotImage(int slot) const {
    if (slot < 0 || slot >= ButtonSlotCount)
        return {};
    return m_images[static_cast<size_t>(slot)];
}

QSize SkinButton::sizeHint() const {
    const QImage& image = m_images[SlotReleased];
    return image.isNull() ? QSize(20, 10) : image.size();
}

template <typename Input>
void SkinButton::run(Input input) {
    const int before = m_logic.image();
    const ButtonEvents events = input();
    if (m_logic.image() != before)
        repaintImage();
    deliver(events);
}

void SkinButton::deliver(const ButtonEvents& events) {
    for (const ButtonEvent& e : events) {
        const quint32 value = e.value;
        const int state = e.state;
        switch (e.type) {
            case ButtonEvent::Type::HoldSync:
                Q_EMIT holdSync(value, state);
                break;
            case ButtonEvent::Type::Hold:
                QMetaObject::invokeMethod(
                    this, [this, value, state] { Q_EMIT hold(value, state); }, Qt::QueuedConnection);
                break;
            case ButtonEvent::Type::Cancel:
                QMetaObject::invokeMethod(
                    this, [this] { Q_EMIT cancel(0, 0); }, Qt::QueuedConnection);
                break;
            case ButtonEvent::Type::Command:
                QMetaObject::invokeMethod(
                    this, [this] { Q_EMIT command(m_commandId, this); }, Qt::QueuedConnection);
                break;
        }
    }
}

void SkinButton::repaintImage() {
    if (m_surface)
        m_surface->updateButton(this);
    else
        update();
}

void SkinButton::enable(bool enabled) {
    run([&] { return m_logic.enable(enabled); });
}

void SkinButton::setChecked(bool checked) {
    run([&] { return m_logic.setChecked(checked); });
}

void SkinButton::setImage(int index) {
    if (m_logic.setImage(index))
        repaintImage();
}

void SkinButton::cancelPress() {
    run([&] { return m_logic.cancelPress(); });
}

void SkinButton::setForeignSurface(SkinSurface* surface) {
    if (m_surface == surface)
        return;
    if (m_surface)
        m_surface->detach(this);
    m_surface = surface;
    if (m_surface)
        m_surface->attach(this);
    update();
}

void SkinButton::paintImage(QPainter& painter, QPoint topLeft) const {
    const QImage& image = m_images[static_cast<size_t>(m_logic.image())];
    if (!image.isNull())
        painter.drawImage(topLeft, image);
}

void SkinButton::paintEvent(QPaintEvent*) {
    if (m_surface)
        return;
    QPainter painter(this);
    paintImage(painter, QPoint(0, 0));
}

void SkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // A press is always over the button: make sure its leave will be reported.
    m_logic.mouseMove();
    run([&] { return m_logic.leftDown(); });
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (!rect().contains(event->position().toPoint())) {
        // The pointer left while the button was held: the leave completes the
        // press. A release outside after that belongs to no button.
        run([&] { return m_logic.leave(); });
        return;
    }
    run([&] { return m_logic.leftUp(); });
}

void SkinButton::mouseMoveEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) {
        // The press grabs the pointer, so leaving shows up as a move outside.
        run([&] { return m_logic.leave(); });
        return;
    }
    m_logic.mouseMove();
}

void SkinButton::leaveEvent(QEvent*) {
    run([&] { return m_logic.leave(); });
}

}  // namespace dvr::skin
