#pragma once

#include <cstddef>

namespace dvr::frame {

inline constexpr size_t kFrameHeaderBytes = 528;
inline constexpr size_t kBitmapInfoBytes = 44;
inline constexpr int kMaxPictureWidth = 720;
inline constexpr int kMaxPictureHeight = 576;
// The largest decoded picture the format carries: a full-height 50-field picture of 32-bit pixels.
inline constexpr size_t kMaxPictureBytes = size_t(kMaxPictureWidth) * kMaxPictureHeight * 4;
inline constexpr size_t kMaxCodestreamBytes = kMaxPictureBytes;
inline constexpr size_t kMaxFrameRecordBytes = kFrameHeaderBytes + kMaxCodestreamBytes;

// End-marker search windows: the live and playback viewer looks 64 bytes back from the picture length,
// the backup player 32 bytes.
inline constexpr size_t kViewerEndWindow = 64;
inline constexpr size_t kPlayerEndWindow = 32;

}  // namespace dvr::frame
