#pragma once

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/frame/DecodedPicture.h"
#include "common/skin/LanguageFile.h"
#include "common/skin/SkinButtonLogic.h"
#include "common/skin/SkinReader.h"
#include "common/skin/widgets/RepaintPacer.h"
#include "viewer/config/SettingsStore.h"
#include "viewer/link/ArpCache.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/live/LiveController.h"
#include "viewer/live/LiveLayout.h"
#include "viewer/live/widgets/LivePaneImages.h"

namespace dvr::skin {
class SkinButton;
}

namespace dvr::playback {
class DesktopServices;
class PlaybackFrame;
class PlaybackWindow;
}  // namespace dvr::playback

namespace dvr::live {

class ViewerNotifier;
class SocketNotifierTransport;
class LiveButtons;
class PlaybackHandOver;
class PlaybackShell;

// Where the view finds its files and which recorder it talks to.
struct ViewOptions {
    std::string programFolder;
    std::string settingsFilePath;             // the per-user settings file
    std::optional<std::string> hostOverride;  // recorder address for this run only
    std::optional<uint16_t> portOverride;     // recorder port for this run only
    link::ArpTable* arpTable = nullptr;       // ARP clean-up on every disconnect; none: skipped
    LiveTimers* timers = nullptr;             // none: the view's own Qt timers
    const LiveClock* clock = nullptr;         // none: the system's local time
    // Opens the folder of a snapshot or recording; none: folders are not opened.
    playback::DesktopServices* desktop = nullptr;
    // Live and playback pictures are decoded on a worker thread; false: on the window's thread.
    bool decodeOnWorker = true;
};

// The one view of the main window: the live skin with its buttons, the split-screen picture panes and the
// on-screen texts. It creates the socket the session runs on, forwards its input to the live controller
// and paints what the controller holds.
class VistrelView : public QWidget, public LiveScreen {
    Q_OBJECT
public:
    VistrelView(ViewOptions options, ViewerNotifier& notifier, QWidget* parent = nullptr);
    ~VistrelView() override;

    // The start-up sequence: session, skin, settings, font and text rectangles, background and buttons,
    // the 16-pane layout, full screen when set, and the view timers.
    void initialUpdate();

    // The size of the live skin (the main window's size); empty without a skin file.
    static QSize skinSize(const std::string& programFolder);

    // Buttons of the view, as the user presses them.
    void pressConnect() { m_controller->pressConnect(); }
    void pressDisconnect() { m_controller->pressDisconnect(); }
    // The exit sequence: timers stopped, settings saved, session disconnected and destroyed; then
    // exitFinished() asks the frame to close. Runs once.
    void exitProgram() { m_controller->exitProgram(); }

    // Decodes live and playback pictures on the view's worker thread (true) or on the window's thread,
    // from the next picture on; measurements compare the two in one run.
    void setDecodeOnWorker(bool on);
    bool decodeOnWorker() const { return m_decodeOnWorker; }

    // --- state for the window, tests and measurements ----------------------------------------------------
    LiveController& controller() { return *m_controller; }
    const LiveLayout& layout() const { return m_controller->layout(); }
    link::ConnectionState connectionState() const { return m_controller->connectionState(); }
    link::RecorderSession* session() { return m_controller->session(); }
    config::SettingsStore& settingsStore() { return m_controller->settingsStore(); }
    const skin::LanguageFile& language() const { return m_controller->language(); }
    bool fullScreenSetting() const { return m_controller->fullScreenSetting(); }
    // Pane rectangle of a channel in view coordinates (empty without a pane).
    QRect paneRect(int channel) const;
    // Whether the pane of a channel shows a picture drawn since the layout was last applied.
    bool paneHasPicture(int channel) const {
        return channel >= 0 && channel < kChannelCount && m_paneImages.hasPicture(channel);
    }
    // Pictures that reached at least one pane since start.
    uint64_t picturesShown() const { return m_controller->picturesShown(); }
    // The status line's text as it stands now, and as it was last painted.
    QString statusText() const;
    const QString& paintedStatusText() const { return m_paintedStatusText; }
    QString qualityText() const { return QString::fromStdString(m_controller->qualityText()); }
    bool speedControlsShown() const { return m_controller->speedControlsShown(); }
    int ptzChannel() const { return m_controller->ptzChannel(); }
    skin::SkinButton* button(int commandId) const;
    bool exiting() const { return m_controller->exiting(); }
    // The remote playback window and its link to this view (null before start-up and after exit).
    PlaybackHandOver* playback() const { return m_playback.get(); }
    playback::PlaybackWindow* playbackWindow() const;

    // --- LiveScreen --------------------------------------------------------------------------------------
    void repaint(uint32_t areas) override;
    using QWidget::repaint;
    void drawPane(const PaneDraw& draw, const frame::DecodedPicture& buffer) override;
    void bufferChanging(int bufferChannel, uint32_t redrawnPanes) override;
    void clearPanes() override;
    void buttonsChanged() override;
    void beep() override;
    void openAbout() override;
    void showMessage(const std::string& text, const std::string& caption) override;
    void setFullScreen(bool on) override { Q_EMIT fullScreenRequested(on); }
    void startDrag() override { Q_EMIT dragRequested(); }
    void closeWindow() override { Q_EMIT exitFinished(); }
    void sessionChanged(link::RecorderSession* session) override;
    void playbackRequested() override;
    void settingsRequested() override { openSetup(); }

Q_SIGNALS:
    // The exit sequence finished; the frame closes now.
    void exitFinished();
    // The user asked for the frame to follow the mouse (the drag was armed).
    void dragRequested();
    // Full screen for the live view switched on or off.
    void fullScreenRequested(bool on);
    // The playback window took the screen over (true) or gave it back (false): the main window hides or
    // shows.
    void playbackShown(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The setup dialog, modal; on OK the controller applies what changed.
    void openSetup();
    void createPlayback();
    void destroyPlayback();

    ViewOptions m_options;
    ViewerNotifier& m_notifier;
    // The message in the box shown now, and the one asked for while it is shown.
    std::optional<std::pair<std::string, std::string>> m_messageShown;
    std::optional<std::pair<std::string, std::string>> m_messageWaiting;
    skin::SkinReader m_skin;
    SocketNotifierTransport* m_transport = nullptr;
    std::unique_ptr<LiveTimers> m_ownTimers;
    SystemClock m_systemClock;
    // Before the controller and the playback: they use the worker until they are gone.
    std::unique_ptr<frame::TaskPoster> m_poster;
    std::unique_ptr<frame::DecodeWorker> m_decodeWorker;
    bool m_decodeOnWorker = false;
    std::unique_ptr<LiveController> m_controller;
    std::unique_ptr<playback::PlaybackFrame> m_playbackFrame;
    std::unique_ptr<PlaybackShell> m_playbackShell;
    std::unique_ptr<PlaybackHandOver> m_playback;

    // Repaints after pictures, at most once per display period.
    skin::RepaintPacer m_repaints{*this};
    LivePaneImages m_paneImages{[this](const QRect& pane) { m_repaints.update(pane); }};

    QImage m_background;
    QImage m_logo;
    QFont m_font;
    QRect m_liveSkinRect, m_overlayRect, m_logoRect;
    QRect m_dateRect, m_timeRect, m_statusRect, m_qualityRect, m_recordRect, m_playRect, m_frameRect;
    QRect m_ptzChannelRect, m_speedValueRect;
    QString m_paintedStatusText;
    bool m_started = false;

    std::unique_ptr<LiveButtons> m_buttons;
    quint32 m_ptzKeyScanCode = 0;  // the scan code of the move key that went down last
};

}  // namespace dvr::live
