#include "tools/dvrsim/RecorderSimulator.h"

#include "common/frame/SourceRect.h"
#include "common/json/Json.h"
#include "tools/synth/Synth.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace dvr::sim {

using link::ParamBlock;
using link::command::EventList;

namespace {

int64_t toSeconds(const DateTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return static_cast<int64_t>(timegm(&tm));
}

DateTime fromSeconds(int64_t seconds) {
    const time_t s = static_cast<time_t>(seconds);
    std::tm tm{};
    gmtime_r(&s, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

bool validTime(const DateTime& t) {
    return t.year >= 1996 && t.year <= 2095 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

std::string hex32(uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

int channelCountOf(uint32_t code) {
    switch (code & 0xFF) {
        case 1:
            return 1;
        case 8:
            return 8;
        case 16:
            return 16;
        default:
            return 4;
    }
}

uint32_t capacityDigits(int channels) {
    return channels >= 16 ? 0x16 : channels >= 8 ? 0x8 : 0x4;
}

}  // namespace

std::optional<DateTime> parseTimeText(const std::string& text) {
    DateTime t;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second) != 6 ||
        !validTime(t))
        return std::nullopt;
    return t;
}

std::vector<link::EventRecord> makeEvents(int count, const SimOptions& options) {
    std::vector<link::EventRecord> events;
    const int64_t start = toSeconds(options.rangeStart);
    const int64_t span = std::max<int64_t>(1, toSeconds(options.rangeEnd) - start);
    const int channels = channelCountOf(options.channelCode);
    for (int i = 0; i < count; ++i) {
        link::EventRecord e;
        e.time = fromSeconds(start + span * i / std::max(1, count));
        e.channel = i % channels;
        e.type = static_cast<uint8_t>(0x80 + i % 6);
        events.push_back(e);
    }
    return events;
}

// --- RecordSource ------------------------------------------------------------

RecordSource::RecordSource(const SimOptions& options)
    : m_options(options),
      m_channelCount(channelCountOf(options.channelCode)),
      m_layoutCode(options.layoutCode ? options.layoutCode : (0x10000u | capacityDigits(m_channelCount))) {}

std::shared_ptr<const std::vector<uint8_t>> RecordSource::record(frame::PictureKind kind, int channel) {
    const int base = frame::baseChannel(channel, synth::pictureFlagsFor(kind));
    const std::pair<int, int> key{static_cast<int>(kind), base};
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_records.find(key); it != m_records.end())
            return it->second;
    }
    synth::PictureShape shape;
    shape.kind = kind;
    shape.channel = base;
    // The recorder's codes follow its capacity (what the layout code says).
    shape.channelCount = std::max(frame::channelCapacity(m_layoutCode), m_channelCount);
    const int field = frame::fieldHeight(m_options.videoStandard);
    shape.height = kind == frame::PictureKind::FullHeight ? field * 2 : field;
    const size_t target =
        m_options.codestreamBytes ? m_options.codestreamBytes : synth::defaultCodestreamBytes(shape.height);
    const std::vector<uint8_t> codestream = synth::encodeJ2k(synth::drawPicture(shape), target);
    synth::RecordHeaderFields header;
    header.layoutCode = m_layoutCode;
    header.pictureFlags = synth::pictureFlagsFor(kind, m_options.quality);
    header.videoStandard = m_options.videoStandard;
    header.channel = static_cast<uint32_t>(base);
    header.signalWord = kind == frame::PictureKind::Quad ? frame::kQuadSignalWord : 0;
    auto record = std::make_shared<const std::vector<uint8_t>>(
        synth::buildWireRecord(synth::makeHeader(header, codestream.size()), codestream));
    std::lock_guard lock(m_mutex);
    return m_records.emplace(key, record).first->second;
}

void RecordSource::prewarm() {
    const frame::PictureKind kinds[] = {frame::PictureKind::Single, frame::PictureKind::Pair,
                                        frame::PictureKind::Quad, frame::PictureKind::FullHeight};
    for (const frame::PictureKind kind : kinds) {
        const bool wanted =
            m_options.pictures == PictureMix::Mixed ||
            (kind == frame::PictureKind::Single && m_options.pictures == PictureMix::Full) ||
            (kind == frame::PictureKind::Pair && m_options.pictures == PictureMix::Pair) ||
            (kind == frame::PictureKind::Quad && m_options.pictures == PictureMix::Quad) ||
            (kind == frame::PictureKind::FullHeight && m_options.pictures == PictureMix::Tall);
        if (!wanted)
            continue;
        const int step = frame::channelsPerPicture(synth::pictureFlagsFor(kind));
        for (int c = 0; c < m_channelCount; c += step)
            record(kind, c);
    }
}

// --- Recording ---------------------------------------------------------------

Recording::Recording(const SimOptions& options)
    : m_options(options),
      m_start(toSeconds(options.rangeStart)),
      m_end(toSeconds(options.rangeEnd)),
      m_step(std::max(1, options.recordStepSeconds)),
      m_slots(m_end >= m_start ? (m_end - m_start) / m_step + 1 : 0) {
    for (const auto& [from, to] : options.gaps)
        m_gaps.emplace_back(toSeconds(from), toSeconds(to));
}

bool Recording::present(int64_t slot) const {
    if (slot < 0 || slot >= m_slots)
        return false;
    const int64_t at = secondsOf(slot);
    for (const auto& [from, to] : m_gaps)
        if (at >= from && at <= to)
            return false;
    return true;
}

int64_t Recording::skipGaps(int64_t slot, bool backward) const {
    while (slot >= 0 && slot < m_slots && !present(slot)) {
        const int64_t at = secondsOf(slot);
        int64_t next = backward ? slot - 1 : slot + 1;
        // Jump over the whole gap that holds this slot.
        for (const auto& [from, to] : m_gaps) {
            if (at < from || at > to)
                continue;
            if (backward)
                next = std::min(next, from - 1 >= m_start ? (from - 1 - m_start) / m_step : -1);
            else
                next = std::max(next, (to - m_start) / m_step + 1);
        }
        slot = next;
    }
    return slot >= 0 && slot < m_slots ? slot : -1;
}

int64_t Recording::search(int64_t seconds, bool backward) const {
    if (m_slots == 0)
        return -1;
    int64_t slot;
    if (backward) {
        if (seconds < m_start)
            return -1;
        slot = std::min(m_slots - 1, (seconds - m_start) / m_step);
    } else {
        if (seconds > secondsOf(m_slots - 1))
            return -1;
        slot = seconds <= m_start ? 0 : (seconds - m_start + m_step - 1) / m_step;
    }
    return skipGaps(slot, backward);
}

int64_t Recording::step(int64_t slot, int pictures, bool backward) const {
    for (int i = 0; i < pictures && slot >= 0; ++i)
        slot = skipGaps(backward ? slot - 1 : slot + 1, backward);
    return slot;
}

frame::PictureKind Recording::kindOf(int64_t slot) const {
    switch (m_options.pictures) {
        case PictureMix::Full:
            return frame::PictureKind::Single;
        case PictureMix::Pair:
            return frame::PictureKind::Pair;
        case PictureMix::Quad:
            return frame::PictureKind::Quad;
        case PictureMix::Tall:
            return frame::PictureKind::FullHeight;
        case PictureMix::Mixed:
            break;
    }
    static constexpr frame::PictureKind cycle[] = {frame::PictureKind::Single, frame::PictureKind::Pair,
                                                   frame::PictureKind::Quad};
    return cycle[(slot / std::max(1, m_options.mixedRun)) % 3];
}

int Recording::channelOf(int64_t slot, frame::PictureKind kind) const {
    const int channels = channelCountOf(m_options.channelCode);
    const int perPicture = frame::channelsPerPicture(synth::pictureFlagsFor(kind));
    std::vector<int> groups;
    for (int base = 0; base < channels; base += perPicture) {
        const uint32_t carried = ((1u << perPicture) - 1) << base;
        if (m_options.recordedChannels & carried)
            groups.push_back(base);
    }
    if (groups.empty())
        return 0;
    return groups[static_cast<size_t>(slot % static_cast<int64_t>(groups.size()))];
}

uint32_t Recording::positionMillionths(int64_t slot) const {
    const int64_t span = std::max<int64_t>(1, m_end - m_start);
    return static_cast<uint32_t>((secondsOf(slot) - m_start) * 1000000 / span);
}

// --- Pacing -------------------------------------------------------------------

namespace {

class SteadySimClock final : public SimClock {
public:
    int64_t nowNs() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace

SimClock& steadySimClock() {
    static SteadySimClock clock;
    return clock;
}

int64_t PicturePacer::intervalNs(uint32_t pacing) const {
    if (m_fps <= 0)
        return 0;
    const int64_t p = pacing >= 1 && pacing <= 10 ? pacing : 1;
    // fps * (11 - p) / 10 pictures a second.
    return int64_t(10) * 1000000000 / (int64_t(m_fps) * (11 - p));
}

int64_t PicturePacer::schedule(int64_t nowNs, uint32_t pacing) {
    int64_t due = nowNs;
    if (m_lastNs)
        due = std::max(nowNs, *m_lastNs + intervalNs(pacing));
    m_lastNs = due;
    return due;
}

// --- SimConnection -----------------------------------------------------------

SimConnection::SimConnection(const SimOptions& options, RecordSource& records, LogSink log, int id,
                             SimClock& clock)
    : m_options(options),
      m_records(records),
      m_log(std::move(log)),
      m_id(id),
      m_clock(clock),
      m_pacer(options.fps),
      m_framer(1 << 20),
      m_version(link::makeVersionText(options.versionText)),
      m_recording(options) {}

void SimConnection::receive(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        size_t used = 0;
        const uint64_t dropped = m_framer.droppedBytes();
        const link::FramerEvent event = m_framer.next(bytes, used);
        bytes = bytes.subspan(used);
        if (m_framer.droppedBytes() != dropped && m_log)
            m_log("{\"event\":\"torn\",\"connection\":" + std::to_string(m_id) +
                  ",\"droppedBytes\":" + std::to_string(m_framer.droppedBytes() - dropped) + "}");
        if (event.kind == link::FramerEvent::Kind::Header) {
            m_header = event.header;
            m_params = event.params;
            if (event.payloadBytes == 0)
                handle(m_header, m_params, {});
        } else if (event.kind == link::FramerEvent::Kind::PayloadComplete) {
            handle(m_header, m_params, event.payload);
        }
    }
}

void SimConnection::logPacket(const link::PacketHeader& header, const ParamBlock& params,
                              std::span<const uint8_t> payload) {
    if (!m_log)
        return;
    std::string line =
        "{\"event\":\"packet\",\"connection\":" + std::to_string(m_id) +
        ",\"command\":" + jsonString(hex32(header.command)) + ",\"type\":" + std::to_string(header.type) +
        ",\"length\":" + std::to_string(header.length) +
        ",\"version\":" + jsonString(link::windows1252ToUtf8(link::versionString(header.version)));
    if (header.command == link::command::Login) {
        // The login block: user (128 bytes) and password (144 bytes) after p0..p7's place.
        std::vector<uint8_t> block(link::kLoginBlockBytes, 0);
        for (size_t i = 0; i < 8; ++i)
            for (size_t b = 0; b < 4; ++b)
                block[i * 4 + b] = static_cast<uint8_t>(params.p[i] >> (8 * b));
        std::memcpy(block.data() + 32, payload.data(), std::min(payload.size(), block.size() - 32));
        auto field = [&](size_t offset, size_t size) {
            const char* begin = reinterpret_cast<const char*>(block.data() + offset);
            return link::windows1252ToUtf8(std::string_view(begin, strnlen(begin, size)));
        };
        line += ",\"user\":" + jsonString(field(0, link::kLoginUserBytes)) +
                ",\"password\":" + jsonString(field(link::kLoginUserBytes, link::kLoginPasswordBytes));
    } else {
        line += ",\"params\":[";
        for (size_t i = 0; i < 8; ++i)
            line += (i ? "," : "") + std::to_string(params.p[i]);
        line += "],\"payloadBytes\":" + std::to_string(payload.size());
        if (header.command == link::command::PtzData) {
            std::string hex;
            for (uint8_t b : payload) {
                char buffer[4];
                std::snprintf(buffer, sizeof buffer, "%02x", b);
                hex += buffer;
            }
            line += ",\"ptz\":" + jsonString(hex);
        }
    }
    line += "}";
    m_log(line);
}

void SimConnection::queue(std::vector<uint8_t> bytes, int64_t dueNs) {
    if (!bytes.empty())
        m_outgoing.push_back({std::move(bytes), dueNs});
}

void SimConnection::queueReply(uint32_t command, const ParamBlock& params, std::span<const uint8_t> payload,
                               int64_t dueNs) {
    queue(link::makePacket(m_version, 1, command, params, payload), dueNs);
}

frame::PictureKind SimConnection::currentKind() const {
    switch (m_options.pictures) {
        case PictureMix::Full:
            return frame::PictureKind::Single;
        case PictureMix::Pair:
            return frame::PictureKind::Pair;
        case PictureMix::Quad:
            return frame::PictureKind::Quad;
        case PictureMix::Tall:
            return frame::PictureKind::FullHeight;
        case PictureMix::Mixed:
            break;
    }
    static constexpr frame::PictureKind cycle[] = {frame::PictureKind::Single, frame::PictureKind::Pair,
                                                   frame::PictureKind::Quad};
    return cycle[(m_pictures / std::max(1, m_options.mixedRun)) % 3];
}

int SimConnection::nextChannel(uint32_t mask, frame::PictureKind kind) {
    const int channels = m_records.channelCount();
    const uint32_t visible = m_options.visibility >> 16;
    const int step = frame::channelsPerPicture(synth::pictureFlagsFor(kind));
    for (int i = 0; i < channels; ++i) {
        const int c = (m_nextChannel + i) % channels;
        // A group is sent when any channel it carries is wanted and visible.
        const int base = c - c % step;
        bool wanted = false;
        for (int k = base; k < base + step && k < channels; ++k)
            wanted = wanted || (((mask & visible) >> k) & 1u);
        if (wanted && c == base) {
            m_nextChannel = (base + step) % channels;
            return base;
        }
    }
    m_nextChannel = 0;
    return 0;
}

bool SimConnection::beforePicture() {
    if (m_options.silenceAfter >= 0 && m_pictures >= m_options.silenceAfter) {
        m_silent = true;
        return false;
    }
    if (m_options.endAfter >= 0 && m_pictures >= m_options.endAfter) {
        queueReply(link::command::SessionEnded, {});
        m_silent = true;
        return false;
    }
    if (m_options.closeAfter >= 0 && m_pictures >= m_options.closeAfter) {
        m_close = true;
        return false;
    }
    if (m_options.hugeAfter >= 0 && m_pictures == m_options.hugeAfter && !m_hugeSent) {
        // The reply the viewer cannot keep: it answers the request all the same.
        const link::PacketHeader huge{m_version, 0xFFFFFF00u, 1, link::command::LivePictureReply};
        queue(link::serializePacket(huge, {}, std::vector<uint8_t>(512, 0x77)));
        m_hugeSent = true;
        return false;
    }
    if (m_options.garbageEvery > 0 && (m_pictures + 1) % m_options.garbageEvery == 0) {
        std::vector<uint8_t> garbage(1000);
        for (uint8_t& b : garbage) {
            m_garbageSeed = m_garbageSeed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(m_garbageSeed >> 16);
            if (b == 'D')
                b = 'd';
        }
        queue(std::move(garbage));
    }
    return true;
}

void SimConnection::sendLivePicture(uint32_t mask, uint32_t pacing) {
    if (!beforePicture())
        return;
    const int64_t dueNs = m_options.fps > 0 ? m_pacer.schedule(m_clock.nowNs(), pacing) : 0;
    const frame::PictureKind kind = currentKind();
    const auto record = m_records.record(kind, nextChannel(mask, kind));
    ParamBlock p;
    p.p[0] = m_options.playPosition;
    p.p[4] = m_options.recordPosition;
    p.p[5] = m_options.visibility;
    queueReply(link::command::LivePictureReply, p, *record, dueNs);
    ++m_pictures;
}

void SimConnection::sendPlaybackPicture() {
    ParamBlock p;
    if (!m_playing) {
        p.p[3] = link::playstatus::StopPlayImage;
        queueReply(link::command::PlaybackPictureReply, p);
        return;
    }
    if (m_playSlot < 0 || !m_recording.present(m_playSlot)) {
        m_playing = false;
        p.p[3] = link::playstatus::EndOfPlay;
        queueReply(link::command::PlaybackPictureReply, p);
        return;
    }
    if (m_options.playFailAfter >= 0 && m_playbackPictures >= m_options.playFailAfter) {
        m_playing = false;
        p.p[3] = link::playstatus::Error;
        queueReply(link::command::PlaybackPictureReply, p);
        return;
    }
    if (!beforePicture())
        return;
    // Played-back pictures come at the full rate.
    const int64_t dueNs = m_options.fps > 0 ? m_pacer.schedule(m_clock.nowNs(), 1) : 0;
    const DateTime t = fromSeconds(m_recording.secondsOf(m_playSlot));
    const frame::PictureKind kind = m_recording.kindOf(m_playSlot);
    const auto shared = m_records.record(kind, m_recording.channelOf(m_playSlot, kind));
    std::vector<uint8_t> record = *shared;
    if (record.size() >= frame::kFrameHeaderBytes) {
        const uint32_t stamp[2] = {link::packDateWord(t), link::packTimeWord(t)};
        for (size_t w = 0; w < 2; ++w)
            for (size_t b = 0; b < 4; ++b)
                record[kStampDateOffset + w * 4 + b] = static_cast<uint8_t>(stamp[w] >> (8 * b));
    }
    p.p[0] = link::packPictureDateWord(t);
    p.p[1] = link::packPictureTimeWord(t);
    p.p[3] = 1;
    p.p[4] = m_recording.positionMillionths(m_playSlot);
    queueReply(link::command::PlaybackPictureReply, p, record, dueNs);
    ++m_pictures;
    ++m_playbackPictures;
    m_playSlot = m_recording.step(m_playSlot, m_playStride, m_playBackward);
}

void SimConnection::handle(const link::PacketHeader& header, const ParamBlock& params,
                           std::span<const uint8_t> payload) {
    logPacket(header, params, payload);
    ++m_packetsReceived;
    if (m_silent || m_close)
        return;
    namespace cmd = link::command;
    ParamBlock p;
    switch (header.command) {
        case cmd::Login: {
            p.p[0] = (m_options.refuseLogin ? 0u : 1u) | (m_options.newerBit ? 0x40000000u : 0u) |
                     (m_options.keyLock ? 0x80000000u : 0u);
            p.p[1] = m_options.channelCode;
            p.p[2] = link::packDateWord(m_options.rangeStart);
            p.p[3] = link::packTimeWord(m_options.rangeStart);
            p.p[4] = link::packDateWord(m_options.rangeEnd);
            p.p[5] = link::packTimeWord(m_options.rangeEnd);
            queueReply(cmd::LoginReply, p);
            break;
        }
        case cmd::LivePicture:
            sendLivePicture(params.p[2], params.p[3]);
            break;
        case cmd::Stop:
            queueReply(cmd::StopReply, p);
            break;
        case EventList: {
            std::vector<uint8_t> body(m_options.events.size() * link::kEventRecordBytes);
            for (size_t i = 0; i < m_options.events.size(); ++i)
                link::writeEventRecord(std::span<uint8_t>(body).subspan(i * 16).first<16>(),
                                       m_options.events[i]);
            p.p[0] = static_cast<uint32_t>(m_options.events.size());
            queueReply(cmd::EventListReply, p, body);
            break;
        }
        case cmd::RecordingRange:
            p.p[2] = link::packDateWord(m_options.rangeStart);
            p.p[3] = link::packTimeWord(m_options.rangeStart);
            p.p[4] = link::packDateWord(m_options.rangeEnd);
            p.p[5] = link::packTimeWord(m_options.rangeEnd);
            queueReply(cmd::RecordingRangeReply, p);
            break;
        case cmd::PlaySearch: {
            const DateTime t = link::unpackRecorderTime(params.p[1], params.p[2]);
            const uint32_t mode = params.p[3];
            // Mode 2 steps `speed` pictures at a time, mode 1 (and 0) one.
            m_playStride = ((mode >> 8) & 0xFF) == 2 ? std::max(1, static_cast<int>((mode >> 16) & 0xFF)) : 1;
            m_playBackward = (mode >> 24) == 1;
            m_playing = false;
            if (!validTime(t)) {
                p.p[0] = 0;
                queueReply(cmd::PlaySearchReply, p);
                ParamBlock status;
                status.p[3] = link::playstatus::InvalidDate;
                queueReply(cmd::PlaybackPictureReply, status);
                break;
            }
            const int64_t slot = m_recording.search(toSeconds(t), m_playBackward);
            p.p[0] = slot >= 0 ? 1 : 0;
            queueReply(cmd::PlaySearchReply, p);
            if (slot >= 0) {
                m_playing = true;
                m_playSlot = slot;
            } else {
                ParamBlock status;
                status.p[3] = link::playstatus::NoSearchImage;
                queueReply(cmd::PlaybackPictureReply, status);
            }
            break;
        }
        case cmd::NextPlaybackPicture:
            sendPlaybackPicture();
            break;
        case cmd::StopPlayback:
            m_playing = false;
            p.p[0] = m_options.playError ? 2 : 1;
            queueReply(cmd::StopPlaybackReply, p);
            break;
        case cmd::SetupQuery: {
            const std::vector<uint8_t> body(64, 0x5E);
            queueReply(cmd::SetupQuery + 1, p, body);
            break;
        }
        case cmd::KeepAlive:
        case cmd::PtzData:
        default:
            break;
    }
}

// --- RecorderSimulator -------------------------------------------------------

RecorderSimulator::RecorderSimulator(SimOptions options, LogSink log, SimClock& clock)
    : m_options(std::move(options)), m_log(std::move(log)), m_clock(clock), m_records(m_options) {}

RecorderSimulator::~RecorderSimulator() {
    stop();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool RecorderSimulator::listen(std::string& error) {
    sockaddr_storage address{};
    socklen_t length = 0;
    const std::string host = m_options.host == "localhost" ? "127.0.0.1" : m_options.host;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        if ((ntohl(v4->sin_addr.s_addr) >> 24) != 127) {
            error = "refusing to listen on " + host + ": only loopback addresses are allowed";
            return false;
        }
        v4->sin_family = AF_INET;
        v4->sin_port = htons(m_options.port);
        length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        if (!IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr)) {
            error = "refusing to listen on " + host + ": only loopback addresses are allowed";
            return false;
        }
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(m_options.port);
        length = sizeof(sockaddr_in6);
    } else {
        error = "not a loopback address: " + host;
        return false;
    }
    m_listenFd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listenFd, 8) != 0) {
        error = "cannot listen on " + host + " port " + std::to_string(m_options.port) + ": " +
                std::strerror(errno);
        ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    m_port = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                              : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "cannot create a pipe";
        return false;
    }
    m_wakeFd = pipeFds[0];
    m_wakeWriteFd = pipeFds[1];
    if (m_log)
        m_log("{\"event\":\"listening\",\"host\":" + jsonString(host) +
              ",\"port\":" + std::to_string(m_port) + "}");
    return true;
}

namespace {

struct Client {
    int fd = -1;
    int id = 0;
    std::unique_ptr<SimConnection> connection;
    std::vector<uint8_t> sending;  // the reply being sent
    size_t sentBytes = 0;
    std::chrono::steady_clock::time_point nextSend{};
};

bool stoppedReading(const SimOptions& options, const Client& c) {
    return options.stopReadingAfter >= 0 && c.connection->packetsReceived() >= options.stopReadingAfter;
}

void logClose(const SimConnection::LogSink& log, const Client& c) {
    if (log)
        log("{\"event\":\"close\",\"connection\":" + std::to_string(c.id) +
            (c.connection->endsMidPacket() ? ",\"midPacket\":true" : "") + "}");
}

void readRest(const SimConnection::LogSink& log, Client& c, std::vector<uint8_t>& buffer) {
    // What the viewer sent while nobody read is read and logged now, until
    // it closes or a couple of seconds pass without an end.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{c.fd, POLLIN, 0};
        if (::poll(&p, 1, 100) < 0 && errno != EINTR)
            break;
        const ssize_t n = ::recv(c.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0)
            c.connection->receive(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
        else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            break;
    }
    logClose(log, c);
}

}  // namespace

void RecorderSimulator::run() {
    using Clock = std::chrono::steady_clock;
    std::vector<Client> clients;
    int nextId = 1;
    bool served = false;
    std::vector<uint8_t> buffer(65536);
    while (!m_stop.load()) {
        if (m_options.once && served && clients.empty())
            break;
        const auto now = Clock::now();
        std::vector<pollfd> fds;
        fds.push_back({m_wakeFd, POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        int timeoutMs = 200;
        for (Client& c : clients) {
            short events = 0;
            if (!c.connection->closeRequested() && !stoppedReading(m_options, c))
                events |= POLLIN;
            const bool hasData = !c.sending.empty() || !c.connection->outgoing().empty();
            if (hasData) {
                // A paced picture waits for its time, and what was queued after it waits behind it.
                const int64_t waitNs =
                    c.sending.empty() ? c.connection->outgoing().front().dueNs - m_clock.nowNs() : 0;
                if (c.nextSend <= now && waitNs <= 0)
                    events |= POLLOUT;
                else if (c.nextSend > now)
                    timeoutMs = std::min<int>(
                        timeoutMs, 1 + static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                            c.nextSend - now)
                                                            .count()));
                else
                    timeoutMs = std::min<int>(timeoutMs, 1 + static_cast<int>(waitNs / 1000000));
            }
            fds.push_back({c.fd, events, 0});
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakeFd, drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents & POLLIN) {
            for (;;) {
                const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0)
                    break;
                const int one = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                Client c;
                c.fd = fd;
                const int id = nextId++;
                c.id = id;
                c.connection = std::make_unique<SimConnection>(m_options, m_records, m_log, id, m_clock);
                if (m_log)
                    m_log("{\"event\":\"connect\",\"connection\":" + std::to_string(id) + "}");
                clients.push_back(std::move(c));
                ++m_connections;
                served = true;
            }
        }
        for (size_t i = 0; i < clients.size(); ++i) {
            Client& c = clients[i];
            const size_t slot = i + 2;
            bool drop = false;
            if (slot < fds.size() && fds[slot].fd == c.fd) {
                const short revents = fds[slot].revents;
                if (revents & (POLLIN | POLLHUP | POLLERR)) {
                    const ssize_t n = ::recv(c.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
                    if (n > 0)
                        c.connection->receive(
                            std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
                    else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                        drop = true;
                }
                if (!drop && (revents & POLLOUT)) {
                    if (c.sending.empty() && !c.connection->outgoing().empty()) {
                        c.sending = std::move(c.connection->outgoing().front().bytes);
                        c.connection->outgoing().pop_front();
                        c.sentBytes = 0;
                    }
                    if (!c.sending.empty()) {
                        size_t count = c.sending.size() - c.sentBytes;
                        if (m_options.splitBytes > 0)
                            count = std::min(count, m_options.splitBytes);
                        const ssize_t n = ::send(c.fd, c.sending.data() + c.sentBytes, count, MSG_NOSIGNAL);
                        if (n > 0) {
                            c.sentBytes += static_cast<size_t>(n);
                            if (m_options.splitBytes > 0)
                                c.nextSend = Clock::now() + std::chrono::milliseconds(m_options.splitDelayMs);
                            if (c.sentBytes == c.sending.size())
                                c.sending.clear();
                        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                            drop = true;
                        }
                    }
                }
            }
            const bool flushed = c.sending.empty() && c.connection->outgoing().empty();
            if (drop || (c.connection->closeRequested() && flushed)) {
                logClose(m_log, c);
                ::shutdown(c.fd, SHUT_RDWR);
                ::close(c.fd);
                clients.erase(clients.begin() + static_cast<ptrdiff_t>(i));
                --i;
                // The fds of the remaining clients shifted; handle them on the next pass.
                break;
            }
        }
    }
    for (Client& c : clients) {
        if (stoppedReading(m_options, c))
            readRest(m_log, c, buffer);
        ::close(c.fd);
    }
}

void RecorderSimulator::start() {
    m_stop = false;
    m_thread = std::thread([this] { run(); });
}

void RecorderSimulator::requestStop() {
    m_stop = true;
    if (m_wakeWriteFd >= 0) {
        const char b = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeWriteFd, &b, 1);
    }
}

void RecorderSimulator::stop() {
    requestStop();
    if (m_thread.joinable())
        m_thread.join();
    if (m_wakeWriteFd >= 0) {
        ::close(m_wakeWriteFd);
        m_wakeWriteFd = -1;
    }
}

}  // namespace dvr::sim
