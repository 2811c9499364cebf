// What the playback window needs of the recorder session: requests by kind,
// the words the play request carries, the follow-up request, the connection
// and the protocol level. RecorderSession provides it through
// SessionPlaybackRequests; tests use a fake.
#pragma once

#include "viewer/link/Packet.h"

#include <cstdint>

namespace dvr::link {
class RecorderSession;
class SessionDriver;
}  // namespace dvr::link

namespace dvr::playback {

using link::RequestKind;

class PlaybackRequests {
public:
    virtual ~PlaybackRequests() = default;
    // Builds and sends a request of this kind; false without a connection.
    virtual bool request(RequestKind kind) = 0;
    // The request date word, request time word and play-mode word the next
    // play request carries.
    virtual void setPlayRequest(uint32_t dateWord, uint32_t timeWord, uint32_t playModeWord) = 0;
    // The request sent after each playback picture (103, 104 or 105).
    virtual void setFollowUp(RequestKind kind) = 0;
    virtual RequestKind followUp() const = 0;
    virtual bool connected() const = 0;
    // Starts a connect to the recorder of the settings; false when it failed
    // at once. The outcome arrives later (onConnectionEstablished or
    // onConnectFailed of the controller).
    virtual bool connect() = 0;
    virtual void disconnect() = 0;
    // 0 to 3; levels 2 and 3 are the newer recorders.
    virtual int protocolLevel() const = 0;
};

}  // namespace dvr::playback
