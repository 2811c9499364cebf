#pragma once

#include "common/frame/FrameDecoder.h"
#include "common/frame/FrameHeader.h"
#include "player/media/BackupFormat.h"
#include "player/media/PlaybackSink.h"

namespace dvr::media {

// The 528-byte frame header of a backup record: its header sector's named fields plus the byte-swapped
// picture sub-header as the last 16 bytes.
frame::FrameHeader frameHeaderOf(const BackupHeader& header, std::span<const uint8_t> subHeader);

// The backup player's decode options for a record: the 32-byte end window, the channel method of the
// record's own layout family, its channel capacity, and the channel aligned by the picture flags.
frame::FrameDecodeOptions playerDecodeOptions(const BackupHeader& header);

// Decodes a delivered picture and reads its channel from the pixels.
frame::DecodedFrame decodeDeliveredPicture(frame::FrameDecoder& decoder, const DeliveredPicture& picture,
                                           frame::DecodedPicture* into = nullptr);

}  // namespace dvr::media
