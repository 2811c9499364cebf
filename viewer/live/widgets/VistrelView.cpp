#include "viewer/live/widgets/VistrelView.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "common/skin/ProgramFolder.h"
#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveTexts.h"
#include "viewer/live/widgets/AboutDialog.h"
#include "viewer/live/widgets/SocketNotifierTransport.h"
#include "viewer/live/widgets/ViewerNotifier.h"

namespace dvr::live {

namespace {

constexpr const char* kSkinFile = "ini/res.ini";
constexpr const char* kLogoFile = "logo/slogo.bmp";
constexpr const char* kEventFile = "AlarmEvent.am";
constexpr const char* kMainPos = "MAIN POS";
constexpr const char* kInfoPos = "IMAGE INFO POS";

// The face of the on-screen texts: a bold sans face 12 pixels high, narrowed towards an average character
// width of 5 pixels.
QFont makeScreenFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(12);
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 5) {
        font.setStretch(std::max(50, 100 * 5 / average));
    }
    return font;
}

QColor textColour() {
    return QColor(6, 179, 255);
}

QRect toQRect(const SkinRect& r) {
    return skin::toQRect(r);
}

QRect toQRect(const PaneRect& r) {
    return r.isEmpty() ? QRect() : QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// Draws a text with an opaque black background behind the glyphs, when its rectangle is being repainted.
void drawOpaqueText(QPainter& painter, const QRect& dirty, const QRect& rect, int flags,
                    const QString& text) {
    if (!rect.intersects(dirty) || text.isEmpty()) {
        return;
    }
    const QRect bounds = painter.boundingRect(rect, flags, text).intersected(rect);
    painter.fillRect(bounds, Qt::black);
    painter.drawText(rect, flags, text);
}

}  // namespace

VistrelView::VistrelView(ViewOptions options, ViewerNotifier& notifier, QWidget* parent)
    : QWidget(parent),
      m_options(std::move(options)),
      m_notifier(notifier),
      m_language(m_options.programFolder),
      m_skin(m_options.programFolder, &notifier),
      m_settings(m_options.settingsFilePath, m_options.programFolder),
      m_buffers(kChannelCount) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    m_logo.load(QString::fromStdString(ProgramFolder::join(m_options.programFolder, kLogoFile)));

    m_clockTimer.setInterval(kClockPeriodMs);
    connect(&m_clockTimer, &QTimer::timeout, this, &VistrelView::onClockTick);
    m_dragTimer.setInterval(kDragPeriodMs);
    connect(&m_dragTimer, &QTimer::timeout, this, [this] { m_dragArmed = true; });
    m_watchdogTimer.setInterval(link::kWatchdogPeriodMs);
    connect(&m_watchdogTimer, &QTimer::timeout, this, [this] {
        if (m_session) {
            m_session->onWatchdogTick();
        }
    });
}

VistrelView::~VistrelView() {
    m_clockTimer.stop();
    m_dragTimer.stop();
    m_watchdogTimer.stop();
    if (m_session) {
        m_transport->setSession(nullptr);
        m_session.reset();
    }
}

QSize VistrelView::skinSize(const std::string& programFolder) {
    const SkinRect rect =
        readViewerSkinPosition(ProgramFolder::join(programFolder, kSkinFile), kMainPos, "POS_LIVE_SKIN");
    return QSize(std::max(0, rect.width()), std::max(0, rect.height()));
}

void VistrelView::initialUpdate() {
    if (m_started) {
        return;
    }
    m_started = true;

    // 1. The recorder session over a socket watched by notifiers.
    m_transport = new SocketNotifierTransport(this);
    m_session = std::make_unique<link::RecorderSession>(*m_transport, *this);
    m_transport->setSession(m_session.get());

    // 3. The skin file.
    m_skin.open(ProgramFolder::join(m_options.programFolder, kSkinFile));

    // 4, 5. opt.ini and the stored settings.
    m_settings.loadSettings();

    // 7. Font and text rectangles.
    m_font = makeScreenFont();
    m_liveSkinRect = toQRect(m_skin.readPosition(kMainPos, "POS_LIVE_SKIN"));
    m_overlayRect = toQRect(m_skin.readPosition(kMainPos, "POS_OVERLAY_TERM"));
    m_logoRect = toQRect(m_skin.readPosition(kMainPos, "POS_LOGO"));
    m_dateRect = toQRect(m_skin.readPosition(kInfoPos, "POS_SYS_DATE"));
    m_timeRect = toQRect(m_skin.readPosition(kInfoPos, "POS_SYS_TIME"));
    m_statusRect = toQRect(m_skin.readPosition(kInfoPos, "POS_CUR_STATUS"));
    m_qualityRect = toQRect(m_skin.readPosition(kInfoPos, "POS_IMG_QUALITY"));
    m_recordRect = toQRect(m_skin.readPosition(kInfoPos, "POS_REC_PERCENT"));
    m_playRect = toQRect(m_skin.readPosition(kInfoPos, "POS_PLAY_PERCENT"));
    m_frameRect = toQRect(m_skin.readPosition(kInfoPos, "POS_IMG_FRAME"));
    m_ptzChannelRect = toQRect(m_skin.readPosition("PTZ POS", "POS_PTZ_CH"));
    m_speedValueRect = toQRect(m_skin.readPosition(kMainPos, "POS_SCAL_VALUE"));

    // 8. Background and buttons.
    if (const auto path = m_skin.readBitmapPath("MAIN", "LIVE_SKIN")) {
        m_background.load(QString::fromStdString(*path));
    }
    createButtons();

    // 9. The 16-pane layout with its network speed.
    const SkinRect overlay = m_skin.readPosition(kMainPos, "POS_OVERLAY_TERM");
    m_layout.setOverlay(PaneRect{overlay.left, overlay.top, overlay.right, overlay.bottom});
    m_layout.applyLayout(m_layout.splitCode());
    layoutChanged();
    syncButtons();
    drawStatus(int(m_state));
    updateClockTexts();

    // 10. Full screen for the live view.
    if (fullScreenSetting()) {
        Q_EMIT fullScreenRequested(true);
    }

    // 12. Clock, frame rate and rotation; drag re-arm.
    m_clockTimer.start();
    m_dragTimer.start();
}

skin::SkinButton* VistrelView::makeButton(const char* section, const char* positionSection,
                                          const char* positionKey, int commandId, skin::ButtonKind kind) {
    auto* button = new skin::SkinButton(this);
    skin::SkinButtonLoader::loadStandard(*button, m_skin, section, commandId, kind);
    button->place(toQRect(m_skin.readPosition(positionSection, positionKey)));
    connect(button, &skin::SkinButton::command, this, [this](int id, skin::SkinButton*) { onCommand(id); });
    connect(button, &skin::SkinButton::hold, this, &VistrelView::onHold);
    button->show();
    m_buttons.push_back(button);
    return button;
}

void VistrelView::createButtons() {
    makeButton("BTN_LIVE_EXIT", kMainPos, "POS_EXIT", command::kExit, skin::ButtonKind::Momentary);
    makeButton("BTN_CONNECT", kMainPos, "POS_CONNECT", command::kConnect, skin::ButtonKind::Momentary);
    makeButton("BTN_DISCONNECT", kMainPos, "POS_DISCONNECT", command::kDisconnect,
               skin::ButtonKind::Momentary)
        ->setChecked(true);
    makeButton("BTN_ROTATE", kMainPos, "POS_ROTATE", command::kRotate, skin::ButtonKind::Momentary);
    makeButton("BTN_SETTING", kMainPos, "POS_SETTING", command::kSetting, skin::ButtonKind::Momentary);
    makeButton("BTN_PLAYBACK", kMainPos, "POS_SKAN", command::kPlayback, skin::ButtonKind::Momentary);
    skin::SkinButton* wheel =
        makeButton("BTN_WHEEL", kMainPos, "POS_WHEEL", command::kWheel, skin::ButtonKind::Momentary);
    wheel->enable(false);
    skin::SkinButton* label = makeButton("BTN_SCAL_TXT", kMainPos, "POS_SCAL_TXT", command::kSpeedLabel,
                                         skin::ButtonKind::Momentary);
    label->setEnabled(false);
    makeButton("BTN_SCAL_PLUS", kMainPos, "POS_SCAL_PLUS", command::kSpeedPlus, skin::ButtonKind::Hold);
    makeButton("BTN_SCAL_MINUS", kMainPos, "POS_SCAL_MINUS", command::kSpeedMinus, skin::ButtonKind::Hold);
    wheel->setImage(3);

    // The PTZ channel number buttons (notification values 13 and 14).
    for (const auto& [section, key, id, value] :
         {std::tuple{"BTN_PTZ_CH_PLUS", "POS_PTZ_CH_PLUS", command::kPtzChannelPlus, kPtzChannelPlusValue},
          std::tuple{"BTN_PTZ_CH_MINUS", "POS_PTZ_CH_MINUS", command::kPtzChannelMinus,
                     kPtzChannelMinusValue}}) {
        auto* button = new skin::SkinButton(this);
        skin::SkinButtonLoader::loadPtz(*button, m_skin, section, id, value);
        button->place(toQRect(m_skin.readPosition("PTZ POS", key)));
        connect(button, &skin::SkinButton::hold, this, &VistrelView::onHold);
        button->show();
        m_buttons.push_back(button);
    }

    static constexpr std::array<const char*, kModeButtonCount> kModeNames{"1",  "4",  "7", "9",
                                                                          "10", "13", "16"};
    for (int k = 0; k < kModeButtonCount; ++k) {
        const std::string section = std::string("BTN_MODE") + kModeNames[size_t(k)];
        const std::string position = std::string("POS_MODE") + kModeNames[size_t(k)];
        skin::SkinButton* button = makeButton(section.c_str(), "MODE POS", position.c_str(),
                                              command::kModeFirst + k, skin::ButtonKind::Momentary);
        const uint16_t split = splitForModeIndex(k);
        if (split == kSplitSeven || split == kSplitTen || split == kSplitThirteen) {
            button->enable(false);
        }
        m_modeButtons[size_t(k)] = button;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const std::string section = "BTN_CH" + std::to_string(c + 1);
        const std::string position = "POS_CH" + std::to_string(c + 1);
        m_channelButtons[size_t(c)] = makeButton(section.c_str(), "CH POS", position.c_str(),
                                                 command::kChannelFirst + c, skin::ButtonKind::Toggle);
    }
}

skin::SkinButton* VistrelView::button(int commandId) const {
    for (skin::SkinButton* b : m_buttons) {
        if (b->commandId() == commandId) {
            return b;
        }
    }
    return nullptr;
}

QRect VistrelView::paneRect(int channel) const {
    return channel >= 0 && channel < kChannelCount ? toQRect(m_layout.paneRect(channel)) : QRect();
}

QString VistrelView::languageText(std::string_view section, std::string_view key,
                                  std::string_view fallback) const {
    return QString::fromStdString(m_language.text(section, key, fallback));
}

// --- buttons
// ------------------------------------------------------------------------------------------------

void VistrelView::onCommand(int commandId) {
    if (m_exiting) {
        return;
    }
    if (commandId >= command::kModeFirst && commandId < command::kModeFirst + kModeButtonCount) {
        applyResult(m_layout.onModeButton(commandId - command::kModeFirst));
        return;
    }
    if (commandId >= command::kChannelFirst && commandId < command::kChannelFirst + kChannelCount) {
        applyResult(m_layout.onChannelButton(commandId - command::kChannelFirst));
        return;
    }
    switch (commandId) {
        case command::kExit:
            exitProgram();
            break;
        case command::kConnect:
            pressConnect();
            break;
        case command::kDisconnect:
            pressDisconnect();
            break;
        case command::kRotate:
            applyResult(m_layout.onRotateButton(m_state == link::ConnectionState::Established,
                                                m_settings.settings().rotationIntervalIndex));
            break;
        case command::kPlayback:
            if (m_keyLock) {
                drawStatus(int(link::ConnectionState::KeyLock));
            }
            break;
        default:
            break;
    }
}

void VistrelView::onHold(quint32 value, int state) {
    if (m_exiting) {
        return;
    }
    if (state == 0 && (value == command::kSpeedPlus || value == command::kSpeedMinus)) {
        ViewerOptions& options = m_settings.options();
        const int speed = options.networkSpeed(m_layout.splitCode());
        options.setNetworkSpeed(m_layout.splitCode(), value == command::kSpeedPlus ? speedAfterPlus(speed)
                                                                                   : speedAfterMinus(speed));
        pushRequestValues();
        update(m_speedValueRect);
        return;
    }
    if (state == 1 && (value == kPtzChannelPlusValue || value == kPtzChannelMinusValue) &&
        !m_layout.rotating()) {
        m_ptzChannel = stepPtzChannel(m_ptzChannel, value == kPtzChannelPlusValue ? 1 : -1);
        update(m_ptzChannelRect);
    }
}

void VistrelView::applyResult(const LayoutResult& result) {
    if (result.beep) {
        m_notifier.beep();
    }
    if (result.layoutApplied) {
        layoutChanged();
    }
    syncButtons();
    if (result.openAbout) {
        openAbout();
    }
}

void VistrelView::layoutChanged() {
    for (QImage& image : m_paneImages) {
        image = QImage();
    }
    pushRequestValues();
    update(m_overlayRect);
    update(m_speedValueRect);
}

void VistrelView::syncButtons() {
    if (m_channelButtons[0] == nullptr) {
        return;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        skin::SkinButton* button = m_channelButtons[size_t(c)];
        if (button->checked() != m_layout.channelButtonChecked(c)) {
            button->setChecked(m_layout.channelButtonChecked(c));
        }
    }
    for (int k = 0; k < kModeButtonCount; ++k) {
        skin::SkinButton* button = m_modeButtons[size_t(k)];
        if (button->checked() != m_layout.modeButtonChecked(k)) {
            button->setChecked(m_layout.modeButtonChecked(k));
        }
    }
    if (skin::SkinButton* rotate = button(command::kRotate)) {
        rotate->setEnabled(m_layout.rotateButtonEnabled());
        if (rotate->checked() != m_layout.rotateButtonChecked()) {
            rotate->setChecked(m_layout.rotateButtonChecked());
        }
    }
}

void VistrelView::pushRequestValues() {
    if (!m_session) {
        return;
    }
    m_session->live().setDisplayedChannelMask(m_layout.displayedMask());
    m_session->live().setRequestSpeed(m_settings.options().networkSpeed(m_layout.splitCode()));
}

void VistrelView::pressConnect() {
    skin::SkinButton* connectButton = button(command::kConnect);
    skin::SkinButton* disconnectButton = button(command::kDisconnect);
    if (!m_session || m_exiting) {
        return;
    }
    if (m_state == link::ConnectionState::Connecting || m_session->connected() || m_session->hasSocket()) {
        if (connectButton != nullptr) {
            connectButton->setChecked(true);
        }
        return;
    }
    resetLiveState();
    m_state = link::ConnectionState::Waiting;
    if (connectButton != nullptr) {
        connectButton->setChecked(true);
    }
    if (disconnectButton != nullptr) {
        disconnectButton->setChecked(false);
    }
    m_session->setCredentials(m_settings.settings().userId, m_settings.settings().password);
    const std::string host = m_options.hostOverride.value_or(m_settings.settings().recorderAddress);
    const uint16_t port = m_options.portOverride.value_or(uint16_t(m_settings.settings().recorderPort));
    if (m_session->connect(host, port)) {
        setConnectionState(link::ConnectionState::Connecting);
    } else {
        if (connectButton != nullptr) {
            connectButton->setChecked(false);
        }
        if (disconnectButton != nullptr) {
            disconnectButton->setChecked(true);
        }
        drawStatus(int(m_state));
    }
}

void VistrelView::pressDisconnect() {
    if (m_state != link::ConnectionState::Waiting) {
        setConnectionState(link::ConnectionState::Waiting);
    }
    if (m_session) {
        m_session->disconnect();
    }
    if (skin::SkinButton* b = button(command::kConnect)) {
        b->setChecked(false);
    }
    if (skin::SkinButton* b = button(command::kDisconnect)) {
        b->setChecked(true);
    }
    if (m_options.arpTable != nullptr) {
        link::clearArpCache(*m_options.arpTable);
    }
    resetLiveState();
    std::error_code ignored;
    std::filesystem::remove(ProgramFolder::join(m_options.programFolder, kEventFile), ignored);
    clearPictureBuffers();
    update(m_liveSkinRect.isEmpty() ? rect() : m_liveSkinRect);
}

void VistrelView::resetLiveState() {
    m_layout.resetForConnection();
    m_quality.clear();
    m_qualityText.clear();
    m_keyLock = false;
    if (m_session) {
        m_session->live().resetPictureState();
        m_session->live().takeFrameCount();
    }
    layoutChanged();
    syncButtons();
    update(m_qualityRect);
}

void VistrelView::clearPictureBuffers() {
    for (frame::DecodedPicture& buffer : m_buffers) {
        std::memset(buffer.pixels.data(), 0, buffer.pixels.size());
    }
    m_layout.clearBuffers();
}

void VistrelView::exitProgram() {
    if (m_exiting) {
        return;
    }
    m_exiting = true;
    m_clockTimer.stop();
    m_dragTimer.stop();
    m_settings.saveSettings();
    if (m_session && m_session->connected()) {
        m_session->disconnect();
    }
    m_watchdogTimer.stop();
    if (m_session) {
        m_transport->setSession(nullptr);
        m_session.reset();
    }
    Q_EMIT exitFinished();
}

void VistrelView::openAbout() {
    auto* about = new AboutDialog(m_language, this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

// --- timers and mouse
// ---------------------------------------------------------------------------------------

void VistrelView::onClockTick() {
    updateClockTexts();
    if (m_session) {
        m_session->live().takeFrameCount();
    }
    if (m_layout.onRotationTick()) {
        layoutChanged();
        syncButtons();
    }
}

void VistrelView::updateClockTexts() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    m_dateText = QString::fromStdString(dateText(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
    m_timeText = QString::fromStdString(timeText(local.tm_hour, local.tm_min, local.tm_sec));
    if (m_settings.options().showFrameRate != 0 && m_session) {
        m_frameText = QString::fromStdString(frameRateText(m_session->live().frameCounter()));
        update(m_frameRect);
    }
    update(m_dateRect);
    update(m_timeRect);
}

void VistrelView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !fullScreenSetting() && m_dragArmed) {
        m_dragArmed = false;
        Q_EMIT dragRequested();
    }
    QWidget::mousePressEvent(event);
}

void VistrelView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_exiting) {
        return;
    }
    const QPoint point = event->position().toPoint();
    applyResult(m_layout.onDoubleClick(point.x(), point.y(), m_state == link::ConnectionState::Established));
}

// --- session host
// -------------------------------------------------------------------------------------------

void VistrelView::setConnectionState(link::ConnectionState state) {
    if (state != link::ConnectionState::KeyLock) {
        m_state = state;
    }
    drawStatus(int(state));
}

void VistrelView::drawStatus(int statusType) {
    const auto text = live::statusText(statusType);
    if (!text) {
        return;
    }
    m_statusText = languageText(text->section, text->key, text->fallback);
    if (statusType == int(link::ConnectionState::Established)) {
        syncSpeedControls();
    }
    update(m_statusRect);
}

void VistrelView::syncSpeedControls() {
    const bool show = m_session && m_session->newerProtocol();
    if (show == m_speedControlsShown) {
        return;
    }
    m_speedControlsShown = show;
    for (int id : {command::kSpeedLabel, command::kSpeedPlus, command::kSpeedMinus}) {
        if (skin::SkinButton* b = button(id)) {
            b->setVisible(show);
        }
    }
    update(m_speedValueRect);
}

void VistrelView::toggleActivity(link::ActivityTarget) {
    m_activityShown = !m_activityShown;
    if (skin::SkinButton* wheel = button(command::kWheel)) {
        wheel->setImage(m_activityShown ? 1 : 0);
    }
}

void VistrelView::activityOff() {
    m_activityShown = false;
    if (skin::SkinButton* wheel = button(command::kWheel)) {
        wheel->setImage(3);
    }
}

void VistrelView::runViewDisconnect(link::DisconnectReason) {
    pressDisconnect();
}

void VistrelView::setWatchdogRunning(bool running) {
    if (running) {
        m_watchdogTimer.start();
    } else {
        m_watchdogTimer.stop();
    }
}

void VistrelView::livePositions(uint32_t playMillionths, uint32_t recordMillionths) {
    const std::string recordLabel = m_language.text(kRecordPositionLabel.section, kRecordPositionLabel.key,
                                                    kRecordPositionLabel.fallback);
    const std::string playLabel =
        m_language.text(kPlayPositionLabel.section, kPlayPositionLabel.key, kPlayPositionLabel.fallback);
    m_recordText = QString::fromStdString(positionText(recordLabel, recordMillionths));
    m_playText = QString::fromStdString(positionText(playLabel, playMillionths));
    update(m_recordRect);
    update(m_playRect);
    if (m_session) {
        m_layout.setUnavailableMask(m_session->live().unavailableMask());
    }
    if (m_state == link::ConnectionState::Established) {
        syncSpeedControls();
    }
}

void VistrelView::liveFormatChanged(uint32_t pictureFlags, uint32_t videoStandard) {
    if (!m_quality.update(pictureFlags, videoStandard)) {
        return;
    }
    m_qualityText = QString::fromStdString(m_quality.text());
    update(m_qualityRect);
    m_layout.setPictureFormat(pictureFlags, frame::fieldHeight(videoStandard));
    m_layout.applyLayout(m_layout.splitCode());
    layoutChanged();
    syncButtons();
}

void VistrelView::livePicture(int channel, const frame::FrameHeader& header,
                              const frame::DecodedPicture& picture) {
    if (channel < 0 || channel >= kChannelCount || picture.empty() || m_exiting) {
        return;
    }
    frame::DecodedPicture& buffer = m_buffers[size_t(channel)];
    const size_t bytes = std::min(picture.imageBytes(), buffer.pixels.size());
    std::memcpy(buffer.pixels.data(), picture.pixels.data(), bytes);
    buffer.width = picture.width;
    buffer.height = picture.height;
    buffer.bitmapInfo = picture.bitmapInfo;
    m_layout.setLayoutCode(header.layoutCode);
    m_layout.setPictureFormat(header.pictureFlags, picture.height);
    m_layout.markBufferFilled(channel);

    const DrawPlan plan = m_layout.planDraw(channel);
    for (int i = 0; i < plan.count; ++i) {
        drawPane(plan.draws[size_t(i)]);
    }
    if (plan.count > 0) {
        ++m_picturesShown;
    }
}

void VistrelView::drawPane(const PaneDraw& draw) {
    const QSize size(draw.pane.width(), draw.pane.height());
    QImage& target = m_paneImages[size_t(draw.paneChannel)];
    if (target.size() != size) {
        target = QImage(size, QImage::Format_RGB32);
    }
    const frame::DecodedPicture& buffer = m_buffers[size_t(draw.bufferChannel)];
    const QImage picture(buffer.pixels.data(), buffer.width, buffer.height, qsizetype(buffer.stride()),
                         QImage::Format_RGB32);
    const QRect source = draw.hasSource
                             ? QRect(draw.source.x, draw.source.y, draw.source.width, draw.source.height)
                                   .intersected(picture.rect())
                             : QRect();
    if (source.isEmpty()) {
        // Nothing to stretch: the pane shows the blank surface.
        target.fill(Qt::black);
    } else {
        QPainter painter(&target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), size), picture, source);
    }
    update(QRect(QPoint(draw.pane.left, draw.pane.top), size));
}

void VistrelView::afterLivePicture() {
    if (!m_session) {
        return;
    }
    m_layout.setLayoutCode(m_session->live().layoutCode());
    m_session->live().setDisplayedChannelMask(m_layout.displayedMask());
}

void VistrelView::showMessage(const link::MessageText& message) {
    m_notifier.showMessage(m_language.text(message.section, message.key, message.defaultText),
                           std::string(message.caption));
}

// --- painting
// -----------------------------------------------------------------------------------------------

void VistrelView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, Qt::black);
    if (!m_background.isNull() && m_liveSkinRect.intersects(dirty)) {
        painter.save();
        painter.setClipRect(m_liveSkinRect, Qt::IntersectClip);
        painter.drawImage(m_liveSkinRect.topLeft(), m_background);
        painter.restore();
    }

    for (int c = 0; c < kChannelCount; ++c) {
        const QRect pane = paneRect(c);
        if (!pane.isEmpty() && !m_paneImages[size_t(c)].isNull() && pane.intersects(dirty)) {
            painter.drawImage(pane.topLeft(), m_paneImages[size_t(c)]);
        }
    }
    // One-pixel frames just outside every pane.
    for (int c = 0; c < kChannelCount; ++c) {
        const QRect pane = paneRect(c);
        if (pane.isEmpty()) {
            continue;
        }
        const QRect frame = pane.adjusted(-1, -1, 1, 1);
        if (frame.intersects(dirty)) {
            painter.fillRect(QRect(frame.left(), frame.top(), frame.width(), 1), Qt::white);
            painter.fillRect(QRect(frame.left(), frame.bottom(), frame.width(), 1), Qt::white);
            painter.fillRect(QRect(frame.left(), frame.top(), 1, frame.height()), Qt::white);
            painter.fillRect(QRect(frame.right(), frame.top(), 1, frame.height()), Qt::white);
        }
    }

    painter.setFont(m_font);
    painter.setPen(textColour());
    // Texts are laid out only where the window is repainted.
    const int line = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    drawOpaqueText(painter, dirty, m_dateRect, line, m_dateText);
    drawOpaqueText(painter, dirty, m_timeRect, line, m_timeText);
    if (m_settings.options().showFrameRate != 0) {
        drawOpaqueText(painter, dirty, m_frameRect, line, m_frameText);
    }
    if (m_statusRect.intersects(dirty)) {
        painter.fillRect(m_statusRect, Qt::black);
        painter.drawText(m_statusRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_statusText);
    }
    drawOpaqueText(painter, dirty, m_qualityRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   m_qualityText);
    drawOpaqueText(painter, dirty, m_recordRect, Qt::AlignLeft | Qt::AlignVCenter, m_recordText);
    drawOpaqueText(painter, dirty, m_playRect, Qt::AlignLeft | Qt::AlignVCenter, m_playText);
    if (m_ptzChannelRect.intersects(dirty)) {
        painter.fillRect(m_ptzChannelRect, Qt::black);
        painter.drawText(m_ptzChannelRect, Qt::AlignCenter,
                         QString::fromStdString(ptzChannelText(m_ptzChannel)));
    }
    if (m_speedControlsShown && m_speedValueRect.intersects(dirty)) {
        painter.fillRect(m_speedValueRect, Qt::black);
        painter.drawText(m_speedValueRect, Qt::AlignCenter,
                         QString::number(m_settings.options().networkSpeed(m_layout.splitCode())));
    }
    if (!m_logo.isNull() && m_logoRect.intersects(dirty)) {
        painter.save();
        painter.setClipRect(m_logoRect, Qt::IntersectClip);
        painter.drawImage(m_logoRect.topLeft(), m_logo);
        painter.restore();
    }
}

}  // namespace dvr::live
