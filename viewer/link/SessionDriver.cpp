#include "viewer/link/SessionDriver.h"

#include "viewer/link/SessionReader.h"

namespace dvr::link {

SessionDriver::SessionDriver(RecorderSession& session, RecorderTransport& transport,
                             const MonotonicClock& clock)
    : m_session(session), m_transport(transport), m_clock(clock) {
    m_session.setOutput(this);
}

SessionDriver::~SessionDriver() {
    m_session.setOutput(nullptr);
}

bool SessionDriver::connect(std::string_view address, uint16_t port) {
    if (m_session.hasSocket() || m_transport.isOpen())
        return false;
    if (m_transport.open(address, port) != RecorderTransport::ConnectStart::InProgress) {
        m_transport.close();
        return false;
    }
    m_session.connectStarted(m_clock.steadyNow());
    return true;
}

void SessionDriver::onConnectResult(int error) {
    if (error == 0 && m_session.connectPending() && m_transport.isOpen())
        m_transport.setReceiveBuffer(m_session.receiveBufferBytes());
    m_session.onConnectResult(error);
}

void SessionDriver::onReadable() {
    readOnce(m_transport, m_session);
}

void SessionDriver::onWritable() {
    if (m_transport.isOpen())
        outputWaiting();
}

void SessionDriver::onTime() {
    m_session.onTime(m_clock.steadyNow());
}

void SessionDriver::outputWaiting() {
    const std::span<const uint8_t> waiting = m_session.outgoing();
    if (!waiting.empty() && m_transport.isOpen()) {
        const RecorderTransport::Sent sent = m_transport.send(waiting);
        // A failed send drops the link here; the close it asks for is taken
        // by the nested call.
        m_session.onSent(sent.bytes, sent.error);
    }
    if (m_session.closeWanted()) {
        m_transport.close();
        m_session.onClosed();
    } else if (m_transport.isOpen()) {
        m_transport.watchWritable(m_session.wantsWrite());
    }
}

}  // namespace dvr::link
