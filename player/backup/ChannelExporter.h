#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/evidence/ManifestBuilder.h"
#include "common/export/AviWriter.h"
#include "common/export/ByteSink.h"
#include "common/export/FramePipeline.h"
#include "common/export/channel/ChannelAviOutput.h"
#include "common/frame/DateTime.h"
#include "player/backup/BackupWindowModel.h"
#include "player/view/ExportControl.h"
#include "player/view/PlayerPictures.h"

namespace dvr::player {

// The export file of a channel: "NN_Capture.avi" (NN = channel + 1) in the folder; when that name is
// taken, "(01)" goes before the file name's first ".", then "(02)", and so on. Folders are never renamed.
std::string exportAviName(const std::string& folder, int channel,
                          const std::function<bool(const std::string&)>& exists);

// What the window says when an export ended without a frame written.
std::string noFrameMessage(int channel, const std::string& aviPath);

// A running export of one channel. The window starts and stops it; the playback thread offers every
// stored picture of the channel, which is copied and handed to a writer thread that scales, stamps,
// compresses and writes it through the channel export's output. A picture whose record does not lie
// after the last one taken is not taken (a picture shown again, a step back, backward play), so the
// clip never runs backwards. The playback thread waits only for the writer (when eight frames are
// already queued), never for the window.
class ChannelExporter final : public ExportControl {
public:
    static constexpr size_t kQueueFrames = 8;

    ChannelExporter() = default;
    ~ChannelExporter() override;
    ChannelExporter(const ChannelExporter&) = delete;
    ChannelExporter& operator=(const ChannelExporter&) = delete;

    // --- window thread
    // Names and creates the AVI file and starts the writer. On failure nothing runs and the message is
    // "ERROR : CreateAVIFile." with the path and the reason.
    ExportOutcome start(const ExportStart& request) override;
    // Ends the export: writes what is queued, finishes the AVI file and writes the log beside it with
    // the end time (without one the last exported picture's time), then the manifest with every frame
    // written. Ok when nothing was running.
    ExportOutcome stop(std::optional<DateTime> endTime = std::nullopt) override;
    // Why frames could not be written, once that happened.
    std::optional<std::string> failure() const;

    // --- any thread
    bool active() const override { return m_active.load(); }
    int channel() const override { return m_channel.load(); }

    // --- playback thread
    // Hands over one picture (or the channel's part of it) with its record time, the offset of its
    // record in the backup file (-1: unknown) and the SHA-256 of the record's codestream.
    void offer(const exporting::PixelSource& part, const DateTime& time, int64_t sourceOffset = -1,
               const std::optional<evidence::Digest>& sourceDigest = std::nullopt);
    // Hands over the channel's part of the picture just stored for it, made from the record at
    // `sourceOffset` of the backup file (-1: unknown) whose codestream has the SHA-256 sourceDigest.
    void offerStored(const PlayerPictures& pictures, int64_t sourceOffset = -1,
                     const std::optional<evidence::Digest>& sourceDigest = std::nullopt) override;
    // Whether a picture from this record would be taken now (the order rule).
    bool admits(int64_t sourceOffset) const override;

private:
    struct Frame {
        std::vector<uint8_t> pixels;  // B, G, R, X rows of width * 4 bytes
        int width = 0;
        int height = 0;
        DateTime time;
        int64_t sourceOffset = -1;
        std::optional<evidence::Digest> sourceDigest;
    };
    std::optional<Frame> waitForRoom(int64_t sourceOffset);
    static void fill(Frame& frame, const exporting::PixelSource& part, const DateTime& time,
                     int64_t sourceOffset, const std::optional<evidence::Digest>& sourceDigest);
    void push(Frame frame);
    void writerLoop();
    void fail(const std::string& reason);

    std::atomic<bool> m_active{false};
    std::atomic<int> m_channel{-1};

    mutable std::mutex m_mutex;  // guards everything below up to m_writer
    std::condition_variable m_changed;
    std::deque<Frame> m_queue;
    std::vector<Frame> m_spare;
    bool m_accepting = false;
    bool m_ending = false;
    std::optional<std::string> m_failure;
    std::optional<DateTime> m_firstTime;
    std::optional<DateTime> m_lastTime;
    exporting::PictureOrder m_order;  // of the pictures taken

    // Set by start before the writer runs, used by the writer thread, and by stop after it ended.
    ExportStart m_request;
    std::string m_aviPath;
    std::unique_ptr<exporting::ByteSink> m_sink;
    std::optional<exporting::ChannelAviOutput> m_output;
    // Made and filled by the writer thread (every frame written, with its picture); written by stop.
    std::optional<evidence::ManifestBuilder> m_manifest;
    std::thread m_writer;
};

}  // namespace dvr::player
