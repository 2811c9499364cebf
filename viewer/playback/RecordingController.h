// The playback window's AVI recording without Qt: its file name and timing. The window captures and
// writes; this says what and when.
#pragma once

#include "common/export/ByteSink.h"
#include "common/frame/DateTime.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dvr::playback {

// The recording's file inside its folder: "<time>.avi" with the picture time, or with the local time
// before any picture arrived (a picture time without a month); when that name is taken,
// "<time>(1).avi", "<time>(2).avi", and so on. A recording never replaces a file.
std::string recordingFileName(const std::string& folder, const DateTime& pictureTime,
                              const DateTime& localTime,
                              const std::function<bool(const std::string&)>& exists = {});

// Where the recording goes: file creation, one captured and encoded frame, writing the last encoded
// frame again (a repeat keeps wall time), and closing. Each write also adds its manifest entry.
class RecordingOutput {
public:
    virtual ~RecordingOutput() = default;
    virtual exporting::Status open(const std::string& path) = 0;
    // Captures the picture area and encodes it; false when nothing could be encoded (frame skipped).
    virtual bool capture() = 0;
    virtual exporting::Status writeLastFrame() = 0;
    virtual exporting::Status close() = 0;
};

// The AVI recording of the playback window: started and stopped by the latching button, stopped by
// PAUSE; a frame every kFramePeriodMs. The owner runs a timer while timerRunning() and calls onTick; the
// clock is injected. A tick that comes late writes the last frame again for each period missed, so the
// file keeps wall time at its rate. A failure stops the recording and is kept for the window to show.
class RecordingController {
public:
    static constexpr int kFramePeriodMs = 100;
    static constexpr int kFramesPerSecond = 1000 / kFramePeriodMs;
    using Clock = std::function<int64_t()>;  // milliseconds, monotonic

    RecordingController(RecordingOutput& output, Clock clock);

    // The button pressed: starts recording into path, or stops. Busy: nothing starts or stops (the
    // button only flips back). Returns whether recording.
    bool onButton(const std::string& path, bool busy);
    // PAUSE pressed: stops a running recording.
    void onPause();
    void onTick();
    // Stops and closes; true when a recording was stopped.
    bool stop();

    bool recording() const { return m_recording; }
    bool timerRunning() const { return m_recording; }
    uint32_t framesWritten() const { return m_framesWritten; }
    const std::string& path() const { return m_path; }
    // The reason the last recording failed (empty when it did not); cleared by the next start.
    const std::string& failure() const { return m_failure; }

private:
    void fail(const std::string& reason);

    RecordingOutput& m_output;
    Clock m_clock;
    bool m_recording = false;
    bool m_haveFrame = false;
    int64_t m_startMs = 0;
    uint32_t m_framesWritten = 0;
    std::string m_path;
    std::string m_failure;
};

}  // namespace dvr::playback
