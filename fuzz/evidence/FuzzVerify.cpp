#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "common/evidence/Verify.h"

// The whole verification over an exported AVI file and its manifest from one input: the first four
// bytes give the AVI part's length (modulo what follows), the AVI bytes come next, the manifest text is
// the rest. Whatever the input, the verdict comes without a crash, and an accepted export lists no more
// frames than its file can hold.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const uint32_t declared =
        uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    const size_t rest = size - 4;
    const size_t aviBytes = rest ? declared % (rest + 1) : 0;
    const std::span<const uint8_t> avi(data + 4, aviBytes);
    const std::string_view manifest(reinterpret_cast<const char*>(data + 4 + aviBytes), rest - aviBytes);
    dvr::evidence::VerifyOptions options;
    options.filePath = "clip.avi";
    const dvr::evidence::VerifyOutcome outcome = dvr::evidence::verifyExportBytes(manifest, avi, options);
    if (outcome.status == dvr::evidence::VerifyStatus::Ok) {
        if (!outcome.manifest || outcome.manifest->frames.size() > avi.size() / 8)
            std::abort();
    }
    return 0;
}
