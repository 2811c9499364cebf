#include "bridge/http/MhdServer.h"

#include <microhttpd.h>

#include <cstring>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace dvr::bridge {

// The per-request state kept between the handler's calls.
struct MhdRequestState {
    int64_t startedMs = 0;
    bool waiting = false;  // suspended until its wake runs
    bool woken = false;
};

// What a streaming reply reads from; freed with the reply.
struct MhdStreamBox {
    std::shared_ptr<StreamClient> client;
    MHD_Connection* connection = nullptr;
    MhdServer* server = nullptr;
    bool peerGone = false;  // the client closed while the stream waited: end it
};

// What a snapshot reply's bytes belong to; freed with the reply.
struct MhdPictureBox {
    PictureRef picture;
};

struct MhdCallbacks {
    // A stream's pictures queue in the kernel's send buffer too, where the
    // newest cannot replace them: keep that buffer to a few pictures, so a
    // slow client skips pictures here instead of seeing old ones late, and a
    // client that stops reading shows as stalled within its time-out.
    static constexpr int kSendBufferBytes = 64 * 1024;
    static void limitSendBuffer(MHD_Connection* connection) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (!info)
            return;
        const int bytes = kSendBufferBytes;
        ::setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
    }

    static ssize_t readStream(void* cls, uint64_t /*pos*/, char* buffer, size_t max) {
        auto* box = static_cast<MhdStreamBox*>(cls);
        if (box->peerGone)
            return MHD_CONTENT_READER_END_WITH_ERROR;
        const size_t n = box->client->read(std::span<uint8_t>(reinterpret_cast<uint8_t*>(buffer), max));
        if (n > 0)
            return static_cast<ssize_t>(n);
        if (box->client->ended())
            return MHD_CONTENT_READER_END_OF_STREAM;
        // Nothing to send: wait, off the event loop, for the channel's next picture. The server no
        // longer watches the connection meanwhile, so it is checked for a client gone now and then.
        box->server->m_waitingStreams.insert(box);
        MHD_suspend_connection(box->connection);
        return 0;
    }

    static void resumeStream(MhdStreamBox* box) {
        box->server->m_waitingStreams.erase(box);
        MHD_resume_connection(box->connection);
    }

    static void freeStream(void* cls) {
        auto* box = static_cast<MhdStreamBox*>(cls);
        box->server->m_waitingStreams.erase(box);
        delete box;
    }
    static void freePicture(void* cls) { delete static_cast<MhdPictureBox*>(cls); }

    static std::string headerValue(MHD_Connection* connection, MHD_ValueKind kind, const char* name) {
        const char* value = MHD_lookup_connection_value(connection, kind, name);
        return value ? std::string(value) : std::string();
    }

    static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                                const char* /*version*/, const char* /*uploadData*/, size_t* uploadSize,
                                void** stateSlot) {
        auto* server = static_cast<MhdServer*>(cls);
        auto* state = static_cast<MhdRequestState*>(*stateSlot);
        if (!state) {
            state = new MhdRequestState;
            state->startedMs = server->m_clock();
            limitSendBuffer(connection);
            *stateSlot = state;
            return MHD_YES;  // called again once the headers are read
        }
        if (*uploadSize != 0) {
            // A body is never used: read it away, bounded by the connection's memory limit.
            *uploadSize = 0;
            return MHD_YES;
        }
        if (state->waiting) {
            state->waiting = false;
            state->woken = true;
        }

        HttpRequest request;
        request.method = method ? method : "";
        request.path = url ? url : "";
        const char* fps = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "fps");
        if (fps)
            request.fps = std::string(fps);
        request.authorization = headerValue(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
        request.ifNoneMatch = headerValue(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH);
        request.startedMs = state->startedMs;
        request.woken = state->woken;

        HttpReply reply = server->m_handler(request, [state, connection] {
            if (state->waiting)
                MHD_resume_connection(connection);
        });
        if (reply.wait) {
            state->waiting = true;
            MHD_suspend_connection(connection);
            return MHD_YES;
        }

        MHD_Response* response = nullptr;
        if (reply.stream) {
            auto* box = new MhdStreamBox{reply.stream, connection, server};
            // A stream suspended for want of a picture is resumed by the next one.
            reply.stream->setWake([box] { resumeStream(box); });
            response = MHD_create_response_from_callback(
                MHD_SIZE_UNKNOWN, 64 * 1024, &MhdCallbacks::readStream, box, &MhdCallbacks::freeStream);
            if (!response)
                delete box;
        } else if (reply.picture) {
            auto* box = new MhdPictureBox{reply.picture};
            response = MHD_create_response_from_buffer_with_free_callback_cls(
                box->picture->jpeg.size(), const_cast<uint8_t*>(box->picture->jpeg.data()),
                &MhdCallbacks::freePicture, box);
            if (!response)
                delete box;
            else if (request.method != "HEAD")
                server->m_bytesOut += reply.picture->jpeg.size();
        } else {
            response =
                MHD_create_response_from_buffer(reply.body.size(), reply.body.data(), MHD_RESPMEM_MUST_COPY);
            if (request.method != "HEAD")
                server->m_bytesOut += reply.body.size();
        }
        if (!response)
            return MHD_NO;
        if (!reply.contentType.empty())
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
        for (const auto& [name, value] : reply.headers)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
        MHD_destroy_response(response);
        return queued;
    }

    static void onCompleted(void* /*cls*/, MHD_Connection* /*connection*/, void** stateSlot,
                            MHD_RequestTerminationCode /*code*/) {
        delete static_cast<MhdRequestState*>(*stateSlot);
        *stateSlot = nullptr;
    }
};

MhdServer::MhdServer(Handler handler, Clock clock)
    : m_handler(std::move(handler)), m_clock(std::move(clock)) {}

MhdServer::~MhdServer() {
    stop();
}

bool MhdServer::start(const HttpServerOptions& options, std::string& error) {
    sockaddr_storage address{};
    unsigned flags = MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME;
    const std::string host = options.listenAddress == "localhost" ? "127.0.0.1" : options.listenAddress;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(options.port);
    } else if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(options.port);
        flags |= MHD_USE_IPv6;
    } else {
        error = "cannot listen on " + options.listenAddress + ": give a numeric address";
        return false;
    }
    // Either half of a pair asks for HTTPS: a missing other half fails the start, never falls back to HTTP.
    const bool tls = !options.tlsCertPem.empty() || !options.tlsKeyPem.empty();
    if (tls) {
        flags |= MHD_USE_TLS;
        m_certPem = options.tlsCertPem;
        m_keyPem = options.tlsKeyPem;
    }
    // Each connection reads its request into a pool of this size: a huge
    // request is refused rather than grown into.
    constexpr size_t kConnectionMemoryBytes = 32 * 1024;
    std::vector<MHD_OptionItem> moreOptions;
    if (tls) {
        moreOptions.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(m_certPem.c_str())});
        moreOptions.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(m_keyPem.c_str())});
    }
    if (options.perAddressLimit > 0)
        moreOptions.push_back({MHD_OPTION_PER_IP_CONNECTION_LIMIT, options.perAddressLimit, nullptr});
    moreOptions.push_back({MHD_OPTION_END, 0, nullptr});
    m_daemon = MHD_start_daemon(flags, options.port, nullptr, nullptr, &MhdCallbacks::onRequest, this,
                                MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address),
                                MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(options.connectionLimit),
                                MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(options.clientTimeoutS),
                                MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemoryBytes,
                                MHD_OPTION_NOTIFY_COMPLETED, &MhdCallbacks::onCompleted, this,
                                MHD_OPTION_ARRAY, moreOptions.data(), MHD_OPTION_END);
    if (!m_daemon) {
        error = "cannot listen on " + options.listenAddress + " port " + std::to_string(options.port) +
                (tls ? " (or the certificate and key are unusable)" : " (address in use?)");
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info ? info->port : options.port;
    return true;
}

int MhdServer::pollFd() const {
    if (!m_daemon)
        return -1;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_EPOLL_FD);
    return info ? info->epoll_fd : -1;
}

void MhdServer::run() {
    if (!m_daemon)
        return;
    if (!m_waitingStreams.empty() && m_clock() >= m_nextGoneCheckMs) {
        endStreamsOfClientsGone();
        m_nextGoneCheckMs = m_clock() + kGoneCheckMs;
    }
    MHD_run(m_daemon);
}

void MhdServer::endStreamsOfClientsGone() {
    // A client that closed shows as a hang-up (or its half of the connection shut) on the socket; what
    // it may still have sent is of no interest to a stream.
    std::vector<MhdStreamBox*> boxes(m_waitingStreams.begin(), m_waitingStreams.end());
    std::vector<pollfd> fds;
    fds.reserve(boxes.size());
    for (MhdStreamBox* box : boxes) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(box->connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        fds.push_back(pollfd{info ? info->connect_fd : -1, POLLRDHUP, 0});
    }
    if (::poll(fds.data(), fds.size(), 0) <= 0)
        return;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if ((fds[i].revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0)
            continue;
        boxes[i]->peerGone = true;
        MhdCallbacks::resumeStream(boxes[i]);
    }
}

int MhdServer::timeoutMs() const {
    if (!m_daemon)
        return -1;
    MHD_UNSIGNED_LONG_LONG timeout = 0;
    if (MHD_get_timeout(m_daemon, &timeout) != MHD_YES)
        return -1;
    return timeout > 60000 ? 60000 : static_cast<int>(timeout);
}

void MhdServer::stop() {
    if (!m_daemon)
        return;
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

}  // namespace dvr::bridge
