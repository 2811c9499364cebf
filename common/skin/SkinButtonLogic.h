#pragma once

#include <cstdint>
#include <vector>

namespace dvr::skin {

// Behaviour kinds of a skin button.
enum class ButtonKind : int {
    Toggle = 0,     // each click flips the checked state
    Hold = 1,       // reports press and release (PTZ, speed buttons)
    Latch = 2,      // once checked, only set-checked releases it
    Momentary = 3,  // checked only while pressed (viewer only)
};

// Image slots of a skin button.
enum ButtonSlot : int {
    SlotReleased = 0,
    SlotPressed = 1,
    SlotChecked = 2,
    SlotEnabledChecked = 3,
    SlotDisabled = 4,
    ButtonSlotCount = 5,
};

// One event a button reports to its parent. Posted events reach the parent
// after the current handler returns; the synchronous hold is delivered at once.
struct ButtonEvent {
    enum class Type {
        Hold,      // posted: value, 1 pressed / 0 released
        HoldSync,  // sent at once: value, 1 / 0
        Cancel,    // posted: 0, 0
        Command,   // posted: the button's command id, click code 0
    };
    Type type = Type::Command;
    std::uint32_t value = 0;
    int state = 0;

    bool operator==(const ButtonEvent&) const = default;
};

using ButtonEvents = std::vector<ButtonEvent>;

// The state machine of one skin button: checked, pressed, enabled, tracking and
// the shown image index. Pure: every input returns the events to deliver, in
// order; the widget turns them into signals and repaints when image() changes.
class SkinButtonLogic {
public:
    // momentaryAllowed false: the player's buttons, where kind 3 acts as kind 0.
    explicit SkinButtonLogic(ButtonKind kind = ButtonKind::Toggle, bool momentaryAllowed = true);

    void setKind(ButtonKind kind);
    ButtonKind kind() const { return m_kind; }
    void setValue(std::uint32_t value) { m_value = value; }
    std::uint32_t value() const { return m_value; }

    bool checked() const { return m_checked; }
    bool pressed() const { return m_pressed; }
    bool enabled() const { return m_enabled; }
    bool tracking() const { return m_tracking; }
    int image() const { return m_image; }

    // Shows image slot index (0..4). Returns true when the index changed.
    bool setImage(int index);

    // Pointer moved over the button: asks for a leave notification once.
    void mouseMove();
    ButtonEvents leftDown();
    ButtonEvents leftUp();
    // Pointer left the button; only reported while tracking. Completes a press
    // as a click.
    ButtonEvents leave();
    // Ends a press without a command (the viewer's PTZ release on cancel).
    ButtonEvents cancelPress();
    ButtonEvents setChecked(bool checked);
    // Disabling ends a press under way as cancelPress() does.
    ButtonEvents enable(bool enabled);

private:
    // Kind as it behaves: kind 3 acts as kind 0 when momentary is not allowed.
    ButtonKind effectiveKind() const;

    ButtonKind m_kind = ButtonKind::Toggle;
    bool m_momentaryAllowed = true;
    std::uint32_t m_value = 0;
    bool m_checked = false;
    bool m_pressed = false;
    bool m_enabled = true;
    bool m_tracking = false;
    int m_image = SlotReleased;
};

}  // namespace dvr::skin
