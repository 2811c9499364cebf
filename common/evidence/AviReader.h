#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dvr::evidence {

// Where one video frame's bytes (the chunk's data, without its 8-byte header) lie in the file.
struct AviFrame {
    uint64_t offsetBytes = 0;
    uint32_t sizeBytes = 0;
};

struct AviFrames {
    std::vector<AviFrame> frames;  // in stream order
    bool twoLevelIndex = false;    // found through the stream's index of indexes, not the legacy index
};

struct AviRead {
    std::optional<AviFrames> frames;
    std::string error;  // why the file could not be read, when frames is empty
};

// Lists the frames of stream 0 of an AVI file held in memory: through the stream's two-level index
// ("indx" pointing at "ix00" chunks, covering every RIFF part) when it has one, else through the legacy
// index ("idx1"). Every frame must lie inside the file behind a chunk header of stream 0 that gives the
// same size, after the end of the frame before it; each chunk index is listed once. So the list holds
// fewer than file size / 8 frames and reading it takes time linear in the file's size. Nothing outside
// the span is read.
AviRead readAviFrames(std::span<const uint8_t> file);

}  // namespace dvr::evidence
