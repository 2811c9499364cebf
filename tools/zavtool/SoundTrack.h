#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "player/media/ByteSource.h"

namespace dvr::zavtool {

// The sound of channel `soundChannel` (1 to 4) of a backup file as 16-bit samples at 8000 Hz: every
// new sound block in file order, from sound-only records (3 sectors or type 0xC000) and from picture
// records that end in a block (type 0x8000). `progress`, when given, is told the offset reached now
// and then. The reading stops, with `*tooLong` set when given, before the samples would pass `maxSamples`.
std::vector<int16_t> readSoundChannel(const media::ByteSource& source, int soundChannel,
                                      const std::function<void(uint64_t offset)>& progress = {},
                                      std::size_t maxSamples = SIZE_MAX, bool* tooLong = nullptr);

}  // namespace dvr::zavtool
