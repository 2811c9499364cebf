#include "viewer/playback/SessionPlaybackRequests.h"

#include "viewer/link/RecorderSession.h"

namespace dvr::playback {

SessionPlaybackRequests::SessionPlaybackRequests(link::RecorderSession& session, std::string address,
                                                 uint16_t port)
    : m_session(session), m_address(std::move(address)), m_port(port) {}

void SessionPlaybackRequests::setAddress(std::string address, uint16_t port) {
    m_address = std::move(address);
    m_port = port;
}

bool SessionPlaybackRequests::request(RequestKind kind) {
    // The session logs in by itself as soon as a connection is established;
    // a second log-in on the same connection would only repeat the range
    // request.
    if (kind == RequestKind::Login && m_session.connected() &&
        (m_session.requestState() == link::RequestState::Login || m_session.loggedIn()))
        return true;
    // While the recorder has not yet answered the range request that follows a log-in (or the window's
    // opening), the session sends the play request itself with that answer; sent now as well, two picture
    // requests would be outstanding, and the answer would stop any play but forward.
    if (kind == RequestKind::PlaySearch && m_session.connected() &&
        (m_session.requestState() == link::RequestState::Login ||
         m_session.requestState() == link::RequestState::RecordingRange))
        return true;
    return m_session.request(kind);
}

void SessionPlaybackRequests::setPlayRequest(uint32_t dateWord, uint32_t timeWord, uint32_t playModeWord) {
    m_session.setPlayRequest(dateWord, timeWord, playModeWord);
}

void SessionPlaybackRequests::setFollowUp(RequestKind kind) {
    m_session.setPendingRequest(kind);
}

RequestKind SessionPlaybackRequests::followUp() const {
    return m_session.pendingRequest();
}

bool SessionPlaybackRequests::connected() const {
    return m_session.connected();
}

bool SessionPlaybackRequests::connect() {
    return m_session.connect(m_address, m_port);
}

void SessionPlaybackRequests::disconnect() {
    m_session.disconnect();
}

int SessionPlaybackRequests::protocolLevel() const {
    return m_session.protocolLevel();
}

}  // namespace dvr::playback
