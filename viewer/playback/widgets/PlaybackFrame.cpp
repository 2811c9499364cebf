#include "viewer/playback/widgets/PlaybackFrame.h"

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
    resize(m_window->size());
    connect(m_window, &PlaybackWindow::dragRequested, this, [this] {
        if (QWindow* handle = windowHandle())
            handle->startSystemMove();
    });
    // Closing the window shows the live view; the frame goes with it.
    connect(m_window, &PlaybackWindow::closed, this, &QWidget::hide);
}

void PlaybackFrame::showWindow(bool fullScreen) {
    m_window->setFullScreen(fullScreen);
    m_window->show();
    if (fullScreen) {
        // The screen's resolution stays as it is: the skin is centred on black.
        setMinimumSize(m_window->size());
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
    } else {
        showNormal();
        setFixedSize(m_window->size());
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect available = screen->availableGeometry();
            move(available.left() + (available.width() - width()) / 2,
                 available.top() + (available.height() - height()) / 2);
        }
    }
    raise();
    activateWindow();
}

void PlaybackFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_window->move(std::max(0, (width() - m_window->width()) / 2),
                   std::max(0, (height() - m_window->height()) / 2));
}

}  // namespace dvr::playback
