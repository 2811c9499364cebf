#include "tools/vistrelctl/PlaybackCommand.h"
#include "tools/vistrelctl/RecorderClient.h"

#include "common/frame/JpegEncoder.h"
#include "common/frame/SourceRect.h"
#include "common/fs/AtomicFile.h"
#include "common/json/Json.h"
#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"
#include "viewer/playback/PlaybackController.h"
#include "viewer/playback/PlaybackControllerHost.h"
#include "viewer/playback/SessionPlaybackRequests.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace dvr::ctl {

namespace {

using Clock = std::chrono::steady_clock;
using playback::PlayButton;

DateTime localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::optional<DateTime> parseFrom(const std::string& text) {
    DateTime t;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &t.second, &tail) != 6)
        return std::nullopt;
    if (!playback::acceptableDate(t) || t.day > playback::daysInMonth(t.year, t.month) || t.hour < 0 ||
        t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
        return std::nullopt;
    return t;
}

// A position in millionths as a percent number: 123456 -> "12.3456".
std::string percentText(uint32_t millionths) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%04u", millionths / 10000, millionths % 10000);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s;
}

// The latest picture part of one channel.
struct ChannelPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

class PlaybackHost : public playback::PlaybackControllerHost {
public:
    using PlaybackControllerHost::PlaybackControllerHost;

    // The live side of the run: the session's disconnects and the range replies.
    class LiveSide : public link::LiveHost {
    public:
        explicit LiveSide(PlaybackHost& run) : m_run(run) {}
        void runViewDisconnect(link::DisconnectReason reason) override {
            if (!m_run.ended)
                m_run.ended = reason;
            if (m_run.session)
                m_run.session->disconnect();
        }
        void recordingRange(const link::RecordingRange&) override { ++m_run.rangeReplies; }
        // The recorder answered a stop with its play error.
        void showMessage(const link::MessageText& message) override {
            if (message.key == link::kPlayErrorMessage.key)
                m_run.playError = true;
        }

    private:
        PlaybackHost& m_run;
    };

    void playbackPictureTime(uint32_t dateWord, uint32_t timeWord) override {
        flush();
        PlaybackControllerHost::playbackPictureTime(dateWord, timeWord);
        pending = link::unpackPictureTime(dateWord, timeWord);
    }
    void playbackPosition(uint32_t millionths) override {
        PlaybackControllerHost::playbackPosition(millionths);
        pendingPosition = millionths;
    }
    void playbackStatus(uint32_t code) override {
        flush();
        PlaybackControllerHost::playbackStatus(code);
        statuses.push_back(code);
    }

    // Pictures kept for --out are decoded whole, as live --out keeps them; the lines alone need no more
    // than the panes' size.
    frame::ShownSize decodeSize() const override {
        return keepPixels ? frame::ShownSize{} : PlaybackControllerHost::decodeSize();
    }

    // Prints the line of a picture whose channel could not be read.
    void flush() {
        if (pending)
            emit(-1);
    }

    LiveSide liveSide{*this};
    link::RecorderSession* session = nullptr;
    std::optional<link::DisconnectReason> ended;
    int rangeReplies = 0;
    std::vector<uint32_t> statuses;
    bool playError = false;  // the recorder reported a play error (its stop answered with code 2)
    int pictures = 0;
    bool json = false;
    std::ostream* out = nullptr;
    std::array<ChannelPicture, 16> channels;
    bool keepPixels = false;
    // Set once the run has what it wanted: pictures still in flight are not shown.
    bool quiet = false;

protected:
    // Every picture is decoded so that each line names its channel; the
    // controller still sees the header for its own format check.
    bool acceptPicture(const frame::FrameHeader& header) override {
        PlaybackControllerHost::acceptPicture(header);
        return true;
    }
    void pictureDrawn(int channel, const frame::FrameHeader& header, const frame::DecodedPicture& picture,
                      const playback::PaneDrawList&) override {
        if (keepPixels && !quiet)
            keep(channel, header.pictureFlags, picture);
        if (pending)
            emit(channel);
    }

private:
    void emit(int channel) {
        if (quiet) {
            pending.reset();
            return;
        }
        ++pictures;
        const std::string time = dateTimeText(*pending);
        const std::string position = percentText(pendingPosition);
        if (json) {
            *out << "{\"time\": " << jsonString(time)
                 << ", \"channel\": " << (channel >= 0 ? std::to_string(channel) : std::string("null"))
                 << ", \"position\": " << position << "}\n";
        } else {
            *out << time << "  channel " << (channel >= 0 ? std::to_string(channel) : std::string("?"))
                 << "  position " << position << "%\n";
        }
        out->flush();
        pending.reset();
    }

    void keep(int channel, uint32_t flags, const frame::DecodedPicture& picture) {
        const int base = frame::baseChannel(channel, flags);
        for (int c = base; c < base + frame::channelsPerPicture(flags) && c < 16; ++c) {
            const frame::PixelRect rect = frame::channelSourceRect(flags, c, picture.width, picture.height);
            if (rect.width <= 0 || rect.height <= 0)
                continue;
            ChannelPicture& slot = channels[size_t(c)];
            slot.width = rect.width;
            slot.height = rect.height;
            slot.pixels.resize(size_t(rect.width) * 4 * size_t(rect.height));
            for (int y = 0; y < rect.height; ++y)
                std::memcpy(
                    slot.pixels.data() + size_t(y) * size_t(rect.width) * 4,
                    picture.pixels.data() + size_t(rect.y + y) * picture.stride() + size_t(rect.x) * 4,
                    size_t(rect.width) * 4);
        }
    }

    std::optional<DateTime> pending;
    uint32_t pendingPosition = 0;
};

// The session, the controller and the poll loop of one run.
class PlaybackRun {
public:
    explicit PlaybackRun(const ClientOptions& options) : m_options(options) {
        m_host.session = &m_session;
        m_session.setWatchdogPeriod(std::chrono::milliseconds(options.watchdogMs));
        m_session.setCredentials(options.user, options.password);
    }

    link::RecorderSession& session() { return m_session; }
    playback::PlaybackController& controller() { return m_controller; }
    PlaybackHost& host() { return m_host; }

    // Connects; false with the error line.
    bool connect(std::string& error) {
        if (m_driver.connect(m_options.host, m_options.port))
            return true;
        error = "connection refused: " + m_options.host + " port " + std::to_string(m_options.port);
        return false;
    }

    // Runs the poll loop until done() holds (empty result) or the connection
    // ends (the error line). `deadline` bounds the wait when set.
    std::string runUntil(const std::function<bool()>& done, std::optional<Clock::time_point> deadline) {
        for (;;) {
            if (m_host.ended)
                return disconnectReasonText(*m_host.ended);
            if (done())
                return {};
            if (!m_session.hasSocket())
                return "connection closed";
            const auto now = Clock::now();
            if (deadline && now >= *deadline)
                return "no answer";
            // The poll wakes for the session's watchdog check and gives it the time.
            const int waitMs = 100;
            if (!m_poller.pollOnce(waitMs)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
                m_driver.onTime();
            }
        }
    }

private:
    const ClientOptions& m_options;
    link::RecorderSocket m_socket;
    // The link refers to the driver declared below; nothing uses it before
    // the driver is constructed.
    playback::SessionPlaybackRequests m_link{m_driver, m_options.host, m_options.port};
    playback::PlaybackController m_controller{m_link, localNow};
    PlaybackHost m_host{m_controller};
    link::SteadyClock m_clock;
    link::RecorderSession m_session{m_host.liveSide, &m_host};
    link::SessionDriver m_driver{m_session, m_socket, m_clock};
    link::SessionPoller m_poller{m_driver, m_socket};
};

int failWith(std::ostream& err, const std::string& line) {
    err << "vistrelctl: " << line << "\n";
    return 1;
}

PlayButton buttonFor(const PlaybackOptions& o) {
    if (o.reverse)
        return o.fast ? PlayButton::FastReverse : PlayButton::Reverse;
    return o.fast ? PlayButton::FastForward : PlayButton::Forward;
}

}  // namespace

int runPlayback(const PlaybackOptions& options, std::ostream& out, std::ostream& err) {
    const ClientOptions& client = options.client;
    const std::optional<DateTime> from = parseFrom(options.from);
    if (!from)
        return failWith(err, "give --from \"YYYY-MM-DD HH:MM:SS\" with a real date and time");
    if (client.host.empty())
        return failWith(err, "no host given (--host)");
    if (!client.outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(client.outDir, ec);
        if (ec)
            return failWith(err, "cannot create " + client.outDir + ": " + ec.message());
    }

    PlaybackRun run(client);
    PlaybackHost& host = run.host();
    playback::PlaybackController& controller = run.controller();
    host.json = client.json;
    host.out = &out;
    host.keepPixels = !client.outDir.empty();

    const auto start = Clock::now();
    std::optional<Clock::time_point> deadline;
    if (client.timeoutSeconds > 0)
        deadline = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(client.timeoutSeconds));

    // The window is open before the log-in, so the range reply stops any play
    // left over instead of starting the live loop.
    controller.open(playback::openingSplitCode(0x10016), 0x10016);
    std::string error;
    if (!run.connect(error))
        return failWith(err, error);
    error = run.runUntil([&] { return host.rangeReplies >= 2; }, deadline);
    if (!error.empty()) {
        run.session().disconnect();
        return failWith(err, error);
    }
    // The playback window does not open on a recorder whose keys are locked.
    if (run.session().keyLocked()) {
        run.session().disconnect();
        return failWith(err, "KEY LOCK: the recorder's keys are locked");
    }
    // The range reply made the session stop any play left over; its answer
    // is not part of this run (a recorder that does not answer is not waited for long).
    run.runUntil([&] { return !host.statuses.empty(); }, Clock::now() + std::chrono::seconds(2));
    if (!controller.rangeValid()) {
        run.session().disconnect();
        return failWith(err, "the recorder reports no recording range");
    }

    host.statuses.clear();
    controller.setRequestSpeed(options.speed);
    controller.onCalendarDate(from->year, from->month, from->day);
    controller.onSliderScrolled(from->hour * 3600 + from->minute * 60 + from->second);
    controller.onPlayButton(buttonFor(options));

    const auto playStart = Clock::now();
    error = run.runUntil(
        [&] {
            if (!host.statuses.empty())
                return true;
            if (client.frames > 0 && host.pictures >= client.frames)
                return true;
            return client.seconds > 0 &&
                   Clock::now() - playStart >= std::chrono::duration<double>(client.seconds);
        },
        deadline);
    host.flush();
    host.quiet = true;
    const std::optional<uint32_t> status =
        host.statuses.empty() ? std::nullopt : std::optional<uint32_t>(host.statuses.front());

    // Stop the recorder's play before leaving, and give its answer a moment.
    if (error.empty() && run.session().connected()) {
        const size_t answered = host.statuses.size();
        if (controller.playing())
            controller.onPlayButton(PlayButton::Pause);
        else
            run.session().request(link::RequestKind::StopPlayback);
        run.runUntil([&] { return host.statuses.size() > answered; }, Clock::now() + std::chrono::seconds(1));
    }
    run.session().disconnect();

    if (!client.outDir.empty()) {
        frame::JpegEncoder encoder;
        for (size_t c = 0; c < host.channels.size(); ++c) {
            const ChannelPicture& slot = host.channels[c];
            if (slot.pixels.empty())
                continue;
            const auto jpeg = encoder.encode(slot.pixels.data(), slot.width, slot.height,
                                             size_t(slot.width) * 4, 4, client.jpegQuality);
            char name[16];
            std::snprintf(name, sizeof name, "ch%02zu.jpg", c + 1);
            const std::filesystem::path path = std::filesystem::path(client.outDir) / name;
            // Replaced whole; a link at the name is replaced, never followed.
            if (jpeg.empty() ||
                !fs::AtomicFile::write(
                     path.string(), std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()))
                     .ok)
                return failWith(err, "cannot write " + path.string());
        }
    }

    const std::string statusText = status ? std::string(playback::playStatusText(*status)) : std::string();
    if (client.json)
        out << "{\"summary\": {\"pictures\": " << host.pictures
            << ", \"status\": " << (status ? jsonString(statusText) : std::string("null")) << "}}\n";
    else
        out << host.pictures << " pictures" << (status ? ", " + statusText : std::string()) << "\n";

    if (!error.empty())
        return failWith(err, error);
    // The status line shows the code as the window does; the recorder's play error fails the run.
    if (host.playError)
        return failWith(err, "play error");
    if (!status)
        return 0;
    switch (*status) {
        case link::playstatus::EndOfPlay:
        case link::playstatus::StopPlayImage:
            return 0;
        case link::playstatus::NoSearchImage:
        case link::playstatus::InvalidDate:
            err << "vistrelctl: " << statusText << "\n";
            return 3;
        default:
            return failWith(err, statusText);
    }
}

}  // namespace dvr::ctl
