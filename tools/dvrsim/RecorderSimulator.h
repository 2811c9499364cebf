// The recorder simulator: the recorder's side of every command the viewer
// sends, on a real TCP server bound to loopback, with options for what the
// recorder reports and faults to inject. Each received packet is logged as
// one JSON line. For tests, the demo and benchmarks.
#pragma once

#include "common/frame/FrameHeader.h"
#include "viewer/link/EventRecord.h"
#include "viewer/link/Packet.h"
#include "viewer/link/PacketFramer.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace dvr::sim {

enum class PictureMix { Full, Pair, Quad, Tall, Mixed };

struct SimOptions {
    std::string host = "127.0.0.1";  // loopback only
    uint16_t port = 0;               // 0: the system picks one
    std::string versionText = "DVRJ PACKET1.44";
    uint32_t channelCode = 16;  // login reply p1 low byte
    bool refuseLogin = false;
    bool keyLock = false;
    bool newerBit = false;  // login reply p0 bit 30
    DateTime rangeStart{2006, 1, 2, 3, 4, 5};
    DateTime rangeEnd{2006, 1, 2, 4, 4, 5};
    uint32_t layoutCode = 0;  // 0: family 1 with the channel count's capacity
    PictureMix pictures = PictureMix::Full;
    int mixedRun = 6;  // pictures per kind when mixing
    int quality = 3;
    uint32_t videoStandard = frame::kSixtyFieldStandard;
    uint32_t visibility = 0xFFFF0000;  // live reply p5
    size_t codestreamBytes = 0;        // 0: about 20 KB per 240 lines
    std::vector<link::EventRecord> events;
    bool playError = false;  // answer the playback stop with status 2
    // The recording: a picture every recordStepSeconds from rangeStart to
    // rangeEnd, none inside a gap, rotating over the recorded channels.
    int recordStepSeconds = 1;
    uint32_t recordedChannels = 0xFFFF;               // bit n: channel n was recorded
    std::vector<std::pair<DateTime, DateTime>> gaps;  // inclusive
    int playFailAfter = -1;            // answer picture requests with status ERROR after N pictures
    uint32_t playPosition = 0;         // live reply p0 (millionths)
    uint32_t recordPosition = 850000;  // live reply p4 (millionths)
    // Faults. Counts are live or playback pictures sent on a connection; -1 = off.
    size_t splitBytes = 0;  // send replies in pieces of at most this many bytes
    int splitDelayMs = 1;   // pause between pieces
    int endAfter = -1;      // send 0x1072 instead of the next picture
    int silenceAfter = -1;  // answer nothing more
    int closeAfter = -1;    // close the connection
    int hugeAfter = -1;     // once, instead of the next picture, a reply announcing a huge payload
    int garbageEvery = 0;   // garbage bytes before every n-th picture
    // Stop reading a connection's socket once this many packets came in; what
    // waits is read and logged when the simulator stops. -1 = off.
    int stopReadingAfter = -1;
    bool once = false;  // stop after the first connection ends
    // Picture rate: at most this many pictures a second per connection, fewer as the live request's
    // pacing value asks (see PicturePacer). 0: every request is answered at once.
    int fps = 0;
};

// Every playback picture's record carries its recording time at these header
// offsets (packed date word, packed time word), so a test can tell which
// picture of the recording it got.
inline constexpr size_t kStampDateOffset = 200;
inline constexpr size_t kStampTimeOffset = 204;

// The recording the simulator plays back: slot i lies at rangeStart + i *
// step; slots inside a gap hold no picture.
class Recording {
public:
    explicit Recording(const SimOptions& options);
    int64_t slots() const { return m_slots; }
    int64_t secondsOf(int64_t slot) const { return m_start + slot * m_step; }
    bool present(int64_t slot) const;
    // The first picture at or after `seconds` (forward) or the last at or
    // before it (backward); -1 when there is none.
    int64_t search(int64_t seconds, bool backward) const;
    // The slot `pictures` pictures further on (backward: earlier); -1 past
    // either end.
    int64_t step(int64_t slot, int pictures, bool backward) const;
    // Which channel group (its base channel) and kind a slot's picture shows.
    int channelOf(int64_t slot, frame::PictureKind kind) const;
    frame::PictureKind kindOf(int64_t slot) const;
    uint32_t positionMillionths(int64_t slot) const;

private:
    // The nearest present slot from `slot` on in a direction; -1 if none.
    int64_t skipGaps(int64_t slot, bool backward) const;

    const SimOptions& m_options;
    int64_t m_start;
    int64_t m_end;
    int64_t m_step;
    int64_t m_slots;
    std::vector<std::pair<int64_t, int64_t>> m_gaps;
};

// The clock the simulator paces pictures by.
class SimClock {
public:
    virtual ~SimClock() = default;
    // Nanoseconds on a monotonic scale.
    virtual int64_t nowNs() = 0;
};

// The machine's steady clock (one instance serves everyone).
SimClock& steadySimClock();

// Spaces one connection's pictures like a recorder that sends at most `fps` pictures a second. A live
// request's pacing value p (1 fastest ... 10 slowest, what the viewer sends as 11 - its speed) lowers
// the rate to fps * (11 - p) / 10; other values count as 1. A picture asked for later than its interval
// goes at once; none is sent ahead to catch up.
class PicturePacer {
public:
    explicit PicturePacer(int fps) : m_fps(fps) {}
    // The spacing of pictures for a pacing value; 0 when the rate is 0 (unpaced).
    int64_t intervalNs(uint32_t pacing) const;
    // The time the next picture may go, and from then on the time of the last picture: an interval after
    // the last one, and not before nowNs.
    int64_t schedule(int64_t nowNs, uint32_t pacing);

private:
    int m_fps;
    std::optional<int64_t> m_lastNs;
};

// Parses "YYYY-MM-DD HH:MM:SS".
std::optional<DateTime> parseTimeText(const std::string& text);
// Synthesised event list: n events spread over the recording range.
std::vector<link::EventRecord> makeEvents(int count, const SimOptions& options);

// Wire-form frame records, synthesised once per (kind, channel) and kept.
class RecordSource {
public:
    explicit RecordSource(const SimOptions& options);
    // A record of `kind` carrying `channel` (pair and quad start at its base).
    std::shared_ptr<const std::vector<uint8_t>> record(frame::PictureKind kind, int channel);
    // Synthesises every record the options can ask for.
    void prewarm();
    int channelCount() const { return m_channelCount; }
    uint32_t layoutCode() const { return m_layoutCode; }

private:
    const SimOptions& m_options;
    int m_channelCount;
    uint32_t m_layoutCode;
    std::mutex m_mutex;  // guards m_records
    std::map<std::pair<int, int>, std::shared_ptr<const std::vector<uint8_t>>> m_records;
};

// One connection's protocol state: received bytes in, replies out. Pure apart from reading the clock it
// is given (pictures are stamped with the time they may go).
class SimConnection {
public:
    using LogSink = std::function<void(const std::string&)>;

    struct Reply {
        std::vector<uint8_t> bytes;
        int64_t dueNs = 0;  // not to be sent before this time of the connection's clock
    };

    SimConnection(const SimOptions& options, RecordSource& records, LogSink log, int id,
                  SimClock& clock = steadySimClock());

    // Handles received bytes. Bytes dropped between packets (a packet cut
    // short by the next one) are logged as a "torn" event.
    void receive(std::span<const uint8_t> bytes);
    // The stream ended: true when it ended inside a packet.
    bool endsMidPacket() const { return !m_framer.atPacketBoundary(); }
    int packetsReceived() const { return m_packetsReceived; }

    // Replies waiting to be sent, in order; none overtakes a reply that is not due yet.
    std::deque<Reply>& outgoing() { return m_outgoing; }
    bool closeRequested() const { return m_close; }
    int picturesSent() const { return m_pictures; }

private:
    void handle(const link::PacketHeader& header, const link::ParamBlock& params,
                std::span<const uint8_t> payload);
    void logPacket(const link::PacketHeader& header, const link::ParamBlock& params,
                   std::span<const uint8_t> payload);
    void queue(std::vector<uint8_t> bytes, int64_t dueNs = 0);
    void queueReply(uint32_t command, const link::ParamBlock& params, std::span<const uint8_t> payload = {},
                    int64_t dueNs = 0);
    // Faults before a picture; false when the picture is not to be sent.
    bool beforePicture();
    void sendLivePicture(uint32_t mask, uint32_t pacing);
    void sendPlaybackPicture();
    frame::PictureKind currentKind() const;
    int nextChannel(uint32_t mask, frame::PictureKind kind);

    const SimOptions& m_options;
    RecordSource& m_records;
    LogSink m_log;
    int m_id;
    SimClock& m_clock;
    PicturePacer m_pacer;
    link::PacketFramer m_framer;
    link::PacketHeader m_header;
    link::ParamBlock m_params;
    std::deque<Reply> m_outgoing;
    link::VersionText m_version;
    bool m_close = false;
    bool m_silent = false;
    bool m_hugeSent = false;
    int m_pictures = 0;
    int m_packetsReceived = 0;
    int m_nextChannel = 0;
    uint32_t m_garbageSeed = 12345;
    // Playback.
    Recording m_recording;
    bool m_playing = false;
    int64_t m_playSlot = 0;  // the next picture's slot of the recording
    int m_playStride = 1;    // pictures per step
    bool m_playBackward = false;
    int m_playbackPictures = 0;
};

// The TCP server. start() runs it on its own thread; run() on the caller's.
class RecorderSimulator {
public:
    using LogSink = SimConnection::LogSink;

    explicit RecorderSimulator(SimOptions options, LogSink log = {}, SimClock& clock = steadySimClock());
    ~RecorderSimulator();
    RecorderSimulator(const RecorderSimulator&) = delete;
    RecorderSimulator& operator=(const RecorderSimulator&) = delete;

    // Binds and listens. Returns false with a one-line error for a
    // non-loopback host or a failed bind.
    bool listen(std::string& error);
    uint16_t port() const { return m_port; }

    // Serves until stop() (or, with `once`, until the first connection ends).
    void run();
    void start();
    // Asks the loop to end; safe from a signal handler.
    void requestStop();
    // Ends the loop and waits for its thread.
    void stop();

    RecordSource& records() { return m_records; }
    int connectionsServed() const { return m_connections.load(); }

private:
    SimOptions m_options;
    LogSink m_log;
    SimClock& m_clock;
    RecordSource m_records;
    int m_listenFd = -1;
    int m_wakeFd = -1;       // read end of the stop pipe
    int m_wakeWriteFd = -1;  // write end
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

}  // namespace dvr::sim
