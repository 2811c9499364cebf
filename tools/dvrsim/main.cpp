// dvrsim: the recorder simulator on loopback.
#include "common/frame/MallocTuning.h"
#include "common/fs/SafeOpen.h"
#include "tools/dvrsim/RecorderSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>

namespace {

const char* kUsage =
    "usage: dvrsim [options]\n"
    "Simulated recorder for the viewer, listening on loopback only. Logs every received\n"
    "packet as one JSON line (stdout, or --log FILE).\n"
    "\n"
    "  --host ADDR            loopback address to listen on (default 127.0.0.1)\n"
    "  --port N               TCP port (default 50000; 0 = pick one, printed in the log)\n"
    "  --log FILE             write the JSON-line log to FILE instead of stdout\n"
    "  --version-text TEXT    the recorder's version text (default \"DVRJ PACKET1.44\")\n"
    "  --channels N           channel count code of the login reply: 1, 4, 8 or 16 (default 16)\n"
    "  --refuse               refuse the login\n"
    "  --key-lock             report the recorder's keys locked\n"
    "  --newer-bit            set the newer-protocol bit of the login reply\n"
    "  --range-start T        first recorded time \"YYYY-MM-DD HH:MM:SS\"\n"
    "  --range-end T          last recorded time\n"
    "  --layout CODE          layout code, e.g. 0x10016 or 0x20008 (default family 1)\n"
    "  --kind K               pictures: full, pair, quad, tall or mixed (default full)\n"
    "  --mixed-run N          pictures per kind with --kind mixed (default 6)\n"
    "  --quality Q            quality code 0..4 (default 3)\n"
    "  --standard S           ntsc, pal or a word such as 0xFFFF0000 (default ntsc)\n"
    "  --visibility WORD      channel-visibility word p5 of live replies (default 0xFFFF0000)\n"
    "  --picture-bytes N      codestream size of each picture (default about 20 KB per 240 lines)\n"
    "  --events N             an event list of N synthetic events\n"
    "  --events-file FILE     the event list's 16-byte records from FILE\n"
    "  --play-error           answer the playback stop with status 2\n"
    "  --record-step S        seconds between the recording's pictures (default 1)\n"
    "  --record-channels MASK channels in the recording, bit n = channel n (default 0xFFFF)\n"
    "  --gap \"T1,T2\"          no pictures recorded from T1 to T2 (repeatable)\n"
    "  --play-fail-after N    answer playback picture requests with ERROR after N pictures\n"
    "  --prewarm              synthesise every picture before listening\n"
    "  --once                 exit when the first connection ends\n"
    "  --fps N                at most N pictures a second per connection, fewer as the live request's\n"
    "                         pacing value asks (N x (11 - p3) / 10); 0 = answer at once (default)\n"
    "faults (N counts pictures sent on a connection):\n"
    "  --split BYTES          send replies in pieces of at most BYTES\n"
    "  --split-delay-ms MS    pause between pieces (default 1)\n"
    "  --end-after N          send the end-of-session packet instead of picture N+1\n"
    "  --silence-after N      answer nothing after N pictures\n"
    "  --close-after N        close the connection after N pictures\n"
    "  --huge-after N         once, instead of picture N+1, a reply announcing a huge payload\n"
    "  --garbage-every N      1000 garbage bytes before every N-th picture\n"
    "  --stop-reading-after N stop reading a connection after N received packets (what waits is\n"
    "                         read and logged when dvrsim ends; a packet cut short by the next\n"
    "                         one is logged as a \"torn\" event)\n"
    "  --help                 show this text\n";

dvr::sim::RecorderSimulator* g_simulator = nullptr;

void onSignal(int) {
    if (g_simulator)
        g_simulator->requestStop();
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "dvrsim: %s\n", message.c_str());
    std::exit(2);
}

long long parseNumber(const std::string& option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0)
        fail("bad value for " + option + ": " + text);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace dvr;
    sim::SimOptions options;
    options.port = 50000;
    std::string logPath;
    int eventCount = -1;
    std::string eventsFile;
    bool prewarm = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                fail("missing value for " + arg);
            return argv[++i];
        };
        auto number = [&]() { return parseNumber(arg, value()); };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--port") {
            const long long port = number();
            if (port < 0 || port > 65535)
                fail("port out of range: " + std::to_string(port));
            options.port = static_cast<uint16_t>(port);
        } else if (arg == "--log") {
            logPath = value();
        } else if (arg == "--version-text") {
            options.versionText = value();
        } else if (arg == "--channels") {
            options.channelCode = static_cast<uint32_t>(number());
        } else if (arg == "--refuse") {
            options.refuseLogin = true;
        } else if (arg == "--key-lock") {
            options.keyLock = true;
        } else if (arg == "--newer-bit") {
            options.newerBit = true;
        } else if (arg == "--range-start" || arg == "--range-end") {
            const std::string text = value();
            const auto t = sim::parseTimeText(text);
            if (!t)
                fail("bad time for " + arg + ": " + text);
            (arg == "--range-start" ? options.rangeStart : options.rangeEnd) = *t;
        } else if (arg == "--layout") {
            options.layoutCode = static_cast<uint32_t>(number());
        } else if (arg == "--kind") {
            const std::string k = value();
            if (k == "full")
                options.pictures = sim::PictureMix::Full;
            else if (k == "pair")
                options.pictures = sim::PictureMix::Pair;
            else if (k == "quad")
                options.pictures = sim::PictureMix::Quad;
            else if (k == "tall")
                options.pictures = sim::PictureMix::Tall;
            else if (k == "mixed")
                options.pictures = sim::PictureMix::Mixed;
            else
                fail("unknown picture kind: " + k);
        } else if (arg == "--mixed-run") {
            options.mixedRun = static_cast<int>(number());
        } else if (arg == "--quality") {
            options.quality = static_cast<int>(number());
        } else if (arg == "--standard") {
            const std::string s = value();
            options.videoStandard = s == "ntsc"  ? frame::kSixtyFieldStandard
                                    : s == "pal" ? 0u
                                                 : static_cast<uint32_t>(parseNumber(arg, s));
        } else if (arg == "--visibility") {
            options.visibility = static_cast<uint32_t>(number());
        } else if (arg == "--picture-bytes") {
            options.codestreamBytes = static_cast<size_t>(number());
        } else if (arg == "--events") {
            eventCount = static_cast<int>(number());
        } else if (arg == "--events-file") {
            eventsFile = value();
        } else if (arg == "--play-error") {
            options.playError = true;
        } else if (arg == "--record-step") {
            options.recordStepSeconds = static_cast<int>(number());
            if (options.recordStepSeconds < 1)
                fail("--record-step must be at least 1");
        } else if (arg == "--record-channels") {
            options.recordedChannels = static_cast<uint32_t>(number());
        } else if (arg == "--gap") {
            const std::string text = value();
            const size_t comma = text.find(',');
            const auto from = sim::parseTimeText(text.substr(0, comma));
            const auto to =
                comma == std::string::npos ? std::nullopt : sim::parseTimeText(text.substr(comma + 1));
            if (!from || !to)
                fail("bad gap (\"YYYY-MM-DD HH:MM:SS,YYYY-MM-DD HH:MM:SS\"): " + text);
            options.gaps.emplace_back(*from, *to);
        } else if (arg == "--play-fail-after") {
            options.playFailAfter = static_cast<int>(number());
        } else if (arg == "--prewarm") {
            prewarm = true;
        } else if (arg == "--fps") {
            const long long fps = number();
            if (fps < 0 || fps > 1000)
                fail("--fps takes 0 to 1000: " + std::to_string(fps));
            options.fps = static_cast<int>(fps);
        } else if (arg == "--once") {
            options.once = true;
        } else if (arg == "--split") {
            options.splitBytes = static_cast<size_t>(number());
        } else if (arg == "--split-delay-ms") {
            options.splitDelayMs = static_cast<int>(number());
        } else if (arg == "--end-after") {
            options.endAfter = static_cast<int>(number());
        } else if (arg == "--silence-after") {
            options.silenceAfter = static_cast<int>(number());
        } else if (arg == "--close-after") {
            options.closeAfter = static_cast<int>(number());
        } else if (arg == "--huge-after") {
            options.hugeAfter = static_cast<int>(number());
        } else if (arg == "--garbage-every") {
            options.garbageEvery = static_cast<int>(number());
        } else if (arg == "--stop-reading-after") {
            options.stopReadingAfter = static_cast<int>(number());
        } else {
            fail("unknown option: " + arg + " (see --help)");
        }
    }
    if (eventCount >= 0)
        options.events = sim::makeEvents(eventCount, options);
    if (!eventsFile.empty()) {
        std::string reason;
        const std::optional<std::string> bytes = dvr::fs::readInput(eventsFile, 64u << 20, &reason);
        if (!bytes)
            fail("cannot read " + eventsFile + ": " + reason);
        const std::vector<uint8_t> body(bytes->begin(), bytes->end());
        options.events = link::parseEventRecords(body);
    }

    std::FILE* logFile = stdout;
    if (!logPath.empty() && logPath != "-") {
        // A new file in place of any old one; a link at the name is replaced, never written through.
        std::string reason;
        dvr::fs::UniqueFd fd = dvr::fs::createReplacing(logPath, 0644, &reason);
        logFile = fd ? ::fdopen(fd.get(), "w") : nullptr;
        if (!logFile)
            fail("cannot write " + logPath + (reason.empty() ? std::string() : ": " + reason));
        fd.release();
    }
    std::mutex logMutex;
    auto log = [&](const std::string& line) {
        std::lock_guard lock(logMutex);
        std::fputs(line.c_str(), logFile);
        std::fputc('\n', logFile);
        std::fflush(logFile);
    };

    frame::tuneHeapForPictureDecoding();
    sim::RecorderSimulator simulator(options, log);
    if (prewarm)
        simulator.records().prewarm();
    std::string error;
    if (!simulator.listen(error))
        fail(error);
    g_simulator = &simulator;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    simulator.run();
    g_simulator = nullptr;
    if (logFile != stdout)
        std::fclose(logFile);
    return 0;
}
