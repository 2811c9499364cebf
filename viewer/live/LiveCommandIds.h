#pragma once

namespace dvr::live {

// Command ids of the live view's controls.
namespace command {
inline constexpr int kExit = 1000;
inline constexpr int kSetting = 1006;
inline constexpr int kModeFirst = 1017;  // 1017..1023: 1, 4, 7, 9, 10, 13, 16 panes
inline constexpr int kConnect = 1024;
inline constexpr int kDisconnect = 1025;
inline constexpr int kChannelFirst = 1026;  // 1026..1041: channels 0..15
inline constexpr int kPlayback = 1042;
inline constexpr int kRotate = 1043;
inline constexpr int kWheel = 1044;
// 1087..1094: the eight PTZ directions (up, then counter-clockwise); 1095..1098: zoom in, zoom out, focus
// in, focus out.
inline constexpr int kPtzFirst = 1087;
inline constexpr int kPtzLast = 1098;
inline constexpr int kPtzChannelPlus = 1099;
inline constexpr int kPtzChannelMinus = 1101;
inline constexpr int kAboutVersionLine = 1105;
inline constexpr int kSpeedPlus = 1117;
inline constexpr int kSpeedValue = 1120;
inline constexpr int kSpeedMinus = 1119;
inline constexpr int kSpeedLabel = 1122;
}  // namespace command

// Notification values of the PTZ channel buttons.
inline constexpr unsigned kPtzChannelPlusValue = 13;
inline constexpr unsigned kPtzChannelMinusValue = 14;

// Ids of the view's timers.
inline constexpr int kClockTimerId = 100;
inline constexpr int kDragTimerId = 1001;
inline constexpr int kClockPeriodMs = 1000;
inline constexpr int kDragPeriodMs = 1000;

}  // namespace dvr::live
