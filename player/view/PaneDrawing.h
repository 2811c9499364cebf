#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/frame/DateTime.h"
#include "common/frame/SourceRect.h"
#include "player/view/PlayerViewModel.h"

namespace dvr::player {

// Where the texts of a pane go: one line whose top lies above the pane's bottom edge, the
// record time towards the right edge, the channel number near the left edge; the 16-pane
// layout uses a smaller font and smaller margins.
struct PaneTextLayout {
    int lineTop = 0;
    int timeLeft = 0;
    int numberLeft = 0;
    int fontPixels = 0;
};
PaneTextLayout paneTextLayout(const PaneRect& pane, int layout);

// "%02d/%02d/%02d  %02d:%02d:%02d        " of year, month, day, hour, minute, second.
std::string paneTimeText(const DateTime& time);
// "%02d" of channel + 1.
std::string channelNumberText(int channel);

// What part of a channel's source rectangle is drawn into its pane and how far down in the
// pane it starts, by the recorder's layout code; nothing for codes that are not drawn.
struct PaneCrop {
    frame::PixelRect source;
    int destinationTop = 0;
};
// `reduction`: the picture was decoded that many halvings below full size, and the margins shrink with it.
std::optional<PaneCrop> paneCrop(uint32_t layoutCode, const frame::PixelRect& source, int reduction = 0);

// Time information texts: "DATE : %02d / %02d / %02d" and "TIME : %02d : %02d : %02d", or
// the dashed forms without a file.
std::string timeInfoDate(const std::optional<DateTime>& time);
std::string timeInfoTime(const std::optional<DateTime>& time);

// The system clock's hour digits in 12-hour form (hours above 11 less 12) and its AM/PM.
int clockHour12(int hour);
bool clockIsPm(int hour);

}  // namespace dvr::player
