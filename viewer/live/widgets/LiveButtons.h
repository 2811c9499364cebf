#pragma once

#include <QWidget>

#include <array>
#include <vector>

#include "common/skin/SkinReader.h"
#include "viewer/live/LiveController.h"
#include "viewer/live/LiveLayout.h"

namespace dvr::skin {
class SkinButton;
}

namespace dvr::live {

// The live window's skin buttons, made from the window's skin table on `parent`: standard buttons report
// their commands and holds to the controller, PTZ buttons their holds only; a cancel from any PTZ move
// button (let go away from where it was pressed) releases a direction still held. They start
// disconnected, with the wheel's idle picture and the speed label taking no clicks.
class LiveButtons {
public:
    LiveButtons(QWidget& parent, const skin::SkinReader& skin, LiveController& live);

    // The button reporting `commandId`, or null.
    skin::SkinButton* button(int commandId) const;
    // Checked, enabled, shown and wheel states brought up to the controller's.
    void sync(const LiveController& live);

private:
    std::vector<skin::SkinButton*> m_buttons;
    std::array<skin::SkinButton*, kModeButtonCount> m_modeButtons{};
    std::array<skin::SkinButton*, kChannelCount> m_channelButtons{};
    std::array<skin::SkinButton*, 8> m_ptzDirectionButtons{};
};

}  // namespace dvr::live
