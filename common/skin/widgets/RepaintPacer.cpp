#include "common/skin/widgets/RepaintPacer.h"

#include <QWidget>

namespace dvr::skin {

RepaintPacer::RepaintPacer(QWidget& widget, int periodMs) : m_widget(widget), m_periodMs(periodMs) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RepaintPacer::due);
}

void RepaintPacer::update(const QRect& rect) {
    m_pending += rect;
    schedule();
}

void RepaintPacer::schedule() {
    if (m_timer.isActive()) {
        return;
    }
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : m_periodMs;
    if (since >= m_periodMs) {
        due();
    } else {
        m_timer.start(int(m_periodMs - since));
    }
}

void RepaintPacer::due() {
    const bool flowing = m_sinceDecode.isValid() && m_sinceDecode.elapsed() < m_periodMs;
    if (flowing && !m_waitingForDecode) {
        m_waitingForDecode = true;
        m_timer.start(m_periodMs);
        return;
    }
    flush();
}

void RepaintPacer::decodeStarted() {
    m_sinceDecode.restart();
    if (m_waitingForDecode) {
        flush();
    }
}

void RepaintPacer::flush() {
    m_timer.stop();
    m_waitingForDecode = false;
    if (m_beforeRepaint)
        m_beforeRepaint();
    m_widget.update(m_pending);
    m_pending = QRegion();
    m_sinceFlush.restart();
}

}  // namespace dvr::skin
