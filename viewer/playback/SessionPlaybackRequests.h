// The playback window's link over a RecorderSession (through the driver that
// binds it to its transport, which also connects it) and the recorder address
// of the settings.
#pragma once

#include "viewer/playback/PlaybackRequests.h"

#include <string>

namespace dvr::playback {

class SessionPlaybackRequests : public PlaybackRequests {
public:
    SessionPlaybackRequests(link::SessionDriver& driver, std::string address, uint16_t port);

    bool request(RequestKind kind) override;
    void setPlayRequest(uint32_t dateWord, uint32_t timeWord, uint32_t playModeWord) override;
    void setFollowUp(RequestKind kind) override;
    RequestKind followUp() const override;
    bool connected() const override;
    bool connect() override;
    void disconnect() override;
    int protocolLevel() const override;

    void setAddress(std::string address, uint16_t port);

private:
    // Read through the driver at each call: the driver may be built after this link.
    link::RecorderSession& session() const;

    link::SessionDriver& m_driver;
    std::string m_address;
    uint16_t m_port;
};

}  // namespace dvr::playback
