// vistrel-bridge's costs, measured in one run over loopback: the bridge
// service on its own thread, a paced recorder stand-in that notes when each
// picture's last byte left it, and clients reading streams.
//   DecodeEncodeOnly  the same pictures decoded and JPEG-encoded alone (CPU ms per picture)
//   Idle              bridge CPU per second with no client
//   OneClient         bridge CPU per second with one client; latency from the picture's last
//                     byte at the recorder to the first byte of its part at the client, and the
//                     bridge's own delay: that latency less the time the bridge spent decoding
//                     and encoding that very picture
//   FanOut32          bridge CPU per second with 32 clients on the same channel
//   Ratios            fanout_vs_one (goal <= 1.15), per_picture_vs_alone (goal <= 1.10),
//                     idle_vs_one (goal <= 0.05), latency_p95_over_budget_ms (goal <= 0:
//                     the 95th percentile of latency - (the picture's decode + encode) - 2 ms)
#include "bridge/http/BridgeService.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/JpegEncoder.h"
#include "common/frame/MallocTuning.h"
#include "tools/dvrsim/RecorderSimulator.h"
#include "viewer/link/Packet.h"
#include "viewer/link/PacketFramer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

using namespace dvr;
using Clock = std::chrono::steady_clock;

constexpr int kFps = 25;
constexpr double kSeconds = 3.0;
constexpr double kLatencySeconds = 10.0;  // enough pictures for a steady 95th percentile

sim::SimOptions& simOptions() {
    static sim::SimOptions o = [] {
        sim::SimOptions s;
        s.channelCode = 16;
        s.layoutCode = 0x10016;
        return s;
    }();
    return o;
}

sim::RecordSource& records() {
    static sim::RecordSource source(simOptions());
    return source;
}

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// A recorder that answers the log-in and range requests and sends one channel's picture per live
// request, at most kFps a second, noting when each picture's last byte was handed to the socket.
class PacedRecorder {
public:
    PacedRecorder() {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 4);
        socklen_t n = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~PacedRecorder() {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listen);
    }
    uint16_t port() const { return m_port; }
    std::vector<Clock::time_point> sendTimes() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

private:
    void sendAll(int fd, const std::vector<uint8_t>& bytes) {
        size_t at = 0;
        while (at < bytes.size() && !m_stop) {
            const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            at += static_cast<size_t>(n);
        }
    }
    void serve() {
        pollfd p{m_listen, POLLIN, 0};
        while (!m_stop && ::poll(&p, 1, 100) <= 0) {
        }
        if (m_stop)
            return;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const link::VersionText version = link::makeVersionText("DVRJ PACKET1.44");
        link::PacketFramer framer(1 << 20);
        const auto record = records().record(frame::PictureKind::Single, 0);
        Clock::time_point next = Clock::now();
        std::vector<uint8_t> buffer(4096);
        while (!m_stop) {
            pollfd r{fd, POLLIN, 0};
            if (::poll(&r, 1, 100) <= 0)
                continue;
            const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (got <= 0)
                break;
            std::span<const uint8_t> block(buffer.data(), static_cast<size_t>(got));
            while (!block.empty()) {
                size_t used = 0;
                const link::FramerEvent e = framer.next(block, used);
                block = block.subspan(used);
                if (e.kind != link::FramerEvent::Kind::Header)
                    continue;
                link::ParamBlock params;
                switch (e.header.command) {
                    case link::command::Login:
                        params.p[0] = 1;
                        params.p[1] = 16;
                        sendAll(fd, link::makePacket(version, 1, link::command::LoginReply, params));
                        break;
                    case link::command::RecordingRange:
                        sendAll(fd, link::makePacket(version, 1, link::command::RecordingRangeReply, params));
                        break;
                    case link::command::LivePicture: {
                        std::this_thread::sleep_until(next);
                        next = std::max(next + std::chrono::microseconds(1000000 / kFps), Clock::now());
                        params.p[5] = 0xFFFF0000;
                        sendAll(fd, link::makePacket(version, 1, link::command::LivePictureReply, params,
                                                     *record));
                        std::lock_guard lock(m_mutex);
                        m_sent.push_back(Clock::now());
                        break;
                    }
                    default:
                        break;
                }
                if (e.header.command != link::command::LivePicture && e.header.length > 60)
                    framer.skipPayload();
            }
        }
        ::close(fd);
    }

    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;  // guards m_sent
    std::vector<Clock::time_point> m_sent;
};

struct Scenario {
    double cpuPerSecond = 0;
    double cpuPerPicture = 0;
    double decodeEncodeMs = 0;  // the bridge's own decode + encode time per picture
    std::vector<double> latencyMs;
    std::vector<double> ownDelayMs;  // latency less the picture's own decode + encode
    int pictures = 0;
};

double threadCpuSeconds(pthread_t thread) {
    clockid_t id;
    if (pthread_getcpuclockid(thread, &id) != 0)
        return 0;
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

int connectClient(uint16_t port, const std::string& path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const std::string request = "GET " + path + " HTTP/1.0\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    return fd;
}

Scenario runScenario(int clients, double seconds) {
    PacedRecorder recorder;
    bridge::BridgeSettings settings;
    bridge::RecorderConfig config;
    config.name = "dvr";
    config.host = "127.0.0.1";
    config.port = recorder.port();
    config.requestSpeed = 10;  // the recorder paces
    settings.recorders.push_back(config);
    bridge::BridgeService service(settings, {""}, std::nullopt, [](const std::string&) {});
    bridge::HttpServerOptions http;
    http.port = 0;
    std::string error;
    if (!service.start(http, error))
        return {};
    // When each picture's decode and encodes ended, and how long they took (loop thread only; read
    // after the loop has ended).
    std::vector<std::pair<Clock::time_point, double>> timed;
    service.core().findRecorder("dvr")->onPictureTimed(
        [&timed](double s) { timed.emplace_back(Clock::now(), s); });
    std::thread loop([&] {
        std::string error;
        service.run(error);
    });

    // Clients first, so the channel is watched from the start; then a settling second.
    std::vector<int> fds;
    for (int i = 0; i < clients; ++i)
        fds.push_back(connectClient(service.port(), "/stream/dvr/1.mjpeg"));
    std::vector<Clock::time_point> partTimes;
    std::string firstClient;
    auto readClients = [&](double seconds) {
        const auto start = Clock::now();
        std::vector<char> buffer(256 * 1024);
        while (secondsSince(start) < seconds) {
            std::vector<pollfd> p;
            for (int fd : fds)
                p.push_back(pollfd{fd, POLLIN, 0});
            if (::poll(p.data(), p.size(), 50) <= 0)
                continue;
            const auto now = Clock::now();
            for (size_t i = 0; i < p.size(); ++i) {
                if (!(p[i].revents & POLLIN))
                    continue;
                const ssize_t n = ::recv(fds[i], buffer.data(), buffer.size(), 0);
                if (n <= 0 || i != 0)
                    continue;
                // Client 0 notes when each part's first bytes arrive.
                firstClient.append(buffer.data(), static_cast<size_t>(n));
                size_t at;
                while ((at = firstClient.find("--vistrelframe\r\n")) != std::string::npos) {
                    partTimes.push_back(now);
                    firstClient.erase(0, at + 16);
                }
                if (firstClient.size() > 64)
                    firstClient.erase(0, firstClient.size() - 64);
            }
        }
    };
    readClients(1.0);
    partTimes.clear();
    const size_t sentBefore = recorder.sendTimes().size();
    const double cpuBefore = threadCpuSeconds(loop.native_handle());
    const auto start = Clock::now();
    if (clients > 0)
        readClients(seconds);
    else
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = secondsSince(start);
    const double cpu = threadCpuSeconds(loop.native_handle()) - cpuBefore;
    const std::vector<Clock::time_point> sent = recorder.sendTimes();

    Scenario s;
    s.cpuPerSecond = cpu / wall;
    s.pictures = static_cast<int>(sent.size() - sentBefore);
    s.cpuPerPicture = s.pictures > 0 ? cpu / s.pictures : 0;
    service.requestStop();
    loop.join();
    for (const auto& t : partTimes) {
        // The picture that left the recorder last before the part began, and the last one the
        // bridge finished encoding before it.
        const auto it = std::upper_bound(sent.begin(), sent.end(), t);
        if (it == sent.begin())
            continue;
        const double latency = std::chrono::duration<double, std::milli>(t - *(it - 1)).count();
        s.latencyMs.push_back(latency);
        const auto done = std::upper_bound(timed.begin(), timed.end(), t,
                                           [](Clock::time_point a, const auto& b) { return a < b.first; });
        if (done != timed.begin() && (done - 1)->first >= *(it - 1))
            s.ownDelayMs.push_back(latency - 1000.0 * (done - 1)->second);
    }
    for (int fd : fds)
        ::close(fd);
    const bridge::RecorderLink* link = service.core().findRecorder("dvr");
    const uint64_t encoded = link->feed(0).picturesIn;
    if (encoded > 0)
        s.decodeEncodeMs = 1000.0 * (link->decodeSeconds() + link->feed(0).encodeSeconds) / double(encoded);
    return s;
}

double g_aloneMs = 0;
Scenario g_idle, g_one, g_fan;

void DecodeEncodeOnly(benchmark::State& state) {
    const auto record = records().record(frame::PictureKind::Single, 0);
    frame::FrameDecoder decoder;
    frame::JpegEncoder encoder;
    frame::FrameDecodeOptions options;
    options.channelCount = 16;
    int64_t pictures = 0;
    // CPU time of this thread, as the bridge's is measured (other work on the machine does not count).
    const double cpuStart = threadCpuSeconds(pthread_self());
    for (auto _ : state) {
        const auto result = decoder.decodeRecord(*record, options);
        const auto jpeg = encoder.encode(*result.picture, frame::PixelRect{0, 0, 720, 240}, 80);
        benchmark::DoNotOptimize(jpeg.data());
        ++pictures;
    }
    g_aloneMs = 1000.0 * (threadCpuSeconds(pthread_self()) - cpuStart) / double(pictures);
    state.counters["ms_per_picture"] = g_aloneMs;
}

void Idle(benchmark::State& state) {
    for (auto _ : state)
        g_idle = runScenario(0, kSeconds);
    state.counters["cpu_per_s"] = g_idle.cpuPerSecond;
}

void OneClient(benchmark::State& state) {
    for (auto _ : state)
        g_one = runScenario(1, kLatencySeconds);
    state.counters["cpu_per_s"] = g_one.cpuPerSecond;
    state.counters["ms_per_picture"] = 1000.0 * g_one.cpuPerPicture;
    state.counters["pictures"] = g_one.pictures;
}

void FanOut32(benchmark::State& state) {
    for (auto _ : state)
        g_fan = runScenario(32, kSeconds);
    state.counters["cpu_per_s"] = g_fan.cpuPerSecond;
    state.counters["pictures"] = g_fan.pictures;
}

void Ratios(benchmark::State& state) {
    for (auto _ : state) {
    }
    auto percentile = [](std::vector<double> v, int p) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[std::min(v.size() - 1, v.size() * static_cast<size_t>(p) / 100)];
    };
    state.counters["fanout_vs_one"] = g_one.cpuPerSecond > 0 ? g_fan.cpuPerSecond / g_one.cpuPerSecond : 0;
    state.counters["per_picture_vs_alone"] = g_aloneMs > 0 ? 1000.0 * g_one.cpuPerPicture / g_aloneMs : 0;
    state.counters["idle_vs_one"] = g_one.cpuPerSecond > 0 ? g_idle.cpuPerSecond / g_one.cpuPerSecond : 0;
    state.counters["latency_p50_ms"] = percentile(g_one.latencyMs, 50);
    state.counters["latency_p95_ms"] = percentile(g_one.latencyMs, 95);
    state.counters["decode_encode_ms"] = g_one.decodeEncodeMs;
    state.counters["own_delay_p50_ms"] = percentile(g_one.ownDelayMs, 50);
    state.counters["own_delay_p95_ms"] = percentile(g_one.ownDelayMs, 95);
    state.counters["latency_p95_over_budget_ms"] = percentile(g_one.ownDelayMs, 95) - 2.0;
}

BENCHMARK(DecodeEncodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(Idle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(OneClient)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(FanOut32)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(Ratios)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    dvr::frame::tuneHeapForPictureDecoding();
    records().record(frame::PictureKind::Single, 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
