#pragma once

// Judges AVI files with ffprobe and ffmpeg: stream facts, and the pixels of every decoded frame.

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace dvr::testing {

struct CommandOutcome {
    int status = -1;
    std::string out;
};

inline CommandOutcome runCommand(const std::string& command) {
    CommandOutcome r;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return r;
    char buffer[65536];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        r.out.append(buffer, got);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// What ffprobe says of the first video stream, counting frames by decoding them all. Empty when
// ffprobe fails on the file.
struct AviFacts {
    std::string codec;
    int width = 0;
    int height = 0;
    std::string rate;  // "10/1"
    long frames = -1;
    double durationSeconds = -1;
    std::string errors;  // what ffprobe complained about
};

inline AviFacts probeAvi(const std::string& path) {
    AviFacts facts;
    const CommandOutcome r = runCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,r_frame_rate,nb_read_frames:format=duration -of default=nw=1 '" +
        path + "' 2>&1");
    std::istringstream in(r.out);
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            facts.errors += line + "\n";
            continue;
        }
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    if (r.status != 0)
        return facts;
    facts.codec = values["codec_name"];
    facts.width = std::atoi(values["width"].c_str());
    facts.height = std::atoi(values["height"].c_str());
    facts.rate = values["r_frame_rate"];
    if (values.count("nb_read_frames"))
        facts.frames = std::atol(values["nb_read_frames"].c_str());
    if (values.count("duration") && values["duration"] != "N/A")
        facts.durationSeconds = std::atof(values["duration"].c_str());
    return facts;
}

// Every frame ffmpeg decodes, as RGB bytes of the stream's size.
inline std::vector<std::vector<uint8_t>> decodeAvi(const std::string& path, int width, int height) {
    const CommandOutcome r =
        runCommand("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
    std::vector<std::vector<uint8_t>> frames;
    const size_t frameBytes = size_t(width) * size_t(height) * 3;
    for (size_t at = 0; frameBytes && at + frameBytes <= r.out.size(); at += frameBytes)
        frames.emplace_back(r.out.begin() + std::ptrdiff_t(at),
                            r.out.begin() + std::ptrdiff_t(at + frameBytes));
    return frames;
}

// The RGB colour (0xRRGGBB) of one pixel of a decoded frame.
inline uint32_t pixelAt(const std::vector<uint8_t>& rgb, int width, int x, int y) {
    const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
    return uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2];
}

// Two colours agree within a tolerance on every component.
inline bool nearColour(uint32_t a, uint32_t b, int tolerance = 16) {
    for (int shift : {0, 8, 16}) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

}  // namespace dvr::testing
