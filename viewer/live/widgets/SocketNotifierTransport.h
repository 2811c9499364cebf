#pragma once

#include <QHostInfo>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

#include "viewer/link/RecorderSocket.h"
#include "viewer/link/SessionDriver.h"

namespace dvr::live {

// The recorder socket watched by socket notifiers on the user-interface thread. A host name is looked up
// without blocking the window; the connect then goes to each of its addresses in turn. It reports the
// outcome of the connect when the socket becomes writable, room for the session's queued bytes while the
// session asks for it, and readable bytes as they arrive (level-triggered, so one 4096-byte read per
// notification goes on while bytes are pending), each to the driver that binds the session to it.
class SocketNotifierTransport : public QObject, public link::RecorderTransport {
    Q_OBJECT
public:
    explicit SocketNotifierTransport(QObject* parent = nullptr);
    ~SocketNotifierTransport() override;

    // The driver the notifications go to (nullptr: none).
    void setDriver(link::SessionDriver* driver) { m_driver = driver; }

    // A numeric address starts connecting at once; a host name first resolves in the background (the
    // socket counts as open meanwhile), and a name that does not resolve is reported as a failed connect.
    ConnectStart open(std::string_view address, uint16_t port) override;
    bool isOpen() const override { return m_lookupId >= 0 || m_socket.isOpen(); }
    Sent send(std::span<const uint8_t> bytes) override { return m_socket.send(bytes); }
    void watchWritable(bool on) override;
    Received receive(std::span<uint8_t> buffer) override { return m_socket.receive(buffer); }
    void setReceiveBuffer(int bytes) override { m_socket.setReceiveBuffer(bytes); }
    void close() override;

private:
    void onLookedUp(const QHostInfo& info);
    void watchSocket();
    void onWritable();
    void onReadable();
    void stopWatching();

    link::RecorderSocket m_socket;
    link::SessionDriver* m_driver = nullptr;
    int m_lookupId = -1;  // the host lookup under way, or -1
    uint16_t m_port = 0;
    bool m_connecting = false;  // the connect's outcome is not reported yet
    QPointer<QSocketNotifier> m_writeNotifier;
    QPointer<QSocketNotifier> m_readNotifier;
};

}  // namespace dvr::live
