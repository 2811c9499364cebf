#include "common/export/StillImage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/frame/JpegEncoder.h"

#include <unistd.h>

#include "common/fs/SafeOpen.h"

namespace dvr::exporting {

void flipRows(std::span<uint8_t> pixels, size_t rowBytes, int height) {
    if (height < 2 || pixels.size() < rowBytes * size_t(height))
        return;
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pixels.begin() + std::ptrdiff_t(size_t(top) * rowBytes),
                         pixels.begin() + std::ptrdiff_t(size_t(top + 1) * rowBytes),
                         pixels.begin() + std::ptrdiff_t(size_t(bottom) * rowBytes));
}

Status writeStillJpeg(const std::string& path, const StillImage& image, int quality) {
    if (image.empty() || image.bgr.size() < size_t(image.width) * size_t(image.height) * 3)
        return Status::failure("no picture to save");
    frame::JpegEncoder encoder;
    const auto jpeg =
        encoder.encode(image.bgr.data(), image.width, image.height, size_t(image.width) * 3, 3, quality);
    if (jpeg.empty())
        return Status::failure("the picture could not be compressed");
    if (std::string failure = fs::writeNewFile(path, jpeg.data(), jpeg.size(), 0644); !failure.empty())
        return Status::failure(std::move(failure));
    return Status::success();
}

std::string collapseSeparators(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    return out;
}

std::string viewerSnapshotName(const std::string& folder, int selectedChannel, const DateTime& t,
                               uint64_t tickMs) {
    char name[128];
    std::snprintf(name, sizeof name, "CAM%d_%04d-%02d-%02d %02d-%02d-%02d_%05d.jpg",
                  selectedChannel == 255 ? 0 : selectedChannel + 1, t.year, t.month, t.day, t.hour, t.minute,
                  t.second, int(tickMs % 100000));
    return collapseSeparators(folder + "/" + name);
}

std::string playerStillName(const std::string& folder, const DateTime& t) {
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d.jpg", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return collapseSeparators(folder + "/" + name);
}

std::string uniqueName(const std::string& name, const std::function<bool(const std::string&)>& exists) {
    if (!exists(name))
        return name;
    const size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = name.size();
    const std::string stem = name.substr(0, dot);
    const std::string extension = name.substr(dot);
    for (int n = 1; n <= kMaxNameNumber; ++n) {
        const std::string candidate = stem + "(" + std::to_string(n) + ")" + extension;
        if (!exists(candidate))
            return candidate;
    }
    return name;
}

}  // namespace dvr::exporting
