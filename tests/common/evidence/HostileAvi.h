// AVI files built to make a reader do too much: indexes that point at the same bytes again and again.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace dvr::testing {

// An AVI file whose index of indexes lists one chunk index `indexEntries` times and whose chunk index
// lists one 8-byte picture `frameEntries` times: read naively, indexEntries x frameEntries frames.
// With 12000 and 24000 the file is about 384 KB and names 288 million frames.
inline std::vector<uint8_t> selfReferencingAvi(uint32_t indexEntries = 12000, uint32_t frameEntries = 24000) {
    std::vector<uint8_t> f;
    auto u8 = [&](uint8_t v) { f.push_back(v); };
    auto u16 = [&](uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    };
    auto u64 = [&](uint64_t v) {
        u32(uint32_t(v));
        u32(uint32_t(v >> 32));
    };
    auto fourcc = [&](const char* c) {
        for (int i = 0; i < 4; ++i)
            u8(uint8_t(c[i]));
    };
    auto patch32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + size_t(i)] = uint8_t(v >> (8 * i));
    };

    const uint32_t indxData = 24 + indexEntries * 16;
    const uint32_t ixData = 24 + frameEntries * 8;
    fourcc("RIFF");
    const size_t riffSize = f.size();
    u32(0);
    fourcc("AVI ");
    fourcc("LIST");
    u32(4 + 8 + 4 + 8 + indxData);
    fourcc("hdrl");
    fourcc("LIST");
    u32(4 + 8 + indxData);
    fourcc("strl");
    fourcc("indx");
    u32(indxData);
    const size_t indx = f.size();
    u16(4);  // longs per entry
    u8(0);   // sub-type
    u8(0);   // index of indexes
    u32(indexEntries);
    fourcc("00dc");
    u32(0);
    u32(0);
    u32(0);
    // The movi list follows; its chunk index position is known once the sizes are.
    const uint64_t moviList = indx + indxData;
    const uint64_t picture = moviList + 12 + 8;  // data of the one 00dc chunk
    const uint64_t chunkIndex = picture + 8;     // the ix00 chunk header
    for (uint32_t i = 0; i < indexEntries; ++i) {
        u64(chunkIndex);
        u32(8 + ixData);
        u32(frameEntries);
    }
    fourcc("LIST");
    u32(4 + 16 + 8 + ixData);
    fourcc("movi");
    fourcc("00dc");
    u32(8);
    u64(0x0123456789abcdefULL);
    fourcc("ix00");
    u32(ixData);
    u16(2);  // longs per entry
    u8(0);
    u8(1);  // index of chunks
    u32(frameEntries);
    fourcc("00dc");
    u64(0);  // base offset: entries count from the file's start
    u32(0);
    for (uint32_t i = 0; i < frameEntries; ++i) {
        u32(uint32_t(picture));
        u32(8);
    }
    patch32(riffSize, uint32_t(f.size() - 8));
    return f;
}

}  // namespace dvr::testing
