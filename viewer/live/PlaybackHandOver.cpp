#include "viewer/live/PlaybackHandOver.h"

#include "viewer/live/LiveController.h"

namespace dvr::live {

// The playback window's requests over the live view's session. The window's request 2 on leaving restarts
// the live loop through the live controller, which first hands the session the layout's channel mask and
// speed and lets live pictures be drawn again.
class PlaybackHandOver::Link : public playback::SessionPlaybackRequests {
public:
    explicit Link(LiveController& live)
        : SessionPlaybackRequests(*live.sessionDriver(), live.connectedHost(), live.connectedPort()),
          m_live(live) {}

    bool request(link::RequestKind kind) override {
        if (kind == link::RequestKind::LivePicture) {
            m_live.resumeLive();
            return m_live.session() != nullptr && m_live.session()->connected();
        }
        return SessionPlaybackRequests::request(kind);
    }

    bool connect() override {
        // The window reconnects to the recorder whose range and events it shows, with the log-in the
        // session holds for it; settings changed in the setup dialog meanwhile apply at the live
        // view's next Connect.
        setAddress(m_live.connectedHost(), m_live.connectedPort());
        return SessionPlaybackRequests::connect();
    }

private:
    LiveController& m_live;
};

class PlaybackHandOver::Host : public playback::PlaybackControllerHost, public PlaybackPeer {
public:
    Host(playback::PlaybackController& controller, PlaybackShell& shell)
        : PlaybackControllerHost(controller), m_shell(shell) {}

    link::PlaybackHost& sessionHost() override { return *this; }

    void eventFileStored() override { m_shell.eventListArrived(); }

    void connectionStateChanged(link::ConnectionState state) override {
        if (state == link::ConnectionState::KeyLock) {
            return;
        }
        // A new connection or none: a picture still decoding for the one before is not drawn.
        forgetDecodes();
        if (state == link::ConnectionState::Established && m_controller.reconnecting()) {
            // The session logs in while it reports the connection; the play request follows once that
            // report has returned, so the log-in goes out once.
            m_shell.later([this] {
                m_controller.onConnectionEstablished();
                m_shell.playbackChanged();
            });
        }
        if (m_controller.isOpen()) {
            m_controller.connectionStatus(int(state));
            m_shell.playbackChanged();
        }
    }
    void connectionLost(link::DisconnectReason reason) override {
        PlaybackControllerHost::connectionLost(reason);
        // A recorder that ended the session has said so in its own message.
        if (reason != link::DisconnectReason::ConnectFailed) {
            m_controller.onConnectionLost(reason != link::DisconnectReason::RecorderEnded);
        }
        if (m_controller.isOpen()) {
            m_shell.playbackChanged();
        }
    }
    void setPlaying(bool on) override {
        PlaybackControllerHost::setPlaying(on);
        m_shell.playbackChanged();
    }
    void recordingRange(const link::RecordingRange& range) override {
        PlaybackControllerHost::recordingRange(range);
        m_shell.playbackChanged();
    }
    void playbackPictureTime(uint32_t dateWord, uint32_t timeWord) override {
        PlaybackControllerHost::playbackPictureTime(dateWord, timeWord);
        m_shell.playbackChanged();
    }
    void playbackStatus(uint32_t code) override {
        PlaybackControllerHost::playbackStatus(code);
        m_shell.playbackChanged();
    }

protected:
    void pictureDrawn(int channel, const frame::FrameHeader& header, const frame::DecodedPicture& picture,
                      const playback::PaneDrawList& draws) override {
        m_shell.playbackPicture(channel, header, picture, draws);
    }

private:
    PlaybackShell& m_shell;
};

PlaybackHandOver::PlaybackHandOver(LiveController& live, PlaybackShell& shell,
                                   playback::PlaybackController::LocalTime localTime)
    : m_live(live),
      m_shell(shell),
      m_link(std::make_unique<Link>(live)),
      m_controller(*m_link, std::move(localTime)),
      m_host(std::make_unique<Host>(m_controller, shell)) {}

PlaybackHandOver::~PlaybackHandOver() = default;

PlaybackPeer& PlaybackHandOver::host() {
    return *m_host;
}

void PlaybackHandOver::setDecodeWorker(frame::DecodeWorker* worker) {
    m_host->setDecodeWorker(worker, m_live.session());
}

bool PlaybackHandOver::open() {
    if (m_controller.isOpen()) {
        return false;
    }
    const uint32_t layoutCode = m_live.layoutCode();
    m_controller.setRequestSpeed(m_live.settingsStore().settings().fastPlaySpeedCode);
    m_live.pauseLive();
    m_controller.open(playback::openingSplitCode(layoutCode), layoutCode);
    m_shell.showPlayback(m_live.fullScreenSetting());
    m_shell.playbackChanged();
    return true;
}

void PlaybackHandOver::closed() {
    // Live pictures are drawn again even when the window left without the live request (no connection).
    m_live.resumeLive();
    // A connection the playback window dropped (idle watch) leaves the live view waiting, not showing a
    // connection that is gone.
    link::RecorderSession* session = m_live.session();
    if (session != nullptr && !session->connected() &&
        m_live.connectionState() != link::ConnectionState::Waiting) {
        m_live.pressDisconnect();
    }
    m_shell.showLive();
}

}  // namespace dvr::live
