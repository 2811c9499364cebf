#pragma once

namespace dvr::playback {

// Command ids of the playback window's controls.
namespace command {
inline constexpr int kExit = 1049;
inline constexpr int kSave = 1050;
inline constexpr int kPrint = 1051;
inline constexpr int kEvent = 1052;
inline constexpr int kModePlus = 1053;
inline constexpr int kModeMinus = 1054;
inline constexpr int kModeOne = 1057;
inline constexpr int kModeFour = 1058;
inline constexpr int kChannelFirst = 1059;  // to 1074
inline constexpr int kPlayFirst = 1075;     // fast reverse, reverse, pause, forward, fast forward
inline constexpr int kStart = 1080;
inline constexpr int kHourBack = 1081;
inline constexpr int kHourForward = 1082;
inline constexpr int kEnd = 1083;
inline constexpr int kWheel = 1084;
inline constexpr int kSaveAvi = 1086;
}  // namespace command

}  // namespace dvr::playback
