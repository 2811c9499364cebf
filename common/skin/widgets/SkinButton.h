#pragma once

#include "common/skin/SkinButtonLogic.h"

#include <QImage>
#include <QWidget>

#include <array>

namespace dvr::skin {

class SkinSurface;

// The bitmap button of both programs: five image slots, a behaviour kind and
// the hold / hold-synchronous / cancel / command events as signals. The
// synchronous hold is emitted inside the mouse handler; the posted events are
// queued, so a receiver always sees holdSync before the matching hold.
class SkinButton : public QWidget {
    Q_OBJECT
public:
    // momentaryAllowed false for the player, where kind 3 acts as kind 0.
    explicit SkinButton(QWidget* parent = nullptr, bool momentaryAllowed = true);
    ~SkinButton() override;

    void setSlotImage(int slot, const QImage& image);
    QImage slotImage(int slot) const;
    void setKind(ButtonKind kind) { m_logic.setKind(kind); }
    ButtonKind kind() const { return m_logic.kind(); }
    void setNotificationValue(quint32 value) { m_logic.setValue(value); }
    quint32 notificationValue() const { return m_logic.value(); }
    void setCommandId(int id) { m_commandId = id; }
    int commandId() const { return m_commandId; }

    // Skin-level enable: shows slot 4 when disabled, slot 3 when enabled and
    // checked, else slot 0. (QWidget::setEnabled only stops input.)
    void enable(bool enabled);
    bool isSkinEnabled() const { return m_logic.enabled(); }
    void setChecked(bool checked);
    bool checked() const { return m_logic.checked(); }
    bool pressed() const { return m_logic.pressed(); }
    bool tracking() const { return m_logic.tracking(); }
    void setImage(int index);
    int image() const { return m_logic.image(); }
    // Ends a press without a command (kind 1 posts its release).
    void cancelPress();

    // Paint the current image onto surface (at this button's place there)
    // instead of into the button itself; nullptr paints into the button.
    void setForeignSurface(SkinSurface* surface);
    SkinSurface* foreignSurface() const { return m_surface; }
    // Draws the current image with its top-left corner at topLeft.
    void paintImage(QPainter& painter, QPoint topLeft) const;

    // Places the button at rect (from a skin position value).
    void place(const QRect& rect) { setGeometry(rect); }

    QSize sizeHint() const override;

Q_SIGNALS:
    void hold(quint32 value, int state);
    void holdSync(quint32 value, int state);
    void cancel(int wParam, int lParam);
    void command(int commandId, dvr::skin::SkinButton* button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Runs an input on the state machine, repaints on an image change and
    // delivers its events.
    template <typename Input>
    void run(Input input);
    void deliver(const ButtonEvents& events);
    void repaintImage();

    SkinButtonLogic m_logic;
    std::array<QImage, ButtonSlotCount> m_images;
    int m_commandId = 0;
    SkinSurface* m_surface = nullptr;
};

}  // namespace dvr::skin
