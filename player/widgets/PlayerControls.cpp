#include "player/widgets/PlayerControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <string>

#include "common/skin/widgets/PlayerToolTips.h"
#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "player/engine/PlaySettings.h"
#include "player/view/PlayerSkinKeys.h"
#include "player/widgets/PlayerSkinImages.h"
#include "player/widgets/PositionSlider.h"

namespace dvr::player {

PlayerControls::PlayerControls(QWidget& window, const skin::PlayerSkinReader& skin, QRect audioArea,
                               Handlers handlers)
    : m_window(window), m_skin(skin) {
    for (const skin::SkinButtonKeys& keys : skinkeys::buttons()) {
        m_buttons[keys.commandId] = addButton(keys.section.c_str(), keys.positionSection.c_str(),
                                              keys.positionKey.c_str(), keys.commandId);
    }
    for (auto& [id, button] : m_buttons) {
        QObject::connect(
            button, &skin::SkinButton::command, &m_window,
            [command = handlers.command](int commandId, skin::SkinButton*) { command(commandId); });
    }
    for (size_t i = 0; i < m_stateIndicators.size(); ++i) {
        const skin::SkinButtonKeys& keys = skinkeys::stateIndicators()[i];
        m_stateIndicators[i] = addButton(keys.section.c_str(), keys.positionSection.c_str(),
                                         keys.positionKey.c_str(), keys.commandId);
        m_stateIndicators[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    m_slider = new PositionSlider(&m_window);
    m_slider->setGeometry(skinRect("MAIN POS", "POS_SLIDE"));
    m_slider->setImages(loadSkinImage(m_skin, "MAIN", "SLIDERUP"), loadSkinImage(m_skin, "MAIN", "SLIDERDN"));
    QObject::connect(m_slider, &PositionSlider::released, &m_window, handlers.sliderReleased);

    const auto makeLabel = [this](const char* section, const char* key, int id) {
        auto* label = new QLabel(&m_window);
        label->setGeometry(skinRect(section, key));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        QFont font(QString::fromLatin1(kPlayerFontFamily));
        font.setPixelSize(std::max(9, label->height() - 4));
        font.setBold(true);
        label->setFont(font);
        // The values carry no tooltip; applyToolTips() sets those of the buttons and indicators.
        skin::PlayerToolTips::apply(*label, id, m_skin, false);
        return label;
    };
    m_speedValue = makeLabel("MAIN POS", "POS_SPEED_VAL", control::kSpeedValue);
    m_delayValue = makeLabel("MAIN POS", "POS_DELAY_VAL", control::kDelayValue);
    m_pageValue = makeLabel("CH POS", "POS_PAGE_VAL", control::kPageValue);

    // The sound controls sit inside the audio area: the sound switch, the four channel checks and the
    // skip list.
    const QString style = QStringLiteral(
        "QCheckBox { color: white; background: transparent; }"
        "QCheckBox::indicator { width: 12px; height: 12px; border: 1px solid #9aa4b0; background: #1b1f24; }"
        "QCheckBox::indicator:checked { background: #34a8f0; }"
        "QCheckBox:disabled { color: #6b7280; }");
    const int x0 = audioArea.left() + 4;
    const int y0 = audioArea.top() + 4;
    m_soundOn = new QCheckBox(QStringLiteral("SOUND"), &m_window);
    m_soundOn->setStyleSheet(style);
    m_soundOn->setGeometry(x0, y0, 80, 22);
    QObject::connect(m_soundOn, &QCheckBox::toggled, &m_window, handlers.soundToggled);
    for (int k = 0; k < 4; ++k) {
        auto* check = new QCheckBox(QString::number(k + 1), &m_window);
        check->setStyleSheet(style);
        check->setGeometry(x0 + 40 * k, y0 + 28, 38, 22);
        QObject::connect(check, &QCheckBox::clicked, &m_window,
                         [select = handlers.soundChannel, k](bool) { select(k + 1); });
        m_soundChannels[static_cast<size_t>(k)] = check;
    }
    m_skipList = new QComboBox(&m_window);
    for (int i = 0; i <= kMaxSkipIndex; ++i) {
        m_skipList->addItem(QString::fromLatin1(skipLabel(i).data(), qsizetype(skipLabel(i).size())));
    }
    m_skipList->setCurrentIndex(0);
    // The keys belong to the window (Space plays and pauses), never to these controls.
    m_soundOn->setFocusPolicy(Qt::NoFocus);
    for (QCheckBox* check : m_soundChannels) {
        check->setFocusPolicy(Qt::NoFocus);
    }
    m_skipList->setFocusPolicy(Qt::NoFocus);
    m_skipList->setGeometry(x0 + 168, y0 + 28, 60, 22);
    QObject::connect(m_skipList, &QComboBox::currentIndexChanged, &m_window,
                     [chosen = handlers.skipChosen](int index) { chosen(std::max(0, index)); });
}

QRect PlayerControls::skinRect(const char* section, const char* key) const {
    return skin::toQRect(m_skin.readPosition(section, key));
}

skin::SkinButton* PlayerControls::addButton(const char* section, const char* posSection, const char* posKey,
                                            int id) {
    auto* button = new skin::SkinButton(&m_window, false);
    skin::SkinButtonLoader::loadPlayerMain(*button, m_skin, section, id);
    button->place(skinRect(posSection, posKey));
    return button;
}

void PlayerControls::applyToolTips(bool on) {
    for (auto& [id, button] : m_buttons) {
        skin::PlayerToolTips::apply(*button, id, m_skin, on);
    }
    for (skin::SkinButton* indicator : m_stateIndicators) {
        skin::PlayerToolTips::apply(*indicator, indicator->commandId(), m_skin, on);
    }
}

void PlayerControls::show(const PlayerViewModel& model, bool soundDeviceReady) {
    const QSignalBlocker blockSound(m_soundOn);
    for (auto& [id, button] : m_buttons) {
        const bool on = model.enabled(id);
        if (button->isSkinEnabled() != on) {
            button->enable(on);
        }
    }
    m_slider->setSkinEnabled(model.enabled(control::kSlider));
    m_speedValue->setText(QString::fromLatin1(PlayerViewModel::speedLabel(model.speedIndex())));
    m_delayValue->setText(QString::fromLatin1(PlayerViewModel::delayLabel(model.delayIndex())));
    m_pageValue->setText(QString::fromStdString(model.pageText()));

    const bool soundVisible = model.soundControlsVisible();
    m_soundOn->setVisible(soundVisible);
    m_soundOn->setEnabled(model.soundSwitchUsable(soundDeviceReady));
    m_soundOn->setChecked(model.soundOn());
    for (int k = 0; k < 4; ++k) {
        QCheckBox* check = m_soundChannels[static_cast<size_t>(k)];
        check->setVisible(soundVisible);
        check->setEnabled(model.enabled(control::kSoundChannelIds[k]));
        check->setChecked(model.checked(control::kSoundChannelIds[k]));
    }
    m_skipList->setVisible(soundVisible);
    m_skipList->setEnabled(model.enabled(control::kSkipList));
}

void PlayerControls::showNavigationState(std::optional<NavigationState> state) {
    for (size_t i = 0; i < m_stateIndicators.size(); ++i) {
        m_stateIndicators[i]->setImage(state && size_t(*state) == i ? 1 : 0);
    }
}

void PlayerControls::setSliderValue(int value) {
    m_slider->setValue(value);
}

void PlayerControls::cancelSliderRelease() {
    m_slider->cancelRelease();
}

bool PlayerControls::enabled(int id) const {
    const auto it = m_buttons.find(id);
    return it != m_buttons.end() && it->second->isSkinEnabled();
}

int PlayerControls::skipIndex() const {
    return m_skipList->currentIndex();
}

}  // namespace dvr::player
