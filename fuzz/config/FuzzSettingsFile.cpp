// Feeds arbitrary bytes to the readers of the per-user settings files and checks what must always hold:
// a stored string value decodes without fault and any text survives being stored and read back; the
// recent-file list holds at most four non-empty names, each within its length.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/skin/TextCodec.h"
#include "fuzz/support/Check.h"
#include "player/view/RecentFiles.h"
#include "viewer/config/SettingsStore.h"

using dvr::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The value as it stands in a file, and the bytes as a value the program stores.
    (void)dvr::config::decodeStoredString(bytes);
    (void)dvr::config::decodeStoredInteger(bytes);
    const auto back = dvr::config::decodeStoredString(dvr::config::encodeStoredString(bytes));
    check(back && *back == bytes);

    const auto files = dvr::player::RecentFiles::parse(bytes);
    check(files.size() <= std::size_t(dvr::player::RecentFiles::kMaxFiles));
    for (const std::string& file : files) {
        check(!file.empty());
        check(dvr::skin::TextCodec::leftChars(file, dvr::player::RecentFiles::kMaxPathChars) == file);
    }
    return 0;
}
