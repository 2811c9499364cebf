#include "viewer/link/SessionHost.h"

namespace dvr::link {

std::string disconnectReasonText(DisconnectReason reason) {
    switch (reason) {
        case DisconnectReason::ConnectFailed:
            return "connection refused";
        case DisconnectReason::LoginRefused:
            return "login refused";
        case DisconnectReason::NoTraffic:
            return "no answer";
        case DisconnectReason::RecorderEnded:
            return "the recorder ended the session";
        case DisconnectReason::PeerClosed:
            return "the recorder closed the connection";
        case DisconnectReason::SendFailed:
            return "the connection broke while sending";
        case DisconnectReason::SendStalled:
        case DisconnectReason::SendOverflow:
            return "the recorder stopped reading";
    }
    return "disconnected";
}

}  // namespace dvr::link
