#pragma once

namespace dvr::player::control {

// Command identifiers of the player window's controls.
inline constexpr int kMode1 = 1003;
inline constexpr int kMode4 = 1004;
inline constexpr int kMode9 = 1005;
inline constexpr int kMode16 = 1006;
inline constexpr int kBackup = 1007;
inline constexpr int kSetting = 1008;
inline constexpr int kEdit = 1009;
inline constexpr int kEnd = 1011;
inline constexpr int kFfPlay = 1012;
inline constexpr int kFPlay = 1013;
inline constexpr int kPause = 1014;
inline constexpr int kBPlay = 1015;
inline constexpr int kRwPlay = 1016;
inline constexpr int kStart = 1017;
inline constexpr int kDelayValue = 1022;
inline constexpr int kSpeedValue = 1023;
inline constexpr int kPageValue = 1024;
inline constexpr int kOpen = 1028;
inline constexpr int kPrevPage = 1030;
inline constexpr int kNextPage = 1031;
inline constexpr int kDelayDown = 1035;
inline constexpr int kSound1 = 1036;
inline constexpr int kDelayUp = 1037;
inline constexpr int kSpeedDown = 1039;
inline constexpr int kSpeedUp = 1041;
inline constexpr int kSound2 = 1042;
inline constexpr int kStateStart = 1043;  // 1043..1049: START, RW, BP, PAUSE, FP, FF, END indicators
inline constexpr int kStateEnd = 1049;
inline constexpr int kChannel1 = 1050;  // 1050..1065: channel buttons 1 to 16
inline constexpr int kChannel16 = 1065;
inline constexpr int kSound3 = 1066;
inline constexpr int kSlider = 1067;
inline constexpr int kSound4 = 1068;
inline constexpr int kExit = 1069;
inline constexpr int kSoundOn = 1072;
inline constexpr int kSkipList = 1073;

inline constexpr int kFirstId = kMode1;
inline constexpr int kLastId = kSkipList;

// The sound channel check buttons of channels 1 to 4.
inline constexpr int kSoundChannelIds[4] = {kSound1, kSound2, kSound3, kSound4};

}  // namespace dvr::player::control
