// The recorder connection on a non-blocking POSIX TCP socket. The socket
// itself never waits for data; readiness is watched by a poll loop
// (SessionPoller) or a socket notifier, which report it to the session's
// driver (SessionDriver).
#pragma once

#include "viewer/link/RecorderTransport.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <netdb.h>
#include <sys/socket.h>

namespace dvr::link {

// A host-name lookup on a thread of its own.
struct HostLookup;

class RecorderSocket final : public RecorderTransport {
public:
    RecorderSocket() = default;
    ~RecorderSocket() override;
    RecorderSocket(const RecorderSocket&) = delete;
    RecorderSocket& operator=(const RecorderSocket&) = delete;

    // How long open() waits for a host name to resolve.
    static constexpr int kDefaultLookupTimeoutMs = 5000;

    // Resolves the address (numeric first, then as a host name, waiting at
    // most the lookup time-out) and starts a non-blocking connect to the
    // first address. A connect that completes or fails at once is reported
    // like a later one, through the socket becoming writable. With lookups
    // in the background, a host name is resolved on a thread of its own and
    // open() returns at once: the connect is under way while the lookup runs.
    ConnectStart open(std::string_view address, uint16_t port) override;
    // Host names resolve in the background from the next open() on: a loop that serves others besides
    // (the bridge) never waits for a name server. It watches lookupFd() for reading while
    // lookupPending() and then calls finishLookup().
    void setBackgroundLookup(bool on) { m_backgroundLookup = on; }
    bool lookupPending() const { return m_lookup != nullptr; }
    // Readable once the background lookup is done; -1 while none runs.
    int lookupFd() const;
    enum class LookupOutcome {
        Pending,     // not done yet
        Connecting,  // resolved: a connect to the first address is under way on fd()
        Failed,      // the name did not resolve, or no address took a connect; nothing is left open
    };
    LookupOutcome finishLookup();
    // Resolves names with `resolve` (getaddrinfo's signature; the result is freed with freeaddrinfo)
    // instead of getaddrinfo: tests hold a lookup back with it.
    using Resolver = std::function<int(const char*, const char*, const addrinfo*, addrinfo**)>;
    void setResolver(Resolver resolve) { m_resolver = std::move(resolve); }
    // Starts a non-blocking connect to the first of already resolved numeric
    // addresses; tryNextAddress() moves on to the others.
    ConnectStart openAddresses(std::span<const std::string> numericAddresses, uint16_t port);
    // The connect to the current address failed: starts one to the next
    // address. False, with the failed socket left open, when none is left.
    bool tryNextAddress();
    void setLookupTimeoutMs(int timeoutMs) { m_lookupTimeoutMs = timeoutMs; }
    // Every socket opened from now on is ended by the system once bytes sent stay unacknowledged this
    // long (0: the system's own limit, many minutes): a recorder that vanished without closing the
    // connection is then noticed even while only keep-alives go out.
    void setUnacknowledgedTimeoutMs(unsigned timeoutMs) { m_unacknowledgedTimeoutMs = timeoutMs; }
    // The last open() failed because the name did not resolve (in time).
    bool lookupFailed() const { return m_lookupFailed; }
    bool isOpen() const override { return m_fd >= 0 || m_lookup != nullptr; }
    // Sends what the system takes now; never waits.
    Sent send(std::span<const uint8_t> bytes) override;
    Received receive(std::span<uint8_t> buffer) override;
    void setReceiveBuffer(int bytes) override;
    // Reads away what is pending (so the peer sees an orderly close rather
    // than a reset), shuts both directions down and closes.
    void close() override;

    int fd() const { return m_fd; }
    // The outcome of a connect once the socket is writable: 0 or the error.
    int pendingError() const;

private:
    struct Address {
        sockaddr_storage storage{};
        socklen_t length = 0;
    };
    // Appends the addresses of `host` (flags as for getaddrinfo); false when
    // there are none or the lookup time-out passed.
    bool resolve(const std::string& host, uint16_t port, int flags, std::vector<Address>& out) const;
    // Starts a connect to the first address from m_nextAddress on that takes
    // it; the previous socket is closed only once a new one is under way.
    bool connectFromNext();
    // Takes the addresses of a finished lookup (status and result as getaddrinfo gave them).
    static void appendAddresses(int status, const addrinfo* result, std::vector<Address>& out);

    int m_fd = -1;
    std::vector<Address> m_addresses;
    size_t m_nextAddress = 0;
    int m_lookupTimeoutMs = kDefaultLookupTimeoutMs;
    unsigned m_unacknowledgedTimeoutMs = 0;
    bool m_lookupFailed = false;
    bool m_backgroundLookup = false;
    Resolver m_resolver;
    // The background lookup under way, shared with its thread.
    std::shared_ptr<HostLookup> m_lookup;
};

}  // namespace dvr::link
