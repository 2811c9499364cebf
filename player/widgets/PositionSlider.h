#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "common/skin/SliderLogic.h"

namespace dvr::player {

// The player's position slider: the track image's top-left 8 x 8 pixels stretched over the
// control and an 18-pixel thumb. The thumb follows playback through setValue(); a drag
// that ends reports the value the thumb was released at, half a second after the button
// came up. Until then the slider keeps the thumb where it was dropped.
class PositionSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxValue = 710;
    static constexpr int kReleaseWaitMs = 500;

    explicit PositionSlider(QWidget* parent = nullptr);
    void setImages(const QImage& track, const QImage& thumb);
    // Moves the thumb to a value 0 to 710 (no notification; ignored while dragging and until a
    // release has been reported).
    void setValue(int value);
    // The value the thumb stands for, 0 to 710.
    int value() const;
    void setSkinEnabled(bool on);
    // Drops a release not yet reported and ends a drag under way without one: the thumb follows playback
    // again.
    void cancelRelease();

Q_SIGNALS:
    void released(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int travel() const;

    bool holding() const { return m_logic.dragging() || m_releaseWait.isActive(); }

    skin::PlayerSliderLogic m_logic;
    QTimer m_releaseWait;
    QImage m_track;
    QImage m_thumb;
    bool m_enabled = true;
};

}  // namespace dvr::player
