#pragma once

#include <QRect>
#include <array>
#include <functional>
#include <map>
#include <optional>

#include "common/skin/PlayerSkinReader.h"
#include "player/view/PlayerViewModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;

namespace dvr::skin {
class SkinButton;
}

namespace dvr::player {

class PositionSlider;

// The controls of the Discoro window, placed from the skin: the skin buttons, the navigation state
// indicators, the position slider, the speed, delay and page values, and the sound switch, channel checks
// and skip list inside the audio area. They report what the user does through the handlers and show the
// model they are given; they keep no state of their own.
class PlayerControls {
public:
    struct Handlers {
        std::function<void(int)> command;         // a skin button's command id
        std::function<void(int)> sliderReleased;  // the slider's value
        std::function<void(bool)> soundToggled;   // the sound switch
        std::function<void(int)> soundChannel;    // a sound channel check, 1 to 4
        std::function<void(int)> skipChosen;      // the skip list's entry
    };

    PlayerControls(QWidget& window, const skin::PlayerSkinReader& skin, QRect audioArea, Handlers handlers);

    // Tooltips of the buttons and indicators from the skin, or none.
    void applyToolTips(bool on);
    // Shows the model: enabled buttons, the values, the sound controls. soundDeviceReady: a sound device
    // is prepared, so the sound switch may switch sound on.
    void show(const PlayerViewModel& model, bool soundDeviceReady);
    // Lights the indicator of the state (none: all dark).
    void showNavigationState(std::optional<NavigationState> state);
    void setSliderValue(int value);
    // A drag's release not yet reported is dropped (another file opens).
    void cancelSliderRelease();

    bool enabled(int id) const;
    int skipIndex() const;

private:
    skin::SkinButton* addButton(const char* section, const char* posSection, const char* posKey, int id);
    QRect skinRect(const char* section, const char* key) const;

    QWidget& m_window;
    const skin::PlayerSkinReader& m_skin;
    std::map<int, skin::SkinButton*> m_buttons;
    std::array<skin::SkinButton*, 7> m_stateIndicators{};
    PositionSlider* m_slider = nullptr;
    QLabel* m_speedValue = nullptr;
    QLabel* m_delayValue = nullptr;
    QLabel* m_pageValue = nullptr;
    QCheckBox* m_soundOn = nullptr;
    std::array<QCheckBox*, 4> m_soundChannels{};
    QComboBox* m_skipList = nullptr;
};

}  // namespace dvr::player
