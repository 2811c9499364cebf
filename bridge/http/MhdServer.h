// The bridge's HTTP server on libmicrohttpd, driven from the bridge's own
// poll loop (external polling through one epoll descriptor): every
// connection is handled on that one thread, a stream that has nothing to
// send is suspended until its channel's next picture wakes it, and no
// thread is made per client. Requests are answered by a handler that knows
// nothing of sockets (BridgeCore).
#pragma once

#include "bridge/BridgeCore.h"

#include <functional>
#include <string>
#include <unordered_set>

struct MHD_Daemon;

namespace dvr::bridge {

struct MhdStreamBox;

struct HttpServerOptions {
    std::string listenAddress = "127.0.0.1";
    uint16_t port = kDefaultHttpPort;  // 0: the system picks one (see port())
    int connectionLimit = 256;
    int perAddressLimit = 0;  // connections from one address; 0: no limit of its own
    int clientTimeoutS = kDefaultClientTimeoutS;
    std::string tlsCertPem;  // both empty: plain HTTP
    std::string tlsKeyPem;
};

class MhdServer {
public:
    // Answers a request at the given time; `wake` hands a waiting request over again.
    using Handler = std::function<HttpReply(const HttpRequest&, const std::function<void()>& wake)>;
    using Clock = std::function<int64_t()>;  // monotonic milliseconds

    MhdServer(Handler handler, Clock clock);
    ~MhdServer();
    MhdServer(const MhdServer&) = delete;
    MhdServer& operator=(const MhdServer&) = delete;

    // Binds and listens. False with a one-line error.
    bool start(const HttpServerOptions& options, std::string& error);
    uint16_t port() const { return m_port; }
    // The descriptor to watch for reading; run() when it is readable (and
    // after anything woke a request).
    int pollFd() const;
    // Handles what is ready without waiting. At most once a second it also ends the streams waiting for
    // a picture whose clients have gone: the server does not watch a waiting connection, and a channel
    // that sends nothing (a recorder down) would otherwise keep them, and their places, for good.
    void run();
    // How long the loop may wait before run() has time-outs to handle; -1: no limit.
    int timeoutMs() const;
    // Stops listening and closes every connection. Every waiting request
    // must have been woken first.
    void stop();

    // Bytes of whole (non-stream) replies sent.
    uint64_t bytesOut() const { return m_bytesOut; }

    // How often waiting streams are checked for clients gone.
    static constexpr int64_t kGoneCheckMs = 1000;

private:
    void endStreamsOfClientsGone();

    Handler m_handler;
    Clock m_clock;
    MHD_Daemon* m_daemon = nullptr;
    uint16_t m_port = 0;
    uint64_t m_bytesOut = 0;
    std::string m_certPem;
    std::string m_keyPem;
    std::unordered_set<MhdStreamBox*> m_waitingStreams;  // suspended until their channel's next picture
    int64_t m_nextGoneCheckMs = 0;

    friend struct MhdCallbacks;
};

}  // namespace dvr::bridge
