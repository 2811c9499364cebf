// A channel export as the player's document controls it: what starts one, what its end reports, and the
// exporter's operations the document calls (the backup folder's ChannelExporter carries them out).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/evidence/Sha256.h"
#include "common/evidence/SourceDigest.h"
#include "common/export/ByteSink.h"
#include "common/export/FramePipeline.h"
#include "common/frame/DateTime.h"
#include "player/view/PlayerPictures.h"

namespace dvr::player {

// What an export writes: the channel, the frame rate and the size of every frame.
struct ExportSettings {
    int channelCount = 0;
    int framesPerSecond = 10;  // 1 to 60
    int channel = 0;           // 0-based
    int width = 360;           // 360 or 720
    int height = 240;          // 240 or 480
};

// Creates the byte sink an export writes to; nullptr with the reason when it cannot be created.
using ExportSinkFactory =
    std::function<std::unique_ptr<exporting::ByteSink>(const std::string& path, std::string* reason)>;

struct ExportStart {
    std::string aviFolder;  // created when missing
    ExportSettings settings;
    // The backup file the pictures come from, named in the manifest beside the AVI file; empty: the
    // manifest names no source.
    std::string backupPath;
    // The backup file's digest worked out since it was opened; null: the writer hashes the file itself.
    const evidence::SourceDigest* sourceDigest = nullptr;
    // The time of the picture on screen when the export starts; without one the first exported
    // picture's time.
    std::optional<DateTime> startTime;
    exporting::Stamper* stamper = nullptr;  // drawn on the writer thread only; null: no stamp
    ExportSinkFactory createSink;           // empty: a file
    // Called on the writer thread once when a frame cannot be written; the export then writes no more.
    std::function<void()> onFailure;
};

struct ExportOutcome {
    bool ok = false;
    std::string aviPath;
    std::string message;  // why it failed (a message box text)
    uint32_t frames = 0;  // frames in the file (stop); 0: the export wrote no frame
};

// A running export of one channel, as the document sees it.
class ExportControl {
public:
    virtual ~ExportControl() = default;

    // --- window thread
    // Names and creates the AVI file and starts writing; on failure nothing runs.
    virtual ExportOutcome start(const ExportStart& request) = 0;
    // Ends the export with its end time (without one the last exported picture's time). Ok when nothing
    // was running.
    virtual ExportOutcome stop(std::optional<DateTime> endTime) = 0;

    // --- any thread
    virtual bool active() const = 0;
    // The exported channel, -1 while none is exported.
    virtual int channel() const = 0;

    // --- playback thread
    // Whether a picture from the record at sourceOffset of the backup file would be taken now.
    virtual bool admits(int64_t sourceOffset) const = 0;
    // Hands over the channel's part of the picture just stored for it, made from the record at
    // sourceOffset whose codestream has the SHA-256 sourceDigest.
    virtual void offerStored(const PlayerPictures& pictures, int64_t sourceOffset,
                             const std::optional<evidence::Digest>& sourceDigest) = 0;
};

}  // namespace dvr::player
