#include "bridge/http/BridgeService.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dvr::bridge {

BridgeService::BridgeService(BridgeSettings settings, std::vector<std::string> passwords,
                             std::optional<AuthUsers> users, LogSink log)
    : m_settings(std::move(settings)),
      m_log(std::move(log)),
      m_server(
          [this](const HttpRequest& request, const std::function<void()>& wake) {
              return m_core->handle(request, nowMs(), wallMs(), wake);
          },
          [this] { return nowMs(); }) {
    std::vector<RecorderLink*> links;
    for (size_t i = 0; i < m_settings.recorders.size(); ++i) {
        Recorder r;
        r.socket = std::make_unique<link::RecorderSocket>();
        // While nobody watches, only keep-alives go out and nothing comes back: a recorder that vanished
        // without closing the connection shows only as bytes it never acknowledges. The system ends such
        // a connection (each one, after every reconnect) after a watchdog period.
        r.socket->setUnacknowledgedTimeoutMs(static_cast<unsigned>(m_settings.watchdogMs));
        // A recorder given by name is looked up off the loop: a name server that does not answer holds
        // that recorder's reconnect, never the other recorders or the clients.
        r.socket->setBackgroundLookup(true);
        r.link = std::make_unique<RecorderLink>(
            m_settings.recorders[i], i < passwords.size() ? passwords[i] : "", *r.socket, m_settings, m_log);
        r.poller = std::make_unique<link::SessionPoller>(r.link->driver(), *r.socket);
        links.push_back(r.link.get());
        m_recorders.push_back(std::move(r));
    }
    m_core = std::make_unique<BridgeCore>(m_settings, std::move(links), std::move(users));
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead = fds[0];
        m_wakeWrite = fds[1];
    }
}

BridgeService::~BridgeService() {
    m_server.stop();
    m_recorders.clear();
    if (m_wakeRead >= 0)
        ::close(m_wakeRead);
    if (m_wakeWrite >= 0)
        ::close(m_wakeWrite);
}

int64_t BridgeService::nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t BridgeService::wallMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool BridgeService::start(const HttpServerOptions& http, std::string& error) {
    if (m_wakeRead < 0) {
        error = "cannot make the stop pipe";
        return false;
    }
    if (!m_server.start(http, error))
        return false;
    m_log("listening on " + http.listenAddress + " port " + std::to_string(m_server.port()) +
          (http.tlsCertPem.empty() ? " (HTTP)" : " (HTTPS)"));
    for (Recorder& r : m_recorders) {
        r.link->setTime(nowMs(), wallMs());
        m_log(r.link->name() + ": connecting to " + m_settings.recorders[&r - m_recorders.data()].host +
              " port " + std::to_string(m_settings.recorders[&r - m_recorders.data()].port));
        r.link->start();
    }
    return true;
}

void BridgeService::requestStop() {
    m_stop.store(true);
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeWrite, &byte, 1);
    }
}

void BridgeService::tickAll() {
    const int64_t now = nowMs();
    const int64_t wall = wallMs();
    for (Recorder& r : m_recorders) {
        r.link->setTime(now, wall);
        r.link->tick();
    }
    m_core->tick(now);
}

bool BridgeService::run(std::string& error) {
    std::vector<pollfd> fds;
    std::vector<short> wanted;
    bool failed = false;
    while (!m_stop.load()) {
        tickAll();
        // After the ticks and wake-ups: let the server send what they released.
        m_server.run();

        const int64_t now = nowMs();
        int64_t waitMs = 1000;
        auto limit = [&](int64_t due) {
            if (due >= 0)
                waitMs = std::min(waitMs, std::max<int64_t>(0, due - now));
        };
        for (const Recorder& r : m_recorders)
            limit(r.link->nextDueMs());
        limit(m_core->nextDueMs());
        const int serverTimeout = m_server.timeoutMs();
        if (serverTimeout >= 0)
            waitMs = std::min<int64_t>(waitMs, serverTimeout);

        fds.clear();
        wanted.clear();
        fds.push_back(pollfd{m_wakeRead, POLLIN, 0});
        fds.push_back(pollfd{m_server.pollFd(), POLLIN, 0});
        for (Recorder& r : m_recorders) {
            const short events = r.poller->events();
            fds.push_back(pollfd{events ? r.poller->fd() : -1, events, 0});
            wanted.push_back(events);
        }
        const int n = ::poll(fds.data(), fds.size(), static_cast<int>(waitMs));
        if (n < 0 && errno != EINTR) {
            error = std::string("the service loop failed: ") + std::strerror(errno);
            failed = true;
            break;
        }
        if (m_stop.load())
            break;
        const int64_t after = nowMs();
        const int64_t wall = wallMs();
        for (size_t i = 0; i < m_recorders.size(); ++i) {
            const short revents = fds[i + 2].revents;
            if (revents == 0)
                continue;
            m_recorders[i].link->setTime(after, wall);
            m_recorders[i].poller->dispatch(wanted[i], revents);
        }
        m_server.run();
    }
    // Stopping: end the streams, answer waiting snapshots, let the server
    // finish those replies, then close everything.
    m_log("stopping");
    m_core->shutdown();
    for (int i = 0; i < 3; ++i)
        m_server.run();
    m_server.stop();
    for (Recorder& r : m_recorders)
        r.link->stop();
    return !failed;
}

}  // namespace dvr::bridge
