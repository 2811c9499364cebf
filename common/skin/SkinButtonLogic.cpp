#include "common/skin/SkinButtonLogic.h"

namespace dvr::skin {

namespace {
constexpr ButtonKind kToggle = ButtonKind::Toggle;
constexpr ButtonKind kHold = ButtonKind::Hold;
constexpr ButtonKind kLatch = ButtonKind::Latch;
constexpr ButtonKind kMomentary = ButtonKind::Momentary;

ButtonEvent hold(std::uint32_t value, int state) {
    return {ButtonEvent::Type::Hold, value, state};
}
ButtonEvent holdSync(std::uint32_t value, int state) {
    return {ButtonEvent::Type::HoldSync, value, state};
}
}  // namespace

SkinButtonLogic::SkinButtonLogic(ButtonKind kind, bool momentaryAllowed)
    : m_kind(kind), m_momentaryAllowed(momentaryAllowed) {}

void SkinButtonLogic::setKind(ButtonKind kind) {
    m_kind = kind;
}

ButtonKind SkinButtonLogic::effectiveKind() const {
    if (m_kind == kMomentary && !m_momentaryAllowed)
        return kToggle;
    return m_kind;
}

bool SkinButtonLogic::setImage(int index) {
    if (index < 0 || index >= ButtonSlotCount || index == m_image)
        return false;
    m_image = index;
    return true;
}

void SkinButtonLogic::mouseMove() {
    if (m_enabled && !m_tracking)
        m_tracking = true;
}

ButtonEvents SkinButtonLogic::leftDown() {
    ButtonEvents events;
    const ButtonKind kind = effectiveKind();
    if (!m_enabled || (kind == kLatch && m_checked))
        return events;
    m_pressed = true;
    switch (kind) {
        case kHold:
            setImage(SlotPressed);
            events.push_back(hold(m_value, 1));
            events.push_back(holdSync(m_value, 1));
            m_checked = true;
            break;
        case kMomentary:
            setImage(SlotPressed);
            m_checked = true;
            break;
        case kLatch:
            break;
        default:
            if (m_checked)
                setImage(SlotPressed);
            break;
    }
    return events;
}

ButtonEvents SkinButtonLogic::leftUp() {
    ButtonEvents events;
    if (!m_enabled)
        return events;
    if (!m_pressed) {
        events.push_back({ButtonEvent::Type::Cancel, 0, 0});
        return events;
    }
    m_pressed = false;
    const ButtonKind kind = effectiveKind();
    switch (kind) {
        case kHold:
            setImage(SlotReleased);
            events.push_back(hold(m_value, 0));
            events.push_back(holdSync(m_value, 0));
            m_checked = false;
            break;
        case kMomentary:
            setImage(SlotReleased);
            m_checked = false;
            break;
        default:
            setImage(m_checked ? SlotReleased : SlotChecked);
            break;
    }
    events.push_back({ButtonEvent::Type::Command, 0, 0});
    if (kind == kToggle || kind == kLatch)
        m_checked = !m_checked;
    return events;
}

ButtonEvents SkinButtonLogic::leave() {
    if (!m_tracking)
        return {};
    m_tracking = false;
    return leftUp();
}

ButtonEvents SkinButtonLogic::cancelPress() {
    ButtonEvents events;
    if (!m_pressed)
        return events;
    m_pressed = false;
    switch (effectiveKind()) {
        case kHold:
            setImage(SlotReleased);
            events.push_back(hold(m_value, 0));
            m_checked = false;
            break;
        case kMomentary:
            setImage(SlotReleased);
            m_checked = false;
            break;
        default:
            setImage(m_checked ? SlotChecked : SlotReleased);
            break;
    }
    return events;
}

ButtonEvents SkinButtonLogic::setChecked(bool checked) {
    ButtonEvents events;
    const ButtonKind kind = effectiveKind();
    if (kind == kLatch && !m_enabled)
        return events;
    switch (kind) {
        case kHold:
            if (checked) {
                setImage(SlotPressed);
                if (!m_checked)
                    events.push_back(hold(m_value, 1));
            } else {
                setImage(SlotReleased);
                if (m_checked)
                    events.push_back(hold(m_value, 0));
            }
            break;
        case kMomentary:
            setImage(checked ? SlotPressed : SlotReleased);
            break;
        default:
            setImage(checked ? SlotChecked : SlotReleased);
            break;
    }
    m_checked = checked;
    return events;
}

ButtonEvents SkinButtonLogic::enable(bool enabled) {
    ButtonEvents events;
    if (!enabled && m_enabled) {
        // A press under way ends here, without a command: the release of a disabled button is not
        // seen, and a press left open would click when the pointer later leaves the button.
        events = cancelPress();
        m_tracking = false;
    }
    m_enabled = enabled;
    if (!enabled)
        setImage(SlotDisabled);
    else if (m_checked)
        setImage(SlotEnabledChecked);
    else
        setImage(SlotReleased);
    return events;
}

}  // namespace dvr::skin
