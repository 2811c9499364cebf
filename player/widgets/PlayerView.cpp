#include "player/widgets/PlayerView.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <filesystem>

#include "common/export/render/StampPainter.h"
#include "common/skin/PlayerInfo.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "common/skin/widgets/WidgetGrab.h"
#include "player/audio/SdlAudioDevice.h"
#include "player/view/PlayerFolders.h"
#include "player/widgets/BackupWindow.h"
#include "player/widgets/EditWindow.h"
#include "player/widgets/MessageBoxNotifier.h"
#include "player/widgets/PlayerControls.h"
#include "player/widgets/PlayerPainter.h"

namespace dvr::player {

namespace {

constexpr const char* kTitle = "Discoro";

PlayerDocumentOptions documentOptions(const PlayerView::Options& options) {
    PlayerDocumentOptions document;
    document.paced = options.paced;
    document.decodeAhead = options.decodeAhead;
    document.audioFactory =
        options.audioFactory ? options.audioFactory : AudioDeviceFactory(openSdlAudioDevice);
    document.settingsPath = options.settingsPath;
    return document;
}

}  // namespace

PlayerView::PlayerView(Options options)
    : m_options(std::move(options)), m_document(documentOptions(m_options), *this, m_exporter) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromLatin1(kTitle));
    setFocusPolicy(Qt::StrongFocus);
    if (m_options.notifier) {
        m_notifier = m_options.notifier;
    } else {
        m_ownNotifier = std::make_unique<MessageBoxNotifier>(this);
        m_notifier = m_ownNotifier.get();
    }
    m_skin = std::make_unique<skin::PlayerSkinReader>(m_options.programFolder, m_notifier);
    m_painter = std::make_unique<PlayerPainter>();
    m_painter->setTimeOfDay(m_options.timeOfDay);
    m_created = m_painter->load(*m_skin);
    if (!m_created) {
        return;
    }
    PlayerControls::Handlers handlers;
    handlers.command = [this](int id) { onCommand(id); };
    handlers.sliderReleased = [this](int value) {
        m_document.sliderReleased(value);
        applyModel();
    };
    handlers.soundToggled = [this](bool on) { setSoundOn(on); };
    handlers.soundChannel = [this](int channel) { selectSoundChannel(channel); };
    handlers.skipChosen = [this](int index) { m_document.shared().skipIndex.store(index); };
    m_controls =
        std::make_unique<PlayerControls>(*this, *m_skin, m_painter->audioRect(), std::move(handlers));
    m_secondTimer.setInterval(1000);
    connect(&m_secondTimer, &QTimer::timeout, this, [this] {
        m_document.pictures().rollPictureCounts();
        applyModel();
        update();
    });
    m_secondTimer.start();
    m_stateTimer.setInterval(100);
    connect(&m_stateTimer, &QTimer::timeout, this, &PlayerView::showNavigationState);
    m_stateTimer.start();
    const skin::PlayerInfo info =
        skin::PlayerInfoStore::read(programFiles().readPath(skin::PlayerSkinReader::kFileName));
    m_controls->applyToolTips(info.tooltipOn != 0);
    applySkin(info.pal == 1);
}

PlayerView::~PlayerView() {
    m_secondTimer.stop();
    m_stateTimer.stop();
    // Ended first: a playback thread waiting for the export's writer lets go.
    m_exporter.stop();
    m_document.stopPlayback();
    if (m_created) {
        // An installed player keeps its INFO values in a per-user copy of res.ini.
        const std::string infoPath = programFiles().prepareWrite(skin::PlayerSkinReader::kFileName);
        if (!infoPath.empty()) {
            skin::PlayerInfoStore::write(infoPath, model().layout(), model().pal() ? 1 : 0);
        }
    }
}

skin::ProgramFiles PlayerView::programFiles() const {
    return skin::ProgramFiles(m_options.programFolder, m_options.userFolder);
}

QRect PlayerView::skinRect(const char* section, const char* key) const {
    return skin::toQRect(m_skin->readPosition(section, key));
}

void PlayerView::applySkin(bool pal) {
    const QImage& background = m_painter->background(pal);
    setBackground(background);
    const QSize size = background.isNull() ? m_painter->windowRect().size() : background.size();
    setFixedSize(size);
    const QRect overlay = skinRect("MAIN POS", "POS_OVERLAY_TERM");
    m_document.applySkin(pal, overlay.left(), overlay.top());
    if (QScreen* s = screen()) {
        move(s->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
    }
    applyModel();
    update();
}

void PlayerView::applyModel() {
    if (m_controls) {
        m_controls->show(model(), m_document.sound().hasOutputs());
        showNavigationState();
    }
    m_document.syncPlayback();
}

void PlayerView::showNavigationState() {
    const std::optional<NavigationState> shown = m_document.shownNavigationState();
    if (shown != m_shownState) {
        m_shownState = shown;
        m_controls->showNavigationState(shown);
    }
}

bool PlayerView::controlEnabled(int id) const {
    return m_controls && m_controls->enabled(id);
}

QRect PlayerView::pictureArea() const {
    return QRect(model().pictureOriginX(), model().pictureOriginY(), PlayerViewModel::kPictureWidth,
                 model().pictureHeight());
}

// ---------------------------------------------------------------- commands

void PlayerView::pressControl(int id) {
    onCommand(id);
}

void PlayerView::onCommand(int id) {
    const CommandEffects effects = m_document.command(id);
    switch (effects.window) {
        case CommandEffects::Window::None:
            break;
        case CommandEffects::Window::OpenFile:
            openWithDialog();
            return;
        case CommandEffects::Window::Exit:
            exitProgram();
            return;
        case CommandEffects::Window::ToggleSound:
            setSoundOn(!model().soundOn());
            return;
        case CommandEffects::Window::BackupWindow:
            toggleBackupWindow();
            return;
        case CommandEffects::Window::EditWindow:
            openEditWindow();
            return;
    }
    if (effects.refresh) {
        applyModel();
        update();
    }
}

void PlayerView::layoutChanged() {
    m_document.shared().requestFlag.store(1);
    applyModel();
    update();
}

void PlayerView::exitProgram() {
    m_secondTimer.stop();
    m_document.stopPlayback();
    close();
}

void PlayerView::setSoundOn(bool on) {
    if (m_document.setSoundOn(on)) {
        layoutChanged();
    } else {
        applyModel();
    }
}

void PlayerView::selectSoundChannel(int channel) {
    m_document.selectSoundChannel(channel);
    applyModel();
}

void PlayerView::pause() {
    m_document.pause();
    applyModel();
}

// ---------------------------------------------------------------- the file

void PlayerView::openWithDialog() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                                      QStringLiteral("All Files (*)"));
    if (!path.isEmpty()) {
        openFile(path);
    }
}

bool PlayerView::openFile(const QString& path) {
    m_paintedFrames = 0;
    if (m_controls) {
        m_controls->cancelSliderRelease();  // a drag on the last file does not move the next one
    }
    const bool opened = m_document.open(path.toStdString(), m_controls ? m_controls->skipIndex() : 0);
    update();
    return opened;
}

void PlayerView::openHandedFile(const QString& path) {
    const bool editOpen = m_editWindow && m_editWindow->isVisible();
    if (const auto refusal = model().handOffRefusal(editOpen)) {
        showMessage(*refusal, kTitle);
        return;
    }
    openFile(path);
}

// ---------------------------------------------------------------- the document's calls

void PlayerView::modelChanged() {
    applyModel();
}

void PlayerView::showMessage(const std::string& text, const std::string& caption) {
    m_notifier->showMessage(text, caption);
}

void PlayerView::newsWaiting() {
    QMetaObject::invokeMethod(this, &PlayerView::picturesArrived, Qt::QueuedConnection);
}

void PlayerView::playbackAtStart() {
    QMetaObject::invokeMethod(this, &PlayerView::startReached, Qt::QueuedConnection);
}

void PlayerView::playbackAtEnd() {
    QMetaObject::invokeMethod(this, &PlayerView::endReached, Qt::QueuedConnection);
}

void PlayerView::startReached() {
    if (m_document.startReached()) {  // a notice of a file closed since changes nothing
        applyModel();
        Q_EMIT reachedStart();
    }
}

void PlayerView::endReached() {
    const PlayerDocument::EndReached end = m_document.endReached();
    if (end != PlayerDocument::EndReached::Stale) {
        end == PlayerDocument::EndReached::SoundSwitchedOff ? layoutChanged() : applyModel();
        Q_EMIT reachedEnd();
    }
}

void PlayerView::playbackMessage(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { showMessage(text, kTitle); }, Qt::QueuedConnection);
}

void PlayerView::picturesArrived() {
    const PlaybackHandOff::Update news = m_document.takeNews();
    if (news.switchToPal) {
        applySkin(*news.switchToPal);
    }
    if (m_document.model().playbackNews(news.presentMask, news.lastPictureQuad)) {
        applyModel();
        update(pictureArea());
    }
    m_controls->setSliderValue(news.sliderValue);
    // Only the panes with new pictures and the current play time are drawn again.
    for (const PaneRect& pane : model().pagePanes(news.dirtyChannels)) {
        update(pane.left, pane.top, pane.width(), pane.height());
    }
    if (news.dirtyChannels != 0) {
        update(skinRect("TIME INFO POS", "POS_CUR_PLAY_TIME"));
    }
}

// ---------------------------------------------------------------- input

void PlayerView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
            m_document.spaceKey();
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            m_document.arrowKey(event->key() == Qt::Key_Right);
            break;
        default:
            SkinSurface::keyPressEvent(event);
            return;
    }
    applyModel();
}

void PlayerView::mousePressEvent(QMouseEvent* event) {
    // The backup window stays where it was placed: the main window does not move under it.
    if (event->button() == Qt::LeftButton && !model().backupWindowOpen()) {
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
    switch (m_document.model().doubleClick(p.x(), p.y(), m_painter->logoRect().contains(p))) {
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
    m_painter->paint(painter, m_paintRegion, m_document);
    ++m_paintedFrames;
}

// ---------------------------------------------------------------- backup window and export

void PlayerView::toggleBackupWindow() {
    if (model().backupWindowOpen()) {
        closeBackupWindow();
        return;
    }
    if (!m_document.fileOpen()) {
        return;
    }
    if (!m_backupWindow) {
        m_backupWindow = new BackupWindow(*m_skin, this);
        connect(m_backupWindow, &BackupWindow::startRequested, this, &PlayerView::startExport);
        connect(m_backupWindow, &BackupWindow::stopRequested, this, &PlayerView::stopExport);
    }
    m_document.model().setBackupWindowOpen(true);
    applyModel();
    // The window's place and size are POS_BACKUP_WIN's, above the player's picture area.
    const QRect place = skinRect("MAIN POS", "POS_BACKUP_WIN");
    m_backupWindow->showAt(place.translated(mapToGlobal(QPoint(0, -height()))),
                           m_document.scan()->channelCount);
}

void PlayerView::closeBackupWindow() {
    if (!model().backupWindowOpen()) {
        return;
    }
    if (m_backupWindow) {
        m_backupWindow->closeWindow();
    }
    m_document.model().setBackupWindowOpen(false);
    pause();
}

void PlayerView::startExport(const ExportSettings& settings) {
    if (!m_stamper) {
        m_stamper = std::make_unique<exporting::StampPainter>();
    }
    ExportStart request;
    request.aviFolder = chooseOutputFolder(m_options.programFolder, playerUserDataFolder(), "avi").path;
    request.settings = settings;
    request.stamper = m_stamper.get();
    request.onFailure = [this] {
        QMetaObject::invokeMethod(
            this, [this] { exportFailed(); }, Qt::QueuedConnection);
    };
    const ExportOutcome started = m_document.startExport(std::move(request));
    applyModel();
    update();
    if (!started.ok) {
        showMessage(started.message, kTitle);
        if (m_backupWindow) {
            m_backupWindow->exportRefused();
        }
        closeBackupWindow();
    }
}

void PlayerView::stopExport() {
    const std::optional<PlayerDocument::ExportEnd> end = m_document.stopExport();
    if (!end) {
        return;
    }
    applyModel();
    if (!end->outcome.ok) {
        showMessage(end->outcome.message, kTitle);
    } else if (end->outcome.frames == 0) {
        showMessage(noFrameMessage(end->channel, end->outcome.aviPath), kTitle);
    }
    if (m_options.openFolder) {
        m_options.openFolder(std::filesystem::path(end->outcome.aviPath).parent_path().string());
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
    if (model().backupWindowOpen()) {
        closeBackupWindow();
    } else if (!m_document.fileOpen()) {
        showMessage("Can not command. It need pictuer for save.  ", "backup");
        return;
    }
    if (m_editWindow) {
        return;
    }
    pause();
    // The picture as shown: the single pane with its texts, rendered off-screen.
    const PaneRect pane = model().channelPane(m_document.editChannel());
    const QImage shot = skin::grabAtOwnSize(*this, QRect(pane.left, pane.top, pane.width(), pane.height()),
                                            QImage::Format_BGR888);
    PlayerDocument::EditSnapshot snapshot =
        m_document.editSnapshot(shot.width(), shot.height(), shot.constBits(), size_t(shot.bytesPerLine()));
    EditPicture picture;
    picture.image = std::move(snapshot.image);
    picture.channel = snapshot.channel;
    picture.time = snapshot.time.value_or(DateTime{});
    picture.backupPath = m_document.path();
    picture.sourceDigest = &m_document.sourceDigest();
    EditWindow::Options options;
    options.skin = m_skin.get();
    options.pal = model().pal();
    options.programFolder = m_options.programFolder;
    options.notifier = m_notifier;
    options.printer = m_options.printer ? m_options.printer : &m_dialogPrinter;
    options.backupStart = m_document.scan()->startTime.dateTime();
    options.backupEnd = m_document.scan()->endTime.dateTime();
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
