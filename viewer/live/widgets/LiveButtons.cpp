#include "viewer/live/widgets/LiveButtons.h"

#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveSkinKeys.h"

namespace dvr::live {

namespace {

QRect toQRect(const skin::SkinRect& r) {
    return r.isEmpty() ? QRect() : QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

LiveButtons::LiveButtons(QWidget& parent, const skin::SkinReader& skin, LiveController& live) {
    for (const skin::SkinButtonKeys& keys : skinkeys::buttons()) {
        auto* button = new skin::SkinButton(&parent);
        const int id = keys.commandId;
        if (keys.load == skin::ButtonLoad::Ptz) {
            skin::SkinButtonLoader::loadPtz(*button, skin, keys.section.c_str(), id, keys.value);
        } else {
            skin::SkinButtonLoader::loadStandard(*button, skin, keys.section.c_str(), id, keys.kind);
            QObject::connect(button, &skin::SkinButton::command, &parent,
                             [&live](int commandId, skin::SkinButton*) { live.onCommand(commandId); });
        }
        button->place(toQRect(skin.readPosition(keys.positionSection, keys.positionKey)));
        QObject::connect(button, &skin::SkinButton::hold, &parent,
                         [&live](quint32 value, int state) { live.onHold(value, state); });
        if (id >= command::kPtzFirst && id <= command::kPtzLast) {
            QObject::connect(button, &skin::SkinButton::cancel, &parent, [this](int, int) {
                for (skin::SkinButton* direction : m_ptzDirectionButtons) {
                    direction->cancelPress();
                }
            });
            if (size_t(id - command::kPtzFirst) < m_ptzDirectionButtons.size()) {
                m_ptzDirectionButtons[size_t(id - command::kPtzFirst)] = button;
            }
        }
        if (id >= command::kModeFirst && id < command::kModeFirst + kModeButtonCount) {
            const uint16_t split = splitForModeIndex(id - command::kModeFirst);
            if (split == kSplitSeven || split == kSplitTen || split == kSplitThirteen) {
                button->enable(false);
            }
            m_modeButtons[size_t(id - command::kModeFirst)] = button;
        }
        if (id >= command::kChannelFirst && id < command::kChannelFirst + kChannelCount) {
            m_channelButtons[size_t(id - command::kChannelFirst)] = button;
        }
        button->show();
        m_buttons.push_back(button);
    }
    button(command::kDisconnect)->setChecked(true);
    button(command::kWheel)->enable(false);
    button(command::kWheel)->setImage(3);
    button(command::kSpeedLabel)->setEnabled(false);
}

skin::SkinButton* LiveButtons::button(int commandId) const {
    for (skin::SkinButton* b : m_buttons) {
        if (b->commandId() == commandId) {
            return b;
        }
    }
    return nullptr;
}

void LiveButtons::sync(const LiveController& live) {
    const auto sync = [](skin::SkinButton* button, bool checked) {
        if (button != nullptr && button->checked() != checked) {
            button->setChecked(checked);
        }
    };
    const LiveLayout& layout = live.layout();
    for (int c = 0; c < kChannelCount; ++c) {
        sync(m_channelButtons[size_t(c)], layout.channelButtonChecked(c));
    }
    for (int k = 0; k < kModeButtonCount; ++k) {
        sync(m_modeButtons[size_t(k)], layout.modeButtonChecked(k));
    }
    if (skin::SkinButton* rotate = button(command::kRotate)) {
        rotate->setEnabled(layout.rotateButtonEnabled());
        sync(rotate, layout.rotateButtonChecked());
    }
    sync(button(command::kConnect), live.connectChecked());
    sync(button(command::kDisconnect), live.disconnectChecked());
    // Hidden is asked of the button itself: while the window is hidden no button counts as visible.
    const bool speedShown = live.speedControlsShown();
    for (int id : {command::kSpeedLabel, command::kSpeedPlus, command::kSpeedMinus}) {
        if (skin::SkinButton* b = button(id); b != nullptr && b->isHidden() == speedShown) {
            b->setVisible(speedShown);
        }
    }
    if (skin::SkinButton* wheel = button(command::kWheel);
        wheel != nullptr && wheel->image() != live.wheelImage()) {
        wheel->setImage(live.wheelImage());
    }
}

}  // namespace dvr::live
