#include "player/view/PlayerDocument.h"

#include <cstring>

#include "common/evidence/Sha256.h"
#include "common/frame/FrameHeader.h"
#include "player/media/BackupFormat.h"
#include "player/view/RecentFiles.h"

namespace dvr::player {

namespace {

constexpr const char* kTitle = "Discoro";
constexpr const char* kAudioFailure = "Audio initialize exception.";
constexpr const char* kAudioFailureCaption = "Error";

// The opening scan's messages, shown with the program's title.
class ScanNotifier final : public media::Notifier {
public:
    explicit ScanNotifier(DocumentWindow& window) : m_window(window) {}
    void showMessage(std::string_view text) override { m_window.showMessage(std::string(text), kTitle); }

private:
    DocumentWindow& m_window;
};

}  // namespace

PictureRecord pictureRecord(const media::DeliveredPicture& delivered, int channelCount) {
    const media::BackupHeader& header = *delivered.header;
    PictureRecord record;
    record.layoutCode = header.layoutCode;
    record.pictureFlags = header.pictureFlags;
    record.videoStandard = header.videoStandard;
    record.recordChannel = int(header.channel);
    record.fieldCode = delivered.fieldCode;
    record.channelCount = channelCount;
    record.time = header.time.dateTime();
    record.codestream = delivered.codestream();
    return record;
}

bool exportTakes(media::PlayMode mode, int exportedChannel, uint32_t storedChannels) {
    const bool forwards = mode == media::PlayMode::Forward || mode == media::PlayMode::FastForward ||
                          mode == media::PlayMode::StepForward;
    return exportedChannel >= 0 && exportedChannel < 32 && forwards &&
           (storedChannels >> exportedChannel & 1u) != 0;
}

exporting::StillImage stillFromRows(int width, int height, const uint8_t* rows, size_t strideBytes) {
    exporting::StillImage image;
    if (width <= 0 || height <= 0 || rows == nullptr) {
        return image;
    }
    const size_t rowBytes = size_t(width) * 3;
    image.width = width;
    image.height = height;
    image.bgr.resize(rowBytes * size_t(height));
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.bgr.data() + size_t(y) * rowBytes, rows + size_t(y) * strideBytes, rowBytes);
    }
    return image;
}

PlayerDocument::PlayerDocument(PlayerDocumentOptions options, DocumentWindow& window, ExportControl& exporter)
    : m_options(std::move(options)), m_window(window), m_exporter(exporter) {
    if (m_options.paced) {
        m_clock = std::make_unique<media::SteadyPlaybackClock>();
    } else {
        m_clock = std::make_unique<media::ManualPlaybackClock>();
    }
    media::PlaybackSink& sink = *this;
    m_engine =
        std::make_unique<PlayerEngine>(m_shared, sink, *m_clock, PlayerEngine::Options{m_options.paced});
    m_thread = std::make_unique<media::PlaybackThread>(m_shared, sink, *m_engine, *m_clock);
    m_pictures.setPaneSizedDecoding(m_options.decodeAhead);
    if (m_options.decodeAhead) {
        m_decodeAhead = std::make_unique<DecodeAhead>(m_pictures, m_handOff, m_shared);
        m_decodeAhead->setWake([this] { m_window.newsWaiting(); });
        m_engine->setBeforePause([this] { m_decodeAhead->flush(); });
    }
}

PlayerDocument::~PlayerDocument() {
    stopPlayback();
    m_sound.destroyOutputs();
}

// ---------------------------------------------------------------- the file

void PlayerDocument::closeFile() {
    stopPlayback();
    m_sourceDigest.stop();
    m_model.beginOpen();
    if (m_decodeAhead) {
        m_decodeAhead->dropAndWait();
    }
    m_pictures.clear();
    m_handOff.reset();
    // A skin switch the last file's pictures asked for and the window never took is forgotten with the
    // hand-off: the store's standard goes back to the window's, so that the next file's first picture
    // asks for the switch it needs.
    m_pictures.setPal(m_model.pal());
    m_startNotices.store(0);
    m_endNotices.store(0);
    m_scan.reset();
    m_path.clear();
    m_window.modelChanged();
}

bool PlayerDocument::open(const std::string& path, int skipIndex) {
    // The scan's or the sound's message box runs an event loop, which can bring a file handed over by a
    // second start: that one is opened once this open has finished (the newest, when several came),
    // never in the middle of it.
    if (m_opening) {
        m_openAfter = std::make_pair(path, skipIndex);
        return false;
    }
    m_opening = true;
    bool opened = openNow(path, skipIndex);
    m_opening = false;
    if (m_openAfter) {
        const auto [next, nextSkip] = *std::exchange(m_openAfter, std::nullopt);
        opened = open(next, nextSkip);
    }
    return opened;
}

bool PlayerDocument::openNow(const std::string& path, int skipIndex) {
    closeFile();
    ScanNotifier notifier(m_window);
    const media::ScanOutcome outcome = media::openAndScan(path, notifier);
    if (!outcome.ok()) {
        m_model.openFailed();
        m_window.modelChanged();
        return false;
    }
    m_scan = outcome.result;
    m_path = path;
    m_sourceDigest.start(m_path);
    if (!m_options.settingsPath.empty()) {
        RecentFiles(m_options.settingsPath).add(m_path);
    }
    m_channelCount.store(outcome.result.channelCount);
    m_model.fileOpened(outcome.result.channelCount, outcome.result.soundAvailable);
    m_model.setEndTimeValid(outcome.result.endTimeValid);
    m_sound.resetState();
    if (outcome.result.soundAvailable && !m_sound.createOutputs(m_options.audioFactory)) {
        m_window.showMessage(kAudioFailure, kAudioFailureCaption);
    }
    m_shared.sliderPosition.store(0);
    m_shared.skipIndex.store(skipIndex);
    m_window.modelChanged();
    startPlayback();
    return true;
}

void PlayerDocument::startPlayback() {
    // The thread starts by going to the start of the file; saying so before it runs keeps the window
    // from reading a stale pause meanwhile.
    m_shared.setMode(media::PlayMode::GoToStart);
    m_thread->start({m_path, m_scan->channelCount, m_scan->endOffset});
}

void PlayerDocument::stopPlayback() {
    m_sound.interrupt(true);
    m_thread->stop();
    m_sound.interrupt(false);
}

// ---------------------------------------------------------------- what the window shows

std::optional<NavigationState> PlayerDocument::shownNavigationState() const {
    return m_model.shownNavigationState(m_shared.mode() == media::PlayMode::Pause, m_shared.waiting.load());
}

void PlayerDocument::applySkin(bool pal, int originX, int originY) {
    m_model.setPal(pal);
    m_pictures.setPal(pal);
    m_model.setPictureOrigin(originX, originY);
    m_model.applyLayout(m_model.layout());
    m_shared.requestFlag.store(1);
}

void PlayerDocument::syncPlayback() {
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

// ---------------------------------------------------------------- input

void PlayerDocument::setMode(const std::optional<ModeRequest>& request) {
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

CommandEffects PlayerDocument::command(int id) {
    const CommandEffects effects = m_model.onCommand(id);
    setMode(effects.mode);
    if (effects.newPage) {
        m_shared.requestFlag.store(1);
    }
    return effects;
}

void PlayerDocument::spaceKey() {
    setMode(m_model.spaceKey(m_shared.mode()));
}

void PlayerDocument::arrowKey(bool right) {
    setMode(m_model.arrowKey(right));
}

void PlayerDocument::sliderReleased(int value) {
    m_shared.sliderPosition.store(value);
    const bool quad = frame::pictureKind(m_pictures.lastPictureFlags()) == frame::PictureKind::Quad;
    setMode(m_model.sliderReleased(quad));
}

bool PlayerDocument::setSoundOn(bool on) {
    const bool allowed =
        on ? m_model.soundSwitchUsable(m_sound.hasOutputs()) : m_model.soundControlsVisible();
    if (!allowed) {
        return false;
    }
    m_model.setSoundOn(on);
    m_shared.requestFlag.store(1);
    return true;
}

bool PlayerDocument::selectSoundChannel(int channel) {
    if (!m_model.soundOn()) {
        return false;
    }
    m_model.selectSoundChannel(channel);
    return true;
}

void PlayerDocument::pause() {
    setMode(m_model.navigationButton(control::kPause));
}

// ---------------------------------------------------------------- news from the playback thread

namespace {

// Takes one notice when one is waiting.
bool takeNotice(std::atomic<int>& notices) {
    int waiting = notices.load();
    while (waiting > 0) {
        if (notices.compare_exchange_weak(waiting, waiting - 1)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool PlayerDocument::startReached() {
    if (!takeNotice(m_startNotices)) {
        return false;
    }
    m_model.atStart();
    return true;
}

PlayerDocument::EndReached PlayerDocument::endReached() {
    if (!takeNotice(m_endNotices)) {
        return EndReached::Stale;
    }
    if (!m_model.atEnd()) {
        return EndReached::Shown;
    }
    m_shared.requestFlag.store(1);
    return EndReached::SoundSwitchedOff;
}

// ---------------------------------------------------------------- channel export

ExportOutcome PlayerDocument::startExport(ExportStart request) {
    const int channel = request.settings.channel;
    request.backupPath = m_path;
    request.sourceDigest = &m_sourceDigest;
    request.startTime = m_pictures.channelTime(channel);
    m_model.layoutButton(1);
    m_model.showChannel(channel);
    m_shared.requestFlag.store(1);
    syncPlayback();
    ExportOutcome started = m_exporter.start(request);
    if (!started.ok) {
        return started;
    }
    m_model.setExporting(true);
    if (m_shared.mode() == media::PlayMode::Pause) {
        setMode(m_model.navigationButton(control::kFPlay));
    }
    return started;
}

std::optional<PlayerDocument::ExportEnd> PlayerDocument::stopExport() {
    if (!m_exporter.active()) {
        return std::nullopt;
    }
    ExportEnd end;
    end.channel = m_exporter.channel();
    end.outcome = m_exporter.stop(m_pictures.channelTime(end.channel));
    m_model.setExporting(false);
    pause();
    return end;
}

// ---------------------------------------------------------------- image edit window

PlayerDocument::EditSnapshot PlayerDocument::editSnapshot(int width, int height, const uint8_t* rows,
                                                          size_t strideBytes) const {
    EditSnapshot snapshot;
    snapshot.channel = editChannel();
    snapshot.image = stillFromRows(width, height, rows, strideBytes);
    snapshot.time = m_pictures.channelTime(snapshot.channel);
    return snapshot;
}

// ---------------------------------------------------------------- the playback thread's calls

void PlayerDocument::drawPicture(const media::DeliveredPicture& delivered) {
    PictureRecord record = pictureRecord(delivered, m_channelCount.load());
    // An export takes the stored pictures at full size and in step with this thread.
    record.fullSize = m_exporter.channel() >= 0;
    if (m_decodeAhead && !record.fullSize) {
        m_decodeAhead->deliver(record, delivered.header->channelMask(), delivered.header->framesPerGroup());
        return;
    }
    if (m_decodeAhead) {
        m_decodeAhead->flush();
    }
    uint32_t stored = 0;
    const bool wake =
        m_handOff.pictureDelivered(m_pictures, record, delivered.header->channelMask(), &stored);
    // An export takes the pictures stored for its channel while playing forwards, each from a record after
    // the last one taken; it may wait for its writer, never for the window.
    const int64_t offset = int64_t(delivered.headerOffset);
    if (exportTakes(m_shared.mode(), m_exporter.channel(), stored) && m_exporter.admits(offset)) {
        m_exporter.offerStored(m_pictures, offset, evidence::sha256(delivered.codestream()));
    }
    if (wake) {
        m_window.newsWaiting();
    }
}

void PlayerDocument::soundBlock(std::span<const uint8_t> block, uint8_t channelMask, uint16_t, uint32_t) {
    media::splitSoundBlock(block, channelMask, m_soundChannels);
    m_sound.handOver({m_soundChannels.channel(0), m_soundChannels.channel(1), m_soundChannels.channel(2),
                      m_soundChannels.channel(3)},
                     m_shared.playMode);
}

void PlayerDocument::setSlider(int value) {
    if (m_handOff.sliderMoved(value)) {
        m_window.newsWaiting();
    }
}

void PlayerDocument::atStart() {
    m_startNotices.fetch_add(1);
    m_window.playbackAtStart();
}

void PlayerDocument::atEnd() {
    m_endNotices.fetch_add(1);
    m_window.playbackAtEnd();
}

void PlayerDocument::showMessage(std::string_view text) {
    m_window.playbackMessage(std::string(text));
}

}  // namespace dvr::player
