// Feeds arbitrary byte streams, in arbitrary splits, to the recorder
// session's receive path. The first 4 bytes steer the splits and the host's
// answers; the rest is what the "recorder" sends.
#include "viewer/link/RecorderSession.h"
#include "viewer/link/SessionDriver.h"

#include "fuzz/support/StubPictureDecoder.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace {

using namespace dvr::link;

class Transport : public RecorderTransport {
public:
    ConnectStart open(std::string_view, uint16_t) override {
        m_open = true;
        return ConnectStart::InProgress;
    }
    bool isOpen() const override { return m_open; }
    Sent send(std::span<const uint8_t> bytes) override { return Sent{bytes.size(), 0}; }
    Received receive(std::span<uint8_t> buffer) override {
        Received r;
        const size_t n = std::min({buffer.size(), m_chunk, m_data.size()});
        std::memcpy(buffer.data(), m_data.data(), n);
        m_data = m_data.subspan(n);
        r.bytes = n;
        r.closed = n == 0;
        return r;
    }
    void setReceiveBuffer(int) override {}
    void close() override { m_open = false; }

    std::span<const uint8_t> m_data;
    size_t m_chunk = 1;
    bool m_open = false;
};

class StepClock : public MonotonicClock {
public:
    TimePoint steadyNow() const override { return now; }
    TimePoint now{};
};

// The playback side, steered by the input's first word.
class Playback : public PlaybackHost {
public:
    bool playbackActive() const override { return (steer & 1) != 0; }
    int playState() const override { return (steer & 2) ? 1 : 0; }
    bool playing() const override { return (steer & 4) != 0; }
    void playbackPicture(const dvr::frame::PictureRecord& record) override {
        const dvr::frame::DecodedFrame result = decoder->decode(record);
        if (result.ok() && (result.channel < 0 || result.channel > 15))
            __builtin_trap();
    }

    dvr::frame::FrameDecoder* decoder = nullptr;
    uint32_t steer = 0;
};

class Host : public LiveHost {
public:
    void runViewDisconnect(DisconnectReason) override { session->disconnect(); }
    void afterLivePicture() override {
        if (steer & 8) {
            const uint8_t ptz[3] = {1, 2, 3};
            session->sendPtz(ptz, 3);
        }
    }
    void livePicture(const dvr::frame::PictureRecord& record) override {
        const dvr::frame::DecodedFrame result = decoder->decode(record);
        if (!result.ok())
            return;
        // Touch what a view would copy.
        const dvr::frame::DecodedPicture& p = *result.picture;
        if (result.channel < 0 || result.channel > 15 || p.imageBytes() > p.pixels.size())
            __builtin_trap();
    }

    RecorderSession* session = nullptr;
    dvr::frame::FrameDecoder* decoder = nullptr;
    uint32_t steer = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    Transport transport;
    Host host;
    Playback playback;
    RecorderSession session(host, &playback);
    StepClock clock;
    SessionDriver driver(session, transport, clock);
    static dvr::fuzz::StubPictureDecoder stub;
    static dvr::frame::FrameDecoder decoder;
    decoder.setPictureDecoder(&stub);
    host.decoder = &decoder;
    playback.decoder = &decoder;
    host.session = &session;
    uint32_t seed = 0;
    std::memcpy(&seed, data, 4);
    host.steer = seed;
    playback.steer = seed;
    transport.m_data = std::span<const uint8_t>(data + 4, size - 4);

    if (!driver.connect("127.0.0.1", 50000))
        return 0;
    driver.onConnectResult(0);
    if (seed & 16) {
        session.setPlayRequest(0, 0, (seed >> 8) & 0xFFFF00);
        session.request(RequestKind::PlaySearch);
    }
    // Bounded: every round consumes at least one byte or ends.
    uint32_t state = seed | 1;
    for (size_t round = 0; round < size + 8 && session.wantsRead(); ++round) {
        state = state * 1664525u + 1013904223u;
        transport.m_chunk = 1 + (state >> 8) % kReadBytes;
        const size_t before = transport.m_data.size();
        driver.onReadable();
        if ((state >> 28) == 0) {
            clock.now += std::chrono::milliseconds(kWatchdogPeriodMs);
            driver.onTime();
        }
        if (transport.m_data.size() == before && !transport.m_data.empty())
            break;
    }
    return 0;
}
