#include "player/widgets/PlayerView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <filesystem>

#include "common/evidence/Sha256.h"
#include "common/export/render/StampPainter.h"
#include "common/frame/FrameHeader.h"
#include "common/skin/PlayerInfo.h"
#include "common/skin/widgets/PlayerToolTips.h"
#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "player/audio/SdlAudioDevice.h"
#include "player/engine/PlaySettings.h"
#include "player/media/BackupFormat.h"
#include "player/view/PaneDrawing.h"
#include "player/view/PlayerFolders.h"
#include "player/view/RecentFiles.h"
#include "player/widgets/BackupWindow.h"
#include "player/widgets/EditWindow.h"
#include "player/widgets/PositionSlider.h"

namespace dvr::player {

namespace {

constexpr const char* kTitle = "Discoro";
constexpr const char* kAudioFailure = "Audio initialize exception.";
constexpr const char* kAudioFailureCaption = "Error";
constexpr const char* kFontFamily = "Liberation Sans";

// Shows messages in message boxes (the program's own notifier).
class MessageBoxNotifier final : public skin::SkinNotifier {
public:
    explicit MessageBoxNotifier(QWidget* parent) : m_parent(parent) {}
    void showMessage(const std::string& text, const std::string& caption) override {
        const QString title = QString::fromStdString(caption.empty() ? kTitle : caption);
        if (title.compare(QStringLiteral("error"), Qt::CaseInsensitive) == 0) {
            QMessageBox::critical(m_parent, title, QString::fromStdString(text));
        } else {
            QMessageBox::information(m_parent, title, QString::fromStdString(text));
        }
    }

private:
    QWidget* m_parent;
};

// The opening scan's messages, shown with the program's title.
class ScanNotifier final : public media::Notifier {
public:
    explicit ScanNotifier(skin::SkinNotifier& notifier) : m_notifier(notifier) {}
    void showMessage(std::string_view text) override { m_notifier.showMessage(std::string(text), kTitle); }

private:
    skin::SkinNotifier& m_notifier;
};

QImage loadImage(const skin::PlayerSkinReader& skin, const char* section, const char* key) {
    const std::optional<std::string> path = skin.readBitmapPath(section, key);
    return path ? QImage(QString::fromStdString(*path)) : QImage();
}

void drawOutlinedText(QPainter& painter, int x, int top, const QString& text) {
    const int baseline = top + painter.fontMetrics().ascent();
    painter.setPen(Qt::black);
    for (const QPoint d : {QPoint(-1, -1), QPoint(1, -1), QPoint(-1, 1), QPoint(1, 1)}) {
        painter.drawText(x + d.x(), baseline + d.y(), text);
    }
    painter.setPen(Qt::white);
    painter.drawText(x, baseline, text);
}

struct ButtonPlace {
    const char* section;
    const char* posSection;
    const char* posKey;
    int id;
};

constexpr ButtonPlace kButtonPlaces[] = {
    {"BTN_EXIT", "MAIN POS", "POS_EXIT", control::kExit},
    {"BTN_OPEN", "MAIN POS", "POS_OPEN", control::kOpen},
    {"BTN_BACKUP", "MAIN POS", "POS_BACKUP", control::kBackup},
    {"BTN_EDIT", "MAIN POS", "POS_EDIT", control::kEdit},
    {"BTN_SPEED_UP", "MAIN POS", "POS_SPEED_UP", control::kSpeedUp},
    {"BTN_SPEED_DN", "MAIN POS", "POS_SPEED_DN", control::kSpeedDown},
    {"BTN_DELAY_UP", "MAIN POS", "POS_DELAY_UP", control::kDelayUp},
    {"BTN_DELAY_DN", "MAIN POS", "POS_DELAY_DN", control::kDelayDown},
    {"BTN_START", "NAVIGATION POS", "POS_START", control::kStart},
    {"BTN_RWPLAY", "NAVIGATION POS", "POS_RWPLAY", control::kRwPlay},
    {"BTN_BPLAY", "NAVIGATION POS", "POS_BPLAY", control::kBPlay},
    {"BTN_PAUSE", "NAVIGATION POS", "POS_PAUSE", control::kPause},
    {"BTN_FPLAY", "NAVIGATION POS", "POS_FPLAY", control::kFPlay},
    {"BTN_FFPLAY", "NAVIGATION POS", "POS_FFPLAY", control::kFfPlay},
    {"BTN_END", "NAVIGATION POS", "POS_END", control::kEnd},
    {"BTN_MODE1", "MODE POS", "POS_MODE1", control::kMode1},
    {"BTN_MODE4", "MODE POS", "POS_MODE4", control::kMode4},
    {"BTN_MODE9", "MODE POS", "POS_MODE9", control::kMode9},
    {"BTN_MODE16", "MODE POS", "POS_MODE16", control::kMode16},
    {"BTN_PREV_PAGE", "CH POS", "POS_PREV_PAGE", control::kPrevPage},
    {"BTN_NEXT_PAGE", "CH POS", "POS_NEXT_PAGE", control::kNextPage},
};

constexpr ButtonPlace kStatePlaces[] = {
    {"STATE_START", "NAVIGATION POS", "POS_STATE_START", control::kStateStart},
    {"STATE_RW", "NAVIGATION POS", "POS_STATE_RW", control::kStateStart + 1},
    {"STATE_BP", "NAVIGATION POS", "POS_STATE_BP", control::kStateStart + 2},
    {"STATE_PAUSE", "NAVIGATION POS", "POS_STATE_PAUSE", control::kStateStart + 3},
    {"STATE_FP", "NAVIGATION POS", "POS_STATE_FP", control::kStateStart + 4},
    {"STATE_FF", "NAVIGATION POS", "POS_STATE_FF", control::kStateStart + 5},
    {"STATE_END", "NAVIGATION POS", "POS_STATE_END", control::kStateEnd},
};

}  // namespace

// The playback thread's view of the window. Every call runs on the playback thread: it
// stores pictures in the shared store, queues sound, and asks the window thread for the
// rest through queued calls.
class PlayerView::Sink final : public media::PlaybackSink {
public:
    explicit Sink(PlayerView& view) : m_view(view) {}

    void drawPicture(const media::DeliveredPicture& delivered) override {
        const media::BackupHeader& header = *delivered.header;
        PictureRecord record;
        record.layoutCode = header.layoutCode;
        record.pictureFlags = header.pictureFlags;
        record.videoStandard = header.videoStandard;
        record.recordChannel = int(header.channel);
        record.fieldCode = delivered.fieldCode;
        record.channelCount = m_view.m_channelCount.load();
        record.time = header.time.dateTime();
        record.codestream = delivered.codestream();
        // An export takes the stored pictures at full size and in step with this thread.
        record.fullSize = m_view.m_exporter.channel() >= 0;
        if (m_view.m_decodeAhead && !record.fullSize) {
            m_view.m_decodeAhead->deliver(record, header.channelMask(), header.framesPerGroup());
            return;
        }
        if (m_view.m_decodeAhead) {
            m_view.m_decodeAhead->flush();
        }
        uint32_t stored = 0;
        const bool wake =
            m_view.m_handOff.pictureDelivered(m_view.m_pictures, record, header.channelMask(), &stored);
        // An export takes the pictures stored for its channel while playing forwards, each from a record
        // after the last one taken (never the picture shown again at the end, a step back or backward
        // play); it may wait for its writer, never for the window.
        const int exported = m_view.m_exporter.channel();
        const media::PlayMode mode = m_view.m_shared.mode();
        const bool forwards = mode == media::PlayMode::Forward || mode == media::PlayMode::FastForward ||
                              mode == media::PlayMode::StepForward;
        if (exported >= 0 && forwards && (stored >> exported & 1u) != 0 &&
            m_view.m_exporter.admits(int64_t(delivered.headerOffset))) {
            m_view.m_exporter.offerStored(m_view.m_pictures, int64_t(delivered.headerOffset),
                                          evidence::sha256(delivered.codestream()));
        }
        if (wake) {
            wakeWindow();
        }
    }

    void soundBlock(std::span<const uint8_t> block, uint8_t channelMask, uint16_t, uint32_t) override {
        media::splitSoundBlock(block, channelMask, m_channels);
        m_view.m_sound.handOver(
            {m_channels.channel(0), m_channels.channel(1), m_channels.channel(2), m_channels.channel(3)},
            m_view.m_shared.playMode);
    }

    void setSlider(int value) override {
        if (m_view.m_handOff.sliderMoved(value)) {
            wakeWindow();
        }
    }

    void atStart() override {
        QMetaObject::invokeMethod(
            &m_view, [view = &m_view] { view->playbackAtStart(); }, Qt::QueuedConnection);
    }

    void atEnd() override {
        QMetaObject::invokeMethod(
            &m_view, [view = &m_view] { view->playbackAtEnd(); }, Qt::QueuedConnection);
    }

    void showMessage(std::string_view text) override {
        QMetaObject::invokeMethod(
            &m_view, [view = &m_view, message = std::string(text)] { view->showMessage(message, kTitle); },
            Qt::QueuedConnection);
    }

private:
    void wakeWindow() {
        QMetaObject::invokeMethod(
            &m_view, [view = &m_view] { view->picturesArrived(); }, Qt::QueuedConnection);
    }

    PlayerView& m_view;
    media::SoundChannels m_channels;
};

PlayerView::PlayerView(Options options) : m_options(std::move(options)) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromLatin1(kTitle));
    setFocusPolicy(Qt::StrongFocus);
    if (m_options.notifier) {
        m_notifier = m_options.notifier;
    } else {
        m_ownNotifier = std::make_unique<MessageBoxNotifier>(this);
        m_notifier = m_ownNotifier.get();
    }
    if (!m_options.audioFactory) {
        m_options.audioFactory = openSdlAudioDevice;
    }
    if (m_options.paced) {
        m_clock = std::make_unique<media::SteadyPlaybackClock>();
    } else {
        m_clock = std::make_unique<media::ManualPlaybackClock>();
    }
    m_sink = std::make_unique<Sink>(*this);
    m_engine =
        std::make_unique<PlayerEngine>(m_shared, *m_sink, *m_clock, PlayerEngine::Options{m_options.paced});
    m_thread = std::make_unique<media::PlaybackThread>(m_shared, *m_sink, *m_engine, *m_clock);
    m_pictures.setPaneSizedDecoding(m_options.decodeAhead);
    if (m_options.decodeAhead) {
        m_decodeAhead = std::make_unique<DecodeAhead>(m_pictures, m_handOff, m_shared);
        m_decodeAhead->setWake([this] {
            QMetaObject::invokeMethod(
                this, [this] { picturesArrived(); }, Qt::QueuedConnection);
        });
        m_engine->setBeforePause([this] { m_decodeAhead->flush(); });
    }

    loadSkin();
    if (!m_created) {
        return;
    }
    createControls();
    m_secondTimer.setInterval(1000);
    connect(&m_secondTimer, &QTimer::timeout, this, &PlayerView::onSecondTimer);
    m_secondTimer.start();
    m_stateTimer.setInterval(100);
    connect(&m_stateTimer, &QTimer::timeout, this, &PlayerView::showNavigationState);
    m_stateTimer.start();
    const skin::PlayerInfo info =
        skin::PlayerInfoStore::read(programFiles().readPath(skin::PlayerSkinReader::kFileName));
    m_tooltipOn = info.tooltipOn;
    for (auto& [id, button] : m_buttons) {
        skin::PlayerToolTips::apply(*button, id, *m_skin, m_tooltipOn != 0);
    }
    for (skin::SkinButton* indicator : m_stateIndicators) {
        skin::PlayerToolTips::apply(*indicator, indicator->commandId(), *m_skin, m_tooltipOn != 0);
    }
    applySkin(info.pal == 1);
}

PlayerView::~PlayerView() {
    m_secondTimer.stop();
    m_stateTimer.stop();
    // Ended first: a playback thread waiting for the export's writer lets go.
    m_exporter.stop();
    stopPlayback();
    if (m_created) {
        // An installed player keeps its INFO values in a per-user copy of res.ini.
        const std::string infoPath = programFiles().prepareWrite(skin::PlayerSkinReader::kFileName);
        if (!infoPath.empty()) {
            skin::PlayerInfoStore::write(infoPath, m_model.layout(), m_model.pal() ? 1 : 0);
        }
    }
    m_sound.destroyOutputs();
}

// ---------------------------------------------------------------- skin and controls

skin::ProgramFiles PlayerView::programFiles() const {
    return skin::ProgramFiles(m_options.programFolder, m_options.userFolder);
}

QRect PlayerView::skinRect(const char* section, const char* key) const {
    return skin::toQRect(m_skin->readPosition(section, key));
}

void PlayerView::loadSkin() {
    m_skin = std::make_unique<skin::PlayerSkinReader>(m_options.programFolder, m_notifier);
    const std::optional<skin::SkinRect> main = m_skin->readMainFramePosition();
    if (!main) {
        return;
    }
    m_windowRect = skin::toQRect(*main);
    m_ntscSkin = loadImage(*m_skin, "MAIN", "NTSKIN");
    m_palSkin = loadImage(*m_skin, "MAIN", "PALSKIN");
    m_logo = loadImage(*m_skin, "MAIN", "LOGO");
    m_overlay = loadImage(*m_skin, "MAIN", "OVERLAY");
    m_time = loadImage(*m_skin, "MAIN", "TIME");
    m_navigation = loadImage(*m_skin, "MAIN", "NAVIGATION");
    m_audio = loadImage(*m_skin, "MAIN", "AUDIO");
    for (int d = 0; d < 10; ++d) {
        const std::string key = "D" + std::to_string(d);
        m_digits[static_cast<size_t>(d)] = loadImage(*m_skin, "DIGIT", key.c_str());
    }
    m_colon = loadImage(*m_skin, "DIGIT", "COLON");
    m_am = loadImage(*m_skin, "DIGIT", "AM");
    m_pm = loadImage(*m_skin, "DIGIT", "PM");
    m_logoRect = skinRect("MAIN POS", "POS_LOGO");
    m_overlayRect = skinRect("MAIN POS", "POS_OVERLAY");
    m_audioRect = skinRect("MAIN POS", "POS_AUDIO");
    m_created = true;
}

skin::SkinButton* PlayerView::addButton(const char* section, const char* posSection, const char* posKey,
                                        int id) {
    auto* button = new skin::SkinButton(this, false);
    skin::SkinButtonLoader::loadPlayerMain(*button, *m_skin, section, id);
    button->place(skinRect(posSection, posKey));
    return button;
}

void PlayerView::createControls() {
    for (const ButtonPlace& place : kButtonPlaces) {
        skin::SkinButton* button = addButton(place.section, place.posSection, place.posKey, place.id);
        m_buttons[place.id] = button;
    }
    for (int c = 0; c < PlayerViewModel::kMaxChannels; ++c) {
        const std::string section = "BTN_CH" + std::to_string(c + 1);
        const std::string key = "POS_CH" + std::to_string(c + 1);
        m_buttons[control::kChannel1 + c] =
            addButton(section.c_str(), "CH POS", key.c_str(), control::kChannel1 + c);
    }
    for (auto& [id, button] : m_buttons) {
        connect(button, &skin::SkinButton::command, this,
                [this](int commandId, skin::SkinButton*) { onCommand(commandId); });
    }
    for (size_t i = 0; i < m_stateIndicators.size(); ++i) {
        const ButtonPlace& place = kStatePlaces[i];
        m_stateIndicators[i] = addButton(place.section, place.posSection, place.posKey, place.id);
        m_stateIndicators[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    m_slider = new PositionSlider(this);
    m_slider->setGeometry(skinRect("MAIN POS", "POS_SLIDE"));
    m_slider->setImages(loadImage(*m_skin, "MAIN", "SLIDERUP"), loadImage(*m_skin, "MAIN", "SLIDERDN"));
    connect(m_slider, &PositionSlider::released, this, &PlayerView::onSliderReleased);

    const auto makeLabel = [this](const char* section, const char* key, int id) {
        auto* label = new QLabel(this);
        label->setGeometry(skinRect(section, key));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        QFont font(QString::fromLatin1(kFontFamily));
        font.setPixelSize(std::max(9, label->height() - 4));
        font.setBold(true);
        label->setFont(font);
        skin::PlayerToolTips::apply(*label, id, *m_skin, m_tooltipOn != 0);
        return label;
    };
    m_speedValue = makeLabel("MAIN POS", "POS_SPEED_VAL", control::kSpeedValue);
    m_delayValue = makeLabel("MAIN POS", "POS_DELAY_VAL", control::kDelayValue);
    m_pageValue = makeLabel("CH POS", "POS_PAGE_VAL", control::kPageValue);

    // The sound controls sit inside the audio area: the sound switch, the four channel
    // checks and the skip list.
    const QString style = QStringLiteral(
        "QCheckBox { color: white; background: transparent; }"
        "QCheckBox::indicator { width: 12px; height: 12px; border: 1px solid #9aa4b0; background: #1b1f24; }"
        "QCheckBox::indicator:checked { background: #34a8f0; }"
        "QCheckBox:disabled { color: #6b7280; }");
    const int x0 = m_audioRect.left() + 4;
    const int y0 = m_audioRect.top() + 4;
    m_soundOn = new QCheckBox(QStringLiteral("SOUND"), this);
    m_soundOn->setStyleSheet(style);
    m_soundOn->setGeometry(x0, y0, 80, 22);
    connect(m_soundOn, &QCheckBox::toggled, this, &PlayerView::onSoundToggled);
    for (int k = 0; k < 4; ++k) {
        auto* check = new QCheckBox(QString::number(k + 1), this);
        check->setStyleSheet(style);
        check->setGeometry(x0 + 40 * k, y0 + 28, 38, 22);
        connect(check, &QCheckBox::clicked, this, [this, k](bool) { selectSoundChannel(k + 1); });
        m_soundChannels[static_cast<size_t>(k)] = check;
    }
    m_skipList = new QComboBox(this);
    for (int i = 0; i <= kMaxSkipIndex; ++i) {
        m_skipList->addItem(QString::fromLatin1(skipLabel(i).data(), qsizetype(skipLabel(i).size())));
    }
    m_skipList->setCurrentIndex(0);
    // The keys belong to the view (Space plays and pauses), never to these controls.
    m_soundOn->setFocusPolicy(Qt::NoFocus);
    for (QCheckBox* check : m_soundChannels) {
        check->setFocusPolicy(Qt::NoFocus);
    }
    m_skipList->setFocusPolicy(Qt::NoFocus);
    m_skipList->setGeometry(x0 + 168, y0 + 28, 60, 22);
    connect(m_skipList, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_shared.skipIndex.store(std::max(0, index)); });
}

void PlayerView::applySkin(bool pal) {
    m_model.setPal(pal);
    m_pictures.setPal(pal);
    const QImage& background = pal ? m_palSkin : m_ntscSkin;
    setBackground(background);
    const QSize size = background.isNull() ? m_windowRect.size() : background.size();
    setFixedSize(size);
    const QRect overlay = skinRect("MAIN POS", "POS_OVERLAY_TERM");
    m_model.setPictureOrigin(overlay.left(), overlay.top());
    if (QScreen* s = screen()) {
        move(s->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
    }
    m_model.applyLayout(m_model.layout());
    m_shared.requestFlag.store(1);
    applyModel();
    update();
}

void PlayerView::applyModel() {
    const QSignalBlocker blockSound(m_soundOn);
    for (auto& [id, button] : m_buttons) {
        const bool on = m_model.enabled(id);
        if (button->isSkinEnabled() != on) {
            button->enable(on);
        }
    }
    showNavigationState();
    m_slider->setSkinEnabled(m_model.enabled(control::kSlider));
    m_speedValue->setText(QString::fromLatin1(PlayerViewModel::speedLabel(m_model.speedIndex())));
    m_delayValue->setText(QString::fromLatin1(PlayerViewModel::delayLabel(m_model.delayIndex())));
    m_pageValue->setText(QString::fromStdString(m_model.pageText()));

    const bool soundVisible = m_model.soundControlsVisible();
    m_soundOn->setVisible(soundVisible);
    m_soundOn->setEnabled(m_model.soundSwitchUsable(m_sound.hasOutputs()));
    m_soundOn->setChecked(m_model.soundOn());
    for (int k = 0; k < 4; ++k) {
        QCheckBox* check = m_soundChannels[static_cast<size_t>(k)];
        check->setVisible(soundVisible);
        check->setEnabled(m_model.enabled(control::kSoundChannelIds[k]));
        check->setChecked(m_model.checked(control::kSoundChannelIds[k]));
    }
    m_skipList->setVisible(soundVisible);
    m_skipList->setEnabled(m_model.enabled(control::kSkipList));

    if (m_sound.soundOn() != m_model.soundOn()) {
        m_sound.setSoundOn(m_model.soundOn());
    }
    m_sound.selectChannel(m_model.soundChannel());
    m_pictures.setPage(m_model.layout(), m_model.firstChannel());
    m_shared.speedIndex.store(m_model.speedIndex());
    m_shared.delayIndex.store(m_model.delayIndex());
    m_shared.selectedChannel.store(m_model.firstChannel());
    m_shared.soundOn.store(m_model.soundOn());
}

void PlayerView::showNavigationState() {
    const std::optional<NavigationState> shown =
        m_model.shownNavigationState(m_shared.mode() == media::PlayMode::Pause, m_shared.waiting.load());
    if (shown == m_shownState) {
        return;
    }
    m_shownState = shown;
    for (size_t i = 0; i < m_stateIndicators.size(); ++i) {
        m_stateIndicators[i]->setImage(shown && size_t(*shown) == i ? 1 : 0);
    }
}

bool PlayerView::controlEnabled(int id) const {
    const auto it = m_buttons.find(id);
    return it != m_buttons.end() && it->second->isSkinEnabled();
}

QRect PlayerView::pictureArea() const {
    return QRect(m_model.pictureOriginX(), m_model.pictureOriginY(), PlayerViewModel::kPictureWidth,
                 m_model.pictureHeight());
}

// ---------------------------------------------------------------- commands

void PlayerView::setMode(const std::optional<ModeRequest>& request) {
    if (!request) {
        return;
    }
    if (m_decodeAhead) {
        m_decodeAhead->drop();
    }
    if (request->setRequestFlag) {
        m_shared.setMode(request->mode);
    } else {
        m_shared.playMode.store(request->mode);
    }
}

void PlayerView::pressControl(int id) {
    onCommand(id);
}

void PlayerView::onCommand(int id) {
    if (id >= control::kEnd && id <= control::kStart) {
        setMode(m_model.navigationButton(id));
    } else if (id >= control::kMode1 && id <= control::kMode16) {
        m_model.layoutButton(id - control::kMode1 + 1);
        layoutChanged();
        return;
    } else if (id >= control::kChannel1 && id <= control::kChannel16) {
        if (m_model.channelButton(id - control::kChannel1)) {
            layoutChanged();
        }
        return;
    } else {
        switch (id) {
            case control::kPrevPage:
                m_model.previousPage();
                break;
            case control::kNextPage:
                m_model.nextPage();
                break;
            case control::kSpeedUp:
                m_model.speedUp();
                break;
            case control::kSpeedDown:
                m_model.speedDown();
                break;
            case control::kDelayUp:
                m_model.delayUp();
                break;
            case control::kDelayDown:
                m_model.delayDown();
                break;
            case control::kOpen:
                openWithDialog();
                return;
            case control::kExit:
                m_secondTimer.stop();
                stopPlayback();
                close();
                return;
            case control::kSoundOn:
                setSoundOn(!m_model.soundOn());
                return;
            case control::kBackup:
                toggleBackupWindow();
                return;
            case control::kEdit:
                openEditWindow();
                return;
            default:
                // The setting button does nothing.
                return;
        }
    }
    applyModel();
    update();
}

void PlayerView::layoutChanged() {
    m_shared.requestFlag.store(1);
    applyModel();
    update();
}

void PlayerView::onSliderReleased(int value) {
    m_shared.sliderPosition.store(value);
    const bool quad = frame::pictureKind(m_pictures.lastPictureFlags()) == frame::PictureKind::Quad;
    setMode(m_model.sliderReleased(quad));
    applyModel();
}

void PlayerView::onSoundToggled(bool on) {
    setSoundOn(on);
}

void PlayerView::setSoundOn(bool on) {
    const bool allowed =
        on ? m_model.soundSwitchUsable(m_sound.hasOutputs()) : m_model.soundControlsVisible();
    if (!allowed) {
        applyModel();
        return;
    }
    m_model.setSoundOn(on);
    layoutChanged();
}

void PlayerView::selectSoundChannel(int channel) {
    if (!m_model.soundOn()) {
        applyModel();
        return;
    }
    m_model.selectSoundChannel(channel);
    applyModel();
}

void PlayerView::openWithDialog() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                                      QStringLiteral("All Files (*)"));
    if (!path.isEmpty()) {
        openFile(path);
    }
}

bool PlayerView::openFile(const QString& path) {
    stopPlayback();
    m_sourceDigest.stop();
    m_model.beginOpen();
    if (m_decodeAhead) {
        m_decodeAhead->dropAndWait();
    }
    m_pictures.clear();
    m_handOff.reset();
    m_paintedFrames = 0;
    m_scan.reset();
    m_path.clear();
    applyModel();

    ScanNotifier notifier(*m_notifier);
    const media::ScanOutcome outcome = media::openAndScan(path.toStdString(), notifier);
    if (!outcome.ok()) {
        m_model.openFailed();
        applyModel();
        update();
        return false;
    }
    m_scan = outcome.result;
    m_path = path.toStdString();
    m_sourceDigest.start(m_path);
    if (!m_options.settingsPath.empty()) {
        RecentFiles(m_options.settingsPath).add(m_path);
    }
    m_channelCount.store(outcome.result.channelCount);
    m_model.fileOpened(outcome.result.channelCount, outcome.result.soundAvailable);
    m_model.setEndTimeValid(outcome.result.endTimeValid);
    m_sound.resetState();
    if (outcome.result.soundAvailable) {
        std::string error;
        if (!m_sound.createOutputs(m_options.audioFactory, &error)) {
            showMessage(kAudioFailure, kAudioFailureCaption);
        }
    }
    m_shared.sliderPosition.store(0);
    m_shared.skipIndex.store(m_skipList->currentIndex());
    applyModel();
    startPlayback();
    update();
    return true;
}

void PlayerView::startPlayback() {
    if (!m_scan) {
        return;
    }
    // The thread starts by going to the start of the file; saying so before it runs keeps
    // the window from reading a stale pause meanwhile.
    m_shared.setMode(media::PlayMode::GoToStart);
    m_thread->start({m_path, m_scan->channelCount, m_scan->endOffset});
}

void PlayerView::stopPlayback() {
    m_sound.interrupt(true);
    m_thread->stop();
    m_sound.interrupt(false);
}

void PlayerView::openHandedFile(const QString& path) {
    const bool editOpen = m_editWindow && m_editWindow->isVisible();
    if (const auto refusal = m_model.handOffRefusal(editOpen)) {
        showMessage(*refusal, "Discoro");
        return;
    }
    openFile(path);
}

void PlayerView::showMessage(const std::string& text, const std::string& caption) {
    m_notifier->showMessage(text, caption);
}

// ---------------------------------------------------------------- from the playback thread

void PlayerView::picturesArrived() {
    const PlaybackHandOff::Update news = m_handOff.take();
    if (news.switchToPal) {
        applySkin(*news.switchToPal);
    }
    if (m_model.playbackNews(news.presentMask, news.lastPictureQuad)) {
        applyModel();
        update(pictureArea());
    }
    m_slider->setValue(news.sliderValue);
    // Only the panes with new pictures and the current play time are drawn again.
    for (const PaneRect& pane : m_model.pagePanes(news.dirtyChannels)) {
        update(pane.left, pane.top, pane.width(), pane.height());
    }
    if (news.dirtyChannels != 0) {
        update(skinRect("TIME INFO POS", "POS_CUR_PLAY_TIME"));
    }
}

void PlayerView::playbackAtStart() {
    m_model.atStart();
    applyModel();
    Q_EMIT reachedStart();
}

void PlayerView::playbackAtEnd() {
    if (m_model.atEnd()) {
        layoutChanged();
    } else {
        applyModel();
    }
    Q_EMIT reachedEnd();
}

void PlayerView::onSecondTimer() {
    m_pictures.rollPictureCounts();
    applyModel();
    update();
}

// ---------------------------------------------------------------- input

void PlayerView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
            setMode(m_model.spaceKey(m_shared.mode()));
            break;
        case Qt::Key_Left:
            setMode(m_model.arrowKey(false));
            break;
        case Qt::Key_Right:
            setMode(m_model.arrowKey(true));
            break;
        default:
            SkinSurface::keyPressEvent(event);
            return;
    }
    applyModel();
}

void PlayerView::mousePressEvent(QMouseEvent* event) {
    // The backup window stays where it was placed: the main window does not move under it.
    if (event->button() == Qt::LeftButton && !m_model.backupWindowOpen()) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
}

void PlayerView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
    }
}

void PlayerView::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
}

void PlayerView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    switch (m_model.doubleClick(p.x(), p.y(), m_logoRect.contains(p))) {
        case PlayerViewModel::DoubleClick::About:
            showMessage("Discoro, the backup-disc player", "About Discoro");
            break;
        case PlayerViewModel::DoubleClick::Changed:
            layoutChanged();
            break;
        case PlayerViewModel::DoubleClick::Ignored:
            break;
    }
}

// ---------------------------------------------------------------- painting

void PlayerView::paintEvent(QPaintEvent* event) {
    m_paintRegion = event->region();
    SkinSurface::paintEvent(event);
}

void PlayerView::paintBackground(QPainter& painter) {
    SkinSurface::paintBackground(painter);
    if (!m_logo.isNull()) {
        painter.drawImage(m_logoRect.topLeft(), m_logo);
    }
    if (!m_overlay.isNull()) {
        painter.drawImage(m_overlayRect.topLeft(), m_overlay);
    }
    if (!m_audio.isNull() && m_model.soundControlsVisible()) {
        painter.drawImage(m_audioRect.topLeft(), m_audio);
    }
    paintPanes(painter);
    paintTimeInfo(painter);
    ++m_paintedFrames;
}

void PlayerView::paintPanes(QPainter& painter) {
    painter.fillRect(pictureArea(), Qt::black);
    if (!m_model.fileOpen()) {
        painter.setPen(QColor(96, 96, 96));
        for (int c = 0; c < PlayerViewModel::kMaxChannels; ++c) {
            const PaneRect pane = m_model.channelPane(c);
            painter.drawRect(pane.left, pane.top, pane.width() - 1, pane.height() - 1);
        }
        return;
    }
    for (int i = 0; i < m_model.pageChannelCount(); ++i) {
        const int channel = m_model.pageChannel(i);
        const PaneRect pane = m_model.channelPane(channel);
        if (m_paintRegion.intersects(QRect(pane.left, pane.top, pane.width(), pane.height()))) {
            paintPane(painter, channel, pane);
        }
    }
}

void PlayerView::paintPane(QPainter& painter, int channel, const PaneRect& pane) {
    if (pane.isEmpty()) {
        return;
    }
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(pane.left, pane.top, pane.width() - 1, pane.height() - 1);
    const QRect inner(pane.left + 1, pane.top + 1, pane.width() - 2, pane.height() - 2);
    if (inner.isEmpty()) {
        return;
    }
    QImage surface(inner.size(), QImage::Format_RGB32);
    surface.fill(Qt::black);
    bool drawn = false;
    m_pictures.withPaneSource(channel, [&](const PlayerPictures::PaneSource& source) {
        if (!source.picture) {
            return;
        }
        const std::optional<PaneCrop> crop = paneCrop(source.layoutCode, source.rect, source.reduction);
        if (!crop || crop->source.width <= 0 || crop->source.height <= 0) {
            return;
        }
        const frame::DecodedPicture& picture = *source.picture;
        const QImage image(picture.pixels.data(), picture.width, picture.height, qsizetype(picture.stride()),
                           QImage::Format_RGB32);
        QPainter p(&surface);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(0, crop->destinationTop, surface.width(), surface.height() - crop->destinationTop),
                    image, QRect(crop->source.x, crop->source.y, crop->source.width, crop->source.height));
        drawn = true;
    });
    const std::optional<DateTime> time = m_pictures.channelTime(channel);
    if (drawn && time) {
        const PaneTextLayout layout = paneTextLayout(pane, m_model.layout());
        QPainter p(&surface);
        QFont font(QString::fromLatin1(kFontFamily));
        font.setPixelSize(layout.fontPixels);
        p.setFont(font);
        const int top = layout.lineTop - inner.top();
        drawOutlinedText(p, layout.timeLeft - inner.left(), top, QString::fromStdString(paneTimeText(*time)));
        drawOutlinedText(p, layout.numberLeft - inner.left(), top,
                         QString::fromStdString(channelNumberText(channel)));
    }
    painter.drawImage(inner.topLeft(), surface);
}

void PlayerView::paintTimeInfo(QPainter& painter) {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const auto text = [&](const char* section, const char* key, const std::string& value) {
        const QRect r = skinRect(section, key);
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                         QString::fromStdString(value));
    };
    std::optional<DateTime> start;
    std::optional<DateTime> end;
    if (m_scan) {
        start = m_scan->startTime.dateTime();
        end = m_scan->endTime.dateTime();
    }
    text("TIME INFO POS", "POS_S_TIME_TEXT", "START TIME");
    text("TIME INFO POS", "POS_S_DATE", timeInfoDate(start));
    text("TIME INFO POS", "POS_S_TIME", timeInfoTime(start));
    text("TIME INFO POS", "POS_E_TIME_TEXT", "END TIME");
    text("TIME INFO POS", "POS_E_DATE", timeInfoDate(end));
    text("TIME INFO POS", "POS_E_TIME", timeInfoTime(end));

    const QRect current = skinRect("TIME INFO POS", "POS_CUR_PLAY_TIME");
    painter.fillRect(current, Qt::black);
    const std::optional<DateTime> played = m_pictures.channelTime(m_pictures.lastChannel());
    if (played) {
        painter.drawText(current, Qt::AlignCenter, QString::fromStdString(timeInfoTime(played)));
    }

    // The system clock, from the skin's digit images where it has them.
    const QTime now = QTime::currentTime();
    font.setPixelSize(16);
    painter.setFont(font);
    const auto image = [&](const char* key, const QImage& picture, const QString& fallback) {
        const QRect r = skinRect("STSTEM TIME POS", key);
        if (picture.isNull()) {
            painter.drawText(r, Qt::AlignCenter, fallback);
        } else {
            painter.drawImage(r, picture);
        }
    };
    const auto digits = [&](const char* key, int value) {
        const QRect r = skinRect("STSTEM TIME POS", key);
        const QImage& tens = m_digits[static_cast<size_t>(value / 10 % 10)];
        const QImage& ones = m_digits[static_cast<size_t>(value % 10)];
        if (tens.isNull() || ones.isNull()) {
            painter.drawText(r, Qt::AlignCenter, QString::asprintf("%02d", value));
            return;
        }
        const int half = r.width() / 2;
        painter.drawImage(QRect(r.left(), r.top(), half, r.height()), tens);
        painter.drawImage(QRect(r.left() + half, r.top(), r.width() - half, r.height()), ones);
    };
    digits("POS_SYS_HOUR", clockHour12(now.hour()));
    image("POS_SYS_COLON1", m_colon, QStringLiteral(":"));
    digits("POS_SYS_MIN", now.minute());
    image("POS_SYS_COLON2", m_colon, QStringLiteral(":"));
    digits("POS_SYS_SEC", now.second());
    const bool pm = clockIsPm(now.hour());
    image("POS_SYS_AMPM", pm ? m_pm : m_am, pm ? QStringLiteral("PM") : QStringLiteral("AM"));
}

}  // namespace dvr::player

namespace dvr::player {

// ---------------------------------------------------------------- backup window and export

namespace fs = std::filesystem;

void PlayerView::pause() {
    setMode(m_model.navigationButton(control::kPause));
    applyModel();
}

void PlayerView::toggleBackupWindow() {
    if (m_model.backupWindowOpen()) {
        closeBackupWindow();
        return;
    }
    if (!m_scan) {
        return;
    }
    if (!m_backupWindow) {
        m_backupWindow = new BackupWindow(*m_skin, this);
        connect(m_backupWindow, &BackupWindow::startRequested, this, &PlayerView::startExport);
        connect(m_backupWindow, &BackupWindow::stopRequested, this, &PlayerView::stopExport);
    }
    m_model.setBackupWindowOpen(true);
    applyModel();
    // The window's place and size are POS_BACKUP_WIN's, above the player's picture area.
    const QRect place = skinRect("MAIN POS", "POS_BACKUP_WIN");
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    m_backupWindow->move(origin.x() + place.left(), origin.y() + place.top() - height());
    if (!place.isEmpty()) {
        m_backupWindow->setFixedSize(place.size());
    }
    m_backupWindow->openFor(m_scan->channelCount);
    m_backupWindow->show();
}

void PlayerView::closeBackupWindow() {
    if (!m_model.backupWindowOpen()) {
        return;
    }
    if (m_backupWindow) {
        // Ends any export as STOP does.
        m_backupWindow->pressControl(backup::kStop);
        m_backupWindow->model().close();
        m_backupWindow->hide();
    }
    m_model.setBackupWindowOpen(false);
    pause();
}

void PlayerView::startExport(const ExportSettings& settings) {
    if (!m_stamper) {
        m_stamper = std::make_unique<exporting::StampPainter>();
    }
    ExportStart request;
    request.aviFolder = chooseOutputFolder(m_options.programFolder, playerUserDataFolder(), "avi").path;
    request.settings = settings;
    request.backupPath = m_path;
    request.sourceDigest = &m_sourceDigest;
    request.stamper = m_stamper.get();
    request.startTime = m_pictures.channelTime(settings.channel);
    request.onFailure = [this] {
        QMetaObject::invokeMethod(
            this, [this] { exportFailed(); }, Qt::QueuedConnection);
    };
    // The exported channel's single pane, so that its every picture is decoded and drawn, even when no
    // picture of it has been seen yet.
    m_model.layoutButton(1);
    m_model.showChannel(settings.channel);
    layoutChanged();
    const ExportOutcome started = m_exporter.start(request);
    if (!started.ok) {
        showMessage(started.message, kTitle);
        if (m_backupWindow) {
            m_backupWindow->model().stop();
            m_backupWindow->applyModel();
        }
        closeBackupWindow();
        return;
    }
    m_model.setExporting(true);
    if (m_shared.mode() == media::PlayMode::Pause) {
        setMode(m_model.navigationButton(control::kFPlay));
    }
    applyModel();
}

void PlayerView::stopExport() {
    if (!m_exporter.active()) {
        return;
    }
    const std::optional<DateTime> end = m_pictures.channelTime(m_exporter.channel());
    const int channel = m_exporter.channel();
    const ExportOutcome stopped = m_exporter.stop(end);
    m_model.setExporting(false);
    pause();
    if (!stopped.ok) {
        showMessage(stopped.message, kTitle);
    } else if (stopped.frames == 0) {
        showMessage(noFrameMessage(channel, stopped.aviPath), kTitle);
    }
    if (m_options.openFolder) {
        m_options.openFolder(fs::path(stopped.aviPath).parent_path().string());
    }
}

void PlayerView::exportFailed() {
    // A write failed (a full disk): the export ends here; the file keeps the frames written before.
    if (m_backupWindow && m_backupWindow->model().exporting()) {
        m_backupWindow->pressControl(backup::kStop);
    }
}

// ---------------------------------------------------------------- image edit window

void PlayerView::openEditWindow() {
    if (m_model.backupWindowOpen()) {
        closeBackupWindow();
    } else if (!m_scan) {
        showMessage("Can not command. It need pictuer for save.  ", "backup");
        return;
    }
    if (m_editWindow) {
        return;
    }
    pause();
    // The picture as shown: the single pane with its texts, rendered off-screen.
    const int channel = m_model.firstChannel();
    const PaneRect pane = m_model.channelPane(channel);
    const QImage shot = grab(QRect(pane.left, pane.top, pane.width(), pane.height()))
                            .toImage()
                            .convertToFormat(QImage::Format_BGR888);
    EditPicture picture;
    picture.channel = channel;
    picture.backupPath = m_path;
    picture.sourceDigest = &m_sourceDigest;
    picture.image.width = shot.width();
    picture.image.height = shot.height();
    picture.image.bgr.resize(size_t(shot.width()) * size_t(shot.height()) * 3);
    for (int y = 0; y < shot.height(); ++y) {
        std::memcpy(picture.image.bgr.data() + size_t(y) * size_t(shot.width()) * 3, shot.constScanLine(y),
                    size_t(shot.width()) * 3);
    }
    if (const std::optional<DateTime> time = m_pictures.channelTime(channel)) {
        picture.time = {time->year, time->month, time->day, time->hour, time->minute, time->second};
    }
    EditWindow::Options options;
    options.skin = m_skin.get();
    options.pal = m_model.pal();
    options.programFolder = m_options.programFolder;
    options.notifier = m_notifier;
    options.printer = m_options.printer ? m_options.printer : &m_dialogPrinter;
    options.backupStart = m_scan->startTime.dateTime();
    options.backupEnd = m_scan->endTime.dateTime();
    m_editWindow = std::make_unique<EditWindow>(options, std::move(picture));
    connect(m_editWindow.get(), &EditWindow::closed, this, &PlayerView::closeEditWindow,
            Qt::QueuedConnection);
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        m_editWindow->move(available.center() -
                           QPoint(m_editWindow->width() / 2, m_editWindow->height() / 2));
    }
    m_editWindow->show();
    hide();
}

void PlayerView::closeEditWindow() {
    if (!m_editWindow) {
        return;
    }
    m_editWindow->hide();
    m_editWindow.reset();
    show();
}

}  // namespace dvr::player
