#include "viewer/playback/PlaybackControllerHost.h"

namespace dvr::playback {

void PlaybackControllerHost::setPlaying(bool on) {
    if (!on)
        m_controller.playingStopped();
}

void PlaybackControllerHost::connectionLost(link::DisconnectReason reason) {
    if (reason == link::DisconnectReason::ConnectFailed)
        m_controller.onConnectFailed();
}

void PlaybackControllerHost::recordingRange(const link::RecordingRange& range) {
    m_controller.setRecordingRange(range);
}

void PlaybackControllerHost::playbackPictureTime(uint32_t dateWord, uint32_t timeWord) {
    m_controller.pictureTime(dateWord, timeWord);
}

void PlaybackControllerHost::playbackPosition(uint32_t millionths) {
    m_controller.positionPercent(millionths, m_recordMillionths);
}

void PlaybackControllerHost::playbackStatus(uint32_t code) {
    m_controller.playStatus(code);
}

void PlaybackControllerHost::playbackPicture(const frame::PictureRecord& record) {
    const frame::DecodedFrame result =
        m_decoder.decode(record, [this](const frame::FrameHeader& header) { return acceptPicture(header); });
    if (!result.ok())
        return;
    const PaneDrawList draws = m_controller.pictureArrived(result.channel, result.header);
    pictureDrawn(result.channel, result.header, *result.picture, draws);
}

}  // namespace dvr::playback
