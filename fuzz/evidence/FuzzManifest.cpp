#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/evidence/Manifest.h"
#include "common/json/Json.h"

// A manifest that reads writes back to the same manifest, and its frame list is never larger than its
// text could describe (an entry holds two 64-digit hashes and their keys).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    dvr::parseJson(text, 4096);
    const dvr::evidence::ManifestParse parsed = dvr::evidence::parseManifest(text);
    if (!parsed.manifest)
        return 0;
    if (parsed.manifest->frames.size() * 128 > size)
        std::abort();
    const dvr::evidence::ManifestParse again =
        dvr::evidence::parseManifest(dvr::evidence::manifestJson(*parsed.manifest));
    if (!again.manifest || !(*again.manifest == *parsed.manifest) || !again.unknownKey.empty())
        std::abort();
    dvr::evidence::signedText(*parsed.manifest);
    return 0;
}
