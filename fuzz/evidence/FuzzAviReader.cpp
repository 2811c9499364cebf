#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/evidence/AviReader.h"

// Every frame listed lies inside the file, after the end of the one before it, and the list holds fewer
// than size / 8 frames.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const dvr::evidence::AviRead read = dvr::evidence::readAviFrames(std::span(data, size));
    if (!read.frames)
        return 0;
    const auto& frames = read.frames->frames;
    if (!frames.empty() && frames.size() >= size / 8 + 1)
        std::abort();
    uint64_t nextFree = 0;
    for (const dvr::evidence::AviFrame& f : frames) {
        if (f.offsetBytes > size || f.sizeBytes > size - f.offsetBytes)
            std::abort();
        if (f.offsetBytes < 8 || f.offsetBytes - 8 < nextFree)
            std::abort();
        nextFree = f.offsetBytes + f.sizeBytes;
    }
    return 0;
}
