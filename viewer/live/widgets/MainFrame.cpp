#include "viewer/live/widgets/MainFrame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

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
    m_scaled = std::make_unique<skin::ScaledSkinHost>(*this, *m_view, m_skinSize);

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
    if (on == m_scaled->scaled()) {
        return;
    }
    m_scaled->setScaled(on);
    if (on) {
        setMinimumSize(m_skinSize);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
        m_scaled->fit();
    } else {
        m_view->show();
        showNormal();
        setFixedSize(m_skinSize);
    }
}

void MainFrame::showForPlayback(bool playbackShown) {
    if (playbackShown) {
        hide();
    } else if (m_scaled->scaled()) {
        showFullScreen();
    } else {
        show();
    }
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
    if (m_scaled) {
        m_scaled->fit();
    }
}

}  // namespace dvr::live
