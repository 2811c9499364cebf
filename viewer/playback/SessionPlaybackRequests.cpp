#include "viewer/playback/SessionPlaybackRequests.h"

#include "viewer/link/RecorderSession.h"
#include "viewer/link/SessionDriver.h"

namespace dvr::playback {

SessionPlaybackRequests::SessionPlaybackRequests(link::SessionDriver& driver, std::string address,
                                                 uint16_t port)
    : m_driver(driver), m_address(std::move(address)), m_port(port) {}

link::RecorderSession& SessionPlaybackRequests::session() const {
    return m_driver.session();
}

void SessionPlaybackRequests::setAddress(std::string address, uint16_t port) {
    m_address = std::move(address);
    m_port = port;
}

bool SessionPlaybackRequests::request(RequestKind kind) {
    // The session logs in by itself as soon as a connection is established;
    // a second log-in on the same connection would only repeat the range
    // request.
    if (kind == RequestKind::Login && session().connected() &&
        (session().requestState() == link::RequestState::Login || session().loggedIn()))
        return true;
    // While the recorder has not yet answered the range request that follows a log-in (or the window's
    // opening), the session sends the play request itself with that answer; sent now as well, two picture
    // requests would be outstanding, and the answer would stop any play but forward.
    if (kind == RequestKind::PlaySearch && session().connected() &&
        (session().requestState() == link::RequestState::Login ||
         session().requestState() == link::RequestState::RecordingRange))
        return true;
    return session().request(kind);
}

void SessionPlaybackRequests::setPlayRequest(uint32_t dateWord, uint32_t timeWord, uint32_t playModeWord) {
    session().setPlayRequest(dateWord, timeWord, playModeWord);
}

void SessionPlaybackRequests::setFollowUp(RequestKind kind) {
    session().setPendingRequest(kind);
}

RequestKind SessionPlaybackRequests::followUp() const {
    return session().pendingRequest();
}

bool SessionPlaybackRequests::connected() const {
    return session().connected();
}

bool SessionPlaybackRequests::connect() {
    return m_driver.connect(m_address, m_port);
}

void SessionPlaybackRequests::disconnect() {
    session().disconnect();
}

int SessionPlaybackRequests::protocolLevel() const {
    return session().protocolLevel();
}

}  // namespace dvr::playback
