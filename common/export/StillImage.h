#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/export/ByteSink.h"
#include "common/frame/DateTime.h"

namespace dvr::exporting {

// A still picture: B, G, R bytes per pixel, rows of exactly width * 3 bytes, top row first.
struct StillImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;

    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const StillImage&, const StillImage&) = default;
};

// Reverses the order of `height` rows of rowBytes bytes each (bottom-up to top-down and back).
void flipRows(std::span<uint8_t> pixels, size_t rowBytes, int height);

// Snapshot and still pictures are JPEG files of three components (YCbCr, 2x2 chroma subsampling).
inline constexpr int kStillJpegQuality = 80;
// Writes a new file: an existing file or a link at the path is refused (EEXIST), never written through.
Status writeStillJpeg(const std::string& path, const StillImage& image, int quality = kStillJpegQuality);

// Turns every run of path separators into one.
std::string collapseSeparators(const std::string& path);

// The viewer's snapshot name: "FOLDER/CAM<channel + 1>_<time>_<tick>.jpg", or "CAM0_" when several panes
// are shown (selectedChannel 255); the time as "YYYY-MM-DD HH-MM-SS", the tick count modulo 100000 in
// five digits.
std::string viewerSnapshotName(const std::string& folder, int selectedChannel, const DateTime& time,
                               uint64_t tickMs);

// The player's still name: "FOLDER/YYYYMMDD_HHMMSS.jpg".
std::string playerStillName(const std::string& folder, const DateTime& time);

// Numbered names are tried up to this number. A folder that cannot be searched, or a name longer than
// the system takes, answers every name as taken: the plain name is then used, and its exclusive create
// fails with the real reason instead of the search going on for ever.
inline constexpr int kMaxNameNumber = 9999;

// The first free name: the name itself, else "(1)" before the extension, then "(2)", and so on up to
// kMaxNameNumber; the name itself when none of them is free.
std::string uniqueName(const std::string& name, const std::function<bool(const std::string&)>& exists);

}  // namespace dvr::exporting
