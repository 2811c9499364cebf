#include "common/skin/widgets/SkinSurface.h"

#include "common/skin/widgets/SkinButton.h"

#include <QPainter>

namespace dvr::skin {

SkinSurface::SkinSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

SkinSurface::~SkinSurface() {
    const QList<QPointer<SkinButton>> buttons = m_buttons;
    for (const QPointer<SkinButton>& button : buttons) {
        if (button)
            button->setForeignSurface(nullptr);
    }
}

void SkinSurface::setBackground(const QImage& image) {
    m_background = image;
    update();
}

void SkinSurface::attach(SkinButton* button) {
    if (button && !m_buttons.contains(button))
        m_buttons.append(button);
    updateButton(button);
}

void SkinSurface::detach(SkinButton* button) {
    updateButton(button);
    m_buttons.removeAll(button);
    m_buttons.removeAll(nullptr);
}

QRect SkinSurface::areaOf(const SkinButton* button) const {
    if (!button)
        return {};
    const QWidget* parent = button->parentWidget();
    const QPoint topLeft = parent ? parent->mapTo(window(), button->pos()) : button->pos();
    return QRect(mapFrom(window(), topLeft), button->size());
}

void SkinSurface::updateButton(const SkinButton* button) {
    const QRect area = areaOf(button);
    if (!area.isEmpty())
        update(area);
}

void SkinSurface::paintButtons(QPainter& painter) const {
    for (const QPointer<SkinButton>& button : m_buttons) {
        if (button && !button->isHidden())
            button->paintImage(painter, areaOf(button).topLeft());
    }
}

void SkinSurface::paintBackground(QPainter& painter) {
    painter.fillRect(rect(), Qt::black);
    if (!m_background.isNull())
        painter.drawImage(QPoint(0, 0), m_background);
}

void SkinSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBackground(painter);
    paintButtons(painter);
}

}  // namespace dvr::skin
