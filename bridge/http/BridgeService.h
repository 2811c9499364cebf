// vistrel-bridge as a running service: the recorder sockets, their links,
// the request core and the HTTP server, all driven by one poll() loop on one
// thread until stop is asked for.
#pragma once

#include "bridge/BridgeCore.h"
#include "bridge/http/MhdServer.h"
#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionPoller.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace dvr::bridge {

class BridgeService {
public:
    // `passwords` go with settings.recorders, one each.
    BridgeService(BridgeSettings settings, std::vector<std::string> passwords, std::optional<AuthUsers> users,
                  LogSink log);
    ~BridgeService();
    BridgeService(const BridgeService&) = delete;
    BridgeService& operator=(const BridgeService&) = delete;

    // Listens and starts the recorder links. False with a one-line error.
    bool start(const HttpServerOptions& http, std::string& error);
    uint16_t port() const { return m_server.port(); }
    // Runs the loop until requestStop(); ends the streams and the links either way. False, with a one-line
    // error, when the loop itself failed (its poll() did) rather than being asked to stop.
    bool run(std::string& error);
    // Safe from a signal handler and from another thread.
    void requestStop();

    BridgeCore& core() { return *m_core; }

private:
    struct Recorder {
        std::unique_ptr<link::RecorderSocket> socket;
        std::unique_ptr<RecorderLink> link;
        std::unique_ptr<link::SessionPoller> poller;
    };

    int64_t nowMs() const;
    int64_t wallMs() const;
    void tickAll();

    BridgeSettings m_settings;
    LogSink m_log;
    std::vector<Recorder> m_recorders;
    std::unique_ptr<BridgeCore> m_core;
    MhdServer m_server;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_stop{false};
};

}  // namespace dvr::bridge
