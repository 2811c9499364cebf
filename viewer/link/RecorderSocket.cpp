#include "viewer/link/RecorderSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace dvr::link {

RecorderSocket::~RecorderSocket() {
    close();
}

// A host-name lookup on its own thread, so that the caller can stop waiting
// for it; the thread owns its share and frees the result if nobody took it.
// A background lookup also makes a pipe that turns readable when it is done.
struct HostLookup {
    std::mutex mutex;  // guards done, status and result
    std::condition_variable finished;
    bool done = false;
    int status = 0;
    addrinfo* result = nullptr;
    int wakeRead = -1;
    int wakeWrite = -1;
    ~HostLookup() {
        if (result != nullptr)
            freeaddrinfo(result);
        for (const int fd : {wakeRead, wakeWrite})
            if (fd >= 0)
                ::close(fd);
    }
};

namespace {

// Runs the lookup on a detached thread that keeps its own share of `lookup`.
void startLookup(const std::shared_ptr<HostLookup>& lookup, const RecorderSocket::Resolver& resolver,
                 const std::string& host, const std::string& service, const addrinfo& hints) {
    std::thread([lookup, resolver, host, service, hints] {
        addrinfo* found = nullptr;
        const int status = resolver ? resolver(host.c_str(), service.c_str(), &hints, &found)
                                    : getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->result = found;
        lookup->done = true;
        lookup->finished.notify_all();
        if (lookup->wakeWrite >= 0) {
            const char done = 1;
            [[maybe_unused]] const ssize_t n = ::write(lookup->wakeWrite, &done, 1);
        }
    }).detach();
}

addrinfo lookupHints(int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    return hints;
}

}  // namespace

RecorderTransport::ConnectStart RecorderSocket::open(std::string_view address, uint16_t port) {
    close();
    m_lookupFailed = false;
    m_addresses.clear();
    m_nextAddress = 0;
    const std::string host(address);
    if (!resolve(host, port, AI_NUMERICHOST, m_addresses)) {
        if (m_backgroundLookup && !host.empty()) {
            auto lookup = std::make_shared<HostLookup>();
            int fds[2];
            if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
                return ConnectStart::Failed;
            lookup->wakeRead = fds[0];
            lookup->wakeWrite = fds[1];
            startLookup(lookup, m_resolver, host, std::to_string(port), lookupHints(0));
            m_lookup = std::move(lookup);
            return ConnectStart::InProgress;
        }
        if (!resolve(host, port, 0, m_addresses)) {
            m_lookupFailed = true;
            return ConnectStart::Failed;
        }
    }
    return connectFromNext() ? ConnectStart::InProgress : ConnectStart::Failed;
}

int RecorderSocket::lookupFd() const {
    return m_lookup != nullptr ? m_lookup->wakeRead : -1;
}

RecorderSocket::LookupOutcome RecorderSocket::finishLookup() {
    if (m_lookup == nullptr)
        return m_fd >= 0 ? LookupOutcome::Connecting : LookupOutcome::Failed;
    {
        std::lock_guard lock(m_lookup->mutex);
        if (!m_lookup->done)
            return LookupOutcome::Pending;
        appendAddresses(m_lookup->status, m_lookup->result, m_addresses);
    }
    m_lookup.reset();
    m_lookupFailed = m_addresses.empty();
    return connectFromNext() ? LookupOutcome::Connecting : LookupOutcome::Failed;
}

void RecorderSocket::appendAddresses(int status, const addrinfo* result, std::vector<Address>& out) {
    if (status != 0)
        return;
    for (const addrinfo* ai = result; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        Address a;
        std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
        a.length = ai->ai_addrlen;
        out.push_back(a);
    }
}

bool RecorderSocket::resolve(const std::string& host, uint16_t port, int flags,
                             std::vector<Address>& out) const {
    const std::string service = std::to_string(port);
    const addrinfo hints = lookupHints(flags);
    auto lookup = std::make_shared<HostLookup>();
    if (flags & AI_NUMERICHOST) {
        lookup->status = getaddrinfo(host.c_str(), service.c_str(), &hints, &lookup->result);
    } else {
        startLookup(lookup, m_resolver, host, service, hints);
        std::unique_lock lock(lookup->mutex);
        // A name server that does not answer must not hold the caller: the
        // lookup is left to finish on its own.
        if (!lookup->finished.wait_for(lock, std::chrono::milliseconds(m_lookupTimeoutMs),
                                       [&] { return lookup->done; }))
            return false;
    }
    const size_t before = out.size();
    std::lock_guard lock(lookup->mutex);
    appendAddresses(lookup->status, lookup->result, out);
    return out.size() > before;
}

RecorderTransport::ConnectStart RecorderSocket::openAddresses(std::span<const std::string> numericAddresses,
                                                              uint16_t port) {
    close();
    m_lookupFailed = false;
    m_addresses.clear();
    m_nextAddress = 0;
    for (const std::string& text : numericAddresses)
        resolve(text, port, AI_NUMERICHOST, m_addresses);
    return connectFromNext() ? ConnectStart::InProgress : ConnectStart::Failed;
}

bool RecorderSocket::tryNextAddress() {
    return connectFromNext();
}

bool RecorderSocket::connectFromNext() {
    while (m_nextAddress < m_addresses.size()) {
        const Address& a = m_addresses[m_nextAddress++];
        const int fd = ::socket(a.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (m_unacknowledgedTimeoutMs > 0) {
            ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &m_unacknowledgedTimeoutMs,
                         sizeof m_unacknowledgedTimeoutMs);
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&a.storage), a.length) == 0 ||
            errno == EINPROGRESS) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

int RecorderSocket::pendingError() const {
    if (m_fd < 0)
        return EBADF;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

RecorderTransport::Sent RecorderSocket::send(std::span<const uint8_t> bytes) {
    Sent result;
    if (m_fd < 0) {
        result.error = ENOTCONN;
        return result;
    }
    while (result.bytes < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + result.bytes, bytes.size() - result.bytes,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            result.bytes += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A connect still under way takes nothing yet; the rest waits for writability.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOTCONN))
            break;
        result.error = n < 0 ? errno : EPIPE;
        break;
    }
    return result;
}

RecorderTransport::Received RecorderSocket::receive(std::span<uint8_t> buffer) {
    Received r;
    if (m_fd < 0 || buffer.empty())
        return r;
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0) {
            r.bytes = static_cast<size_t>(n);
            return r;
        }
        if (n == 0) {
            r.closed = true;
            return r;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            r.closed = true;
        return r;
    }
}

void RecorderSocket::setReceiveBuffer(int bytes) {
    if (m_fd >= 0)
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void RecorderSocket::close() {
    // A lookup still running is left to finish on its own thread; its answer is not wanted.
    m_lookup.reset();
    if (m_fd < 0)
        return;
    uint8_t scratch[4096];
    for (int i = 0; i < 64; ++i) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n <= 0)
            break;
    }
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace dvr::link
