// What the playback window's Save, Print and AVI buttons decide, without Qt: the snapshot's stamp texts,
// the file names, the printed page and the AVI recording's timing. The window captures, paints and
// writes; this says what and when.
#pragma once

#include "common/export/ByteSink.h"
#include "viewer/link/Packet.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dvr::playback {

// "%04d-%02d-%02d %02d-%02d-%02d", the time in snapshot and recording names and on the printed page.
std::string fileTimeText(const DateTime& t);

// One text stamped onto a snapshot. Red: drawn in red as one line into the box (x, y) to (x + 360,
// y + 30); otherwise white with a one-pixel black outline, its top-left at (x, y).
struct SnapshotText {
    int x = 0;
    int y = 0;
    std::string text;
    bool red = false;
    friend bool operator==(const SnapshotText&, const SnapshotText&) = default;
};

// The stamp of a snapshot of an areaWidth x areaHeight picture area: one column shows "CAM%d <time>"
// for the selected channel; several columns show the time and a "CAM%02d" label on each pane, numbered
// on from the first channel.
std::vector<SnapshotText> snapshotStampTexts(int columns, int firstChannel, int selectedChannel,
                                             int areaWidth, int areaHeight, const DateTime& time);

// The recording's file inside its folder: "<time>.avi" with the picture time, or with the local time
// before any picture arrived (a picture time without a month); when that name is taken,
// "<time>(1).avi", "<time>(2).avi", and so on. A recording never replaces a file.
std::string recordingFileName(const std::string& folder, const DateTime& pictureTime,
                              const DateTime& localTime,
                              const std::function<bool(const std::string&)>& exists = {});

// The printer's resolution and page, and the size of the letter "A" in the page font, in device pixels.
struct PagePrintMetrics {
    int dotsPerInchX = 0;
    int dotsPerInchY = 0;
    int pageWidthPx = 0;
    int letterWidthPx = 0;
    int letterHeightPx = 0;
};

struct PageText {
    int x = 0;
    int y = 0;  // the top of the text line
    std::string text;
};

// What the printed page tells.
struct PrintedPicture {
    std::string title;            // the language's "PRINT"/"Vistrel" text
    std::string dateTimeCaption;  // the language's "PRINT"/"PLAY DATE/TIME" text
    DateTime rangeStart;
    DateTime rangeEnd;
    DateTime requestTime;
    DateTime printTime;  // local time of printing
    int width = 0;       // the printed picture's own size
    int height = 0;
};

// The printed page in device pixels: the picture's rectangle and the text lines.
struct PlaybackPrintPage {
    int pictureX = 0;
    int pictureY = 0;
    int pictureWidth = 0;
    int pictureHeight = 0;
    std::vector<PageText> texts;
};

// n x vertical dots per inch / 84, rounded.
int pagePrintUnit(int n, int dotsPerInchY);
PlaybackPrintPage playbackPrintPage(const PagePrintMetrics& metrics, const PrintedPicture& picture);

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
