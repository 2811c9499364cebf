#include "viewer/live/widgets/VistrelView.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <optional>
#include <utility>

#include "common/skin/ProgramFiles.h"
#include "common/skin/ProgramFolder.h"
#include "common/skin/widgets/QtTaskPoster.h"
#include "common/skin/widgets/SkinButton.h"
#include "viewer/live/LiveCommandIds.h"
#include "viewer/live/LiveSkinKeys.h"
#include "viewer/live/LiveTexts.h"
#include "viewer/live/PlaybackHandOver.h"
#include "viewer/live/widgets/AboutDialog.h"
#include "viewer/live/widgets/FramePlaybackShell.h"
#include "viewer/live/widgets/LiveButtons.h"
#include "viewer/live/widgets/LiveDialogs.h"
#include "viewer/live/widgets/PtzKeys.h"
#include "viewer/live/widgets/QtLiveTimers.h"
#include "viewer/live/widgets/ScreenText.h"
#include "viewer/live/widgets/SocketNotifierTransport.h"
#include "viewer/live/widgets/ViewerNotifier.h"
#include "viewer/playback/widgets/PlaybackFrame.h"

namespace dvr::live {

namespace {

QRect toQRect(const PaneRect& r) {
    return r.isEmpty() ? QRect() : QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

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
    m_logo.load(
        QString::fromStdString(skin::ProgramFolder::join(m_options.programFolder, skinkeys::kLogoFile)));

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
    setDecodeOnWorker(m_options.decodeOnWorker);
}

void VistrelView::setDecodeOnWorker(bool on) {
    if (on && !m_decodeWorker) {
        m_poster = std::make_unique<skin::QtTaskPoster>(*this);
        m_decodeWorker = std::make_unique<frame::DecodeWorker>(*m_poster);
        m_decodeWorker->setSubmitted([this] {
            m_repaints.decodeStarted();
            if (playback::PlaybackWindow* window = playbackWindow()) {
                window->decodeStarted();
            }
        });
    }
    m_decodeOnWorker = on;
    frame::DecodeWorker* worker = on ? m_decodeWorker.get() : nullptr;
    m_controller->setDecodeWorker(worker);
    if (m_playback) {
        m_playback->setDecodeWorker(worker);
    }
}

VistrelView::~VistrelView() {
    // The controller stops its timers and detaches the session from the socket while the view still
    // stands.
    m_controller.reset();
}

QSize VistrelView::skinSize(const std::string& programFolder) {
    const skin::SkinRect rect =
        skin::readViewerSkinPosition(skin::ProgramFolder::join(programFolder, skinkeys::kSkinFile),
                                     skinkeys::kWindow.section, skinkeys::kWindow.key);
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
    m_skin.open(skin::ProgramFolder::join(m_options.programFolder, skinkeys::kSkinFile));

    // 4, 5. opt.ini and the stored settings.
    m_controller->loadSettings();

    // 7. Font and text rectangles.
    m_font = makeScreenFont();
    const auto at = [this](const skin::SkinKey& key) {
        return toQRect(m_skin.readPosition(key.section, key.key));
    };
    m_liveSkinRect = at(skinkeys::kWindow);
    m_overlayRect = at(skinkeys::kOverlay);
    m_logoRect = at(skinkeys::kLogo);
    m_dateRect = at(skinkeys::kDate);
    m_timeRect = at(skinkeys::kTime);
    m_statusRect = at(skinkeys::kStatus);
    m_qualityRect = at(skinkeys::kQuality);
    m_recordRect = at(skinkeys::kRecordPosition);
    m_playRect = at(skinkeys::kPlayPosition);
    m_frameRect = at(skinkeys::kFrameRate);
    m_ptzChannelRect = at(skinkeys::kPtzChannel);
    m_speedValueRect = at(skinkeys::kSpeedValue);

    // 8. Background and buttons.
    if (const auto path = m_skin.readBitmapPath(skinkeys::kBackground.section, skinkeys::kBackground.key)) {
        m_background.load(QString::fromStdString(*path));
    }
    m_buttons = std::make_unique<LiveButtons>(*this, m_skin, *m_controller);

    // The playback window, hidden until the SEARCH button opens it.
    createPlayback();

    // 9, 10, 12. The 16-pane layout with its network speed, full screen when set, the view timers.
    const skin::SkinRect overlay = m_skin.readPosition(skinkeys::kOverlay.section, skinkeys::kOverlay.key);
    m_controller->start(PaneRect{overlay.left, overlay.top, overlay.right, overlay.bottom});
}

skin::SkinButton* VistrelView::button(int commandId) const {
    return m_buttons ? m_buttons->button(commandId) : nullptr;
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
    // The texts beside the pictures change with them: repainted with the panes, at most once per display
    // period.
    for (const auto& [bit, rect] : rects) {
        if ((areas & bit) != 0) {
            m_repaints.update(*rect);
        }
    }
}

void VistrelView::drawPane(const PaneDraw& draw, const frame::DecodedPicture& buffer) {
    m_paneImages.draw(draw, buffer);
}

void VistrelView::bufferChanging(int bufferChannel, uint32_t redrawnPanes) {
    m_paneImages.bufferChanging(bufferChannel, redrawnPanes);
}

void VistrelView::clearPanes() {
    m_paneImages.clear();
}

void VistrelView::buttonsChanged() {
    if (m_buttons) {
        m_buttons->sync(*m_controller);
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
    // A message box runs an event loop of its own, where the recorder's next bytes are read and may bring
    // another message: boxes are never stacked (a recorder repeating an error would stack them without
    // end). The newest message asked for meanwhile waits and is shown once the box closes, unless it
    // says what the box said.
    if (m_messageShown) {
        const bool same = m_messageShown->first == text && m_messageShown->second == caption;
        m_messageWaiting = same ? std::nullopt : std::optional(std::make_pair(text, caption));
        return;
    }
    std::optional<std::pair<std::string, std::string>> next = std::make_pair(text, caption);
    while (next) {
        m_messageShown = next;
        m_notifier.showMessage(next->first, next->second);
        next = std::exchange(m_messageWaiting, std::nullopt);
    }
    m_messageShown.reset();
}

void VistrelView::sessionChanged(link::RecorderSession* session) {
    if (session == nullptr) {
        // The playback window works through the session: it goes first.
        destroyPlayback();
    }
    if (m_transport != nullptr) {
        m_transport->setDriver(session != nullptr ? m_controller->sessionDriver() : nullptr);
    }
}

// --- remote playback
// --------------------------------------------------------------------------------------------

void VistrelView::createPlayback() {
    if (m_playback || m_controller->session() == nullptr) {
        return;
    }
    auto shell = std::make_unique<FramePlaybackShell>([this](bool shown) { Q_EMIT playbackShown(shown); });
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
                showMessage(text.toStdString(), caption.toStdString());
            });
    // Save and AVI go to the "Record Path" folder; the manifests name this recorder.
    playback::ExportSetup exports;
    exports.programFolder = m_options.programFolder;
    exports.userFolder = skin::ProgramFiles::defaultUserFolder(skin::ProgramFolder::kViewer.userName);
    exports.desktop = m_options.desktop;
    exports.update = [this](playback::ExportSetup& setup) {
        setup.saveFolder = m_controller->settingsStore().settings().saveFolder;
        setup.recorderAddress = m_controller->connectedHost();
        setup.recorderPort = m_controller->connectedPort();
        if (const link::RecorderSession* session = m_controller->session()) {
            setup.recorderVersion = link::versionString(session->versionText());
        }
    };
    window->setExportSetup(std::move(exports));
    m_playback->setDecodeWorker(m_decodeOnWorker ? m_decodeWorker.get() : nullptr);
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
    runSetupDialog(*this, *m_controller, m_notifier, m_options.programFolder);
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
        if (!pane.isEmpty() && m_paneImages.hasPicture(c) && dirty.intersects(pane)) {
            painter.drawImage(pane.topLeft(), m_paneImages.image(c));
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
    painter.setPen(screenTextColour());
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
