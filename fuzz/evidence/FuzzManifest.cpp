#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/evidence/Json.h"
#include "common/evidence/Manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    dvr::evidence::parseJson(text);
    const dvr::evidence::ManifestParse parsed = dvr::evidence::parseManifest(text);
    if (!parsed.manifest)
        return 0;
    const dvr::evidence::ManifestParse again =
        dvr::evidence::parseManifest(dvr::evidence::manifestJson(*parsed.manifest));
    if (!again.manifest || !(*again.manifest == *parsed.manifest))
        std::abort();
    dvr::evidence::signedText(*parsed.manifest);
    return 0;
}
