#pragma once

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/skin/PlayerSkinReader.h"
#include "common/skin/ProgramFiles.h"
#include "common/skin/SkinNotifier.h"
#include "common/skin/widgets/SkinSurface.h"
#include "player/audio/PlayerSound.h"
#include "player/backup/ChannelCapture.h"
#include "player/engine/PlayerEngine.h"
#include "player/media/BackupScan.h"
#include "player/media/PlaybackClock.h"
#include "player/media/PlaybackShared.h"
#include "player/media/PlaybackSink.h"
#include "player/media/PlaybackThread.h"
#include "player/view/PlaybackHandOff.h"
#include "player/view/PlayerPictures.h"
#include "player/view/PlayerViewModel.h"
#include "player/widgets/StillPrinter.h"

class QCheckBox;
class QComboBox;

namespace dvr::skin {
class SkinButton;
}

namespace dvr::exporting {
class StampPainter;
}

namespace dvr::player {

class BackupWindow;
class EditWindow;
class PositionSlider;

// The Discoro window: one borderless skinned window with the picture area of up to 16
// channel panes and every control of the player. The playback thread hands pictures,
// sound and positions over through the playback sink; it never touches a widget: pictures
// go into the shared per-channel store and everything else reaches this window as queued
// calls.
class PlayerView : public skin::SkinSurface {
    Q_OBJECT
public:
    struct Options {
        std::string programFolder;
        // Per-user folder taking the stored INFO values when the program folder is read-only;
        // empty keeps them in the program folder's res.ini only.
        std::string userFolder;
        // Where messages go; nullptr shows message boxes.
        skin::SkinNotifier* notifier = nullptr;
        // Opens the sound device; empty uses SDL.
        AudioDeviceFactory audioFactory;
        // Per-user settings file keeping the recently opened files; empty keeps none.
        std::string settingsPath;
        // Unpaced playback reads every record in turn without waiting (benchmarks).
        bool paced = true;
        // Prints the image edit window's page; nullptr shows the print dialog.
        StillPrinter* printer = nullptr;
        // Shows a folder in the system's file browser after an export; empty shows nothing.
        std::function<void(const std::string&)> openFolder;
    };

    // The window, sized and laid out from the skin file in the program folder. Check
    // created() before showing it: without a main window position it is not created.
    explicit PlayerView(Options options);
    ~PlayerView() override;

    bool created() const { return m_created; }
    // Opens a backup file, as the OPEN button does after its dialog. False when the scan
    // refused it.
    bool openFile(const QString& path);
    // Opens a file handed over by a second start, unless the backup or image edit window is open:
    // then it says why and keeps the current file.
    void openHandedFile(const QString& path);
    // Presses a control as the user would (navigation, layout, page, channel, speed, delay,
    // sound and exit buttons).
    void pressControl(int id);
    void setSoundOn(bool on);
    void selectSoundChannel(int channel);

    const PlayerViewModel& model() const { return m_model; }
    const PlayerPictures& pictures() const { return m_pictures; }
    media::PlaybackShared& shared() { return m_shared; }
    const PlayerSound& sound() const { return m_sound; }
    // Pictures stored since the file was opened.
    uint64_t storedPictures() const { return m_handOff.storedPictures(); }
    // The navigation state indicator lit (none without a file).
    std::optional<NavigationState> shownNavigationState() const { return m_shownState; }
    // Rendered frames painted since the file was opened.
    uint64_t paintedFrames() const { return m_paintedFrames; }
    QRect pictureArea() const;
    bool controlEnabled(int id) const;
    // The image edit window while it is shown, the backup window once created (else nullptr).
    EditWindow* editWindow() const { return m_editWindow.get(); }
    BackupWindow* backupWindow() const { return m_backupWindow; }
    const ChannelCapture& exporter() const { return m_exporter; }

Q_SIGNALS:
    // Playback reached the end (forward) or the start (backward) of the file.
    void reachedEnd();
    void reachedStart();

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintBackground(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    class Sink;
    friend class Sink;

    void loadSkin();
    void createControls();
    skin::SkinButton* addButton(const char* section, const char* posSection, const char* posKey, int id);
    void applySkin(bool pal);
    void applyModel();
    void showNavigationState();
    void onCommand(int id);
    void onSliderReleased(int value);
    void onSoundToggled(bool on);
    void onSecondTimer();
    void openWithDialog();
    void setMode(const std::optional<ModeRequest>& request);
    void startPlayback();
    void stopPlayback();
    void layoutChanged();
    void showMessage(const std::string& text, const std::string& caption);

    // The backup window and the export it drives.
    void toggleBackupWindow();
    void closeBackupWindow();
    void startExport(const ExportSettings& settings);
    void stopExport();
    void exportFailed();
    void pause();
    // The image edit window.
    void openEditWindow();
    void closeEditWindow();

    // Called on the window thread through queued calls from the playback thread.
    void picturesArrived();
    void playbackAtStart();
    void playbackAtEnd();

    void paintPanes(QPainter& painter);
    void paintPane(QPainter& painter, int channel, const PaneRect& pane);
    void paintTimeInfo(QPainter& painter);
    skin::ProgramFiles programFiles() const;
    QRect skinRect(const char* section, const char* key) const;

    Options m_options;
    bool m_created = false;
    std::unique_ptr<skin::PlayerSkinReader> m_skin;
    std::unique_ptr<skin::SkinNotifier> m_ownNotifier;
    skin::SkinNotifier* m_notifier = nullptr;
    int m_tooltipOn = 0;

    PlayerViewModel m_model;
    PlayerPictures m_pictures;
    PlayerSound m_sound;
    media::PlaybackShared m_shared;
    std::unique_ptr<media::PlaybackClock> m_clock;
    std::unique_ptr<Sink> m_sink;
    std::unique_ptr<PlayerEngine> m_engine;
    std::unique_ptr<media::PlaybackThread> m_thread;

    std::string m_path;
    // The open file's digest for the manifests, worked out from the moment it is opened; declared before
    // the exporter and the edit window, which read it, so that it outlives them.
    evidence::SourceDigest m_sourceDigest;
    std::optional<media::ScanResult> m_scan;
    std::atomic<int> m_channelCount{16};
    PlaybackHandOff m_handOff;
    std::optional<NavigationState> m_shownState;
    QRegion m_paintRegion;
    uint64_t m_paintedFrames = 0;

    QImage m_ntscSkin;
    QImage m_palSkin;
    QImage m_logo;
    QImage m_overlay;
    QImage m_time;
    QImage m_navigation;
    QImage m_audio;
    std::array<QImage, 10> m_digits;
    QImage m_colon;
    QImage m_am;
    QImage m_pm;
    QRect m_logoRect;
    QRect m_overlayRect;
    QRect m_audioRect;
    QRect m_windowRect;

    std::map<int, skin::SkinButton*> m_buttons;
    std::array<skin::SkinButton*, 7> m_stateIndicators{};
    PositionSlider* m_slider = nullptr;
    QLabel* m_speedValue = nullptr;
    QLabel* m_delayValue = nullptr;
    QLabel* m_pageValue = nullptr;
    QCheckBox* m_soundOn = nullptr;
    std::array<QCheckBox*, 4> m_soundChannels{};
    QComboBox* m_skipList = nullptr;
    QTimer m_secondTimer;
    // Polls the delay wait of the playback thread, which shows as PAUSE.
    QTimer m_stateTimer;
    QPoint m_dragOffset;
    bool m_dragging = false;
    bool m_applying = false;

    BackupWindow* m_backupWindow = nullptr;
    // The stamp painter outlives the export whose writer thread draws with it.
    std::unique_ptr<exporting::StampPainter> m_stamper;
    ChannelCapture m_exporter;
    std::unique_ptr<EditWindow> m_editWindow;
    DialogStillPrinter m_dialogPrinter;
};

}  // namespace dvr::player
