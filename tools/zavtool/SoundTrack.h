#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "player/media/ByteSource.h"

namespace dvr::zavtool {

// The sound of channel `soundChannel` (1 to 4) of a backup file as 16-bit samples at 8000 Hz: every
// new sound block in file order, from sound-only records (3 sectors or type 0xC000) and from picture
// records that end in a block (type 0x8000). `progress`, when given, is told the offset reached now
// and then. The reading stops, with `*tooLong` set when given, before the samples would pass `maxSamples`.
// A read that comes up short inside the file's size (a disc that fails, a file shortened meanwhile) also
// stops it, with `*readFailedAt` set to its offset: the samples before it are not the channel's whole
// sound.
std::vector<int16_t> readSoundChannel(const media::ByteSource& source, int soundChannel,
                                      const std::function<void(uint64_t offset)>& progress = {},
                                      std::size_t maxSamples = SIZE_MAX, bool* tooLong = nullptr,
                                      std::optional<uint64_t>* readFailedAt = nullptr);

}  // namespace dvr::zavtool
