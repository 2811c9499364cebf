#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/evidence/ManifestBuilder.h"
#include "common/export/AviWriter.h"
#include "common/export/ByteSink.h"
#include "common/export/ExportLog.h"
#include "common/export/RealTimePacer.h"
#include "common/frame/DateTime.h"

namespace dvr::exporting {

// The order of an export: a picture is written only when its record lies after the last one written
// in the backup file, so a clip never runs backwards (a picture shown again, a step back, backward
// play). A picture whose record is not known (-1) is taken as it comes.
class PictureOrder {
public:
    bool admits(int64_t sourceOffset) const { return sourceOffset < 0 || !m_last || sourceOffset > *m_last; }
    void taken(int64_t sourceOffset) {
        if (sourceOffset >= 0)
            m_last = sourceOffset;
    }
    void reset() { m_last.reset(); }

private:
    std::optional<int64_t> m_last;
};

enum class ChannelPace {
    Pictures,  // every picture one frame
    Real,      // frames repeated or dropped by picture time: the clip lasts as long as the recording
};

struct ChannelAviSettings {
    int channel = 0;  // 0-based
    int width = 360;
    int height = 240;
    int framesPerSecond = 10;
    ChannelPace pace = ChannelPace::Pictures;
    bool stamp = true;
    int threads = 1;  // decoding threads, as the manifest records them
};

// One exported picture: its JPEG frame bytes and where it came from.
struct ChannelAviPicture {
    DateTime time;
    bool timeValid = true;                         // a calendar date and time of day
    int64_t sourceOffset = -1;                     // the record's offset in the backup file; -1: not known
    std::optional<evidence::Digest> sourceDigest;  // SHA-256 of the record's codestream
    std::span<const uint8_t> jpeg;
};

// The output of one channel export: the AVI file (through the writer over a sink), the pictures in
// file order (PictureOrder), one frame each or paced to real time, every frame recorded in the
// manifest with the picture it shows, then the log and the manifest beside the file.
// Not shared between threads.
class ChannelAviOutput {
public:
    // The manifest records the frames when given (it outlives the output).
    ChannelAviOutput(const ChannelAviSettings& settings, evidence::ManifestBuilder* manifest);

    // The manifest that records the frames from now on, with the export's settings (null: none).
    void setManifest(evidence::ManifestBuilder* manifest);

    // Starts the AVI file on the sink (which outlives the output), or creates it at the path.
    Status open(ByteSink& sink, const std::string& streamName);
    Status open(const std::string& path);

    // Whether a picture from this record would be written now.
    bool admits(int64_t sourceOffset) const { return m_order.admits(sourceOffset); }
    // Writes the picture as the next frame (with real pacing: as many frames as its time takes, maybe
    // none); a picture the order does not admit is left out. False after a write failed (the reason in
    // status()); nothing more is written then.
    bool add(const ChannelAviPicture& picture);
    // Writes the frames of the last second (real pacing) and finishes the AVI file.
    Status close();
    // The five-line log beside the AVI file.
    Status writeLog(const std::string& aviPath, const DateTime& start, const DateTime& end) const;
    // The manifest beside the closed AVI file, with every frame written (a failure when there is no
    // manifest).
    evidence::ManifestWrite writeManifest(const std::string& aviPath) const;

    const Status& status() const { return m_status; }
    int pictures() const { return m_pictures; }
    // Frames written (so far, or in the closed file).
    uint32_t frames() const { return m_avi.isOpen() ? m_avi.frameCount() : m_frames; }
    const std::optional<DateTime>& firstTime() const { return m_first; }
    const std::optional<DateTime>& lastTime() const { return m_last; }

private:
    struct Held {
        std::string time;
        int64_t sourceOffset;
        std::optional<evidence::Digest> sourceDigest;
        std::vector<uint8_t> jpeg;
    };
    bool emit(std::span<const uint8_t> jpeg, const std::string& time, int64_t sourceOffset,
              const std::optional<evidence::Digest>& sourceDigest);
    bool emitNumber(uint64_t number);
    bool addToPacer(int64_t second, uint64_t number);

    ChannelAviSettings m_settings;
    evidence::ManifestBuilder* m_manifest = nullptr;
    AviWriter m_avi;
    PictureOrder m_order;
    RealTimePacer m_pacer;  // paces picture numbers, not pictures: a frame knows which picture it shows
    std::deque<Held> m_held;
    uint64_t m_firstHeld = 0;             // the number of m_held.front()
    std::optional<int64_t> m_lastSecond;  // the second of the last picture with a valid time
    std::vector<uint64_t> m_untimed;      // pictures before the first valid time, waiting for it
    int m_pictures = 0;
    uint32_t m_frames = 0;  // when closed
    std::optional<DateTime> m_first;
    std::optional<DateTime> m_last;
    Status m_status = Status::success();
};

}  // namespace dvr::exporting
