#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace dvr::exporting {

// Turns pictures stamped with whole recording seconds into frames at a fixed rate, so that the clip
// lasts as long as the recording did: every second from the first picture's to the last one's becomes
// framesPerSecond frames, shared evenly among that second's pictures in order (pictures are repeated
// or dropped); a second without pictures repeats the last picture.
class RealTimePacer {
public:
    // Writes one frame; false stops the pacer (the failure is the caller's to report).
    using Emit = std::function<bool(std::span<const uint8_t> jpeg)>;

    explicit RealTimePacer(int framesPerSecond) : m_rate(framesPerSecond < 1 ? 1 : framesPerSecond) {}

    // A picture of the given second. Seconds must not go back; an earlier second counts as the current
    // one. False when an emit failed.
    bool add(int64_t second, std::span<const uint8_t> jpeg, const Emit& emit);
    // Writes the frames of the last second. False when an emit failed.
    bool finish(const Emit& emit);

private:
    bool flushSecond(const Emit& emit);

    int m_rate;
    bool m_started = false;
    int64_t m_second = 0;
    std::vector<std::vector<uint8_t>> m_pictures;  // the current second's pictures
    size_t m_count = 0;                            // how many of m_pictures are in use
    std::vector<uint8_t> m_last;                   // the last picture written
};

}  // namespace dvr::exporting
