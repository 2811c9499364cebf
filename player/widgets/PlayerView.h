#pragma once

#include <QPoint>
#include <QRegion>
#include <QTime>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/skin/PlayerSkinReader.h"
#include "common/skin/ProgramFiles.h"
#include "common/skin/SkinNotifier.h"
#include "common/skin/widgets/SkinSurface.h"
#include "player/backup/ChannelCapture.h"
#include "player/view/PlayerDocument.h"
#include "player/widgets/StillPrinter.h"

namespace dvr::exporting {
class StampPainter;
}

namespace dvr::player {

class BackupWindow;
class EditWindow;
class PlayerControls;
class PlayerPainter;

// The Discoro window: one borderless skinned window with the picture area of up to 16 channel panes and
// every control of the player. It forwards its events to the document and paints what the document
// holds; the playback thread reaches it only through queued calls.
class PlayerView : public skin::SkinSurface, private DocumentWindow {
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
        // Pictures are decoded at their panes' size on worker threads ahead of the drawing; off, every
        // picture is decoded at full size on the playback thread (benchmarks compare the two).
        bool decodeAhead = true;
        // Prints the image edit window's page; nullptr shows the print dialog.
        StillPrinter* printer = nullptr;
        // Shows a folder in the system's file browser after an export; empty shows nothing.
        std::function<void(const std::string&)> openFolder;
        // The time of day the window's clock shows; empty reads the system clock.
        std::function<QTime()> timeOfDay;
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

    const PlayerViewModel& model() const { return m_document.model(); }
    const PlayerPictures& pictures() const { return m_document.pictures(); }
    media::PlaybackShared& shared() { return m_document.shared(); }
    const PlayerSound& sound() const { return m_document.sound(); }
    // Pictures stored since the file was opened.
    uint64_t storedPictures() const { return m_document.storedPictures(); }
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
    // DocumentWindow
    void modelChanged() override;
    void showMessage(const std::string& text, const std::string& caption) override;
    void newsWaiting() override;
    void playbackAtStart() override;
    void playbackAtEnd() override;
    void playbackMessage(const std::string& text) override;

    void applySkin(bool pal);
    void applyModel();
    void showNavigationState();
    void onCommand(int id);
    void layoutChanged();
    // The playback thread's news, start and end, on the window thread.
    void picturesArrived();
    void startReached();
    void endReached();
    void openWithDialog();
    void exitProgram();
    skin::ProgramFiles programFiles() const;
    QRect skinRect(const char* section, const char* key) const;

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

    Options m_options;
    bool m_created = false;
    std::unique_ptr<skin::PlayerSkinReader> m_skin;
    std::unique_ptr<skin::SkinNotifier> m_ownNotifier;
    skin::SkinNotifier* m_notifier = nullptr;

    // Declared before the exporter and the edit window, which read the file's digest it keeps, so that
    // it outlives them; it reaches the exporter only while playback runs.
    PlayerDocument m_document;
    std::unique_ptr<PlayerPainter> m_painter;
    std::unique_ptr<PlayerControls> m_controls;
    std::optional<NavigationState> m_shownState;
    QRegion m_paintRegion;
    uint64_t m_paintedFrames = 0;
    QTimer m_secondTimer;
    // Polls the delay wait of the playback thread, which shows as PAUSE.
    QTimer m_stateTimer;
    QPoint m_dragOffset;
    bool m_dragging = false;

    BackupWindow* m_backupWindow = nullptr;
    // The stamp painter outlives the export whose writer thread draws with it.
    std::unique_ptr<exporting::StampPainter> m_stamper;
    ChannelCapture m_exporter;
    std::unique_ptr<EditWindow> m_editWindow;
    DialogStillPrinter m_dialogPrinter;
};

}  // namespace dvr::player
