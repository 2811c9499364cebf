#pragma once

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/frame/DecodedPicture.h"
#include "common/frame/FormatText.h"
#include "common/skin/LanguageFile.h"
#include "common/skin/SkinReader.h"
#include "common/skin/widgets/SkinButtonLogic.h"
#include "viewer/config/SettingsStore.h"
#include "viewer/link/ArpCache.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/SessionHost.h"
#include "viewer/live/LiveLayout.h"

namespace dvr::skin {
class SkinButton;
}

namespace dvr::live {

class ViewerNotifier;
class SocketNotifierTransport;

// Where the view finds its files and which recorder it talks to.
struct ViewOptions {
    std::string programFolder;
    std::string settingsFilePath;             // the per-user settings file
    std::optional<std::string> hostOverride;  // recorder address for this run only
    std::optional<uint16_t> portOverride;     // recorder port for this run only
    link::ArpTable* arpTable = nullptr;       // ARP clean-up on every disconnect; none: skipped
};

// The one view of the main window: the live skin with its buttons, the split-screen picture panes and the
// on-screen texts. It owns the recorder session (through a socket watched by notifiers), the sixteen
// picture buffers and the layout model, and is the session's host.
class VistrelView : public QWidget, public link::SessionHost {
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
    void pressConnect();
    void pressDisconnect();
    // The exit sequence: timers stopped, settings saved, session disconnected and destroyed; then
    // exitFinished() asks the frame to close. Runs once.
    void exitProgram();

    // --- state for the window, tests and measurements ----------------------------------------------------
    const LiveLayout& layout() const { return m_layout; }
    link::ConnectionState connectionState() const { return m_state; }
    link::RecorderSession* session() { return m_session.get(); }
    SettingsStore& settingsStore() { return m_settings; }
    const LanguageFile& language() const { return m_language; }
    bool fullScreenSetting() const { return m_settings.settings().fullScreen != 0; }
    // Pane rectangle of a channel in view coordinates (empty without a pane).
    QRect paneRect(int channel) const;
    // Whether the pane of a channel shows a picture drawn since the layout was last applied.
    bool paneHasPicture(int channel) const {
        return channel >= 0 && channel < kChannelCount && !m_paneImages[size_t(channel)].isNull();
    }
    // Pictures that reached at least one pane since start.
    uint64_t picturesShown() const { return m_picturesShown; }
    const QString& statusText() const { return m_statusText; }
    const QString& qualityText() const { return m_qualityText; }
    bool speedControlsShown() const { return m_speedControlsShown; }
    int ptzChannel() const { return m_ptzChannel; }
    skin::SkinButton* button(int commandId) const;
    bool exiting() const { return m_exiting; }

    // --- link::SessionHost ----------------------------------------------------------------------------
    void setConnectionState(link::ConnectionState state) override;
    void setKeyLock(bool locked) override { m_keyLock = locked; }
    void toggleActivity(link::ActivityTarget target) override;
    void activityOff() override;
    void runViewDisconnect(link::DisconnectReason reason) override;
    void setWatchdogRunning(bool running) override;
    void livePositions(uint32_t playMillionths, uint32_t recordMillionths) override;
    void liveFormatChanged(uint32_t pictureFlags, uint32_t videoStandard) override;
    void livePicture(int channel, const frame::FrameHeader& header,
                     const frame::DecodedPicture& picture) override;
    void afterLivePicture() override;
    void showMessage(const link::MessageText& message) override;

Q_SIGNALS:
    // The exit sequence finished; the frame closes now.
    void exitFinished();
    // The user asked for the frame to follow the mouse (the drag was armed).
    void dragRequested();
    // Full screen for the live view switched on or off.
    void fullScreenRequested(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void createButtons();
    skin::SkinButton* makeButton(const char* section, const char* positionSection, const char* positionKey,
                                 int commandId, skin::ButtonKind kind);
    void onCommand(int commandId);
    void onHold(quint32 value, int state);
    void onClockTick();
    void openAbout();

    void applyResult(const LayoutResult& result);
    void layoutChanged();
    void syncButtons();
    void pushRequestValues();
    void resetLiveState();
    void clearPictureBuffers();
    void updateClockTexts();
    void drawStatus(int statusType);
    void syncSpeedControls();
    void drawPane(const PaneDraw& draw);
    QString languageText(std::string_view section, std::string_view key, std::string_view fallback) const;

    ViewOptions m_options;
    ViewerNotifier& m_notifier;
    LanguageFile m_language;
    SkinReader m_skin;
    SettingsStore m_settings;
    SocketNotifierTransport* m_transport = nullptr;
    std::unique_ptr<link::RecorderSession> m_session;

    LiveLayout m_layout;
    frame::FormatText m_quality{frame::FormatTextStyle::Live};
    std::vector<frame::DecodedPicture> m_buffers;
    std::array<QImage, kChannelCount> m_paneImages;

    QImage m_background;
    QImage m_logo;
    QFont m_font;
    QRect m_liveSkinRect, m_overlayRect, m_logoRect;
    QRect m_dateRect, m_timeRect, m_statusRect, m_qualityRect, m_recordRect, m_playRect, m_frameRect;
    QRect m_ptzChannelRect, m_speedValueRect;

    link::ConnectionState m_state = link::ConnectionState::Waiting;
    bool m_keyLock = false;
    bool m_started = false;
    bool m_exiting = false;
    bool m_dragArmed = true;
    bool m_activityShown = false;
    bool m_speedControlsShown = true;
    int m_ptzChannel = 0;
    uint64_t m_picturesShown = 0;

    QString m_dateText, m_timeText, m_frameText, m_statusText, m_qualityText, m_recordText, m_playText;

    std::vector<skin::SkinButton*> m_buttons;
    std::array<skin::SkinButton*, kModeButtonCount> m_modeButtons{};
    std::array<skin::SkinButton*, kChannelCount> m_channelButtons{};

    QTimer m_clockTimer;
    QTimer m_dragTimer;
    QTimer m_watchdogTimer;
};

}  // namespace dvr::live
