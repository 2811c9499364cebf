// The remote playback window: the playback skin, its buttons and time slider,
// the picture panes and the time and status texts. It forwards every click,
// scroll and timer to the PlaybackController and paints what the controller
// and its layout say; it keeps only the sixteen picture buffers.
#pragma once

#include "common/frame/DecodedPicture.h"
#include "common/frame/FrameHeader.h"
#include "common/skin/LanguageFile.h"
#include "common/skin/SkinKeys.h"
#include "common/skin/SkinReader.h"
#include "common/skin/widgets/RepaintPacer.h"
#include "viewer/playback/PlaybackCommandIds.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/widgets/EventListDialog.h"
#include "viewer/playback/widgets/PaneImageCache.h"
#include "viewer/playback/widgets/PlaybackExporter.h"

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <array>
#include <map>
#include <memory>
#include <string>

namespace dvr::skin {
class DateCalendar;
class SkinButton;
class ViewerSlider;
}  // namespace dvr::skin

namespace dvr::playback {

class PlaybackWindow : public QWidget, public PlaybackView {
    Q_OBJECT
public:
    // `programFolder` holds ini/res.ini and the skin's bitmaps.
    PlaybackWindow(PlaybackController& controller, const std::string& programFolder,
                   QWidget* parent = nullptr);
    ~PlaybackWindow() override;

    // A decoded picture the session handed over: copied into its base
    // channel's buffer and drawn into the panes the controller named.
    void showPicture(int channel, const frame::FrameHeader& header, const frame::DecodedPicture& picture,
                     const PaneDrawList& draws);
    // Brings buttons, slider, timers and texts up to the controller's state
    // (after calls that did not come through this window).
    void refresh();
    // The same, once, after the current call has returned to the event loop (for the session's calls,
    // which may come once per picture).
    void refreshLater();
    // A picture was just handed to the decode worker: a due repaint is made now, while it decodes.
    void decodeStarted() { m_repaints.decodeStarted(); }
    // The window manager asked to close the window (title bar, Alt+F4, log-out): it is EXIT, which
    // pauses a play first and else goes back to the live view.
    void closeAsked();
    // Whether the "%02d FPS" text is drawn (the frame-rate option of opt.ini).
    void setFrameRateShown(bool shown) { m_frameRateShown = shown; }
    // The pictures drawn during the last whole second.
    int framesPerSecond() const { return m_framesPerSecond; }
    // Full screen: no dragging.
    void setFullScreen(bool on) { m_fullScreen = on; }
    // Pictures drawn since the window was created.
    quint64 picturesShown() const { return m_picturesShown; }

    // The file the session keeps the event list in (by default the program folder's).
    void setEventFile(std::string path) { m_eventFile = std::move(path); }
    const std::string& eventFile() const { return m_eventFile; }
    // The event button: while paused and not busy, asks for the recorder's list, shows the dialog
    // (with the stored list at once when there is one) and keeps the window busy until it closes.
    void showEventList();
    // The session stored a new event list: an open dialog shows it.
    void eventListArrived();
    // The open event list dialog, or null.
    EventListDialog* eventDialog() const { return m_eventDialog; }

    // Presses a control as a click would (for the program and tests).
    void press(int commandId);
    skin::SkinButton* button(int commandId) const;
    QRect paneRect(int channel) const;
    // The picture area all panes lie in.
    QRect pictureArea() const { return m_area; }
    const QImage& buffer(int baseChannel) const { return m_buffers[size_t(baseChannel)]; }
    bool idleTimerActive() const { return m_idleTimer.isActive(); }
    skin::DateCalendar* calendar() const { return m_calendar; }
    // Save, Print and AVI recording of the picture area.
    PlaybackExporter& exporter() { return *m_exporter; }
    void setExportSetup(ExportSetup setup) { m_exporter->setSetup(std::move(setup)); }

    // PlaybackView
    void panesCleared() override;
    void showMessage(const link::MessageText& message) override;
    void windowClosed() override;
    void pausing() override;
    void pictureAreaChanged() override { update(m_area); }

Q_SIGNALS:
    // The window closed; the live view takes over again.
    void closed();
    // A message box to show: text and caption (language texts).
    void messageRequested(const QString& text, const QString& caption);
    // A left press asked the window to follow the mouse.
    void dragRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void makeButton(const skin::SkinButtonKeys& keys);
    void onCommand(int commandId);
    void syncButtons();
    void syncTimers();
    QString text(const char* key) const;
    // After the pictures shown since the last call: their panes' repaints, and the texts.
    void afterPictures();
    // Asks for a paced repaint of each changing text whose words differ from the ones last drawn.
    void repaintChangedTexts();
    void drawPane(QPainter& painter, const PaneDraw& draw) const;

    PlaybackController& m_controller;
    skin::LanguageFile m_language;
    skin::SkinReader m_skin;
    QImage m_background;
    QFont m_font;
    QRect m_area;
    QRect m_clockRect, m_startTextRect, m_startRect, m_endTextRect, m_endRect, m_requestTextRect,
        m_requestRect;
    QRect m_recordTextRect, m_recordRect, m_playTextRect, m_playRect, m_qualityRect, m_statusRect;
    QRect m_frameRect;
    QImage m_logo;
    bool m_frameRateShown = false;
    bool m_fullScreen = false;
    bool m_refreshPending = false;
    // The panes of the pictures shown whose scaling and repaint are still to be asked for.
    PaneDrawList m_afterPicture;
    bool m_afterPicturePending = false;
    int m_framesThisSecond = 0;
    int m_framesPerSecond = 0;
    quint64 m_picturesShown = 0;
    QTimer m_frameTimer;
    std::map<int, skin::SkinButton*> m_buttons;
    skin::ViewerSlider* m_slider = nullptr;
    skin::DateCalendar* m_calendar = nullptr;
    QTimer m_idleTimer;
    QTimer m_rangeTimer;
    std::array<QImage, kPaneCount> m_buffers;
    // Each pane's picture at its size, scaled at the first paint that shows it and copied by the next
    // ones (drawing is const). A picture that no paint shows is never scaled.
    mutable PaneImageCache m_paneImages;
    // The texts that change while playing (clock, start, end, request, positions, quality, status), as
    // last asked to be repainted; only a text that changed is drawn again.
    static constexpr size_t kChangingTexts = 8;
    std::array<std::string, kChangingTexts> m_changingTexts;
    // Repaints after pictures, at most once per display period.
    skin::RepaintPacer m_repaints{*this};
    std::unique_ptr<PlaybackExporter> m_exporter;
    std::string m_eventFile;
    QPointer<EventListDialog> m_eventDialog;
};

}  // namespace dvr::playback
