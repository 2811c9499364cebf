// The recorder session's playback host for a PlaybackController: range, picture time, position,
// statuses, a lost connection, and the pictures, decoded here after the controller's check. Owners
// derive from it for what they show besides (the pixels of each picture).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/frame/DecodeWorker.h"
#include "common/frame/FrameDecoder.h"
#include "viewer/link/SessionHost.h"
#include "viewer/playback/PlaybackController.h"

namespace dvr::link {
class RecorderSession;
}

namespace dvr::playback {

class PlaybackControllerHost : public link::PlaybackHost {
public:
    explicit PlaybackControllerHost(PlaybackController& controller);
    ~PlaybackControllerHost() override;
    PlaybackControllerHost(const PlaybackControllerHost&) = delete;
    PlaybackControllerHost& operator=(const PlaybackControllerHost&) = delete;

    bool playbackActive() const override { return m_controller.isOpen(); }
    int playState() const override { return m_controller.playState(); }
    bool playing() const override { return m_controller.playing(); }
    void setPlaying(bool on) override;
    // A connect started by a play button failed.
    void connectionLost(link::DisconnectReason reason) override;
    void recordPosition(uint32_t millionths) override { m_recordMillionths = millionths; }
    void recordingRange(const link::RecordingRange& range) override;
    void playbackPictureTime(uint32_t dateWord, uint32_t timeWord) override;
    void playbackPosition(uint32_t millionths) override;
    void playbackStatus(uint32_t code) override;
    // Decodes the record at the size of the panes it lands in; the record is kept per picture buffer.
    // With a decode worker the record is copied to it and the session's follow-up request waits until
    // the picture came back and was handed to the window.
    void playbackPicture(const frame::PictureRecord& record) override;
    // While a picture is out on the decode worker.
    bool holdPlaybackRequest() override { return m_decodeOut; }
    // The layout grew: kept records whose pictures were decoded smaller than their visible panes now
    // need are decoded again and drawn at once.
    void redecodeForLayout();

    // Decodes codestreams with `decoder` instead of the built-in JPEG 2000 decoder (nullptr: back to it).
    void setPictureDecoder(frame::PictureDecoder* decoder) { m_decoder.setPictureDecoder(decoder); }
    // Decodes pictures on `worker` from the next one on, releasing the follow-up requests `session` holds
    // for them (nullptr worker: on the calling thread, as the session hands them over). Both must
    // outlive their use here.
    void setDecodeWorker(frame::DecodeWorker* worker, link::RecorderSession* session);
    bool decodeOut() const { return m_decodeOut; }

protected:
    // The size pictures are decoded at: the panes' size in the window's layout (full size for none).
    virtual frame::ShownSize decodeSize() const { return m_controller.layout().shownSize(); }
    // Whether to decode a playback picture: the controller's own check.
    virtual bool acceptPicture(const frame::FrameHeader& header) {
        return m_controller.acceptPicture(header);
    }
    // A decoded picture the controller accepted, with the panes it feeds.
    virtual void pictureDrawn(int /*channel*/, const frame::FrameHeader&, const frame::DecodedPicture&,
                              const PaneDrawList&) {}

    // Results of decodes handed out before now are dropped (the connection ended or logged in anew).
    void forgetDecodes();

    PlaybackController& m_controller;
    uint32_t m_recordMillionths = 0;

private:
    void submitDecode(const frame::PictureRecord& record);
    void pictureDecoded(uint64_t turn, frame::WorkerDecode& decode);
    // Keeps the decoded record for its buffer and hands the picture to the window.
    void keepAndDraw(const frame::PictureRecord& record, const frame::DecodedFrame& result);
    struct KeptRecord {
        std::vector<uint8_t> bytes;
        frame::FrameHeader header;
        frame::FrameDecodeOptions options;
        int channel = -1;
        int reduction = 0;
        int fullWidth = 0;
        int fullHeight = 0;
        uint64_t order = 0;
    };
    frame::FrameDecoder m_decoder;
    frame::DecodeWorker* m_worker = nullptr;
    link::RecorderSession* m_session = nullptr;
    bool m_decodeOut = false;
    frame::WaitingRecord m_waiting;  // a picture that came while one was out with the worker
    uint64_t m_decodeTurn = 0;
    // The worker hands results only to a host that still exists.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
    std::array<KeptRecord, kPaneCount> m_kept{};
    uint64_t m_keptOrder = 0;
};

}  // namespace dvr::playback
