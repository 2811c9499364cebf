// Reads every sound channel of arbitrary bytes taken as the record area of a backup file (the
// never-read leading 64 KiB are put in front of them), as zavtool audio does, and checks what must
// always hold: the reading ends, and each block gives at most one block's samples.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "fuzz/support/RecordArea.h"
#include "player/media/BackupFormat.h"
#include "player/media/ByteSource.h"
#include "tools/zavtool/SoundTrack.h"

using namespace dvr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::RecordArea area(std::span(data, size));
    // Every block needs a header sector in front of it: the samples are bounded by the sectors read.
    const std::size_t sectors = size / media::kSectorBytes + 1;
    for (int channel = 0; channel <= 5; ++channel) {
        const auto pcm = zavtool::readSoundChannel(area, channel);
        if ((channel < 1 || channel > 4) && !pcm.empty())
            std::abort();
        if (pcm.size() > sectors * media::kSoundBlockBytes)
            std::abort();
    }
    return 0;
}
