#include "viewer/live/widgets/MainFrame.h"

#include <QCloseEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace dvr::live {

MainFrame::MainFrame(ViewOptions options, ViewerNotifier& notifier, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Vistrel"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    m_skinSize = VistrelView::skinSize(options.programFolder);
    m_view = new VistrelView(std::move(options), notifier, this);
    m_view->setGeometry(QRect(QPoint(0, 0), m_skinSize));
    setFixedSize(m_skinSize);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.left() + (available.width() - m_skinSize.width()) / 2,
             available.top() + (available.height() - m_skinSize.height()) / 2);
    }

    connect(m_view, &VistrelView::exitFinished, this, &QWidget::close, Qt::QueuedConnection);
    connect(m_view, &VistrelView::dragRequested, this, &MainFrame::startDrag);
    connect(m_view, &VistrelView::fullScreenRequested, this, &MainFrame::setFullScreen);
    connect(m_view, &VistrelView::playbackShown, this, &MainFrame::showForPlayback);
}

void MainFrame::setFullScreen(bool on) {
    if (on == bool(m_scaler)) {
        return;
    }
    if (on) {
        // The view goes into a scene shown scaled, so that clicks reach it at the scaled places too.
        m_view->setParent(nullptr);
        m_scene = new QGraphicsScene(this);
        m_scene->setBackgroundBrush(Qt::black);
        m_scene->addWidget(m_view);
        m_scene->setSceneRect(QRectF(QPointF(0, 0), QSizeF(m_skinSize)));
        m_scaler = new QGraphicsView(m_scene, this);
        m_scaler->setFrameShape(QFrame::NoFrame);
        m_scaler->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scaler->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scaler->setBackgroundBrush(Qt::black);
        m_scaler->setRenderHint(QPainter::SmoothPixmapTransform);
        m_scaler->setAlignment(Qt::AlignCenter);
        m_scaler->show();
        setMinimumSize(m_skinSize);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
        fitView();
    } else {
        if (QGraphicsProxyWidget* proxy = m_view->graphicsProxyWidget()) {
            proxy->setWidget(nullptr);
        }
        delete m_scaler;
        m_scaler = nullptr;
        delete m_scene;
        m_scene = nullptr;
        m_view->setParent(this);
        m_view->move(0, 0);
        m_view->show();
        showNormal();
        setFixedSize(m_skinSize);
    }
}

void MainFrame::showForPlayback(bool playbackShown) {
    if (playbackShown) {
        hide();
    } else if (m_scaler != nullptr) {
        showFullScreen();
    } else {
        show();
    }
}

void MainFrame::fitView() {
    if (!m_scaler || m_skinSize.isEmpty()) {
        return;
    }
    m_scaler->setGeometry(rect());
    // The largest uniform scale at which the whole skin fits, centred on black.
    const double scale =
        std::min(double(width()) / m_skinSize.width(), double(height()) / m_skinSize.height());
    m_scaler->resetTransform();
    m_scaler->scale(scale, scale);
}

void MainFrame::startDrag() {
    if (QWindow* window = windowHandle()) {
        window->startSystemMove();
    }
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!m_view->exiting()) {
        m_view->exitProgram();
    }
    event->accept();
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitView();
}

}  // namespace dvr::live
