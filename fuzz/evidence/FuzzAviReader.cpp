#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/evidence/AviReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const dvr::evidence::AviRead read = dvr::evidence::readAviFrames(std::span(data, size));
    if (!read.frames)
        return 0;
    for (const dvr::evidence::AviFrame& f : read.frames->frames)
        if (f.offsetBytes > size || f.sizeBytes > size - f.offsetBytes)
            std::abort();
    return 0;
}
