#include "common/skin/widgets/ScaledSkinHost.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>

#include <algorithm>

namespace dvr::skin {

void ScaledSkinHost::setScaled(bool on) {
    if (on == scaled()) {
        return;
    }
    if (on) {
        m_content.setParent(nullptr);
        m_scene = new QGraphicsScene(&m_host);
        m_scene->setBackgroundBrush(Qt::black);
        m_scene->addWidget(&m_content);
        m_scene->setSceneRect(QRectF(QPointF(0, 0), QSizeF(m_skinSize)));
        m_view = new QGraphicsView(m_scene, &m_host);
        m_view->setFrameShape(QFrame::NoFrame);
        m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_view->setBackgroundBrush(Qt::black);
        m_view->setRenderHint(QPainter::SmoothPixmapTransform);
        m_view->setAlignment(Qt::AlignCenter);
        m_view->show();
    } else {
        if (QGraphicsProxyWidget* proxy = m_content.graphicsProxyWidget()) {
            proxy->setWidget(nullptr);
        }
        delete m_view;
        m_view = nullptr;
        delete m_scene;
        m_scene = nullptr;
        m_content.setParent(&m_host);
        m_content.move(0, 0);
    }
}

void ScaledSkinHost::fit() {
    if (!m_view || m_skinSize.isEmpty()) {
        return;
    }
    m_view->setGeometry(m_host.rect());
    // The largest uniform scale at which the whole skin fits, centred on black.
    const double scale =
        std::min(double(m_host.width()) / m_skinSize.width(), double(m_host.height()) / m_skinSize.height());
    m_view->resetTransform();
    m_view->scale(scale, scale);
}

}  // namespace dvr::skin
