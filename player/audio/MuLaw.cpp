#include "player/audio/MuLaw.h"

#include <algorithm>
#include <array>

namespace dvr::player {

namespace {

constexpr int kBias = 0x84;
constexpr int kClip = 32635;

constexpr int16_t decodeOne(uint8_t code) {
    const int u = ~code & 0xFF;
    const int exponent = (u >> 4) & 0x07;
    const int mantissa = u & 0x0F;
    const int magnitude = ((mantissa << 3) + kBias) << exponent;
    return static_cast<int16_t>((u & 0x80) ? (kBias - magnitude) : (magnitude - kBias));
}

constexpr std::array<int16_t, 256> makeTable() {
    std::array<int16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[static_cast<size_t>(i)] = decodeOne(static_cast<uint8_t>(i));
    }
    return table;
}

constexpr std::array<int16_t, 256> kDecodeTable = makeTable();

}  // namespace

int16_t muLawToPcm(uint8_t code) {
    return kDecodeTable[code];
}

uint8_t pcmToMuLaw(int16_t sample) {
    int value = sample;
    const int sign = value < 0 ? 0x80 : 0;
    if (value < 0) {
        value = -value;
    }
    value = std::min(value, kClip) + kBias;
    int exponent = 7;
    for (int mask = 0x4000; (value & mask) == 0 && exponent > 0; mask >>= 1) {
        --exponent;
    }
    const int mantissa = (value >> (exponent + 3)) & 0x0F;
    return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa));
}

size_t decodeMuLaw(std::span<const uint8_t> in, std::span<int16_t> out) {
    const size_t count = std::min(in.size(), out.size());
    for (size_t i = 0; i < count; ++i) {
        out[i] = kDecodeTable[in[i]];
    }
    return count;
}

}  // namespace dvr::player
