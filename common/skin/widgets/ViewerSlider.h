#pragma once

#include "common/skin/SliderLogic.h"

#include <QBitmap>
#include <QImage>
#include <QStringList>
#include <QWidget>

namespace dvr::skin {

// The playback window's time slider: track bitmap, transparent thumb bitmap,
// 578-pixel travel. Reports drags to its parent as horizontal-scroll
// notifications with track code 5 and the thumb x.
class ViewerSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThumbTrackCode = 5;

    explicit ViewerSlider(QWidget* parent = nullptr);

    // Loads the track and thumb files. Returns the language keys (section
    // ERR_MSG) of the messages to show: "MSG_029" for a missing track,
    // "MSG_030" for a missing thumb. On any failure the slider keeps no bitmaps.
    QStringList load(const QString& trackPath, const QString& thumbPath);
    // Same, from images already read (null image = missing file).
    QStringList load(const QImage& track, const QImage& thumb);
    // Built-in English text of a message key returned by load.
    static QString defaultMessage(const QString& key);

    void setRange(int minimum, int maximum);
    void setPosition(int position);
    int position() const { return m_logic.position(); }
    int thumbXPx() const { return m_logic.thumbXPx(); }
    bool dragging() const { return m_logic.dragging(); }

    QSize sizeHint() const override;

Q_SIGNALS:
    // code 5 during and after a drag, thumb x in pixels, this slider.
    void horizontalScroll(int code, int thumbXPx, dvr::skin::ViewerSlider* slider);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void notify();

    ViewerSliderLogic m_logic;
    QImage m_track;
    QImage m_thumb;  // thumb with its transparent colour already cut out
};

// The player's position slider: track stretched from its top-left 8 x 8
// pixels, an 18-pixel thumb. Sends its command when a drag ends.
class PlayerSlider : public QWidget {
    Q_OBJECT
public:
    explicit PlayerSlider(QWidget* parent = nullptr);

    void setImages(const QImage& track, const QImage& thumb);
    // Command id sent at the end of a drag; 0 sends nothing.
    void setNotifyTarget(int commandId) { m_commandId = commandId; }
    // Time between the end of a drag and its notification (500 ms by default).
    void setReleaseDelayMs(int delayMs) { m_releaseDelayMs = delayMs; }
    void place(const QRect& rect);
    // Final pointer x of the last drag or jump (0..width).
    int position() const { return m_logic.lastXPx(); }
    int thumbXPx() const { return m_logic.paintThumbXPx(); }
    // Places the thumb from playback progress; repaints only on a change.
    void setThumbXPx(int thumbXPx);
    bool dragging() const { return m_logic.dragging(); }

Q_SIGNALS:
    void command(int commandId, dvr::skin::PlayerSlider* slider);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void finishDrag();

    PlayerSliderLogic m_logic;
    QImage m_track;
    QImage m_thumb;
    int m_commandId = 0;
    int m_releaseDelayMs = 500;
    bool m_finishing = false;
};

}  // namespace dvr::skin
