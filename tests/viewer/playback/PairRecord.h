// A playback reply's picture record for the session tests: a two-channel (pair) picture of `channel` in
// the 16-pane layout, its codestream about 8 KB.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/synth/Synth.h"

namespace dvr::playback::testing {

inline std::vector<uint8_t> pairRecord(int channel) {
    static synth::CodestreamCache cache;
    synth::PictureShape shape;
    shape.kind = frame::PictureKind::Pair;
    shape.channel = channel;
    const auto codestream = cache.get(shape, 8000);
    synth::RecordHeaderFields record;
    record.layoutCode = 0x10016;
    record.pictureFlags = synth::pictureFlagsFor(frame::PictureKind::Pair);
    record.channel = uint32_t(channel);
    return synth::buildWireRecord(synth::makeHeader(record, codestream->size()), *codestream);
}

}  // namespace dvr::playback::testing
