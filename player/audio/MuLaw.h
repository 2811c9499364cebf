#pragma once

#include <cstdint>
#include <span>

namespace dvr::player {

// G.711 mu-law sample to 16-bit linear PCM (full 16-bit scale, by table).
int16_t muLawToPcm(uint8_t code);

// 16-bit linear PCM sample to its G.711 mu-law code.
uint8_t pcmToMuLaw(int16_t sample);

// Decodes min(in.size(), out.size()) samples; returns the count decoded.
size_t decodeMuLaw(std::span<const uint8_t> in, std::span<int16_t> out);

}  // namespace dvr::player
