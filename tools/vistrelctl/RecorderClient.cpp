#include "tools/vistrelctl/RecorderClient.h"

#include "common/frame/FormatText.h"
#include "common/frame/JpegEncoder.h"
#include "common/frame/SourceRect.h"
#include "common/fs/AtomicFile.h"
#include "common/json/Json.h"
#include "viewer/link/EventRecord.h"
#include "viewer/link/LiveStream.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace dvr::ctl {

namespace {

using Clock = std::chrono::steady_clock;

class ClientHost : public link::LiveHost {
public:
    void runViewDisconnect(link::DisconnectReason reason) override {
        if (!ended)
            ended = reason;
        if (session)
            session->disconnect();
    }
    void recordingRange(const link::RecordingRange&) override { ++rangeReplies; }
    void livePicture(const frame::PictureRecord& record) override {
        if (!onPicture)
            return;
        const frame::DecodedFrame decoded = decoder.decode(record);
        if (decoded.ok())
            onPicture(decoded.channel, decoded.header, *decoded.picture);
    }
    void eventList(std::span<const uint8_t> records) override {
        events.assign(records.begin(), records.end());
        eventsArrived = true;
    }
    void eventListDropped(uint32_t records) override {
        droppedEvents = records;
        eventsArrived = true;
    }
    void eventListAnnounced(uint32_t records) override {
        // An empty list has no body to wait for.
        if (records == 0) {
            events.clear();
            eventsArrived = true;
        }
    }

    link::RecorderSession* session = nullptr;
    frame::FrameDecoder decoder;
    std::optional<link::DisconnectReason> ended;
    int rangeReplies = 0;
    std::vector<uint8_t> events;
    bool eventsArrived = false;
    std::optional<uint32_t> droppedEvents;  // the records of a list too large to read
    std::function<void(int, const frame::FrameHeader&, const frame::DecodedPicture&)> onPicture;
};

class Client {
public:
    explicit Client(const ClientOptions& options) : m_options(options) {
        m_host.session = &m_session;
        m_session.setWatchdogPeriod(std::chrono::milliseconds(options.watchdogMs));
        m_session.setCredentials(options.user, options.password);
    }

    link::RecorderSession& session() { return m_session; }
    ClientHost& host() { return m_host; }

    // Connects and runs the poll loop until done() holds. Returns the error
    // line, or an empty text on success.
    std::string run(const std::function<bool()>& done) {
        if (m_options.host.empty())
            return "no host given (--host)";
        m_socket.setLookupTimeoutMs(m_options.lookupTimeoutMs);
        if (!m_driver.connect(m_options.host, m_options.port)) {
            if (m_socket.lookupFailed())
                return "cannot resolve " + m_options.host;
            return "connection refused: " + m_options.host + " port " + std::to_string(m_options.port);
        }
        const auto start = Clock::now();
        for (;;) {
            if (m_host.ended)
                return disconnectReasonText(*m_host.ended);
            if (done())
                return {};
            if (!m_session.hasSocket())
                return "connection closed";
            const auto now = Clock::now();
            if (m_options.timeoutSeconds > 0 &&
                now - start > std::chrono::duration<double>(m_options.timeoutSeconds))
                return "no answer";
            // The poll wakes for the session's watchdog check and gives it the time.
            const int waitMs = 100;
            if (!m_poller.pollOnce(waitMs)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
                m_driver.onTime();
            }
        }
    }

    void finish() { m_session.disconnect(); }

private:
    const ClientOptions& m_options;
    link::RecorderSocket m_socket;
    ClientHost m_host;
    link::SteadyClock m_clock;
    link::RecorderSession m_session{m_host};
    link::SessionDriver m_driver{m_session, m_socket, m_clock};
    link::SessionPoller m_poller{m_driver, m_socket};
};

int failWith(std::ostream& err, const std::string& line) {
    err << "vistrelctl: " << line << "\n";
    return 1;
}

std::string rangeText(uint32_t date, uint32_t time) {
    return dateTimeText(link::unpackRecorderTime(date, time));
}

std::string formatText(uint32_t flags, uint32_t standard) {
    const std::string_view quality = frame::qualityWord(flags);
    const std::string_view size = frame::sizeText(flags, frame::isSixtyField(standard));
    return quality.empty() ? std::string(size) : std::string(quality) + " " + std::string(size);
}

// The latest picture part of one channel.
struct ChannelPicture {
    int pictures = 0;
    std::string format;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

}  // namespace

int runInfo(const ClientOptions& options, std::ostream& out, std::ostream& err) {
    Client client(options);
    // The login reply and then the recording-range reply.
    const std::string error = client.run([&] { return client.host().rangeReplies >= 2; });
    if (!error.empty())
        return failWith(err, error);
    const link::RecorderSession& s = client.session();
    const link::RecordingRange range = s.recordingRange();
    const std::string version = link::windows1252ToUtf8(link::versionString(s.versionText()));
    const int level = s.protocolLevel();
    const bool newer = s.newerProtocol();
    const int channels = s.channelCount();
    const bool keyLock = s.keyLocked();
    client.finish();
    if (options.json) {
        out << "{\"version\":" << jsonString(version) << ",\"protocolLevel\":" << level
            << ",\"newerProtocol\":" << (newer ? "true" : "false") << ",\"channels\":" << channels
            << ",\"keyLock\":" << (keyLock ? "true" : "false")
            << ",\"rangeStart\":" << jsonString(rangeText(range.startDate, range.startTime))
            << ",\"rangeEnd\":" << jsonString(rangeText(range.endDate, range.endTime)) << "}\n";
    } else {
        out << "version:        " << lineText(version) << "\n"
            << "protocol level: " << level << "\n"
            << "newer protocol: " << (newer ? "yes" : "no") << "\n"
            << "channels:       " << channels << "\n"
            << "key lock:       " << (keyLock ? "yes" : "no") << "\n"
            << "recorded from:  " << rangeText(range.startDate, range.startTime) << "\n"
            << "recorded to:    " << rangeText(range.endDate, range.endTime) << "\n";
    }
    return 0;
}

int runLive(const ClientOptions& options, std::ostream& out, std::ostream& err) {
    if (options.layout != 1 && options.layout != 4 && options.layout != 9 && options.layout != 16)
        return failWith(err, "layout must be 1, 4, 9 or 16");
    if (options.first < 0 || options.first > 15)
        return failWith(err, "first channel must be 0 to 15");
    if (options.frames <= 0 && options.seconds <= 0)
        return failWith(err, "give --frames N or --seconds S");
    if (options.outDir.empty())
        return failWith(err, "give --out DIR");
    std::error_code ec;
    std::filesystem::create_directories(options.outDir, ec);
    if (ec)
        return failWith(err, "cannot create " + options.outDir + ": " + ec.message());

    Client client(options);
    link::LiveStream& live = client.session().live();
    // The layout's panes start at the first channel and never run past 16.
    const int first = options.layout == 1 ? options.first : std::min(options.first, 16 - options.layout);
    live.setDisplayedChannelMask(link::displayedMaskFor(options.layout, first));
    live.setRequestSpeed(options.speed > 0 ? options.speed : link::defaultRequestSpeed(options.layout));

    std::array<ChannelPicture, 16> channels;
    int pictures = 0;
    client.host().onPicture = [&](int channel, const frame::FrameHeader& header,
                                  const frame::DecodedPicture& picture) {
        ++pictures;
        const uint32_t flags = header.pictureFlags;
        const int base = frame::baseChannel(channel, flags);
        const int carried = frame::channelsPerPicture(flags);
        for (int c = base; c < base + carried && c < 16; ++c) {
            const frame::PixelRect rect = frame::channelSourceRect(flags, c, picture.width, picture.height);
            if (rect.width <= 0 || rect.height <= 0)
                continue;
            ChannelPicture& slot = channels[static_cast<size_t>(c)];
            ++slot.pictures;
            slot.format = formatText(flags, header.videoStandard);
            slot.width = rect.width;
            slot.height = rect.height;
            slot.pixels.resize(static_cast<size_t>(rect.width) * 4 * static_cast<size_t>(rect.height));
            for (int y = 0; y < rect.height; ++y)
                std::memcpy(slot.pixels.data() + static_cast<size_t>(y) * rect.width * 4,
                            picture.pixels.data() + (static_cast<size_t>(rect.y + y) * picture.stride()) +
                                static_cast<size_t>(rect.x) * 4,
                            static_cast<size_t>(rect.width) * 4);
        }
    };

    const auto start = Clock::now();
    const std::string error = client.run([&] {
        if (options.frames > 0)
            return pictures >= options.frames;
        return Clock::now() - start >= std::chrono::duration<double>(options.seconds);
    });
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    // A run of a few seconds ends before the watchdog would: a recorder that never logged us in did not
    // answer, which is no run of zero pictures.
    const bool loggedIn = client.session().loggedIn();
    client.finish();
    if (error.empty() && !loggedIn)
        return failWith(err, "no answer");

    frame::JpegEncoder encoder;
    for (size_t c = 0; c < channels.size(); ++c) {
        const ChannelPicture& slot = channels[c];
        if (slot.pictures == 0)
            continue;
        const auto jpeg = encoder.encode(slot.pixels.data(), slot.width, slot.height,
                                         static_cast<size_t>(slot.width) * 4, 4, options.jpegQuality);
        char name[16];
        std::snprintf(name, sizeof name, "ch%02zu.jpg", c + 1);
        const std::filesystem::path path = std::filesystem::path(options.outDir) / name;
        // Replaced whole; a link at the name is replaced, never followed.
        if (jpeg.empty() ||
            !fs::AtomicFile::write(path.string(),
                                   std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()))
                 .ok)
            return failWith(err, "cannot write " + path.string());
    }

    const double rate = elapsed > 0 ? pictures / elapsed : 0.0;
    char rateText[32];
    std::snprintf(rateText, sizeof rateText, "%.2f", rate);
    if (options.json) {
        out << "{\"pictures\":" << pictures << ",\"picturesPerSecond\":" << rateText << ",\"channels\":[";
        bool firstEntry = true;
        for (size_t c = 0; c < channels.size(); ++c) {
            if (channels[c].pictures == 0)
                continue;
            out << (firstEntry ? "" : ",") << "{\"channel\":" << c << ",\"pictures\":" << channels[c].pictures
                << ",\"format\":" << jsonString(channels[c].format) << "}";
            firstEntry = false;
        }
        out << "]}\n";
    } else {
        for (size_t c = 0; c < channels.size(); ++c) {
            if (channels[c].pictures == 0)
                continue;
            char line[96];
            std::snprintf(line, sizeof line, "channel %2zu: %6d pictures  %s\n", c, channels[c].pictures,
                          channels[c].format.c_str());
            out << line;
        }
        out << "total: " << pictures << " pictures, " << rateText << " pictures per second\n";
    }
    if (!error.empty())
        return failWith(err, error);
    return 0;
}

int runEvents(const ClientOptions& options, std::ostream& out, std::ostream& err) {
    Client client(options);
    bool asked = false;
    const std::string error = client.run([&] {
        if (!asked && client.host().rangeReplies >= 2) {
            client.session().request(link::RequestKind::EventList);
            asked = true;
        }
        return client.host().eventsArrived;
    });
    if (!error.empty())
        return failWith(err, error);
    client.finish();
    if (const std::optional<uint32_t> dropped = client.host().droppedEvents)
        return failWith(err, "the recorder's event list of " + std::to_string(*dropped) +
                                 " records is larger than any recorder holds: not read");
    const std::vector<link::EventRecord> events = link::parseEventRecords(client.host().events);
    if (options.json) {
        out << "{\"events\":[";
        for (size_t i = 0; i < events.size(); ++i) {
            const link::EventRecord& e = events[i];
            out << (i ? "," : "") << "{\"channel\":" << e.channel << ",\"type\":" << int(e.type)
                << ",\"text\":" << jsonString(link::eventTypeText(e.type))
                << ",\"time\":" << jsonString(dateTimeText(e.time)) << "}";
        }
        out << "]}\n";
    } else {
        for (const link::EventRecord& e : events) {
            char line[96];
            std::snprintf(line, sizeof line, "CH%-3d %-18s [ %04d/%02d/%02d ] %02d:%02d:%02d\n",
                          e.channel + 1, std::string(link::eventTypeText(e.type)).c_str(), e.time.year,
                          e.time.month, e.time.day, e.time.hour, e.time.minute, e.time.second);
            out << line;
        }
        out << events.size() << " events\n";
    }
    return 0;
}

}  // namespace dvr::ctl
