#include "viewer/link/RecorderSession.h"

#include "common/frame/ChannelCode.h"

#include <algorithm>

namespace dvr::link {

RecorderSession::RecorderSession(LiveHost& live, PlaybackHost* playback)
    : m_host(live), m_playback(playback) {
    m_sendBuffer.resize(1024);
    m_loginBlock = buildLoginBlock("admin", "");
}

void RecorderSession::setCredentials(std::string_view userId, std::string_view password) {
    m_loginBlock = buildLoginBlock(userId, password);
}

void RecorderSession::setPlayRequest(uint32_t dateWord, uint32_t timeWord, uint32_t playModeWord) {
    m_values.requestDateWord = dateWord;
    m_values.requestTimeWord = timeWord;
    m_values.playModeWord = playModeWord;
}

bool RecorderSession::connectStarted(TimePoint now) {
    if (m_open)
        return false;
    m_open = true;
    m_closeWanted = false;
    ++m_generation;
    m_liveRequestsOut = 0;
    resetStopCounts();
    m_sendQueue.clear();
    m_linkDead = false;
    m_connectReported = false;
    m_framer.reset();
    m_host.toggleActivity(ActivityTarget::LiveAndPlayback);
    m_watchdogRunning = true;
    m_watchdogDue = now + m_watchdogPeriod;
    m_host.setWatchdogRunning(true);
    m_activity = true;
    return true;
}

void RecorderSession::disconnect() {
    if (m_watchdogRunning) {
        m_watchdogRunning = false;
        m_host.setWatchdogRunning(false);
    }
    if (m_open) {
        // A socket whose connect is still under way cannot carry the stop
        // request, nor can a connection found broken.
        if (m_connected && !m_linkDead) {
            m_disconnecting = true;
            request(RequestKind::Stop);
            m_disconnecting = false;
        }
        // The driver hands over what waits once more, then closes: closing
        // shuts the sending side down after the bytes the system took, and
        // the rest goes with the socket.
        m_open = false;
        m_closeWanted = true;
        outputWaiting();
    }
    ++m_generation;
    resetStopCounts();
    // While the close is not taken yet, its last bytes stay in outgoing().
    if (!m_closeWanted)
        m_sendQueue.clear();
    m_linkDead = false;
    m_framer.reset();
    m_connected = false;
    m_loggedIn = false;
    m_liveRequestHeld = false;
    m_keyLocked = false;
    m_host.setKeyLock(false);
    m_host.activityOff();
}

bool RecorderSession::sendBytes(std::span<const uint8_t> bytes) {
    const uint64_t generation = m_generation;
    m_activity = true;
    // Bytes behind waiting ones go when the socket has room again; the first
    // ones are offered to the socket at once.
    const bool handOver = m_sendQueue.empty();
    const SendQueue::Outcome outcome = m_sendQueue.add(bytes);
    if (outcome == SendQueue::Outcome::Overflow)
        afterSend(outcome);
    else if (handOver)
        outputWaiting();
    return generation == m_generation;
}

void RecorderSession::outputWaiting() {
    if (m_output != nullptr)
        m_output->outputWaiting();
}

void RecorderSession::onSent(size_t bytes, int error) {
    const SendQueue::Outcome outcome = m_sendQueue.sent(bytes, error);
    // The last hand-over before a close reports nothing more.
    if (m_open)
        afterSend(outcome);
}

void RecorderSession::onClosed() {
    if (!m_closeWanted)
        return;
    m_closeWanted = false;
    m_sendQueue.clear();
}

void RecorderSession::afterSend(SendQueue::Outcome outcome) {
    switch (outcome) {
        case SendQueue::Outcome::Idle:
        case SendQueue::Outcome::Waiting:
            break;
        case SendQueue::Outcome::Overflow:
            // The recorder has stopped reading: the link is dead.
            if (!m_disconnecting)
                dropLink(DisconnectReason::SendOverflow);
            break;
        case SendQueue::Outcome::Failed:
            if (!m_disconnecting)
                dropLink(DisconnectReason::SendFailed);
            break;
    }
}

void RecorderSession::dropLink(DisconnectReason reason) {
    m_sendQueue.clear();
    m_linkDead = true;
    disconnect();
    reportDisconnect(reason);
}

void RecorderSession::reportDisconnect(DisconnectReason reason) {
    m_host.runViewDisconnect(reason);
    if (m_playback != nullptr)
        m_playback->connectionLost(reason);
}

frame::FrameDecodeOptions RecorderSession::decodeOptions() const {
    frame::FrameDecodeOptions options;
    options.method = frame::viewerMethod(frame::layoutFamily(m_live.layoutCode()));
    options.channelCount = m_channelCount;
    return options;
}

bool RecorderSession::request(RequestKind kind) {
    if (!m_open)
        return false;
    m_values.displayedChannelMask = m_live.displayedChannelMask();
    m_values.requestSpeed = m_live.requestSpeed();
    const RequestBytes packet = buildRequest(kind, m_version, m_values, m_loginBlock);
    if (packet.size == 0 || !sendBytes(packet.view()))
        return false;
    switch (kind) {
        case RequestKind::Login:
            m_requestState = RequestState::Login;
            break;
        case RequestKind::LivePicture:
            m_requestState = RequestState::LivePicture;
            // This is the live loop's one outstanding request: one still held (from before remote
            // playback took the session, say) must not follow it once its hold ends.
            m_liveRequestHeld = false;
            ++m_liveRequestsOut;
            break;
        case RequestKind::EventList:
            m_requestState = RequestState::EventList;
            break;
        case RequestKind::RecordingRange:
            m_requestState = RequestState::RecordingRange;
            break;
        case RequestKind::NextPlaybackPicture:
        case RequestKind::PlaySearch:
        case RequestKind::StopPlayback:
            m_requestState = static_cast<RequestState>(kind);
            m_previousState = m_requestState;
            break;
        case RequestKind::Stop:
        case RequestKind::KeepAlive:
            break;
    }
    if (kind == RequestKind::StopPlayback)
        ++m_stopsSent;
    if (kind == RequestKind::PlaySearch) {
        m_stopsBeforePlay = m_stopsSent;
        // Replies are counted when the play mode's kind byte is zero.
        m_playbackCounting = ((m_values.playModeWord >> 8) & 0xFF) == 0;
        m_playbackCount = 0;
    }
    return true;
}

bool RecorderSession::sendPtz(std::span<const uint8_t> bytes, uint32_t baudRateCode) {
    if (!m_open)
        return false;
    const size_t needed = kPacketPrefixBytes + bytes.size();
    if (m_sendBuffer.size() < needed)
        m_sendBuffer.resize(needed);
    const size_t n = buildPtzPacket(m_sendBuffer, m_version, bytes, baudRateCode);
    if (n == 0)
        return false;
    return sendBytes(std::span<const uint8_t>(m_sendBuffer.data(), n));
}

bool RecorderSession::releaseLiveRequest() {
    if (!m_liveRequestHeld)
        return false;
    m_liveRequestHeld = false;
    if (!m_open || playbackActive())
        return false;
    if (!request(RequestKind::LivePicture))
        return false;
    m_host.toggleActivity(ActivityTarget::LiveView);
    return true;
}

bool RecorderSession::sendSetupQuery() {
    if (!m_open)
        return false;
    if (!sendBytes(buildSetupQuery(m_version).view()))
        return false;
    m_requestState = RequestState::SetupQuery;
    m_previousState = RequestState::SetupQuery;
    return true;
}

void RecorderSession::onConnectResult(int error) {
    if (!m_open || m_connected || m_connectReported)
        return;
    m_connectReported = true;
    if (error != 0) {
        reportDisconnect(DisconnectReason::ConnectFailed);
        return;
    }
    m_host.setConnectionState(ConnectionState::Established);
    m_connected = true;
    m_framer.resetCapacity();
    m_live.resetPictureState();
    request(RequestKind::Login);
}

void RecorderSession::receive(std::span<const uint8_t> bytes, bool peerClosed) {
    if (!m_open)
        return;
    const uint64_t generation = m_generation;
    m_activity = true;
    if (!bytes.empty())
        handleBlock(bytes);
    // The recorder is gone: the view shows it now rather than at the next
    // silent watchdog period.
    if (peerClosed && generation == m_generation && m_open)
        dropLink(DisconnectReason::PeerClosed);
}

void RecorderSession::onTime(TimePoint now) {
    if (!m_watchdogRunning || now < m_watchdogDue)
        return;
    m_watchdogDue += m_watchdogPeriod;
    // Time given long after the check was due (a suspended machine) starts a
    // fresh period rather than running the missed checks back to back.
    if (m_watchdogDue <= now)
        m_watchdogDue = now + m_watchdogPeriod;
    if (m_sendQueue.stalledSinceLastCheck()) {
        dropLink(DisconnectReason::SendStalled);
        return;
    }
    if (m_activity) {
        m_activity = false;
        return;
    }
    disconnect();
    reportDisconnect(DisconnectReason::NoTraffic);
}

std::optional<TimePoint> RecorderSession::nextWakeUp() const {
    if (!m_watchdogRunning)
        return std::nullopt;
    return m_watchdogDue;
}

void RecorderSession::handleBlock(std::span<const uint8_t> block) {
    if (block.empty())
        return;
    m_activity = true;
    if (m_requestState == RequestState::SetupQuery) {
        // The set-up reply is kept as it came, without interpretation.
        m_host.setupReply(block.first(std::min(block.size(), kSetupReplyBytes)));
        m_requestState = RequestState::LivePicture;
        m_framer.reset();
        return;
    }
    dispatchBlock(block);
    if (m_playErrorPending) {
        m_playErrorPending = false;
        m_host.showMessage(kPlayErrorMessage);
    }
}

void RecorderSession::dispatchBlock(std::span<const uint8_t> block) {
    const uint64_t generation = m_generation;
    while (!block.empty() && generation == m_generation) {
        size_t used = 0;
        const FramerEvent event = m_framer.next(block, used);
        block = block.subspan(used);
        switch (event.kind) {
            case FramerEvent::Kind::NeedMore:
                break;
            case FramerEvent::Kind::Header: {
                const Payload what = handleHeader(event.header, event.params);
                if (what == Payload::Stop || generation != m_generation)
                    return;
                m_payloadCommand = event.header.command;
                m_payloadWanted = what == Payload::Collect;
                if (!m_payloadWanted) {
                    m_framer.skipPayload();
                } else if (event.payloadBytes == 0 && event.header.command != command::EventListReply) {
                    // A picture reply without a record still answered the request: it goes the way of a
                    // record too short to hold a picture, and the loop goes on. (An empty event list is
                    // complete with its header.)
                    m_payloadWanted = false;
                    handlePayload({});
                }
                break;
            }
            case FramerEvent::Kind::PayloadComplete:
                if (m_payloadWanted)
                    handlePayload(event.payload);
                m_payloadWanted = false;
                break;
            case FramerEvent::Kind::Oversize:
                // A live reply too large to keep is dropped at its header, yet
                // it answered the live request: the loop goes on as after a
                // skipped picture, and the next reply follows the dropped bytes.
                if (event.header.command == command::LivePictureReply) {
                    m_requestState = RequestState::LivePicture;
                    liveReplyCame();
                    continueLiveLoop();
                } else if (event.header.command == command::EventListReply) {
                    // An event list beyond any recorder's size answers the request all the same: the
                    // host hears of it instead of waiting for a body that never comes.
                    m_host.eventListDropped(event.params.p[0]);
                } else if (event.header.command == command::PlaybackPictureReply) {
                    // So does a playback reply: its time, position and status count as any reply's,
                    // and the chain goes on as after a picture that does not decode.
                    if (handleHeader(event.header, event.params) == Payload::Collect &&
                        generation == m_generation) {
                        m_payloadCommand = event.header.command;
                        handlePayload({});
                    }
                }
                break;
        }
    }
}

RecorderSession::Payload RecorderSession::handleHeader(const PacketHeader& header, const ParamBlock& params) {
    m_lastParams = params;
    const auto& p = params.p;
    switch (header.command) {
        case command::LoginReply:
            handleLoginReply(header, params);
            return Payload::Skip;
        case command::LivePictureReply:
            m_requestState = RequestState::LivePicture;
            liveReplyCame();
            m_live.takeReply(p[0], p[4], p[5]);
            m_host.livePositions(p[0], p[4]);
            if (m_playback != nullptr)
                m_playback->recordPosition(p[4]);
            return Payload::Collect;
        case command::EventListReply:
            m_requestState = RequestState::EventList;
            m_host.eventListAnnounced(p[0]);
            return Payload::Collect;
        case command::RecordingRangeReply:
            handleRangeReply(params);
            return Payload::Skip;
        case command::SessionEnded:
            disconnect();
            reportDisconnect(DisconnectReason::RecorderEnded);
            m_host.showMessage(kDisconnectedMessage);
            return Payload::Stop;
        case command::PlaybackPictureReply:
            // The last reply of a chain stopped before the play that is waiting now: its time, position
            // and status would land on the new play.
            if (playBehindStop())
                return Payload::Skip;
            m_requestState = RequestState::PlaybackPicture;
            if (m_playbackCounting) {
                ++m_playbackCount;
                if (m_playbackCount > kCountedPlaybackReplies) {
                    // Discarded whole; no further picture request follows.
                    m_playbackCounting = false;
                    return Payload::Skip;
                }
            }
            if (p[3] != 1) {
                if (m_playback != nullptr)
                    m_playback->playbackStatus(p[3]);
                return Payload::Skip;
            }
            if (m_playback != nullptr) {
                m_playback->playbackPictureTime(p[0], p[1]);
                m_playback->playbackPosition(p[4]);
            }
            return Payload::Collect;
        case command::PlaySearchReply:
            if (stopUnanswered())
                return Payload::Skip;
            m_requestState = RequestState::PlaybackSearch;
            if (p[0] == 1)
                request(RequestKind::NextPlaybackPicture);
            return Payload::Skip;
        case command::StopPlaybackReply:
            if (stopUnanswered()) {
                ++m_stopsAnswered;
                // A play request sent after this stop is under way: the stop ended the chain before
                // it, not the new one.
                if (m_stopsAnswered <= m_stopsBeforePlay)
                    return Payload::Skip;
            }
            m_requestState = RequestState::PlaybackStop;
            if (m_playback != nullptr)
                m_playback->playbackStatus(p[0]);
            if (p[0] == 2)
                m_playErrorPending = true;
            return Payload::Skip;
        case command::StopReply:
        case command::Notice:
        default:
            return Payload::Skip;
    }
}

void RecorderSession::handleLoginReply(const PacketHeader& header, const ParamBlock& params) {
    const auto& p = params.p;
    m_version = header.version;
    const ProtocolInfo info = protocolFromVersion(m_version);
    m_protocolLevel = info.level;
    m_newerProtocol = info.newer;
    if ((p[0] & 0x1) == 0) {
        m_loggedIn = false;
        reportDisconnect(DisconnectReason::LoginRefused);
        return;
    }
    m_loggedIn = true;
    switch (p[1] & 0xFF) {
        case 1:
            m_channelCount = 1;
            break;
        case 8:
            m_channelCount = 8;
            break;
        case 16:
            m_channelCount = 16;
            break;
        default:
            m_channelCount = 4;
            break;
    }
    m_range = RecordingRange{p[2], p[3], p[4], p[5]};
    m_host.recordingRange(m_range);
    if (m_playback != nullptr)
        m_playback->recordingRange(m_range);
    m_keyLocked = (p[0] & 0x80000000u) != 0;
    if (m_keyLocked)
        m_host.setConnectionState(ConnectionState::KeyLock);
    m_host.setKeyLock(m_keyLocked);
    if (p[0] & 0x40000000u)
        m_newerProtocol = true;
    request(RequestKind::RecordingRange);
}

void RecorderSession::handleRangeReply(const ParamBlock& params) {
    const auto& p = params.p;
    m_range = RecordingRange{p[2], p[3], p[4], p[5]};
    m_host.recordingRange(m_range);
    if (m_playback != nullptr)
        m_playback->recordingRange(m_range);
    // Forward play resumes, and so does a play the window started while the range was asked for (after a
    // reconnect's log-in), in its own direction; any other state stops.
    if (playbackActive())
        request(m_playback->playState() == 1 || m_playback->playing() ? RequestKind::PlaySearch
                                                                      : RequestKind::StopPlayback);
    else if (m_liveRequestsOut == 0)
        request(RequestKind::LivePicture);
}

void RecorderSession::liveReplyCame() {
    if (m_liveRequestsOut > 0)
        --m_liveRequestsOut;
}

void RecorderSession::handlePayload(std::span<const uint8_t> payload) {
    switch (m_payloadCommand) {
        case command::LivePictureReply:
            handleLivePicture(payload);
            break;
        case command::EventListReply:
            m_host.eventList(payload);
            m_requestState = m_previousState;
            break;
        case command::PlaybackPictureReply:
            handlePlaybackPicture(payload);
            break;
        default:
            break;
    }
}

void RecorderSession::handleLivePicture(std::span<const uint8_t> record) {
    const uint64_t generation = m_generation;
    m_live.countFrame();
    const frame::DecodedFrame inspected = frame::FrameDecoder::inspect(record);
    if (inspected.status == frame::DecodeStatus::Decoded) {
        const bool decode = m_live.settle(inspected.header);
        if (m_live.formatChanged())
            m_host.liveFormatChanged(m_live.pictureFlags(), m_live.videoStandard());
        if (decode && generation == m_generation)
            m_host.livePicture(frame::PictureRecord{record, inspected.header, decodeOptions()});
    }
    if (generation == m_generation)
        continueLiveLoop();
}

void RecorderSession::continueLiveLoop() {
    const uint64_t generation = m_generation;
    m_host.afterLivePicture();
    if (generation != m_generation)
        return;
    // Another live request is on its way (sent while this one was): its reply carries the loop on.
    if (m_liveRequestsOut > 0)
        return;
    if (m_host.holdLiveRequest()) {
        m_liveRequestHeld = true;
        return;
    }
    if (!playbackActive() && request(RequestKind::LivePicture))
        m_host.toggleActivity(ActivityTarget::LiveView);
}

void RecorderSession::handlePlaybackPicture(std::span<const uint8_t> record) {
    if (!playbackActive())
        return;
    const uint64_t generation = m_generation;
    frame::FrameDecodeOptions options = decodeOptions();
    options.alignByFlags = true;
    const frame::DecodedFrame inspected = frame::FrameDecoder::inspect(record);
    if (inspected.status == frame::DecodeStatus::Decoded)
        m_playback->playbackPicture(frame::PictureRecord{record, inspected.header, options});
    if (generation != m_generation || m_playback == nullptr)
        return;
    if (m_playback->holdPlaybackRequest()) {
        m_playbackRequestHeld = true;
        m_playbackHeldGeneration = m_generation;
        m_playbackHeldStops = m_stopsSent;
        return;
    }
    continuePlayback();
}

bool RecorderSession::releasePlaybackRequest() {
    if (!m_playbackRequestHeld)
        return false;
    m_playbackRequestHeld = false;
    // A stop sent since ended the chain this follow-up belonged to; a play pressed after it runs a chain
    // of its own from its own reply.
    if (m_playbackHeldGeneration != m_generation || m_playbackHeldStops != m_stopsSent || !playbackActive())
        return false;
    return continuePlayback();
}

bool RecorderSession::continuePlayback() {
    // A stopped chain is not continued, even when a play pressed since sets the playing flag again.
    if (m_playback == nullptr || !m_playback->playing() || stopUnanswered())
        return false;
    bool sent = false;
    switch (m_pendingRequest) {
        case RequestKind::PlaySearch:
            sent = request(RequestKind::PlaySearch);
            m_pendingRequest = RequestKind::NextPlaybackPicture;
            break;
        case RequestKind::StopPlayback:
            sent = request(RequestKind::StopPlayback);
            if (m_playback != nullptr)
                m_playback->setPlaying(false);
            break;
        default:
            sent = request(RequestKind::NextPlaybackPicture);
            break;
    }
    return sent;
}

}  // namespace dvr::link
