#include "viewer/playback/widgets/PlaybackFrame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

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
    m_scaled = std::make_unique<skin::ScaledSkinHost>(*this, *m_window, m_skinSize);
    connect(m_window, &PlaybackWindow::dragRequested, this, [this] {
        if (QWindow* handle = windowHandle())
            handle->startSystemMove();
    });
}

void PlaybackFrame::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_window->closeAsked();
}

void PlaybackFrame::showWindow(bool fullScreen) {
    m_window->setFullScreen(fullScreen);
    setScaled(fullScreen);
    if (fullScreen) {
        showFullScreen();
        m_scaled->fit();
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
    if (on == m_scaled->scaled())
        return;
    m_scaled->setScaled(on);
    if (on) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void PlaybackFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_scaled) {
        m_scaled->fit();
    }
}

}  // namespace dvr::playback
