// A fake transport, a fake clock and a recording host for driving a RecorderSession by hand.
#pragma once

#include "viewer/link/Packet.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderTransport.h"
#include "viewer/link/SessionDriver.h"
#include "viewer/link/SessionHost.h"
#include "viewer/link/SessionReader.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace dvr::link::testing {

class FakeTransport : public RecorderTransport {
public:
    ConnectStart open(std::string_view address, uint16_t port) override {
        lastAddress = std::string(address);
        lastPort = port;
        if (refuse)
            return ConnectStart::Failed;
        isOpenFlag = true;
        ++opens;
        return ConnectStart::InProgress;
    }
    bool isOpen() const override { return isOpenFlag; }
    // Takes at most `room` bytes (all while room is unlimited); each send
    // call that takes bytes is one entry of `sent`, and `wire` holds them all.
    Sent send(std::span<const uint8_t> bytes) override {
        Sent r;
        ++sendCalls;
        if (sendError != 0) {
            r.error = sendError;
            return r;
        }
        const size_t n = std::min(bytes.size(), room);
        if (room != SIZE_MAX)
            room -= n;
        if (n > 0) {
            sent.emplace_back(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
            wire.insert(wire.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
        }
        r.bytes = n;
        return r;
    }
    void watchWritable(bool on) override { writeWatched = on; }
    Received receive(std::span<uint8_t> buffer) override {
        Received r;
        if (incoming.empty()) {
            r.closed = peerClosed;
            return r;
        }
        std::vector<uint8_t>& chunk = incoming.front();
        const size_t n = std::min(chunk.size(), buffer.size());
        std::memcpy(buffer.data(), chunk.data(), n);
        chunk.erase(chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(n));
        if (chunk.empty())
            incoming.pop_front();
        r.bytes = n;
        return r;
    }
    void setReceiveBuffer(int bytes) override { receiveBuffer = bytes; }
    void close() override {
        if (isOpenFlag) {
            ++closes;
            wireAtClose = wire.size();
        }
        isOpenFlag = false;
    }

    // Queues bytes that arrive as one read (split if over 4096 bytes).
    void arrive(std::span<const uint8_t> bytes) { incoming.emplace_back(bytes.begin(), bytes.end()); }

    PacketHeader sentHeader(size_t i) const { return readPacketHeader(sent.at(i)); }
    ParamBlock sentParams(size_t i) const {
        return readParamBlock(std::span<const uint8_t>(sent.at(i)).subspan(kPacketHeaderBytes));
    }
    uint32_t sentCommand(size_t i) const { return sentHeader(i).command; }
    std::vector<uint32_t> sentCommands() const {
        std::vector<uint32_t> out;
        for (size_t i = 0; i < sent.size(); ++i)
            out.push_back(sentCommand(i));
        return out;
    }

    size_t room = SIZE_MAX;
    int sendError = 0;
    int sendCalls = 0;
    bool writeWatched = false;
    std::vector<uint8_t> wire;
    bool refuse = false;
    bool isOpenFlag = false;
    bool peerClosed = false;
    int opens = 0;
    int closes = 0;
    size_t wireAtClose = 0;  // bytes the socket had taken when it was last closed
    int receiveBuffer = 0;
    std::string lastAddress;
    uint16_t lastPort = 0;
    std::vector<std::vector<uint8_t>> sent;
    std::deque<std::vector<uint8_t>> incoming;
};

// A monotonic clock the test steps by hand.
class FakeSteadyClock : public MonotonicClock {
public:
    TimePoint steadyNow() const override { return now; }
    void advance(std::chrono::milliseconds by) { now += by; }
    TimePoint now{std::chrono::hours(1)};
};

struct Picture {
    int channel;
    uint32_t flags;
    int width;
    int height;
};

class RecordingHost : public LiveHost {
public:
    // The playback side: reads the flags and fills the lists of its owner.
    class Playback : public PlaybackHost {
    public:
        explicit Playback(RecordingHost& owner) : m_owner(owner) {}
        bool playbackActive() const override { return m_owner.playbackOn; }
        int playState() const override { return m_owner.playStateValue; }
        bool playing() const override { return m_owner.playingFlag; }
        void setPlaying(bool on) override { m_owner.playingFlag = on; }
        void playbackPictureTime(uint32_t d, uint32_t t) override { m_owner.pictureTimes.push_back({d, t}); }
        void playbackPosition(uint32_t v) override { m_owner.positions.push_back(v); }
        void playbackStatus(uint32_t code) override { m_owner.statuses.push_back(code); }
        void playbackPicture(const frame::PictureRecord& record) override {
            const frame::DecodedFrame d = m_owner.decoder.decode(record);
            if (d.ok())
                m_owner.playbackPictures.push_back(
                    {d.channel, d.header.pictureFlags, d.picture->width, d.picture->height});
        }

    private:
        RecordingHost& m_owner;
    };

    void setConnectionState(ConnectionState s) override { states.push_back(s); }
    void setKeyLock(bool on) override { keyLock = on; }
    void toggleActivity(ActivityTarget t) override {
        t == ActivityTarget::LiveView ? ++liveToggles : ++bothToggles;
    }
    void activityOff() override { ++activityOffs; }
    void runViewDisconnect(DisconnectReason r) override {
        disconnects.push_back(r);
        if (session)
            session->disconnect();
    }
    void setWatchdogRunning(bool on) override { watchdog = on; }
    void livePositions(uint32_t play, uint32_t rec) override {
        playPosition = play;
        recordPosition = rec;
    }
    void liveFormatChanged(uint32_t flags, uint32_t) override { formatChanges.push_back(flags); }
    void livePicture(const frame::PictureRecord& record) override {
        const frame::DecodedFrame d = decoder.decode(record);
        if (d.ok())
            livePicture(d.channel, d.header, *d.picture);
    }
    virtual void livePicture(int channel, const frame::FrameHeader& h, const frame::DecodedPicture& p) {
        livePictures.push_back({channel, h.pictureFlags, p.width, p.height});
    }
    void afterLivePicture() override {
        ++afterLive;
        if (pendingPtz.size() && session) {
            session->sendPtz(pendingPtz, 3);
            pendingPtz.clear();
        }
    }
    void recordingRange(const RecordingRange& r) override { ranges.push_back(r); }
    void eventList(std::span<const uint8_t> records) override {
        events.emplace_back(records.begin(), records.end());
    }
    void eventListAnnounced(uint32_t records) override { announcedEvents.push_back(records); }
    void eventListDropped(uint32_t records) override { droppedEvents.push_back(records); }
    void setupReply(std::span<const uint8_t> bytes) override {
        setupReplies.emplace_back(bytes.begin(), bytes.end());
    }
    void showMessage(const MessageText& m) override {
        messages.push_back(std::string(m.key));
        // A message box runs its own event loop: the socket may be read again meanwhile.
        if (duringMessage)
            duringMessage();
    }

    Playback playback{*this};
    frame::FrameDecoder decoder;
    RecorderSession* session = nullptr;
    std::function<void()> duringMessage;
    std::vector<ConnectionState> states;
    bool keyLock = false;
    int liveToggles = 0;
    int bothToggles = 0;
    int activityOffs = 0;
    std::vector<DisconnectReason> disconnects;
    bool watchdog = false;
    uint32_t playPosition = 0;
    uint32_t recordPosition = 0;
    std::vector<uint32_t> formatChanges;
    std::vector<Picture> livePictures;
    int afterLive = 0;
    std::vector<uint8_t> pendingPtz;
    bool playbackOn = false;
    int playStateValue = 0;
    bool playingFlag = false;
    std::vector<RecordingRange> ranges;
    std::vector<std::pair<uint32_t, uint32_t>> pictureTimes;
    std::vector<uint32_t> positions;
    std::vector<uint32_t> statuses;
    std::vector<Picture> playbackPictures;
    std::vector<std::vector<uint8_t>> events;
    std::vector<uint32_t> announcedEvents;
    std::vector<uint32_t> droppedEvents;
    std::vector<std::vector<uint8_t>> setupReplies;
    std::vector<std::string> messages;
};

inline ParamBlock params(std::initializer_list<uint32_t> words) {
    ParamBlock b;
    size_t i = 0;
    for (uint32_t w : words)
        b.p[i++] = w;
    return b;
}

inline std::vector<uint8_t> reply(uint32_t command, const ParamBlock& p,
                                  std::span<const uint8_t> payload = {},
                                  std::string_view version = "DVRJ PACKET1.44") {
    return makePacket(makeVersionText(version), 1, command, p, payload);
}

}  // namespace dvr::link::testing
