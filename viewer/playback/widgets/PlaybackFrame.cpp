#include "viewer/playback/widgets/PlaybackFrame.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace dvr::playback {

PlaybackFrame::PlaybackFrame(PlaybackController& controller, const std::string& programFolder,
                             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Vistrel"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);
    m_window = new PlaybackWindow(controller, programFolder, this);
    m_window->move(0, 0);
    m_skinSize = m_window->size();
    setFixedSize(m_skinSize);
    connect(m_window, &PlaybackWindow::dragRequested, this, [this] {
        if (QWindow* handle = windowHandle())
            handle->startSystemMove();
    });
}

void PlaybackFrame::showWindow(bool fullScreen) {
    m_window->setFullScreen(fullScreen);
    setScaled(fullScreen);
    if (fullScreen) {
        showFullScreen();
        fitWindow();
    } else {
        showNormal();
        setFixedSize(m_skinSize);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect available = screen->availableGeometry();
            move(available.left() + (available.width() - width()) / 2,
                 available.top() + (available.height() - height()) / 2);
        }
    }
    m_window->show();
    raise();
    activateWindow();
}

void PlaybackFrame::setScaled(bool on) {
    if (on == bool(m_scaler))
        return;
    if (on) {
        // The window goes into a scene shown scaled, so that clicks reach it at the scaled places too.
        m_window->setParent(nullptr);
        m_scene = new QGraphicsScene(this);
        m_scene->setBackgroundBrush(Qt::black);
        m_scene->addWidget(m_window);
        m_scene->setSceneRect(QRectF(QPointF(0, 0), QSizeF(m_skinSize)));
        m_scaler = new QGraphicsView(m_scene, this);
        m_scaler->setFrameShape(QFrame::NoFrame);
        m_scaler->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scaler->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scaler->setBackgroundBrush(Qt::black);
        m_scaler->setRenderHint(QPainter::SmoothPixmapTransform);
        m_scaler->setAlignment(Qt::AlignCenter);
        m_scaler->show();
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        if (QGraphicsProxyWidget* proxy = m_window->graphicsProxyWidget())
            proxy->setWidget(nullptr);
        delete m_scaler;
        m_scaler = nullptr;
        delete m_scene;
        m_scene = nullptr;
        m_window->setParent(this);
        m_window->move(0, 0);
    }
}

void PlaybackFrame::fitWindow() {
    if (!m_scaler || m_skinSize.isEmpty())
        return;
    m_scaler->setGeometry(rect());
    // The largest uniform scale at which the whole skin fits, centred on black.
    const double scale =
        std::min(double(width()) / m_skinSize.width(), double(height()) / m_skinSize.height());
    m_scaler->resetTransform();
    m_scaler->scale(scale, scale);
}

void PlaybackFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitWindow();
}

}  // namespace dvr::playback
