#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QTime>
#include <array>
#include <functional>
#include <utility>

#include "common/skin/PlayerSkinReader.h"
#include "player/view/PlayerDocument.h"

class QPainter;

namespace dvr::player {

// Paints the Discoro window under its controls from the skin's images: the logo, overlay and audio
// area, every pane of the page with its picture and texts, the file's time information, the time played
// and the system clock.
class PlayerPainter {
public:
    // The images and places of the skin; false (nothing loaded) without a main window position.
    bool load(const skin::PlayerSkinReader& skin);
    // The time of day the clock shows; the system clock until set.
    void setTimeOfDay(std::function<QTime()> timeOfDay) { m_timeOfDay = std::move(timeOfDay); }

    QRect windowRect() const { return m_windowRect; }
    QRect logoRect() const { return m_logoRect; }
    QRect audioRect() const { return m_audioRect; }
    // The window's background for the skin's standard.
    const QImage& background(bool pal) const { return pal ? m_palSkin : m_ntscSkin; }

    // Paints what lies under the controls; panes outside `region` keep what they show.
    void paint(QPainter& painter, const QRegion& region, const PlayerDocument& document) const;

private:
    void paintPanes(QPainter& painter, const QRegion& region, const PlayerDocument& document) const;
    void paintPane(QPainter& painter, int channel, const PaneRect& pane,
                   const PlayerDocument& document) const;
    void paintTimeInfo(QPainter& painter, const PlayerDocument& document) const;
    void paintClock(QPainter& painter) const;
    QRect skinRect(const char* section, const char* key) const;

    const skin::PlayerSkinReader* m_skin = nullptr;
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
    std::function<QTime()> m_timeOfDay;
};

}  // namespace dvr::player
