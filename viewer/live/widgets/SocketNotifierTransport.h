#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

#include "viewer/link/RecorderSession.h"
#include "viewer/link/RecorderSocket.h"

namespace dvr::live {

// The recorder socket watched by socket notifiers on the user-interface thread: it reports the outcome of
// a connect when the socket becomes writable and readable bytes as they arrive (level-triggered, so one
// 4096-byte read per notification goes on while bytes are pending). Stops watching for reading once the
// session no longer wants to read (the peer closed the stream).
class SocketNotifierTransport : public QObject, public link::RecorderTransport {
    Q_OBJECT
public:
    explicit SocketNotifierTransport(QObject* parent = nullptr);
    ~SocketNotifierTransport() override;

    // The session the notifications go to.
    void setSession(link::RecorderSession* session) { m_session = session; }

    ConnectStart open(std::string_view address, uint16_t port) override;
    bool isOpen() const override { return m_socket.isOpen(); }
    void send(std::span<const uint8_t> bytes) override { m_socket.send(bytes); }
    Received receive(std::span<uint8_t> buffer) override { return m_socket.receive(buffer); }
    void setReceiveBuffer(int bytes) override { m_socket.setReceiveBuffer(bytes); }
    void close() override;

private:
    void onWritable();
    void onReadable();
    void stopWatching();

    link::RecorderSocket m_socket;
    link::RecorderSession* m_session = nullptr;
    QPointer<QSocketNotifier> m_writeNotifier;
    QPointer<QSocketNotifier> m_readNotifier;
};

}  // namespace dvr::live
