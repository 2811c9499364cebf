#include "viewer/live/widgets/VistrelView.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

#include "common/skin/ProgramFiles.h"
#include "common/skin/ProgramFolder.h"
#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveTexts.h"
#include "viewer/live/PlaybackHandOver.h"
#include "viewer/live/widgets/AboutDialog.h"
#include "viewer/live/widgets/SocketNotifierTransport.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/playback/widgets/PlaybackFrame.h"
#include "viewer/ptz/PtzFiles.h"
#include "viewer/ptz/widgets/UserPtzCommandDialog.h"
#include "viewer/setup/widgets/SetupDialog.h"

namespace dvr::live {

namespace {

constexpr const char* kSkinFile = "ini/res.ini";
constexpr const char* kLogoFile = "logo/slogo.bmp";
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

QRect toQRect(const PaneRect& r) {
    return r.isEmpty() ? QRect() : QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

// Draws a text with an opaque black background behind the glyphs, when its rectangle is being repainted.
void drawOpaqueText(QPainter& painter, const QRegion& dirty, const QRect& rect, int flags,
                    const QString& text) {
    if (!dirty.intersects(rect) || text.isEmpty()) {
        return;
    }
    const QRect bounds = painter.boundingRect(rect, flags, text).intersected(rect);
    painter.fillRect(bounds, Qt::black);
    painter.drawText(rect, flags, text);
}

// The view's timers as Qt timers on the user-interface thread.
class QtLiveTimers : public LiveTimers {
public:
    explicit QtLiveTimers(QObject* owner) {
        for (size_t i = 0; i < m_timers.size(); ++i) {
            m_timers[i] = new QTimer(owner);
        }
    }
    // Expiries go to `controller` from now on.
    void connectTo(LiveController& controller) {
        for (size_t i = 0; i < m_timers.size(); ++i) {
            QObject::connect(m_timers[i], &QTimer::timeout, m_timers[i],
                             [&controller, i] { controller.onTimer(LiveTimer(i)); });
        }
    }
    void start(LiveTimer timer, int periodMs) override { m_timers[size_t(timer)]->start(periodMs); }
    void stop(LiveTimer timer) override { m_timers[size_t(timer)]->stop(); }

private:
    std::array<QTimer*, 4> m_timers{};
};

// The PTZ move a key stands for (command code), 0 for none: the arrow keys, the numeric keypad (with or
// without Num Lock) and plus and minus for the zoom.
int ptzCodeForKey(const QKeyEvent& event) {
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    switch (event.key()) {
        case Qt::Key_Left:
            return ptz::kLeft;
        case Qt::Key_Right:
            return ptz::kRight;
        case Qt::Key_Up:
            return ptz::kUp;
        case Qt::Key_Down:
            return ptz::kDown;
        case Qt::Key_Plus:
            return ptz::kZoomIn;
        case Qt::Key_Minus:
            return ptz::kZoomOut;
        default:
            break;
    }
    if (!keypad) {
        return 0;
    }
    switch (event.key()) {
        case Qt::Key_4:
            return ptz::kLeft;
        case Qt::Key_6:
            return ptz::kRight;
        case Qt::Key_8:
            return ptz::kUp;
        case Qt::Key_2:
            return ptz::kDown;
        case Qt::Key_7:
        case Qt::Key_Home:
            return ptz::kLeftUp;
        case Qt::Key_9:
        case Qt::Key_PageUp:
            return ptz::kRightUp;
        case Qt::Key_3:
        case Qt::Key_PageDown:
            return ptz::kRightDown;
        case Qt::Key_1:
        case Qt::Key_End:
            return ptz::kLeftDown;
        default:
            return 0;
    }
}

// The playback window's frame as the live playback sees it.
class FramePlaybackShell : public PlaybackShell {
public:
    explicit FramePlaybackShell(VistrelView& view) : m_view(view) {}
    void setFrame(playback::PlaybackFrame* frame) { m_frame = frame; }
    void showPlayback(bool fullScreen) override {
        Q_EMIT m_view.playbackShown(true);
        if (m_frame != nullptr) {
            m_frame->showWindow(fullScreen);
        }
    }
    void showLive() override {
        if (m_frame != nullptr) {
            m_frame->hide();
        }
        Q_EMIT m_view.playbackShown(false);
    }
    void playbackPicture(int channel, const frame::FrameHeader& header, const frame::DecodedPicture& picture,
                         const playback::PaneDrawList& draws) override {
        if (m_frame != nullptr) {
            m_frame->playbackWindow()->showPicture(channel, header, picture, draws);
        }
    }
    void playbackChanged() override {
        if (m_frame != nullptr) {
            m_frame->playbackWindow()->refreshLater();
        }
    }
    void later(std::function<void()> task) override { QTimer::singleShot(0, &m_view, std::move(task)); }
    void eventListArrived() override {
        if (m_frame != nullptr) {
            m_frame->playbackWindow()->eventListArrived();
        }
    }

private:
    VistrelView& m_view;
    playback::PlaybackFrame* m_frame = nullptr;
};

}  // namespace

VistrelView::VistrelView(ViewOptions options, ViewerNotifier& notifier, QWidget* parent)
    : QWidget(parent),
      m_options(std::move(options)),
      m_notifier(notifier),
      m_skin(m_options.programFolder, &notifier) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    // The keyboard drives the PTZ moves.
    setFocusPolicy(Qt::StrongFocus);
    m_logo.load(QString::fromStdString(skin::ProgramFolder::join(m_options.programFolder, kLogoFile)));

    LiveTimers* timers = m_options.timers;
    QtLiveTimers* qtTimers = nullptr;
    if (timers == nullptr) {
        auto own = std::make_unique<QtLiveTimers>(this);
        qtTimers = own.get();
        timers = qtTimers;
        m_ownTimers = std::move(own);
    }
    LiveControllerOptions live;
    live.programFolder = m_options.programFolder;
    live.settingsFilePath = m_options.settingsFilePath;
    live.hostOverride = m_options.hostOverride;
    live.portOverride = m_options.portOverride;
    live.arpTable = m_options.arpTable;
    m_controller = std::make_unique<LiveController>(std::move(live), *this, *timers,
                                                    m_options.clock ? *m_options.clock : m_systemClock);
    if (qtTimers != nullptr) {
        qtTimers->connectTo(*m_controller);
    }
}

VistrelView::~VistrelView() {
    // The controller stops its timers and detaches the session from the socket while the view still
    // stands.
    m_controller.reset();
}

QSize VistrelView::skinSize(const std::string& programFolder) {
    const skin::SkinRect rect = skin::readViewerSkinPosition(
        skin::ProgramFolder::join(programFolder, kSkinFile), kMainPos, "POS_LIVE_SKIN");
    return QSize(std::max(0, rect.width()), std::max(0, rect.height()));
}

void VistrelView::initialUpdate() {
    if (m_started) {
        return;
    }
    m_started = true;

    // 1. The recorder session over a socket watched by notifiers.
    m_transport = new SocketNotifierTransport(this);
    m_controller->createSession(*m_transport);

    // 3. The skin file.
    m_skin.open(skin::ProgramFolder::join(m_options.programFolder, kSkinFile));

    // 4, 5. opt.ini and the stored settings.
    m_controller->loadSettings();

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

    // The playback window, hidden until the SEARCH button opens it.
    createPlayback();

    // 9, 10, 12. The 16-pane layout with its network speed, full screen when set, the view timers.
    const skin::SkinRect overlay = m_skin.readPosition(kMainPos, "POS_OVERLAY_TERM");
    m_controller->start(PaneRect{overlay.left, overlay.top, overlay.right, overlay.bottom});
}

skin::SkinButton* VistrelView::makeButton(const char* section, const char* positionSection,
                                          const char* positionKey, int commandId, skin::ButtonKind kind) {
    auto* button = new skin::SkinButton(this);
    skin::SkinButtonLoader::loadStandard(*button, m_skin, section, commandId, kind);
    button->place(toQRect(m_skin.readPosition(positionSection, positionKey)));
    connect(button, &skin::SkinButton::command, this,
            [this](int id, skin::SkinButton*) { m_controller->onCommand(id); });
    connect(button, &skin::SkinButton::hold, this,
            [this](quint32 value, int state) { m_controller->onHold(value, state); });
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
        connect(button, &skin::SkinButton::hold, this,
                [this](quint32 value, int state) { m_controller->onHold(value, state); });
        button->show();
        m_buttons.push_back(button);
    }

    createPtzButtons();

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

// The twelve PTZ move buttons: press holds the move, release starts the stop phase. A cancel from any of
// them (the button was let go away from where it was pressed) releases a direction still held down.
void VistrelView::createPtzButtons() {
    static constexpr std::array<std::pair<const char*, const char*>, 12> kPtzButtons{{
        {"BTN_PTZ_0", "POS_PTZ_0"},
        {"BTN_PTZ_45", "POS_PTZ_45"},
        {"BTN_PTZ_90", "POS_PTZ_90"},
        {"BTN_PTZ_135", "POS_PTZ_135"},
        {"BTN_PTZ_180", "POS_PTZ_180"},
        {"BTN_PTZ_225", "POS_PTZ_225"},
        {"BTN_PTZ_270", "POS_PTZ_270"},
        {"BTN_PTZ_315", "POS_PTZ_315"},
        {"BTN_PTZ_ZOOM_IN", "POS_PTZ_ZOOM_IN"},
        {"BTN_PTZ_ZOOM_OUT", "POS_PTZ_ZOOM_OUT"},
        {"BTN_PTZ_FOCUS_IN", "POS_PTZ_FOCUS_IN"},
        {"BTN_PTZ_FOCUS_OUT", "POS_PTZ_FOCUS_OUT"},
    }};
    for (size_t i = 0; i < kPtzButtons.size(); ++i) {
        auto* button = new skin::SkinButton(this);
        skin::SkinButtonLoader::loadPtz(*button, m_skin, kPtzButtons[i].first, command::kPtzFirst + int(i));
        button->place(toQRect(m_skin.readPosition("PTZ POS", kPtzButtons[i].second)));
        connect(button, &skin::SkinButton::hold, this,
                [this](quint32 value, int state) { m_controller->onHold(value, state); });
        connect(button, &skin::SkinButton::cancel, this, [this](int, int) {
            for (skin::SkinButton* direction : m_ptzDirectionButtons) {
                direction->cancelPress();
            }
        });
        button->show();
        m_buttons.push_back(button);
        if (i < m_ptzDirectionButtons.size()) {
            m_ptzDirectionButtons[i] = button;
        }
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
    return channel >= 0 && channel < kChannelCount ? toQRect(layout().paneRect(channel)) : QRect();
}

QString VistrelView::statusText() const {
    return toQString(m_controller->statusText(m_controller->statusShown()));
}

// --- what the controller asks for
// ----------------------------------------------------------------------------

void VistrelView::repaint(uint32_t areas) {
    const std::pair<uint32_t, const QRect*> rects[] = {
        {area::kPanes, &m_overlayRect},
        {area::kStatus, &m_statusRect},
        {area::kQuality, &m_qualityRect},
        {area::kClock, &m_dateRect},
        {area::kClock, &m_timeRect},
        {area::kFrameRate, &m_frameRect},
        {area::kPositions, &m_recordRect},
        {area::kPositions, &m_playRect},
        {area::kPtzChannel, &m_ptzChannelRect},
        {area::kSpeedValue, &m_speedValueRect},
    };
    if ((areas & area::kSkin) != 0) {
        update(m_liveSkinRect.isEmpty() ? rect() : m_liveSkinRect);
        return;
    }
    for (const auto& [bit, rect] : rects) {
        if ((areas & bit) != 0) {
            update(*rect);
        }
    }
}

void VistrelView::drawPane(const PaneDraw& draw, const frame::DecodedPicture& buffer) {
    const QSize size(draw.pane.width(), draw.pane.height());
    QImage& target = m_paneImages[size_t(draw.paneChannel)];
    if (target.size() != size) {
        target = QImage(size, QImage::Format_RGB32);
    }
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

void VistrelView::clearPanes() {
    for (QImage& image : m_paneImages) {
        image = QImage();
    }
}

void VistrelView::buttonsChanged() {
    const auto sync = [](skin::SkinButton* button, bool checked) {
        if (button != nullptr && button->checked() != checked) {
            button->setChecked(checked);
        }
    };
    const LiveLayout& layout = m_controller->layout();
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
    sync(button(command::kConnect), m_controller->connectChecked());
    sync(button(command::kDisconnect), m_controller->disconnectChecked());
    // Hidden is asked of the button itself: while the window is hidden no button counts as visible.
    const bool speedShown = m_controller->speedControlsShown();
    for (int id : {command::kSpeedLabel, command::kSpeedPlus, command::kSpeedMinus}) {
        if (skin::SkinButton* b = button(id); b != nullptr && b->isHidden() == speedShown) {
            b->setVisible(speedShown);
        }
    }
    if (skin::SkinButton* wheel = button(command::kWheel);
        wheel != nullptr && wheel->image() != m_controller->wheelImage()) {
        wheel->setImage(m_controller->wheelImage());
    }
}

void VistrelView::beep() {
    m_notifier.beep();
}

void VistrelView::openAbout() {
    auto* about = new AboutDialog(m_controller->language(), this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void VistrelView::showMessage(const std::string& text, const std::string& caption) {
    m_notifier.showMessage(text, caption);
}

void VistrelView::sessionChanged(link::RecorderSession* session) {
    if (session == nullptr) {
        // The playback window works through the session: it goes first.
        destroyPlayback();
    }
    if (m_transport != nullptr) {
        m_transport->setSession(session);
    }
}

// --- remote playback
// --------------------------------------------------------------------------------------------

void VistrelView::createPlayback() {
    if (m_playback || m_controller->session() == nullptr) {
        return;
    }
    auto shell = std::make_unique<FramePlaybackShell>(*this);
    const LiveClock* clock = m_options.clock ? m_options.clock : &m_systemClock;
    m_playback = std::make_unique<PlaybackHandOver>(*m_controller, *shell, [clock] { return clock->now(); });
    m_playbackFrame =
        std::make_unique<playback::PlaybackFrame>(m_playback->controller(), m_options.programFolder);
    shell->setFrame(m_playbackFrame.get());
    m_playbackShell = std::move(shell);
    playback::PlaybackWindow* window = m_playbackFrame->playbackWindow();
    m_playback->controller().setView(window);
    window->setFrameRateShown(m_controller->frameRateShown());
    window->setEventFile(m_controller->eventFilePath());
    connect(window, &playback::PlaybackWindow::closed, this, [this] {
        if (m_playback) {
            m_playback->closed();
        }
    });
    connect(window, &playback::PlaybackWindow::messageRequested, this,
            [this](const QString& text, const QString& caption) {
                m_notifier.showMessage(text.toStdString(), caption.toStdString());
            });
    // Save and AVI go to the "Record Path" folder; the manifests name this recorder.
    playback::ExportSetup exports;
    exports.programFolder = m_options.programFolder;
    exports.userFolder = skin::ProgramFiles::defaultUserFolder(skin::ProgramFolder::kViewer.userName);
    exports.desktop = m_options.desktop;
    exports.update = [this](playback::ExportSetup& setup) {
        setup.saveFolder = m_controller->settingsStore().settings().saveFolder;
        setup.recorderAddress = m_controller->recorderHost();
        setup.recorderPort = m_controller->recorderPort();
        if (const link::RecorderSession* session = m_controller->session()) {
            setup.recorderVersion = link::versionString(session->versionText());
        }
    };
    window->setExportSetup(std::move(exports));
    m_controller->setPlaybackHost(&m_playback->host());
}

void VistrelView::destroyPlayback() {
    // Also reached from the controller's destructor, when the view no longer holds it.
    if (m_controller) {
        m_controller->setPlaybackHost(nullptr);
    }
    m_playback.reset();
    m_playbackShell.reset();
    m_playbackFrame.reset();
}

playback::PlaybackWindow* VistrelView::playbackWindow() const {
    return m_playbackFrame ? m_playbackFrame->playbackWindow() : nullptr;
}

void VistrelView::playbackRequested() {
    if (m_playback) {
        m_playback->open();
    }
}

// --- setup
// --------------------------------------------------------------------------------------------------

void VistrelView::openSetup() {
    setup::SetupServices services;
    services.notifier = &m_notifier;
    services.ptzTypeChosen = [this](int ptzType) { m_controller->setPtzType(ptzType); };
    services.ptzBaudRateChosen = [this](int rate) { m_controller->setPtzBaudRate(uint32_t(rate)); };
    services.editPtzCommands = [this](QWidget* parent) { editPtzCommands(parent); };
    // Inside the full-screen scaler a child dialog would be drawn into the scene: it gets its own window.
    QWidget* parent = graphicsProxyWidget() != nullptr ? nullptr : this;
    const setup::SetupResult result = setup::SetupDialog::runSetup(
        parent, m_controller->settingsStore(), m_options.programFolder, std::move(services));
    m_controller->setupFinished(result.accepted, result.changes.connectionChanged);
}

void VistrelView::editPtzCommands(QWidget* parent) {
    ptz::DialogFileChooser files;
    ptz::MessageBoxSink messages;
    LiveController& live = *m_controller;
    ptz::UserPtzCommandDialog dialog(live.ptzCommandFilePath(), files, messages, &live.language(), parent);
    dialog.setOperateHandler([&live](const ptz::PtzCommand& command) { live.operatePtz(command); });
    dialog.setUserFolder(ptz::defaultUserDataFolder());
    dialog.exec();
    live.setPtzCommandFilePath(dialog.filePath());
}

// --- mouse
// --------------------------------------------------------------------------------------------------

void VistrelView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_controller->onLeftPress();
    }
    QWidget::mousePressEvent(event);
}

void VistrelView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint point = event->position().toPoint();
    m_controller->onDoubleClick(point.x(), point.y());
}

// --- keyboard: a move key holds its move until it is let go; auto-repeat is not a new press
// --------------------------------------------------------------------------------------------------

void VistrelView::keyPressEvent(QKeyEvent* event) {
    const int code = ptzCodeForKey(*event);
    if (code == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat()) {
        m_ptzKeyScanCode = event->nativeScanCode();
        m_controller->ptzKeyPressed(code);
    }
    event->accept();
}

void VistrelView::keyReleaseEvent(QKeyEvent* event) {
    int code = ptzCodeForKey(*event);
    // The same physical key may read differently on release (plus typed with Shift, Shift let go
    // first): the key that went down is recognised by its scan code.
    if (event->nativeScanCode() != 0 && event->nativeScanCode() == m_ptzKeyScanCode) {
        code = m_controller->ptzKeyHeld();
    }
    if (code == 0) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (!event->isAutoRepeat()) {
        m_controller->ptzKeyReleased(code);
    }
    event->accept();
}

void VistrelView::focusOutEvent(QFocusEvent* event) {
    // The key-up would go elsewhere: a key-held move is released now.
    m_controller->ptzKeysLost();
    QWidget::focusOutEvent(event);
}

// --- painting
// -----------------------------------------------------------------------------------------------

void VistrelView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRegion& dirty = event->region();
    painter.fillRect(event->rect(), Qt::black);
    if (!m_background.isNull() && dirty.intersects(m_liveSkinRect)) {
        painter.save();
        painter.setClipRect(m_liveSkinRect, Qt::IntersectClip);
        painter.drawImage(m_liveSkinRect.topLeft(), m_background);
        painter.restore();
    }

    for (int c = 0; c < kChannelCount; ++c) {
        const QRect pane = paneRect(c);
        if (!pane.isEmpty() && !m_paneImages[size_t(c)].isNull() && dirty.intersects(pane)) {
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
        if (dirty.intersects(frame)) {
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
    const LiveController& live = *m_controller;
    drawOpaqueText(painter, dirty, m_dateRect, line, toQString(live.dateText()));
    drawOpaqueText(painter, dirty, m_timeRect, line, toQString(live.timeText()));
    if (live.frameRateShown()) {
        drawOpaqueText(painter, dirty, m_frameRect, line, toQString(live.frameRateText()));
    }
    if (dirty.intersects(m_statusRect)) {
        // Every repaint of the line shows the connection state; a key-lock notice only its first one.
        m_paintedStatusText = toQString(m_controller->statusText(m_controller->takeStatusToPaint()));
        painter.fillRect(m_statusRect, Qt::black);
        painter.drawText(m_statusRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_paintedStatusText);
    }
    drawOpaqueText(painter, dirty, m_qualityRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   toQString(live.qualityText()));
    drawOpaqueText(painter, dirty, m_recordRect, Qt::AlignLeft | Qt::AlignVCenter,
                   toQString(live.recordPositionText()));
    drawOpaqueText(painter, dirty, m_playRect, Qt::AlignLeft | Qt::AlignVCenter,
                   toQString(live.playPositionText()));
    if (dirty.intersects(m_ptzChannelRect)) {
        painter.fillRect(m_ptzChannelRect, Qt::black);
        painter.drawText(m_ptzChannelRect, Qt::AlignCenter, toQString(ptzChannelText(live.ptzChannel())));
    }
    if (live.speedControlsShown() && dirty.intersects(m_speedValueRect)) {
        painter.fillRect(m_speedValueRect, Qt::black);
        painter.drawText(m_speedValueRect, Qt::AlignCenter, QString::number(live.networkSpeed()));
    }
    if (!m_logo.isNull() && dirty.intersects(m_logoRect)) {
        painter.save();
        painter.setClipRect(m_logoRect, Qt::IntersectClip);
        painter.drawImage(m_logoRect.topLeft(), m_logo);
        painter.restore();
    }
}

}  // namespace dvr::live
