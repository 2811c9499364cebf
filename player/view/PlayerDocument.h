// The open backup file and everything that plays it, without a toolkit: the opening scan, the playback
// thread with its engine and clock, the picture store and the hand-off from the playback thread, the
// sound outputs, the file's digest for the manifests, the window's model, and the export and edit
// snapshot taken from what is shown. The window forwards its events here and paints what the document
// holds; the playback thread's calls reach the window only through DocumentWindow.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/evidence/SourceDigest.h"
#include "common/export/StillImage.h"
#include "common/frame/DateTime.h"
#include "player/audio/PlayerSound.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackShared.h"
#include "player/media/PlaybackSink.h"
#include "player/media/PlaybackThread.h"
#include "player/view/DecodeAhead.h"
#include "player/view/ExportControl.h"
#include "player/view/PlaybackHandOff.h"
#include "player/view/PlayerPictures.h"
#include "player/view/PlayerViewModel.h"

namespace dvr::player {

// What the document asks of the window showing it.
class DocumentWindow {
public:
    virtual ~DocumentWindow() = default;

    // --- window thread
    // The model changed under the window (a file closed or opened): show it again.
    virtual void modelChanged() = 0;
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;

    // --- playback thread: the window passes these on to its own thread, never waiting for it
    // News waits in the hand-off (take it with takeNews()); one call until it is taken.
    virtual void newsWaiting() = 0;
    // Playback reached the start (backward) or the end (forward) of the file.
    virtual void playbackAtStart() = 0;
    virtual void playbackAtEnd() = 0;
    // A message of the playback thread, shown with the program's title.
    virtual void playbackMessage(const std::string& text) = 0;
};

// The picture record of a picture the playback thread delivers, for a file of channelCount channels.
PictureRecord pictureRecord(const media::DeliveredPicture& delivered, int channelCount);

// Whether a running export of exportedChannel (-1: none) takes the picture just stored for the channels
// storedChannels (bit c = channel c): only while playing forwards, never the picture shown again at the
// end, a step back or backward play.
bool exportTakes(media::PlayMode mode, int exportedChannel, uint32_t storedChannels);

// Rows of B, G, R bytes, strideBytes apart, as one still picture without row padding.
exporting::StillImage stillFromRows(int width, int height, const uint8_t* rows, size_t strideBytes);

struct PlayerDocumentOptions {
    // Unpaced playback reads every record in turn without waiting (benchmarks, tests).
    bool paced = true;
    // Pictures are decoded at their panes' size on worker threads ahead of the drawing; off, every
    // picture is decoded at full size on the playback thread (benchmarks compare the two).
    bool decodeAhead = true;
    // Opens the sound device of each sound output.
    AudioDeviceFactory audioFactory;
    // Per-user settings file keeping the recently opened files; empty keeps none.
    std::string settingsPath;
};

class PlayerDocument final : private media::PlaybackSink {
public:
    PlayerDocument(PlayerDocumentOptions options, DocumentWindow& window, ExportControl& exporter);
    ~PlayerDocument() override;
    PlayerDocument(const PlayerDocument&) = delete;
    PlayerDocument& operator=(const PlayerDocument&) = delete;

    // --- the file
    // Closes the current file (playback stopped, its digest, pictures and news forgotten, the model
    // without a file, shown), then scans `path`. A refused file leaves no file open (false; the scan has
    // said why). An accepted one is added to the recent files, its digest started, its sound outputs
    // prepared (a failure reported, play goes on without sound), the model shown, and playback starts at
    // the start of the file with the skip list's entry skipIndex.
    bool open(const std::string& path, int skipIndex);
    // Stops the playback thread (a sound output waiting for room lets go first).
    void stopPlayback();
    bool fileOpen() const { return m_scan.has_value(); }
    const std::string& path() const { return m_path; }
    const std::optional<media::ScanResult>& scan() const { return m_scan; }
    const evidence::SourceDigest& sourceDigest() const { return m_sourceDigest; }

    // --- what the window shows
    PlayerViewModel& model() { return m_model; }
    const PlayerViewModel& model() const { return m_model; }
    PlayerPictures& pictures() { return m_pictures; }
    const PlayerPictures& pictures() const { return m_pictures; }
    media::PlaybackShared& shared() { return m_shared; }
    const PlayerSound& sound() const { return m_sound; }
    PlayerSound& sound() { return m_sound; }
    uint64_t storedPictures() const { return m_handOff.storedPictures(); }
    // The navigation state indicator to light now.
    std::optional<NavigationState> shownNavigationState() const;
    // The skin's standard and the picture area's origin: panes laid out again, the page drawn anew.
    void applySkin(bool pal, int originX, int originY);
    // Hands the model's page, speed, delay and sound choices to the picture store, the sound outputs and
    // the playback thread. The window calls it whenever it shows the model.
    void syncPlayback();

    // --- input
    // A control's command: a play mode or a new page goes to the playback thread here; the window shows
    // the model again and opens what the effects name.
    CommandEffects command(int id);
    void spaceKey();
    void arrowKey(bool right);
    void sliderReleased(int value);
    // The sound switch: false when it may not change now (not shown, or no sound device to switch on).
    bool setSoundOn(bool on);
    // A sound channel check (1 to 4), taken only while sound is on.
    bool selectSoundChannel(int channel);
    // Pauses playback as PAUSE does.
    void pause();
    // Sets the mode a key, button or slider asked for.
    void setMode(const std::optional<ModeRequest>& request);

    // --- news from the playback thread, on the window thread
    // Takes the hand-off's news: the window applies a skin switch it names, then the model's
    // playbackNews(), then repaints the panes it names.
    PlaybackHandOff::Update takeNews() { return m_handOff.take(); }
    // Playback reached the start or the end (after playbackAtStart/playbackAtEnd). A notice the playback
    // thread of a file closed since sent is stale: it changes nothing. startReached is true when its model
    // change wants showing.
    bool startReached();
    enum class EndReached {
        Stale,             // from a file closed since: nothing changed
        Shown,             // the controls follow the end
        SoundSwitchedOff,  // besides, sound went off: a new page
    };
    EndReached endReached();

    // --- channel export
    // Starts an export of request.settings.channel from the picture on screen: the request gets the file,
    // its digest and the channel's time on screen as start time; the channel's single pane is shown (so
    // that its every picture is decoded and drawn, even before one was seen), the pane controls lock and
    // paused playback plays forwards. A failed start leaves the export off with the reason.
    ExportOutcome startExport(ExportStart request);
    struct ExportEnd {
        ExportOutcome outcome;
        int channel = -1;
    };
    // Ends a running export with the time of its channel's picture on screen as end time, unlocks the
    // pane controls and pauses; nothing when no export runs.
    std::optional<ExportEnd> stopExport();

    // --- image edit window
    // The picture the edit window takes: the shown pane of the first channel as rendered (rows of B, G,
    // R bytes), with the channel and its record time.
    struct EditSnapshot {
        exporting::StillImage image;
        int channel = 0;
        std::optional<DateTime> time;
    };
    int editChannel() const { return m_model.firstChannel(); }
    EditSnapshot editSnapshot(int width, int height, const uint8_t* rows, size_t strideBytes) const;

private:
    bool openNow(const std::string& path, int skipIndex);
    // media::PlaybackSink, called on the playback thread.
    void drawPicture(const media::DeliveredPicture& delivered) override;
    void soundBlock(std::span<const uint8_t> block, uint8_t channelMask, uint16_t parameter,
                    uint32_t soundType) override;
    void setSlider(int value) override;
    void atStart() override;
    void atEnd() override;
    void showMessage(std::string_view text) override;

    void closeFile();
    void startPlayback();

    PlayerDocumentOptions m_options;
    DocumentWindow& m_window;
    ExportControl& m_exporter;

    PlayerViewModel m_model;
    PlayerPictures m_pictures;
    PlaybackHandOff m_handOff;
    // Start and end notices the playback thread sent and the window has not taken yet; a close forgets
    // them, so a notice of the file before finds none.
    std::atomic<int> m_startNotices{0};
    std::atomic<int> m_endNotices{0};
    // After the pictures and the hand-off it stores into, so that its workers end first.
    std::unique_ptr<DecodeAhead> m_decodeAhead;
    PlayerSound m_sound;
    media::PlaybackShared m_shared;
    // Playback thread only: the sound block split into channels.
    media::SoundChannels m_soundChannels;
    std::atomic<int> m_channelCount{16};
    std::unique_ptr<media::PlaybackClock> m_clock;
    std::unique_ptr<PlayerEngine> m_engine;
    std::unique_ptr<media::PlaybackThread> m_thread;

    std::string m_path;
    bool m_opening = false;                                  // open() runs (its message box may be up)
    std::optional<std::pair<std::string, int>> m_openAfter;  // a file handed over meanwhile, opened after
    std::optional<media::ScanResult> m_scan;
    // The open file's digest for the manifests, worked out from the moment it is opened.
    evidence::SourceDigest m_sourceDigest;
};

}  // namespace dvr::player
