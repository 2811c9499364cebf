// Paces a window's repaints after pictures: the rectangles asked for are repainted together at most once
// per display period (about 60 times a second). A screen shows no more than that, and every paint left
// out leaves the window's thread free for the recorder's next reply. A request after a quiet period is
// repainted at once.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QRegion>
#include <QTimer>

#include <functional>

class QWidget;

namespace dvr::skin {

class RepaintPacer : public QObject {
public:
    explicit RepaintPacer(QWidget& widget, int periodMs = 16);

    // Repaints `rect` of the widget at once when the last repaint is a period old, else with the next.
    void update(const QRect& rect);
    // Makes sure a paced repaint comes, with or without a rectangle waiting (for the hook below).
    void schedule();
    // Runs `beforeRepaint` just before each paced repaint is asked for: state shown by child widgets (an
    // activity indicator) is brought up to date there, at the paced rate rather than with every picture.
    void setBeforeRepaint(std::function<void()> beforeRepaint) { m_beforeRepaint = std::move(beforeRepaint); }
    // Told by the window each time it has just handed a picture to its decode worker: the window's thread
    // is then free for a whole decode. While pictures flow (one handed over within the last period), a
    // due repaint waits for that moment, at most one more period, so that it does not hold up the
    // decoded picture's return or the recorder's reply.
    void decodeStarted();

private:
    void due();
    void flush();

    QWidget& m_widget;
    const int m_periodMs;
    std::function<void()> m_beforeRepaint;
    QRegion m_pending;
    QElapsedTimer m_sinceFlush;
    QElapsedTimer m_sinceDecode;
    bool m_waitingForDecode = false;
    QTimer m_timer;
};

}  // namespace dvr::skin
